// The controller's side of the settings dialog: it opens the dialog on the document and carries
// out the dialog's commands over its connections.
#include "program/zelmont_box.h"

#include "dialogs/progress_form.h"
#include "dialogs/show_text_form.h"
#include "lang/lang_res.h"
#include "dialogs/Prompts.h"
#include "settings/Settings_form.h"
#include "terminal/TerminalPage.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include <ctime>

void TZelmont_box::CreateSettingsForm(QWidget* owner) {
    SettingsForm = new TSettingsForm(owner);
    SettingsForm->OnCommand = [this](TSettingsForm* sender, int& code, std::string& text) {
        ExecuteSettingsCommand(sender, code, text);
    };
    SettingsForm->OnError = [this](const QString& text) {
        Prompts->Inform(SettingsForm, "KERVOLA", text, QMessageBox::Critical);
    };
    SettingsForm->OnOpenDocument = [this](const QString& name) {
        const TPromptOwner owner(Prompts, SettingsForm);
        OpenDocument(name);
    };
    SettingsForm->Terminal()->Inform = [this](QWidget* parent, const QString& text,
                                              QMessageBox::Icon icon) {
        Prompts->Inform(parent, "KERVOLA", text, icon);
    };
    SettingsForm->Terminal()->BindTransportLibrary();
}

void TZelmont_box::OpenSettings(const std::string& from) {
    if (!SettingsForm)
        return;
    SettingsForm->move(DialogPosition(30));
    SettingsForm->show();
    SettingsForm->raise();
    if (!Config->TopNode)
        Config->CreateDefault(from, "ZELMONT_SF");
    SettingsForm->LoadFromDocument(Config->TopNode.get());
    SettingsForm->TerminalHost = MainClient->Host();
    SettingsForm->TerminalPort = MainClient->Port();
    SettingsForm->TerminalLogin = Login;
    SettingsForm->TerminalPassword = Password;
}

bool TZelmont_box::SettingsReadFromDocument() const {
    // A dialog never opened, or opened on a document replaced since, holds blank or foreign
    // settings (another detector's password among them).
    return SettingsForm && Config->TopNode && SettingsForm->LoadedFrom() == Config->TopNode->Serial;
}

bool TZelmont_box::StoreSettings() {
    if (!SettingsReadFromDocument())
        return true;
    if (!SettingsForm->CheckQuotes())
        return false;
    SettingsForm->StoreToDocument(Config->TopNode.get());
    return true;
}

bool TZelmont_box::StoreReadySettings(TSettingsForm* sender) {
    if (!Config->TopNode)
        return true;
    // The dialog is not modal: a document read from another detector meanwhile must not receive
    // this one's login, password, classes and triggers, nor be offered for upload with them.
    if (sender->LoadedFrom() != Config->TopNode->Serial) {
        Prompts->Inform(sender, "KERVOLA", Lang(ltSettingsOfOtherConfig), QMessageBox::Warning);
        sender->LoadFromDocument(Config->TopNode.get());
        return false;
    }
    if (!sender->CheckQuotes())
        return false;
    sender->StoreToDocument(Config->TopNode.get());
    return true;
}

void TZelmont_box::HandleTimeReply(const std::string& value) {
    if (!SettingsForm)
        return;
    SettingsForm->DetectorTimeText = value;
    SettingsForm->ShowDetectorTime();
    if (const std::optional<long long> drift = ClockDriftSeconds(value, std::time(nullptr)))
        SettingsForm->ShowClockDrift(*drift);
    else
        SettingsForm->ClearClockDrift();
}

void TZelmont_box::ShowConfigAsText() {
    QString text;
    if (Config->TopNode) {
        if (!SettingsForm->CheckQuotes())
            return;
        // A copy: the dialog's values are shown as they would be stored, the document stays.
        TXMLNode message("message");
        message.LoadFromXML(Config->TopNode->AsXML());
        SettingsForm->StoreToDocument(&message);
        const std::string xml = message.AsXML();
        text = QString::fromUtf8(xml.data(), static_cast<qsizetype>(xml.size()));
    } else {
        text = "<message>\r\n\r\n EMPTY              \r\n\r\n</message>\r\n";
    }
    ShowTextForm->SetText(text);
    ShowTextForm->show();
    ShowTextForm->raise();
}

