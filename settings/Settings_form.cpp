#include "settings/Settings_form.h"

#include "config/GXmlUtils.h"
#include "config/QuoteCheck.h"
#include "lang/lang_res.h"
#include "platform/TextHelpers.h"
#include "terminal/DialogKeys.h"
#include "terminal/TerminalPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

QFont PixelFont(const char* family, int pixels) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    return font;
}

QToolButton* GlyphButton(QWidget* parent, QStyle::StandardPixmap pixmap) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(pixmap));
    button->setIconSize(QSize(24, 24));
    return button;
}

QToolButton* BigButton(QWidget* parent, QStyle::StandardPixmap pixmap) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(pixmap));
    button->setIconSize(QSize(40, 40));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // Both columns of big buttons the same width, whatever their captions.
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    button->setMinimumSize(240, 90);
    return button;
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A control the document carries but the dialog never shows, with its caption.
void Conceal(QWidget* control, QWidget* caption = nullptr) {
    control->setVisible(false);
    if (caption)
        caption->setVisible(false);
}

const QDateTime ZeroDateTime(QDate(1899, 12, 30), QTime(0, 0, 0));

} // namespace

TSettingsForm::TSettingsForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setFont(PixelFont("Lucida Console", 15));
    setMinimumSize(800, 600);
    resize(800, 600);
    setSizeGripEnabled(true);

    LabelCaption = new QLabel(this);
    Label = new QLineEdit(this);
    auto* top = new QHBoxLayout;
    top->addWidget(LabelCaption);
    top->addWidget(Label, 1);

    Tabs = new QTabWidget(this);
    auto* system = new QWidget;
    auto* network = new QWidget;
    auto* async = new QWidget;
    auto* administration = new QWidget;
    TerminalPage = new QWidget;
    new QVBoxLayout(TerminalPage);
    BuildSystemPage(system);
    BuildNetworkPage(network);
    BuildAsyncPage(async);
    BuildAdministrationPage(administration);
    Tabs->addTab(system, QString());
    Tabs->addTab(network, QString());
    Tabs->addTab(async, QString());
    Tabs->addTab(administration, QString());
    Tabs->addTab(TerminalPage, QStringLiteral("Terminal"));
    Tabs->setTabVisible(pgAsync, false);
    Console = new TTerminalPage({&TerminalHost, &TerminalPort, &TerminalLogin, &TerminalPassword,
                                 &LastTerminalCommand, &TerminalHandle});
    TerminalPage->layout()->addWidget(Console);
    new TDialogKeys(this, Tabs);

    ViewXml = GlyphButton(this, QStyle::SP_FileDialogContentsView);
    Ready = new QPushButton(this);
    Cancel = new QPushButton(this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ViewXml);
    bottom->addStretch();
    bottom->addWidget(Ready);
    bottom->addWidget(Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Tabs, 1);
    layout->addLayout(bottom);

    OnError = [this](const QString& text) {
        QMessageBox::critical(this, QStringLiteral("KERVOLA"), text);
    };
    connect(ViewXml, &QToolButton::clicked, this, [this] { ViewXmlClick(); });
    connect(Ready, &QPushButton::clicked, this, [this] { ReadyClick(); });
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Tabs, &QTabWidget::currentChanged, this, [this](int index) { PageChanged(index); });
    SetCaptions();
}

// The terminal works on this dialog's fields, so it goes before they do.
TSettingsForm::~TSettingsForm() {
    delete Console;
}

