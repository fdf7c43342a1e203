// The popup main menu and the keyboard commands of the detector controller.
#include "program/zelmont_box.h"

#include "dialogs/SensorIdForm.h"
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
    struct Item {
        int Text; // 0: separator
        int Tag;
        bool Enabled;
        int Checkable; // -1 no, else the checked state
    };
    const Item items[] = {
        {ltConnection, -1, true, -1},
        {0, 0, false, -1},
        {ltEditMode, 0, true, Editing ? 1 : 0},
        {0, 0, false, -1},
        {ltNewConfig, -2, Editing, -1},
        {0, 0, false, -1},
        {ltCreateSensor, 1, Editing, -1},
        {ltChangeId, 2, index >= 0, -1},
        {ltDeleteSensor, 3, index >= 0, -1},
        {0, 0, false, -1},
        {ltCopy, 4, index >= 0, -1},
        {ltPaste, 5, Editing, -1},
        {0, 0, false, -1},
        {ltRefreshPicture, 6, connected, -1},
        {ltEnableVideo, 7, connected && !Editing, VideoRate > 0 ? 1 : 0},
        {0, 0, false, -1},
        {ltSettingsMenu, 8, Editing, -1},
        {ltCleaning, 12, connected, -1},
        {0, 0, false, -1},
        {ltLoadConfig, 9, connected && Editing, -1},
        {0, 0, false, -1},
        {ltAboutMenu, 10, true, -1},
        {ltHelp, 11, true, -1},
        // Safe configuration work
        {0, 0, false, -1},
        {ltHistoryMenu, 30, connected, -1},
        {ltExportZonesMenu, 31, true, -1},
        {ltImportZonesMenu, 32, Editing, -1},
    };
    for (const Item& item : items) {
        if (item.Text == 0) {
            MainMenu->addSeparator();
            continue;
        }
        QAction* action = MainMenu->addAction(Lang(item.Text));
        action->setData(item.Tag);
        action->setEnabled(item.Enabled);
        if (item.Checkable >= 0) {
            action->setCheckable(true);
            action->setChecked(item.Checkable == 1);
        }
        const int tag = item.Tag;
        QObject::connect(action, &QAction::triggered, MainMenu,
                         [this, tag](bool checked) { MainMenuClick(tag, checked); });
    }
    return MainMenu;
}

void TZelmont_box::MainMenuClick(int tag, bool checked) {
    switch (tag) {
    case -1:
        ShowAddressBook();
        break;
    case 0:
        SetEditing(checked);
        if (Editing) {
            SetVideoRate(0);
            SetDataMode(false);
            ShowStrip = false;
        }
        PaintView();
        break;
    case -2:
        if (!Prompts->Confirm(MainForm(), Lang(ltNewConfig), Lang(ltNewConfigWarning),
                              QMessageBox::Warning))
            break;
        SetVideoRate(0);
        SetDataMode(false);
        Config->CreateDefault("KERVOLA2", "ZELMONT_SF");
        Config->ReadSensors(*this);
        RecordStep();
        PaintView();
        break;
    case 1:
        CreateSensorDialog();
        break;
    case 2:
        ChangeIdDialog();
        break;
    case 3:
        DeleteSelected();
        break;
    case 4:
        CopySensor();
        break;
    case 5:
        PasteSensor();
        break;
    case 6:
        ++PendingPictures;
        SendLine("gp");
        break;
    case 7:
        if (checked) {
            SetVideoRate(LiveRate);
            SetDataMode(true);
            ShowStrip = true;
        } else {
            SetVideoRate(0);
            SetDataMode(false);
            ShowStrip = false;
        }
        LastFrameTick = TickCount;
        PendingPictures = 0;
        PaintView();
        break;
    case 8:
        OpenSettings("KERVOLA2");
        break;
    case 9:
        AskConfigUpload();
        break;
    case 10:
        ShowAbout();
        break;
    case 11:
        OpenDocument("help.pdf");
        break;
    case 12:
        ShowCleaning();
        break;
    case 30:
        SafeConfig->ShowHistory(Detector(), DialogPosition());
        break;
    case 31:
        ExportZonesDialog();
        break;
    case 32:
        ImportZonesDialog();
        break;
    default:
        break;
    }
}

void TZelmont_box::PrepareSensorIdForm(const QString& caption, const QString& id) {
    SensorIdForm->move(DialogPosition());
    SensorIdForm->setWindowTitle(caption);
    SensorIdForm->OkButton()->setText(Lang(ltOK));
    SensorIdForm->CancelButton()->setText(Lang(ltCancel));
    SensorIdForm->IdLabel()->setText(Lang(ltInputId));
    QStringList ids;
    GetIds(ids);
    SensorIdForm->SetIds(ids);
    SensorIdForm->IdEdit()->setText(id);
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

void TZelmont_box::SwitchLiveView() {
    if (Editing) {
        SetEditing(false);
        SetVideoRate(static_cast<int>(Timer()->TimerRate()));
        SetDataMode(true);
        ShowStrip = true;
    } else {
        SetEditing(true);
        SetVideoRate(0);
        SetDataMode(false);
        ShowStrip = false;
    }
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
    if (!StoreSettings())
        return;
    RebaseUndo(); // saving is no step of its own, the stored settings included
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
    RecordStep();
    PaintView();
    return true;
}

void TZelmont_box::OpenConfigDialog() {
    const QString file = AskDataFile(ltLoadConfigFromFile, ConfigFilter, "xml", false);
    if (!file.isEmpty())
        LoadConfigFile(file.toStdString());
}

void TZelmont_box::ExportZonesDialog() {
    const QString file = AskDataFile(ltExportZonesMenu, Lang(ltZonesFileFilter), "xml", true);
    if (file.isEmpty())
        return;
    const QString problem = SafeConfig->ExportZones(file);
    if (!problem.isEmpty())
        Prompts->Inform(MainForm(), "KERVOLA", problem, QMessageBox::Warning);
}

void TZelmont_box::ImportZonesDialog() {
    const QString file = AskDataFile(ltImportZonesMenu, Lang(ltZonesFileFilter), "xml", false);
    if (file.isEmpty())
        return;
    const QString problem = SafeConfig->ImportZones(file);
    if (!problem.isEmpty())
        Prompts->Inform(MainForm(), "KERVOLA", problem, QMessageBox::Warning);
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
    if (key == Qt::Key_F1 && (mods & Qt::ShiftModifier)) {
        ShowStrip = !ShowStrip;
        PaintView();
        return;
    }
    if (alt) {
        switch (key) {
        case Qt::Key_F1:
            ResizeClient(FrameWidth, FrameHeight, false);
            break;
        case Qt::Key_F2:
            ResizeClient(320, 240, false);
            break;
        case Qt::Key_F3:
            ResizeClient(720, 576, false);
            break;
        case Qt::Key_F5:
            SavePictureDialog(true);
            break;
        case Qt::Key_F7:
            SetEditing(true);
            SetVideoRate(0);
            SetDataMode(false);
            ShowStrip = false;
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
