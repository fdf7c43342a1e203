#pragma once
// What the controller lends the subsystems it owns: each gets its narrow interface filled in from
// the controller's connections, document, dialogs and questions, and nothing more.

#include "settings/SettingsCommands.h"

class TZelmont_box;

// Makes the subsystems the controller owns and fills in their interfaces; the controller's
// dialogs exist by then.
void BindSubsystems(TZelmont_box& box);
// "Zone coordinates...": the selected zone's corners in a table; OK applies them as one step.
void ShowZoneCoordinates(TZelmont_box& box);

class TSettingsBinding final : public TSettingsHost {
public:
    explicit TSettingsBinding(TZelmont_box& box) : Box(box), Commands(*this) {}

    TXMLConfig& Document() override;
    std::string DetectorHost() const override;
    int DetectorPort() const override;
    bool Connected() const override;
    void SendRaw(const std::string& bytes) override;
    std::string Transact(const std::string& command) override;
    void CloseConnection() override;
    void AskConfigUpload() override;
    int ReceiveDataFile() override;
    int UploadFirmware() override;
    void HideProgress() override;
    void ShowText(const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text, QMessageBox::Icon icon) override;
    void Inform(QWidget* parent, const QString& text, QMessageBox::Icon icon) override;
    void OpenDocument(QWidget* owner, const QString& name) override;

private:
    TZelmont_box& Box;

public:
    TSettingsCommands Commands;
};