void TSettingsForm::BuildSystemPage(QWidget* page) {
    Date = new QDateEdit(page);
    Date->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    Date->setCalendarPopup(true);
    Date->setMinimumDate(QDate(1899, 12, 30));
    Time = new QTimeEdit(page);
    Time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    RequestTime = new QPushButton(page);
    SetTime = new QPushButton(page);
    PcTime = GlyphButton(page, QStyle::SP_ComputerIcon);
    Auto = new QCheckBox(QStringLiteral("Auto"), page);
    Auto->setChecked(true);
    Drift = new QLabel(page);

    DataIntervalCaption = new QLabel(page);
    DataInterval = new QLineEdit(page);
    QualityCaption = new QLabel(page);
    Quality = new QSlider(Qt::Horizontal, page);
    Quality->setRange(QualityMin, QualityMax);
    Quality->setTickInterval(5);
    Quality->setTickPosition(QSlider::TicksBelow);
    Quality->setValue(QualityMin);
    QualityNumber = new QLabel(QStringLiteral("0"), page);
    QualityNumber->setMinimumWidth(40);
    LoginCaption = new QLabel(page);
    Login = new QLineEdit(page);
    PasswordCaption = new QLabel(page);
    Password = new QLineEdit(page);
    Password->setEchoMode(QLineEdit::Password);
    ClassesCaption = new QLabel(page);
    Classes = new QLineEdit(page);
    JpegRateCaption = new QLabel(page);
    JpegRate = new QComboBox(page);
    VideoPortCaption = new QLabel(page);
    VideoPort = new QLineEdit(page);
    VideoPort->setEnabled(false);
    ResolutionCaption = new QLabel(page);
    Resolution = new QComboBox(page);
    BackupCaption = new QLabel(page);
    Backup = new QLineEdit(page);
    Miles = new QCheckBox(page);

    auto* clock = new QGridLayout;
    clock->addWidget(Date, 0, 0);
    clock->addWidget(Time, 0, 1);
    clock->addWidget(PcTime, 0, 2);
    clock->addWidget(Auto, 0, 3);
    clock->addWidget(RequestTime, 1, 0);
    clock->addWidget(SetTime, 1, 1);
    clock->addWidget(Drift, 2, 0, 1, 4);
    clock->setColumnStretch(4, 1);

    auto* quality = new QHBoxLayout;
    quality->addWidget(Quality, 1);
    quality->addWidget(QualityNumber);

    auto* form = new QFormLayout;
    form->addRow(DataIntervalCaption, DataInterval);
    form->addRow(QualityCaption, quality);
    form->addRow(LoginCaption, Login);
    form->addRow(PasswordCaption, Password);
    form->addRow(ClassesCaption, Classes);
    form->addRow(JpegRateCaption, JpegRate);
    form->addRow(VideoPortCaption, VideoPort);
    form->addRow(ResolutionCaption, Resolution);
    form->addRow(BackupCaption, Backup);
    form->addRow(Miles);
    Conceal(JpegRate, JpegRateCaption);
    Conceal(VideoPort, VideoPortCaption);
    Conceal(Resolution, ResolutionCaption);
    Conceal(Backup, BackupCaption);
    Conceal(Miles);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(clock);
    layout->addSpacing(12);
    layout->addLayout(form);
    layout->addStretch();

    connect(RequestTime, &QPushButton::clicked, this, [this] { RequestTimeClick(); });
    connect(SetTime, &QPushButton::clicked, this, [this] { SetTimeClick(); });
    connect(PcTime, &QToolButton::clicked, this, [this] { PcTimeClick(); });
    connect(Quality, &QSlider::valueChanged, this,
            [this](int position) { QualityNumber->setText(QString::number(position)); });
    // Not editingFinished: it stays quiet when the text was not changed, so a bad list loaded
    // from a document would pass the field unchecked. Enter may press "Ready" without leaving.
    Classes->installEventFilter(this);
    connect(Classes, &QLineEdit::returnPressed, this, [this] { CheckClassesField(); });
}

void TSettingsForm::BuildNetworkPage(QWidget* page) {
    IpCaption = new QLabel(page);
    Ip = new QLineEdit(page);
    NetmaskCaption = new QLabel(page);
    Netmask = new QLineEdit(page);
    GatewayCaption = new QLabel(page);
    Gateway = new QLineEdit(page);
    DnsCaption = new QLabel(page);
    Dns = new QLineEdit(page);
    DnsAuto = new QCheckBox(page);
    PortCaption = new QLabel(page);
    Port = new QLineEdit(page);
    Ntp = new QCheckBox(QStringLiteral("NTP"), page);
    NtpServers = new QPlainTextEdit(page);
    NtpServers->setEnabled(false);
    AskNetwork = GlyphButton(page, QStyle::SP_BrowserReload);
    Apply = new QPushButton(page);

    auto* dns = new QHBoxLayout;
    dns->addWidget(Dns, 1);
    dns->addWidget(DnsAuto);
    auto* form = new QFormLayout;
    form->addRow(IpCaption, Ip);
    form->addRow(NetmaskCaption, Netmask);
    form->addRow(GatewayCaption, Gateway);
    form->addRow(DnsCaption, dns);
    form->addRow(PortCaption, Port);
    form->addRow(Ntp, NtpServers);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AskNetwork);
    buttons->addStretch();
    buttons->addWidget(Apply);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(DnsAuto, &QCheckBox::toggled, this, [this](bool on) { DnsAutoToggled(on); });
    connect(Ntp, &QCheckBox::toggled, this, [this](bool on) { NtpToggled(on); });
    connect(AskNetwork, &QToolButton::clicked, this, [this] { AskNetworkClick(); });
    connect(Apply, &QPushButton::clicked, this, [this] { ApplyClick(); });
}

