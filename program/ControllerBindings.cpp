#include "program/ControllerBindings.h"

#include "cleaning/CleaningAction.h"
#include "countcheck/CountCheckWindow.h"
#include "data/ReceiveDataFile.h"
#include "dialogs/SendingForm.h"
#include "dialogs/day_picker_form.h"
#include "dialogs/progress_form.h"
#include "dialogs/show_text_form.h"
#include "program/ConfigTransfer.h"
#include "dialogs/Prompts.h"
#include "lang/lang_res.h"
#include "program/zelmont_box.h"
#include "safeconfig/SafeConfig.h"
#include "lang/lang_res.h"
#include "zoneedit/CornerTableForm.h"

namespace {

void BindSafeConfig(TZelmont_box& box) {
    box.SafeConfig = std::make_unique<TSafeConfig>(box, box.MainForm());
    TSafeConfig& safe = *box.SafeConfig;
    safe.OnLoadFile = [&box](const QString& path) { box.LoadConfigFile(path.toStdString()); };
    safe.AskFile = [&box](int title, const QString& filter, const QString& suffix, bool save) {
        return box.AskDataFile(title, filter, suffix, save);
    };
    safe.Warn = [&box](const QString& text) {
        box.Prompts->Inform(box.MainForm(), "KERVOLA", text, QMessageBox::Warning);
    };
    QObject::connect(box.SendingForm, &TSendingForm::changesClicked, box.SendingForm, [&box] {
        box.SafeConfig->ShowChanges(box.Detector(), box.DialogPosition(60));
    });
}

void BindCleaning(TZelmont_box& box) {
    box.Cleaning = std::make_unique<TCleaningAction>();
    box.Cleaning->Exchange = [&box] { return box.OneShotExchange(); };
    box.Cleaning->Exec = [&box](QDialog* dialog) { return box.Prompts->Exec(dialog); };
    box.Cleaning->SendLine = [&box](const std::string& line) { box.SendLine(line); };
}

// The refusal of a zone typed into the corner table, naming the rule it breaks; empty when valid.
QString ZoneFaultText(const TZelmont_box& box, const TQuadPoints& corners) {
    switch (QuadFault(corners, box.ViewWidth, box.ViewHeight)) {
    case TQuadFault::None:
        return {};
    case TQuadFault::NotConvex:
        return Lang(ltZoneNotConvex);
    case TQuadFault::TooSmall:
        return Lang(ltZoneTooSmall);
    case TQuadFault::TooFlat:
        return Lang(ltZoneTooFlat);
    }
    return {};
}

// The corner table lives as a child of the main window, found again when the menu asks for it.
void BindZoneCoordinates(TZelmont_box& box) {
    if (!box.MainForm())
        return;
    auto* form = new TCornerTableForm(box.MainForm());
    form->Accepting = [&box, form](const TQuadPoints& corners) {
        const QString fault = ZoneFaultText(box, corners);
        if (!fault.isEmpty())
            box.Prompts->Inform(form, "KERVOLA", fault, QMessageBox::Warning);
        return fault.isEmpty();
    };
}

// The count check is the main window's child: it lives and goes with it, and the controller
// keeps nothing of it.
void BindCountCheck(TZelmont_box& box) {
    auto* check = new TCountCheckWindow(box, box.MainForm());
    check->SwitchDataModeOn = [&box] { box.SetDataMode(true); };
    check->Available = [&box] { return box.ConnectionState > csLoggingIn && !box.Editing; };
    check->AskSaveFile = [&box] {
        return box.AskDataFile(ltCountCheckSaveTitle, Lang(ltCountCheckFilter), "csv", true);
    };
    check->Warn = [&box, check](const QString& text) {
        box.Prompts->Inform(check, "KERVOLA", text, QMessageBox::Warning);
    };
    box.OnStatesRead = [check = QPointer<TCountCheckWindow>(check)](TQuadImager&) {
        if (check)
            check->StatesRead();
    };
}

} // namespace

void ShowZoneCoordinates(TZelmont_box& box) {
    QWidget* owner = box.MainForm();
    auto* form = owner ? owner->findChild<TCornerTableForm*>() : nullptr;
    if (!form || !box.Editing || !box.HasValidSelection())
        return;
    form->Prepare(box.Quad(box.SelectedIndex)->Points, box.FrameWidth, box.FrameHeight);
    form->move(box.DialogPosition());
    if (!box.Prompts->Exec(form))
        return;
    // OK has checked them already, unless the dialog was answered without its button.
    const TQuadPoints corners = form->Corners();
    if (const QString fault = ZoneFaultText(box, corners); !fault.isEmpty()) {
        box.Prompts->Inform(owner, "KERVOLA", fault, QMessageBox::Warning);
        return;
    }
    box.SetSelectedCorners(corners);
}

void BindSubsystems(TZelmont_box& box) {
    box.Transfer = std::make_unique<TConfigTransfer>(box);
    QObject::connect(box.SendingForm, &TSendingForm::okClicked, box.SendingForm,
                     [&box] { box.UploadConfig(); });
    BindSafeConfig(box);
    box.DataReceiver = std::make_unique<TDataReceiver>(
        box.MainForm(), box.DayPickerForm, box.ProgressForm,
        [&box](long long total, long long done) { box.ShowTransferProgress(total, done); });
    box.Settings = std::make_unique<TSettingsBinding>(box);
    box.Settings->Commands.Bind(box.SettingsForm);
    BindCleaning(box);
    BindZoneCoordinates(box);
    BindCountCheck(box);
}

TXMLConfig& TSettingsBinding::Document() {
    return *Box.Config;
}

std::string TSettingsBinding::DetectorHost() const {
    return Box.Client().Host();
}

int TSettingsBinding::DetectorPort() const {
    return Box.Client().Port();
}

bool TSettingsBinding::Connected() const {
    return Box.Client().IsConnected();
}

void TSettingsBinding::SendRaw(const std::string& bytes) {
    Box.Client().Send(bytes);
}

std::string TSettingsBinding::Transact(const std::string& command) {
    return Box.Transact(command);
}

void TSettingsBinding::CloseConnection() {
    Box.CloseConnection();
}

void TSettingsBinding::AskConfigUpload() {
    Box.AskConfigUpload();
}

int TSettingsBinding::ReceiveDataFile() {
    return Box.ReceiveDataFile();
}

int TSettingsBinding::UploadFirmware() {
    return Box.UploadFirmware();
}

void TSettingsBinding::HideProgress() {
    if (Box.ProgressForm)
        Box.ProgressForm->hide();
}

void TSettingsBinding::ShowText(const QString& text) {
    if (!Box.ShowTextForm)
        return;
    Box.ShowTextForm->SetText(text);
    Box.ShowTextForm->show();
    Box.ShowTextForm->raise();
}

bool TSettingsBinding::Confirm(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    return Box.Prompts->Confirm(parent, "KERVOLA", text, icon);
}

void TSettingsBinding::Inform(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    Box.Prompts->Inform(parent, "KERVOLA", text, icon);
}

void TSettingsBinding::OpenDocument(QWidget* owner, const QString& name) {
    const TPromptOwner scope(Box.Prompts, owner);
    Box.OpenDocument(name);
}
