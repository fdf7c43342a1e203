// The popup main menu and the keyboard commands of the detector controller.
#include "program/zelmont_box.h"

#include "countcheck/CountCheckWindow.h"
#include "dialogs/SensorIdForm.h"
#include "program/ControllerBindings.h"
#include "platform/Folders.h"
#include "dialogs/Prompts.h"
#include "lang/lang_res.h"
#include "safeconfig/SafeConfig.h"
#include "zones/mm_timer.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

namespace {

const QString ConfigFilter = "XML Files (*.xml *.XML)";
const QString PictureFilter = "Graphic files (*.jpg *.jpeg *.bmp *.JPG *.JPEG *.BMP)";

// When an item of the main menu is enabled; the order of the flags BuildMainMenu computes.
enum class TWhen {
    Always,
    Editing,
    Selected,
    Connected,
    ConnectedLive,
    ConnectedEditing,
    EditingSelected
};

struct TMenuItem {
    int Text; // 0: a separator
    TMenuCommand Command;
    TWhen When;
    bool Checkable;
};

constexpr TMenuItem Separator{0, TMenuCommand::Connection, TWhen::Always, false};

// The items in their order. The cleaning action and the safe configuration work come beside the
// items they belong with; the zone coordinates come after the program's own items.
constexpr TMenuItem MenuItems[] = {
    {ltConnection, TMenuCommand::Connection, TWhen::Always, false},
    Separator,
    {ltEditMode, TMenuCommand::EditMode, TWhen::Always, true},
    Separator,
    {ltNewConfig, TMenuCommand::NewConfig, TWhen::Editing, false},
    Separator,
    {ltCreateSensor, TMenuCommand::CreateSensor, TWhen::Editing, false},
    {ltChangeId, TMenuCommand::ChangeId, TWhen::Selected, false},
    {ltDeleteSensor, TMenuCommand::DeleteSensor, TWhen::Selected, false},
    Separator,
    {ltCopy, TMenuCommand::Copy, TWhen::Selected, false},
    {ltPaste, TMenuCommand::Paste, TWhen::Editing, false},
    Separator,
    {ltRefreshPicture, TMenuCommand::RefreshPicture, TWhen::Connected, false},
    {ltEnableVideo, TMenuCommand::EnableVideo, TWhen::ConnectedLive, true},
    Separator,
    {ltSettingsMenu, TMenuCommand::Settings, TWhen::Editing, false},
    {ltCleaning, TMenuCommand::Cleaning, TWhen::Connected, false},
    Separator,
    {ltLoadConfig, TMenuCommand::LoadConfig, TWhen::ConnectedEditing, false},
    Separator,
    {ltAboutMenu, TMenuCommand::About, TWhen::Always, false},
    {ltHelp, TMenuCommand::Help, TWhen::Always, false},
    Separator,
    {ltZoneCoordinatesMenu, TMenuCommand::ZoneCoordinates, TWhen::EditingSelected, false},
    {ltCountCheckMenu, TMenuCommand::CountCheck, TWhen::ConnectedLive, false},
    Separator,
    {ltHistoryMenu, TMenuCommand::History, TWhen::Connected, false},
    {ltExportZonesMenu, TMenuCommand::ExportZones, TWhen::Always, false},
    {ltImportZonesMenu, TMenuCommand::ImportZones, TWhen::Editing, false},
};

} // namespace

void TZelmont_box::ShowMainMenu(int index) {
    if (!ControlsEnabled)
        return;
    QMenu* menu = BuildMainMenu(index);
    menu->popup(QCursor::pos() + QPoint(1, 1));
}