void TSettingsForm::BuildAsyncPage(QWidget* page) {
    SerialPortCaption = new QLabel(page);
    SerialPort = new QComboBox(page);
    SerialPort->setEditable(true);
    SerialPort->setInsertPolicy(QComboBox::NoInsert);
    SerialPort->addItems({"com1", "com2", "com3", "com4"});
    SerialPort->setCurrentIndex(-1);
    SerialAddressCaption = new QLabel(page);
    SerialAddress = new QLineEdit(page);
    BaudRateCaption = new QLabel(page);
    BaudRate = new QComboBox(page);
    BaudRate->setEditable(true);
    BaudRate->setInsertPolicy(QComboBox::NoInsert);
    BaudRate->addItems({"2400", "4800", "9600", "19200", "38400", "115200"});
    BaudRate->setCurrentIndex(-1);
    ProtocolCaption = new QLabel(page);
    Protocol = new QComboBox(page);
    Protocol->setEditable(true);
    Protocol->setInsertPolicy(QComboBox::NoInsert);
    Protocol->addItems({"edge", "none"});
    Protocol->setCurrentIndex(-1);
    auto* form = new QFormLayout(page);
    form->addRow(SerialPortCaption, SerialPort);
    form->addRow(SerialAddressCaption, SerialAddress);
    form->addRow(BaudRateCaption, BaudRate);
    form->addRow(ProtocolCaption, Protocol);
}