void TZelmont_box::ApplyNetwork(TSettingsForm* sender, int& code, std::string& text) {
    if (text.empty()) {
        Prompts->Inform(sender, "KERVOLA", Lang(ltIncorrectNetwork), QMessageBox::Critical);
        text = "cancel";
        return;
    }
    if (!Prompts->Confirm(sender, "KERVOLA", Lang(ltNetworkWarning), QMessageBox::Warning)) {
        text = "cancel";
        return;
    }
    sender->ApplyButton()->setEnabled(false);
    if (MainClient->IsConnected()) {
        MainClient->Send(text); // the lines carry their own line ends
        QThread::msleep(100);
    }
    Prompts->Inform(sender, "KERVOLA", Lang(ltWaitOneMinute), QMessageBox::Information);
    CloseConnection();
    text.clear();
    sender->ApplyButton()->setEnabled(true);
    code = scDone;
}

void TZelmont_box::AskNetworkSettings(TSettingsForm* sender, int& code) {
    if (!MainClient->IsConnected())
        return;
    sender->SetNetworkFields(ParseNetworkReply(Transact("gn")));
    const std::string ntp = Transact("gn ntp");
    // No answer keeps the list; an answer without servers empties it.
    if (ntp.find('[') != std::string::npos)
        sender->SetNtpServers(ParseNtpReply(ntp));
    code = scDone;
}

void TZelmont_box::ReportTransfer(int result, int success, int failure) {
    ProgressForm->hide();
    if (result > 0)
        Prompts->Inform(SettingsForm, "KERVOLA", Lang(success), QMessageBox::Information);
    else if (result == 0)
        Prompts->Inform(SettingsForm, "KERVOLA", Lang(failure), QMessageBox::Warning);
}

void TZelmont_box::ExecuteSettingsCommand(TSettingsForm* sender, int& code, std::string& text) {
    if (!sender)
        return;
    const TPromptOwner owner(Prompts, sender);
    if (code == scReady && !StoreReadySettings(sender)) {
        text = "cancel"; // nothing stored, nothing to offer for upload: the dialog stays
        return;
    }
    if (code == scViewXml) {
        ShowConfigAsText();
        return;
    }
    if (MainClient->Host().empty() || MainClient->Port() == 0) {
        Prompts->Inform(sender, "KERVOLA", Lang(ltNoConnection), QMessageBox::Information);
        return;
    }
    switch (code) {
    case scReady:
        AskConfigUpload();
        code = scDone;
        break;
    case scRequestTime:
        if (MainClient->IsConnected())
            SendLine("gt");
        else
            sender->ShowDetectorTime();
        break;
    case scSetTime:
        sender->RequestTimeButton()->setEnabled(false);
        sender->SetTimeButton()->setEnabled(false);
        text = Transact("st t=" + text);
        sender->RequestTimeButton()->setEnabled(true);
        sender->SetTimeButton()->setEnabled(true);
        code = scDone;
        break;
    case scApplyNetwork:
        ApplyNetwork(sender, code, text);
        break;
    case scAskNetwork:
        AskNetworkSettings(sender, code);
        break;
    case scFastReboot:
    case scCompleteReboot:
        if (!Prompts->Confirm(sender, "KERVOLA",
                              Lang(code == scFastReboot ? ltConfirmFastReboot
                                                        : ltConfirmCompleteReboot),
                              QMessageBox::Question))
            break;
        code = scDone;
        Transact(text);
        break;
    case scReceiveData:
        code = ReceiveDataFile();
        ReportTransfer(code, ltFileDownloaded, ltFileDownloadError);
        break;
    case scFirmware:
        code = UploadFirmware();
        ReportTransfer(code, ltFileUploaded, ltFileUploadError);
        break;
    case scDeleteData:
        if (!Prompts->Confirm(sender, "KERVOLA", Lang(ltConfirmDeleteData), QMessageBox::Question))
            break;
        code = scDone;
        Transact(text);
        break;
    case scCleaning:
        code = scDone;
        Transact(text);
        break;
    default:
        break;
    }
}