QMenu* TZelmont_box::BuildMainMenu(int index) {
    if (MainMenu)
        MainMenu->deleteLater();
    MainMenu = new QMenu(MainForm());
    const bool connected = ConnectionState > csLoggingIn;
    const bool enabled[] = {true,
                            Editing,
                            index >= 0,
                            connected,
                            connected && !Editing,
                            connected && Editing,
                            Editing && index >= 0 && index < Count()};
    for (const TMenuItem& item : MenuItems) {
        if (item.Text == 0) {
            MainMenu->addSeparator();
            continue;
        }
        QAction* action = MainMenu->addAction(Lang(item.Text));
        action->setData(static_cast<int>(item.Command));
        action->setEnabled(enabled[static_cast<int>(item.When)]);
        if (item.Checkable) {
            action->setCheckable(true);
            action->setChecked(item.Command == TMenuCommand::EditMode ? Editing : VideoRate > 0);
        }
        QObject::connect(
            action, &QAction::triggered, MainMenu,
            [this, command = item.Command](bool checked) { MainMenuClick(command, checked); });
    }
    return MainMenu;
}

void TZelmont_box::MainMenuClick(TMenuCommand command, bool checked) {
    switch (command) {
    case TMenuCommand::Connection:
        ShowAddressBook();
        break;
    case TMenuCommand::EditMode:
        SetEditing(checked);
        if (Editing)
            SetLiveView(false, 0);
        PaintView();
        break;
    case TMenuCommand::NewConfig:
        if (!Prompts->Confirm(MainForm(), Lang(ltNewConfig), Lang(ltNewConfigWarning),
                              QMessageBox::Warning))
            break;
        SetVideoRate(0);
        SetDataMode(false);
        Config->CreateDefault("KERVOLA2", "ZELMONT_SF");
        Config->ReadSensors(*this);
        EditFinished();
        PaintView();
        break;
    case TMenuCommand::CreateSensor:
        CreateSensorDialog();
        break;
    case TMenuCommand::ChangeId:
        ChangeIdDialog();
        break;
    case TMenuCommand::DeleteSensor:
        DeleteSelected();
        break;
    case TMenuCommand::Copy:
        CopySensor();
        break;
    case TMenuCommand::Paste:
        PasteSensor();
        break;
    case TMenuCommand::RefreshPicture:
        ++PendingPictures;
        SendLine("gp");
        break;
    case TMenuCommand::EnableVideo:
        SetLiveView(checked, LiveRate);
        LastFrameTick = TickCount;
        PendingPictures = 0;
        PaintView();
        break;
    case TMenuCommand::Settings:
        OpenSettings("KERVOLA2");
        break;
    case TMenuCommand::LoadConfig:
        AskConfigUpload();
        break;
    case TMenuCommand::About:
        ShowAbout();
        break;
    case TMenuCommand::Help:
        OpenDocument("help.pdf");
        break;
    case TMenuCommand::Cleaning:
        ShowCleaning();
        break;
    case TMenuCommand::History:
        SafeConfig->ShowHistory(Detector(), DialogPosition());
        break;
    case TMenuCommand::ExportZones:
        SafeConfig->ExportZonesDialog();
        break;
    case TMenuCommand::ImportZones:
        SafeConfig->ImportZonesDialog();
        break;
    case TMenuCommand::ZoneCoordinates:
        ShowZoneCoordinates(*this);
        break;
    case TMenuCommand::CountCheck:
        // The window is the main window's child, made by the binding.
        if (auto* check = MainForm()->findChild<TCountCheckWindow*>())
            check->Open(DialogPosition());
        break;
    }
}

void TZelmont_box::PrepareSensorIdForm(const QString& caption, const QString& id) {
    QStringList ids;
    GetIds(ids);
    SensorIdForm->move(DialogPosition());
    SensorIdForm->Prepare(caption, id, ids);
}

void TZelmont_box::CreateSensorDialog() {
    if (Count() >= MaxZones)
        return;
    PrepareSensorIdForm(Lang(ltSensor), QString::number(NextFreeId()));
    if (Prompts->Exec(SensorIdForm))
        AddSensorById(SensorIdForm->IdEdit()->text().toStdString());
}