void TSettingsForm::BuildAdministrationPage(QWidget* page) {
    ReceiveData = BigButton(page, QStyle::SP_ArrowDown);
    Firmware = BigButton(page, QStyle::SP_ArrowUp);
    DeleteData = BigButton(page, QStyle::SP_TrashIcon);
    FastReboot = BigButton(page, QStyle::SP_BrowserReload);
    CompleteReboot = BigButton(page, QStyle::SP_BrowserStop);
    Cleaning = BigButton(page, QStyle::SP_DialogResetButton);
    AboutTriggers = new QPushButton(page);
    TriggersCaption = new QLabel(page);
    Triggers = new QPlainTextEdit(page);
    Triggers->setFont(PixelFont("Courier New", 14));
    Triggers->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* grid = new QGridLayout(page);
    grid->addWidget(ReceiveData, 0, 0);
    grid->addWidget(Firmware, 1, 0);
    grid->addWidget(DeleteData, 2, 0);
    grid->addWidget(FastReboot, 0, 1);
    grid->addWidget(CompleteReboot, 1, 1);
    grid->addWidget(Cleaning, 2, 1);
    auto* third = new QVBoxLayout;
    third->addWidget(AboutTriggers);
    third->addWidget(TriggersCaption);
    third->addWidget(Triggers, 1);
    grid->addLayout(third, 0, 2, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    connect(ReceiveData, &QToolButton::clicked, this,
            [this] { CommandClick(scReceiveData, {}, false); });
    connect(Firmware, &QToolButton::clicked, this, [this] { CommandClick(scFirmware, {}, false); });
    connect(DeleteData, &QToolButton::clicked, this,
            [this] { CommandClick(scDeleteData, "gb dele", false); });
    connect(FastReboot, &QToolButton::clicked, this,
            [this] { CommandClick(scFastReboot, "rb app", true); });
    connect(CompleteReboot, &QToolButton::clicked, this,
            [this] { CommandClick(scCompleteReboot, "rb sys", true); });
    connect(Cleaning, &QToolButton::clicked, this, [this] { CommandClick(scCleaning, "cl", false); });
    connect(AboutTriggers, &QPushButton::clicked, this, [this] { AboutTriggersClick(); });
}

void TSettingsForm::SetCaptions() {
    setWindowTitle(Lang(ltSettings));
    LabelCaption->setText(Lang(ltDetectorLabel));
    Tabs->setTabText(pgSystem, Lang(ltSystem));
    Tabs->setTabText(pgNetwork, Lang(ltNetwork));
    Tabs->setTabText(pgAsync, Lang(ltAsyncPort));
    Tabs->setTabText(pgAdministration, Lang(ltAdministration));
    Ready->setText(Lang(ltReady));
    Cancel->setText(Lang(ltCancel));
    ViewXml->setToolTip(Lang(ltViewConfigXML));

    RequestTime->setText(Lang(ltRequestCurrentTime));
    SetTime->setText(Lang(ltSetTime));
    PcTime->setToolTip(Lang(ltPCTime));
    DataIntervalCaption->setText(Lang(ltDataInterval));
    QualityCaption->setText(Lang(ltJpegQuality));
    LoginCaption->setText(Lang(ltChangeLogin));
    PasswordCaption->setText(Lang(ltChangePassword));
    ClassesCaption->setText(Lang(ltClassesByLength));
    JpegRateCaption->setText(Lang(ltJpegFrameRate));
    VideoPortCaption->setText(Lang(ltVideoPort));
    ResolutionCaption->setText(Lang(ltVideoResolution));
    BackupCaption->setText(Lang(ltBackupInterval));
    Miles->setText(Lang(ltConvertMiles));
    // The items are rebuilt in the chosen language; the selection stays.
    const int rate = JpegRate->currentIndex();
    JpegRate->clear();
    JpegRate->addItems({Lang(ltRate6), Lang(ltRate12), Lang(ltRate25)});
    JpegRate->setCurrentIndex(rate);
    const int resolution = Resolution->currentIndex();
    Resolution->clear();
    Resolution->addItems({Lang(ltRes320), Lang(ltRes352), Lang(ltRes640), Lang(ltRes720)});
    Resolution->setCurrentIndex(resolution);

    IpCaption->setText(Lang(ltIPAddress));
    NetmaskCaption->setText(Lang(ltNetMask));
    GatewayCaption->setText(Lang(ltGateway));
    DnsCaption->setText(Lang(ltDNS));
    DnsAuto->setText(Lang(ltAuto));
    PortCaption->setText(Lang(ltNetPort));
    AskNetwork->setToolTip(Lang(ltAskCurrentSettings));
    Apply->setText(Lang(ltApply));

    SerialPortCaption->setText(Lang(ltNetPort));
    SerialAddressCaption->setText(Lang(ltAddress));
    BaudRateCaption->setText(Lang(ltBaudRate));
    ProtocolCaption->setText(Lang(ltProtocol));

    ReceiveData->setText(Lang(ltReceiveDataFile));
    Firmware->setText(Lang(ltFirmwareUpdate));
    DeleteData->setText(Lang(ltDeleteBufferedData));
    FastReboot->setText(Lang(ltFastReboot));
    CompleteReboot->setText(Lang(ltCompleteReboot));
    Cleaning->setText(Lang(ltCleaning));
    AboutTriggers->setText(Lang(ltAboutTriggers));
    TriggersCaption->setText(Lang(ltLogicTriggers));
}

void TSettingsForm::showEvent(QShowEvent* event) {
    SetCaptions();
    const QDateTime now = QDateTime::currentDateTime();
    Date->setDate(now.date());
    Time->setTime(now.time());
    RequestTime->setEnabled(true);
    SetTime->setEnabled(true);
    QDialog::showEvent(event);
    Label->setFocus();
    if (Tabs->currentIndex() == pgNetwork)
        PageChanged(pgNetwork);
}

void TSettingsForm::PageChanged(int index) {
    if (index == pgNetwork && isVisible())
        AskNetworkClick();
}

TSettingsValues TSettingsForm::Values() const {
    TSettingsValues v;
    v.Label = Utf8(Label->text());
    v.DataInterval = Utf8(DataInterval->text());
    v.JpegQuality = Quality->value();
    v.QualityDisplay = Utf8(QualityNumber->text());
    v.Miles = Miles->isChecked();
    v.TcpPort = Utf8(Port->text());
    v.Login = Utf8(Login->text());
    v.Password = Utf8(Password->text());
    v.Backup = Utf8(Backup->text());
    v.Classes = Utf8(Classes->text());
    v.Device = Utf8(VideoPort->text());
    v.ResolutionIndex = Resolution->currentIndex();
    v.JpegRateIndex = JpegRate->currentIndex();
    // A typed text that differs from the chosen item is what the user means.
    const int port = SerialPort->currentIndex();
    v.SerialPortIndex =
        port >= 0 && SerialPort->currentText() == SerialPort->itemText(port) ? port : -1;
    v.SerialPortText = Utf8(SerialPort->currentText());
    v.SerialAddress = Utf8(SerialAddress->text());
    v.SerialBaudrate = Utf8(BaudRate->currentText());
    v.SerialProto = Utf8(Protocol->currentText());
    // One trigger a line; a CR before the LF is not part of it.
    v.Triggers = SplitLines(Utf8(Triggers->toPlainText()), TLineEnds::Lf);
    return v;
}

void TSettingsForm::SetValues(const TSettingsValues& v) {
    Label->setText(FromUtf8(v.Label));
    DataInterval->setText(FromUtf8(v.DataInterval));
    Quality->setValue(v.JpegQuality);
    Miles->setChecked(v.Miles);
    Port->setText(FromUtf8(v.TcpPort));
    Login->setText(FromUtf8(v.Login));
    Password->setText(FromUtf8(v.Password));
    Backup->setText(FromUtf8(v.Backup));
    Classes->setText(FromUtf8(v.Classes));
    VideoPort->setText(FromUtf8(v.Device));
    Resolution->setCurrentIndex(v.ResolutionIndex);
    JpegRate->setCurrentIndex(v.JpegRateIndex);
    SerialPort->setCurrentIndex(v.SerialPortIndex);
    if (v.SerialPortIndex < 0)
        SerialPort->setEditText(FromUtf8(v.SerialPortText));
    SerialAddress->setText(FromUtf8(v.SerialAddress));
    BaudRate->setEditText(FromUtf8(v.SerialBaudrate));
    Protocol->setEditText(FromUtf8(v.SerialProto));
    QStringList lines;
    for (const std::string& line : v.Triggers)
        lines << FromUtf8(line);
    Triggers->setPlainText(lines.join('\n'));
}

void TSettingsForm::LoadFromDocument(const TXMLNode* top) {
    if (!top)
        return;
    TSettingsValues v = Values();
    ::LoadFromDocument(v, top);
    SetValues(v);
    LoadedSerial = top->Serial;
}

void TSettingsForm::StoreToDocument(TXMLNode* top) const {
    ::StoreToDocument(Values(), top);
}

int TSettingsForm::Fire(int code, std::string& text) {
    if (OnCommand)
        OnCommand(this, code, text);
    return code;
}

void TSettingsForm::RequestTimeClick() {
    RequestTime->setEnabled(false);
    SetTime->setEnabled(false);
    std::string text;
    Fire(scRequestTime, text);
}

void TSettingsForm::PcTimeClick() {
    const QDateTime now = QDateTime::currentDateTime();
    Date->setDate(now.date());
    Time->setTime(now.time());
}

std::string TSettingsForm::PickerTimeText() const {
    const QDate d = Date->date();
    const QTime t = Time->time();
    std::tm tm{};
    tm.tm_year = d.year() - 1900;
    tm.tm_mon = d.month() - 1;
    tm.tm_mday = d.day();
    tm.tm_hour = t.hour();
    tm.tm_min = t.minute();
    tm.tm_sec = t.second();
    return FormatDetectorTime(tm);
}

void TSettingsForm::SetTimeClick() {
    if (Auto->isChecked())
        PcTimeClick();
    std::string text = PickerTimeText();
    Fire(scSetTime, text);
}

void TSettingsForm::ShowDetectorTime() {
    QDateTime shown = ZeroDateTime;
    if (const std::optional<std::tm> t = ParseDetectorTime(DetectorTimeText))
        shown = QDateTime(QDate(t->tm_year + 1900, t->tm_mon + 1, t->tm_mday),
                          QTime(t->tm_hour, t->tm_min, t->tm_sec));
    Date->setDate(shown.date());
    Time->setTime(shown.time());
    RequestTime->setEnabled(true);
    SetTime->setEnabled(true);
}

QString TSettingsForm::ClockDriftText(long long seconds) {
    if (seconds == 0)
        return Lang(ltClockSame);
    const long long size = std::llabs(seconds);
    const QString amount = size > 120 ? QString::number((size + 30) / 60) + " " + Lang(ltMinutesUnit)
                                      : QString::number(size) + " " + Lang(ltSecondsUnit);
    return Lang(seconds < 0 ? ltClockBehind : ltClockAhead).arg(amount);
}

void TSettingsForm::ShowClockDrift(long long seconds) {
    Drift->setText(ClockDriftText(seconds));
}

void TSettingsForm::ClearClockDrift() {
    Drift->clear();
}

void TSettingsForm::SetNetworkFields(const TNetworkFields& fields) {
    if (fields.Address)
        Ip->setText(FromUtf8(*fields.Address));
    if (fields.Netmask)
        Netmask->setText(FromUtf8(*fields.Netmask));
    if (fields.Gateway)
        Gateway->setText(FromUtf8(*fields.Gateway));
    if (fields.Dns)
        Dns->setText(FromUtf8(*fields.Dns));
    // The box follows the reply without its own effect: unchecking it would put the gateway in
    // place of the DNS just read, and "Apply" would then send the gateway as the DNS.
    const bool empty = Dns->text().isEmpty();
    const QSignalBlocker quiet(DnsAuto);
    DnsAuto->setChecked(empty);
    Dns->setEnabled(!empty);
}

void TSettingsForm::SetActionEnabled(TSettingsAction action, bool on) {
    switch (action) {
    case TSettingsAction::DetectorTime:
        RequestTime->setEnabled(on);
        SetTime->setEnabled(on);
        break;
    case TSettingsAction::ApplyNetwork:
        Apply->setEnabled(on);
        break;
    }
}

void TSettingsForm::SetNtpServers(const std::vector<std::string>& servers) {
    QStringList lines;
    for (const std::string& s : servers)
        lines << FromUtf8(s);
    NtpServers->setPlainText(lines.join('\n'));
}

void TSettingsForm::DnsAutoToggled(bool checked) {
    if (checked) {
        Dns->clear();
        Dns->setEnabled(false);
    } else {
        Dns->setText(Gateway->text());
        Dns->setEnabled(true);
    }
}

void TSettingsForm::NtpToggled(bool checked) {
    NtpServers->setEnabled(checked);
}

void TSettingsForm::AskNetworkClick() {
    AskNetwork->setEnabled(false);
    std::string text;
    Fire(scAskNetwork, text);
    AskNetwork->setEnabled(true);
}

void TSettingsForm::ApplyClick() {
    std::vector<std::string> servers;
    for (const QString& line : NtpServers->toPlainText().split('\n'))
        if (!line.trimmed().isEmpty())
            servers.push_back(Utf8(line.trimmed()));
    std::string text = NetworkApplyText(Utf8(Ip->text()), Utf8(Netmask->text()),
                                        Utf8(Gateway->text()), Utf8(Dns->text()),
                                        Ntp->isChecked(), servers, Utf8(Port->text()));
    const bool valid = !text.empty();
    Fire(scApplyNetwork, text);
    if (valid && text.empty())
        close();
}

void TSettingsForm::ReadyClick() {
    std::string text;
    Fire(scReady, text);
    if (text != "cancel")
        close();
}

void TSettingsForm::ViewXmlClick() {
    std::string text;
    Fire(scViewXml, text);
}

void TSettingsForm::CommandClick(int code, const std::string& text, bool closeOnDone) {
    std::string t = text;
    if (Fire(code, t) == scDone && closeOnDone)
        close();
}

void TSettingsForm::AboutTriggersClick() {
    if (OnOpenDocument)
        OnOpenDocument(QStringLiteral("triggers.pdf"));
}

void TSettingsForm::CheckClassesField() {
    // The error box takes the focus, which would end the editing a second time.
    if (CheckingClasses)
        return;
    std::string text = Utf8(Classes->text());
    const std::string error = CheckClasses(text);
    if (error.empty())
        return;
    CheckingClasses = true;
    Classes->setText(FromUtf8(text));
    if (OnError)
        OnError(QString::fromStdString(error));
    CheckingClasses = false;
}

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    // A context menu of the edit is no leaving of it.
    if (watched == Classes && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
        CheckClassesField();
    return QDialog::eventFilter(watched, event);
}

bool TSettingsForm::CheckQuotes() {
    struct Field {
        QWidget* Control;
        QString Text;
        int Caption;
        int Page; // -1: above the pages
    };
    // The fields the user types into; the hidden ones only carry what the document held.
    const Field fields[] = {
        {Label, Label->text(), ltDetectorLabel, -1},
        {DataInterval, DataInterval->text(), ltDataInterval, pgSystem},
        {Login, Login->text(), ltChangeLogin, pgSystem},
        {Password, Password->text(), ltChangePassword, pgSystem},
        {Classes, Classes->text(), ltClassesByLength, pgSystem},
        {Port, Port->text(), ltNetPort, pgNetwork},
        {Triggers, Triggers->toPlainText(), ltLogicTriggers, pgAdministration},
    };
    for (const Field& f : fields) {
        if (!HoldsBothQuotes(Utf8(f.Text)))
            continue;
        if (f.Page >= 0)
            Tabs->setCurrentIndex(f.Page);
        if (isVisible())
            f.Control->setFocus();
        if (OnError)
            OnError(Lang(ltBothQuotes).arg(Lang(f.Caption)));
        return false;
    }
    return true;
}
