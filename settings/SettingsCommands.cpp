#include "settings/SettingsCommands.h"

#include "config/XMLConfig.h"
#include "lang/lang_res.h"
#include "terminal/TerminalPage.h"

#include <QThread>

#include <ctime>

void TSettingsCommands::Bind(TSettingsForm* form) {
    Form = form;
    if (!form)
        return;
    form->OnError = [this](const QString& text) { Host.Inform(Form, text, QMessageBox::Critical); };
    form->OnOpenDocument = [this](const QString& name) { Host.OpenDocument(Form, name); };
    form->Terminal()->Inform = [this](QWidget* parent, const QString& text,
                                      QMessageBox::Icon icon) { Host.Inform(parent, text, icon); };
    form->Terminal()->BindTransportLibrary();
}

void TSettingsCommands::Open(const QPoint& where, const std::string& from,
                             const TTerminalTarget& terminal) {
    if (!Form)
        return;
    Form->move(where);
    Form->show();
    Form->raise();
    TXMLConfig& config = Host.Document();
    if (!config.TopNode)
        config.CreateDefault(from, "ZELMONT_SF");
    Form->LoadFromDocument(config.TopNode.get());
    Form->TerminalHost = terminal.Host;
    Form->TerminalPort = terminal.Port;
    Form->TerminalLogin = terminal.Login;
    Form->TerminalPassword = terminal.Password;
}

bool TSettingsCommands::ReadFromDocument() const {
    // A dialog never opened, or opened on a document replaced since, holds blank or foreign
    // settings (another detector's password among them).
    const TXMLConfig& config = Host.Document();
    return Form && config.TopNode && Form->LoadedFrom() == config.TopNode->Serial;
}

bool TSettingsCommands::StoreSettings() {
    if (!ReadFromDocument())
        return true;
    if (!Form->CheckQuotes())
        return false;
    Form->StoreToDocument(Host.Document().TopNode.get());
    return true;
}

bool TSettingsCommands::StoreReadySettings(TSettingsForm& sender) {
    TXMLNode* top = Host.Document().TopNode.get();
    if (!top)
        return true;
    // The dialog is not modal: a document read from another detector meanwhile must not receive
    // this one's login, password, classes and triggers, nor be offered for upload with them.
    if (sender.LoadedFrom() != top->Serial) {
        Host.Inform(&sender, Lang(ltSettingsOfOtherConfig), QMessageBox::Warning);
        sender.LoadFromDocument(top);
        return false;
    }
    if (!sender.CheckQuotes())
        return false;
    sender.StoreToDocument(top);
    return true;
}

void TSettingsCommands::ShowTimeReply(const std::string& value) {
    if (!Form)
        return;
    Form->DetectorTimeText = value;
    Form->ShowDetectorTime();
    if (const std::optional<long long> drift = ClockDriftSeconds(value, std::time(nullptr)))
        Form->ShowClockDrift(*drift);
    else
        Form->ClearClockDrift();
}

void TSettingsCommands::ShowConfigAsText() {
    const TXMLNode* top = Host.Document().TopNode.get();
    if (!top) {
        Host.ShowText("<message>\r\n\r\n EMPTY              \r\n\r\n</message>\r\n");
        return;
    }
    if (!Form || !Form->CheckQuotes())
        return;
    // A copy: the dialog's values are shown as they would be stored, the document stays.
    TXMLNode message("message");
    message.LoadFromXML(top->AsXML());
    Form->StoreToDocument(&message);
    const std::string xml = message.AsXML();
    Host.ShowText(QString::fromUtf8(xml.data(), static_cast<qsizetype>(xml.size())));
}

void TSettingsCommands::ApplyNetwork(TSettingsForm& sender, int& code, std::string& text) {
    if (text.empty()) {
        Host.Inform(&sender, Lang(ltIncorrectNetwork), QMessageBox::Critical);
        text = "cancel";
        return;
    }
    if (!Host.Confirm(&sender, Lang(ltNetworkWarning), QMessageBox::Warning)) {
        text = "cancel";
        return;
    }
    sender.SetActionEnabled(TSettingsAction::ApplyNetwork, false);
    if (Host.Connected()) {
        Host.SendRaw(text);
        QThread::msleep(100);
    }
    Host.Inform(&sender, Lang(ltWaitOneMinute), QMessageBox::Information);
    Host.CloseConnection();
    text.clear();
    sender.SetActionEnabled(TSettingsAction::ApplyNetwork, true);
    code = scDone;
}

void TSettingsCommands::AskNetworkSettings(TSettingsForm& sender, int& code) {
    if (!Host.Connected())
        return;
    sender.SetNetworkFields(ParseNetworkReply(Host.Transact("gn")));
    const std::string ntp = Host.Transact("gn ntp");
    // No answer keeps the list; an answer without servers empties it.
    if (ntp.find('[') != std::string::npos)
        sender.SetNtpServers(ParseNtpReply(ntp));
    code = scDone;
}

void TSettingsCommands::ReportTransfer(int result, int success, int failure) {
    Host.HideProgress();
    if (result > 0)
        Host.Inform(Form, Lang(success), QMessageBox::Information);
    else if (result == 0)
        Host.Inform(Form, Lang(failure), QMessageBox::Warning);
}

void TSettingsCommands::ConfirmedTransact(TSettingsForm& sender, int question, int& code,
                                          const std::string& text) {
    if (!Host.Confirm(&sender, Lang(question), QMessageBox::Question))
        return;
    code = scDone;
    Host.Transact(text);
}

void TSettingsCommands::Execute(TSettingsForm& sender, int& code, std::string& text) {
    if (code == scReady && !StoreReadySettings(sender)) {
        text = "cancel"; // nothing stored, nothing to offer for upload: the dialog stays
        return;
    }
    if (code == scViewXml) {
        ShowConfigAsText();
        return;
    }
    if (Host.DetectorHost().empty() || Host.DetectorPort() == 0) {
        Host.Inform(&sender, Lang(ltNoConnection), QMessageBox::Information);
        return;
    }
    switch (code) {
    case scReady:
        Host.AskConfigUpload();
        code = scDone;
        break;
    case scRequestTime:
        if (Host.Connected())
            Host.SendRaw("gt\r\n");
        else
            sender.ShowDetectorTime();
        break;
    case scSetTime:
        sender.SetActionEnabled(TSettingsAction::DetectorTime, false);
        text = Host.Transact("st t=" + text);
        sender.SetActionEnabled(TSettingsAction::DetectorTime, true);
        code = scDone;
        break;
    case scApplyNetwork:
        ApplyNetwork(sender, code, text);
        break;
    case scAskNetwork:
        AskNetworkSettings(sender, code);
        break;
    case scFastReboot:
        ConfirmedTransact(sender, ltConfirmFastReboot, code, text);
        break;
    case scCompleteReboot:
        ConfirmedTransact(sender, ltConfirmCompleteReboot, code, text);
        break;
    case scReceiveData:
        code = Host.ReceiveDataFile();
        ReportTransfer(code, ltFileDownloaded, ltFileDownloadError);
        break;
    case scFirmware:
        code = Host.UploadFirmware();
        ReportTransfer(code, ltFileUploaded, ltFileUploadError);
        break;
    case scDeleteData:
        ConfirmedTransact(sender, ltConfirmDeleteData, code, text);
        break;
    case scCleaning:
        code = scDone;
        Host.Transact(text);
        break;
    default:
        break;
    }
}