void TZelmont_box::ChangeIdDialog() {
    const TQuadBase* zone = Quad(SelectedIndex);
    if (!zone)
        return;
    const QString id = QString::fromStdString(zone->Id);
    PrepareSensorIdForm(Lang(ltSensor) + " [" + id + "]", id);
    if (!Prompts->Exec(SensorIdForm))
        return;
    const std::string newId = SensorIdForm->IdEdit()->text().toStdString();
    if (TQuadBase* selected = Quad(SelectedIndex))
        selected->Id = newId;
    ChangeSelectedId(newId);
    PaintView();
}

void TZelmont_box::ShowAbout() {
    const QString text = Lang(ltAbout) + "5.01" + "\r\n\r\n" + QString::number(FrameWidth) + " x " +
                         QString::number(FrameHeight) + "\r\n\r\n" + Lang(ltFirmwareVersion) +
                         QString::fromStdString(FirmwareVersion);
    Prompts->Inform(MainForm(), "KERVOLA", text, QMessageBox::Information);
}

bool TZelmont_box::OpenDocument(const QString& name) {
    const QString path = QString::fromStdString(DocumentFolder()) + name;
    if (Prompts->OpenFile(path))
        return true;
    Prompts->Inform(MainForm(), "KERVOLA", "File " + name + " not found", QMessageBox::Warning);
    return false;
}

void TZelmont_box::ResizeClient(int width, int height, bool restore) {
    QWidget* form = MainForm();
    if (!form)
        return;
    if (restore && (form->isMaximized() || form->isMinimized()))
        form->showNormal();
    const QWidget* panel = Panel();
    const int left = panel ? panel->mapTo(form, QPoint(0, 0)).x() : 0;
    form->resize(width + left, height);
}

void TZelmont_box::SetLiveView(bool live, int rate) {
    SetVideoRate(live ? rate : 0);
    SetDataMode(live);
    ShowStrip = live;
}

void TZelmont_box::SwitchLiveView() {
    const bool live = Editing;
    SetEditing(!live);
    SetLiveView(live, static_cast<int>(Timer()->TimerRate()));
    PaintView();
}

QString TZelmont_box::AskDataFile(int title, const QString& filter, const QString& suffix,
                                  bool save) {
    return Prompts->AskFile(
        MainForm(), {Lang(title), filter, suffix, QString::fromStdString(DataFolder()), save});
}

void TZelmont_box::SaveConfigDialog() {
    const QString file = AskDataFile(ltSaveConfigToFile, ConfigFilter, "xml", true);
    if (file.isEmpty())
        return;
    if (!Settings->Commands.StoreSettings())
        return;
    SafeConfig->Undo().Rebase(); // saving is no step of its own, the stored settings included
    Config->SaveToFile(file.toStdString()); // a failed save is silent
}

bool TZelmont_box::LoadConfigFile(const std::string& file) {
    // Read on the side: a file that does not load must leave the present document as it is.
    TXMLConfig loaded;
    if (!loaded.LoadFromFile(file))
        return false;
    Config->TopNode = std::move(loaded.TopNode);
    Config->ReadSensors(*this);
    SetEditing(true);
    EditFinished();
    PaintView();
    return true;
}

void TZelmont_box::OpenConfigDialog() {
    const QString file = AskDataFile(ltLoadConfigFromFile, ConfigFilter, "xml", false);
    if (!file.isEmpty())
        LoadConfigFile(file.toStdString());
}

namespace {

QString PictureProblemText(int lead, const QString& file, const TFrameFileProblem& problem) {
    QString reason;
    switch (problem.Kind) {
    case TFrameFileProblem::Extension:
        reason = Lang(ltPictureWrongExtension);
        break;
    case TFrameFileProblem::NotPicture:
        reason = Lang(ltPictureNotReadable);
        break;
    case TFrameFileProblem::TooLarge:
        reason = Lang(ltPictureTooLarge);
        break;
    case TFrameFileProblem::NotOpened:
    case TFrameFileProblem::NotWritten:
    case TFrameFileProblem::None:
        reason = problem.Detail;
        break;
    }
    return Lang(lead).arg(file) + " " + reason;
}

} // namespace

