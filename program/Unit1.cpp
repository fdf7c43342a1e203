#include "program/Unit1.h"

#include "addressbook/Connection_manager.h"
#include "platform/Folders.h"
#include "program/AutostartForm.h"
#include "lang/lang_res.h"
#include "program/zelmont_box.h"
#include "recording/videocontrol.h"
#include "zones/mm_timer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QThread>
#include <QVBoxLayout>

#include <filesystem>

TForm1::TForm1(QStringList arguments, int language) : Arguments(std::move(arguments)) {
    QFont tahoma("Tahoma");
    tahoma.setPixelSize(14);
    setFont(tahoma);
    move(465, 150);
    SelectLanguage(language);
    Panel = new QWidget(this);
    Panel->setObjectName("Panel1");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel);
    resize(720, 576);
    Box = std::make_unique<TZelmont_box>(this, Panel);
    Box->ShowIdlePicture();
    Auto = new TAutoForm(this);
    connect(Box->Timer(), &TMMTimer::Tick, this, [this](TMMTimer* t) {
        Box->HandleTimerTick(t);
        if (Video && Video->isVisible())
            Video->FrameTick();
    });
    Timer1.setInterval(250);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1.start();
    setWindowTitle(TitleText());
    // WM_STARTUP: after the window is on screen.
    QMetaObject::invokeMethod(
        this, [this] { Startup(); }, Qt::QueuedConnection);
}

TForm1::~TForm1() {
    Timer1.stop();
    if (Video)
        Video->SetView(nullptr);
    Box.reset();
}

std::string TForm1::StartupIniPath(const QStringList& arguments, const std::string& exeFolder,
                                   const std::string& startFolder) {
    if (arguments.isEmpty())
        return {};
    const std::string first = arguments.first().toStdString();
    if (first.find('/') == std::string::npos)
        return exeFolder + first;
    // The program has left the folder it was started in for the data folder by now, so a
    // relative path the user typed must be anchored where it was typed.
    if (first.front() == '/' || startFolder.empty())
        return first;
    return (std::filesystem::path(startFolder) / first).lexically_normal().string();
}

void TForm1::Startup() {
    if (Started)
        return;
    Started = true;
    QThread::msleep(100);
    if (Video)
        Video->SetOutputFolder(QString::fromStdString(DataFolder()));
    TConnect_manager* book = Box->ConnectManager;
    book->LoadHosts();
    Auto->SetEntries(book->Labels());
    TAutostartSettings settings;
    const int index = Auto->LoadAutostart(
        StartupIniPath(Arguments, ExecutableFolder(), StartFolder()), &settings);
    move(settings.Left, settings.Top);
    resize(settings.Width, settings.Height);
    Box->ControlsEnabled = settings.ControlsEnabled;
    if (index < 0 || index >= book->EntryCount())
        return;
    book->SetLoadCurrentConfig(true);
    book->SelectEntry(index);
    book->ChooseSelected();
    QThread::msleep(100);
    QApplication::processEvents();
    QThread::msleep(100);
    Box->SetEditing(false);
    Box->ShowStrip = true;
    Box->SetVideoRate(25);
    Box->SetDataMode(true);
}

QString TForm1::TitleText() const {
    const std::string target = Box->Config->GetTarget();
    const QString name = target.empty() ? QString() : "< " + QString::fromStdString(target) + " >";
    switch (Box->ConnectionState) {
    case csConnecting: {
        const std::string label = Box->CurrentHost.Caption;
        const QString l = label.empty() ? QString() : "< " + QString::fromStdString(label) + " >";
        return "KERVOLA " + l + " " + Lang(ltConnectionInProgress);
    }
    case csReady:
    case csConfigBody:
    case csPictureBody:
        return "KERVOLA " + name + "  " + QString::number(Box->FramesPerSecond) + " " + Lang(ltFps);
    default:
        return "KERVOLA " + name + " " + Lang(ltNoConnection);
    }
}

void TForm1::Timer1Timer() {
    setWindowTitle(TitleText());
}

TVideoControlForm* TForm1::VideoForm() const {
    return Video;
}

void TForm1::SetVideoForm(TVideoControlForm* form) {
    Video = form;
    if (!Video)
        return;
    Video->SetView(Box.get());
    // The stamp names the detector as its configuration does, else as the address book does.
    Video->StampLabel = [this] {
        const std::string target = Box->Config->GetTarget();
        return QString::fromStdString(target.empty() ? Box->CurrentHost.Caption : target);
    };
}

void TForm1::SetClientSize(int width, int height) {
    if (isMaximized() || isMinimized())
        showNormal();
    resize(width, height);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!Box->ControlsEnabled) {
        event->accept();
        return;
    }
    const bool ok = ConfirmClose ? ConfirmClose()
                                 : QMessageBox::question(this, "KERVOLA", Lang(ltConfirmClose),
                                                         QMessageBox::Ok | QMessageBox::Cancel) ==
                                       QMessageBox::Ok;
    if (ok)
        event->accept();
    else
        event->ignore();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F8) {
        Auto->SetEntries(Box->ConnectManager->Labels());
        Auto->CheckAutostartItem(Auto->SelectedIndex());
        Auto->show();
    }
    if (event->key() == Qt::Key_F12 && Video)
        Video->exec();
    Box->HandleKeyDown(event);
}
