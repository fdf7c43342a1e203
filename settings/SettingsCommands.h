#pragma once
// The bodies of the settings dialog's commands. The controller stays the dialog's command target
// and hands each command here; what the commands need of the controller (its connections, its
// document, its questions, the transfers of other subsystems) comes through TSettingsHost.

#include "settings/Settings_form.h"

#include <QMessageBox>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <string>

class QWidget;
class TXMLConfig;

class TSettingsHost {
public:
    virtual ~TSettingsHost() = default;
    virtual TXMLConfig& Document() = 0;
    // The detector of the main connection: empty host or port 0 when none is chosen.
    virtual std::string DetectorHost() const = 0;
    virtual int DetectorPort() const = 0;
    virtual bool Connected() const = 0;
    // Bytes on the main connection as they are: they carry their own line ends.
    virtual void SendRaw(const std::string& bytes) = 0;
    virtual std::string Transact(const std::string& command) = 0;
    virtual void CloseConnection() = 0;
    virtual void AskConfigUpload() = 0;
    // > 0 done, 0 failed, -1 cancelled or already told.
    virtual int ReceiveDataFile() = 0;
    virtual int UploadFirmware() = 0;
    virtual void HideProgress() = 0;
    virtual void ShowText(const QString& text) = 0;
    virtual bool Confirm(QWidget* parent, const QString& text, QMessageBox::Icon icon) = 0;
    virtual void Inform(QWidget* parent, const QString& text, QMessageBox::Icon icon) = 0;
    virtual void OpenDocument(QWidget* owner, const QString& name) = 0;
};

// The main connection's detector and login, for the Terminal tab.
struct TTerminalTarget {
    std::string Host;
    int Port = 0;
    std::string Login;
    std::string Password;
};

class TSettingsCommands final {
public:
    explicit TSettingsCommands(TSettingsHost& host) : Host(host) {}
    TSettingsCommands(const TSettingsCommands&) = delete;
    TSettingsCommands& operator=(const TSettingsCommands&) = delete;

    // Binds the dialog's own errors, its documents and its terminal; the command event stays
    // with the controller.
    void Bind(TSettingsForm* form);
    // Places and shows the dialog on the document, creating a default one for `from` if none.
    void Open(const QPoint& where, const std::string& from, const TTerminalTarget& terminal);
    void Execute(TSettingsForm& sender, int& code, std::string& text);
    // The dialog's values into the document, before it is saved to a file; false (and the user
    // told why) when a value cannot be stored as typed.
    bool StoreSettings();
    // The time of a "gt" reply, shown in the dialog.
    void ShowTimeReply(const std::string& value);

private:
    bool ReadFromDocument() const;
    // "Ready": false when the dialog's values belong to another document, which it then shows.
    bool StoreReadySettings(TSettingsForm& sender);
    void ShowConfigAsText();
    void ApplyNetwork(TSettingsForm& sender, int& code, std::string& text);
    void AskNetworkSettings(TSettingsForm& sender, int& code);
    void ReportTransfer(int result, int success, int failure);
    // A question, then the one-shot command; the reply is not looked at.
    void ConfirmedTransact(TSettingsForm& sender, int question, int& code, const std::string& text);

    TSettingsHost& Host;
    QPointer<TSettingsForm> Form;
};