void TZelmont_box::SavePictureDialog(bool asShown) {
    std::vector<std::uint8_t> buffer;
    if (asShown)
        CaptureView(buffer);
    else
        buffer = FrameBuffer;
    const QString file = AskDataFile(ltSaveVideoFrame, PictureFilter, "jpg", true);
    if (file.isEmpty())
        return;
    TFrameFileProblem problem;
    if (!SaveFrame(file, buffer, &problem))
        Prompts->Inform(MainForm(), "KERVOLA", PictureProblemText(ltPictureNotSaved, file, problem),
                        QMessageBox::Warning);
}

void TZelmont_box::LoadPictureDialog() {
    const QString file = AskDataFile(ltLoadVideoFrame, PictureFilter, "jpg", false);
    if (file.isEmpty())
        return;
    TFrameFileProblem problem;
    if (!LoadFrame(file, &problem))
        Prompts->Inform(MainForm(), "KERVOLA",
                        PictureProblemText(ltPictureNotLoaded, file, problem),
                        QMessageBox::Warning);
}

void TZelmont_box::HandleKeyDown(QKeyEvent* event) {
    if (!ControlsEnabled || !event)
        return;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool alt = mods & Qt::AltModifier;
    if (alt && key >= Qt::Key_0 && key <= Qt::Key_6) {
        static constexpr QSize sizes[] = {
            {320, 240}, {640, 480}, {720, 576}, {800, 600}, {1024, 768}};
        if (key == Qt::Key_0)
            ResizeClient(FrameWidth, FrameHeight);
        else if (key == Qt::Key_6)
            MainForm()->showMaximized();
        else
            ResizeClient(sizes[key - Qt::Key_1].width(), sizes[key - Qt::Key_1].height());
        return;
    }
    if (key == Qt::Key_K && (mods & Qt::ControlModifier)) {
        // As its menu item: connected and not editing.
        if (ConnectionState > csLoggingIn && !Editing)
            MainMenuClick(TMenuCommand::CountCheck, false);
        return;
    }
    if (key == Qt::Key_F1 && (mods & Qt::ShiftModifier)) {
        ShowStrip = !ShowStrip;
        PaintView();
        return;
    }
    if (alt && key >= Qt::Key_F1 && key <= Qt::Key_F3) {
        const QSize sizes[] = {{FrameWidth, FrameHeight}, {320, 240}, {720, 576}};
        ResizeClient(sizes[key - Qt::Key_F1].width(), sizes[key - Qt::Key_F1].height(), false);
        return;
    }
    if (alt) {
        switch (key) {
        case Qt::Key_F5:
            SavePictureDialog(true);
            break;
        case Qt::Key_F7:
            SetEditing(true);
            SetLiveView(false, 0);
            PaintView();
            OpenSettings("KERVOLA");
            break;
        default:
            break;
        }
        return;
    }
    switch (key) {
    case Qt::Key_F1:
        OpenDocument("help.pdf");
        break;
    case Qt::Key_F2:
        SaveConfigDialog();
        break;
    case Qt::Key_F3:
        OpenConfigDialog();
        break;
    case Qt::Key_F4:
        ShowAddressBook();
        break;
    case Qt::Key_F5:
        SavePictureDialog(false);
        break;
    case Qt::Key_F6:
        LoadPictureDialog();
        break;
    case Qt::Key_F7:
        SwitchLiveView();
        break;
    case Qt::Key_F9:
        if (QWidget* form = MainForm())
            BuildMainMenu(SelectedIndex)->popup(form->mapToGlobal(form->pos()) + QPoint(50, 10));
        break;
    case Qt::Key_F10:
        if (QWidget* form = MainForm())
            form->close();
        break;
    default:
        break;
    }
}
