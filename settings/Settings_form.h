#pragma once
// The settings dialog: the detector's system, camera, serial-port and trigger settings of the
// configuration document, and the buttons of its administration commands. It never talks to the
// detector: every command button fires OnCommand, whose handler belongs to the controller.

#include "channel/AdminText.h"
#include "settings/SettingsValues.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimeEdit;
class QToolButton;
class TTerminalPage;
class TXMLNode;

// The actions a running command holds back, so the user cannot fire them again meanwhile.
enum class TSettingsAction { DetectorTime, ApplyNetwork };

// Command codes of OnCommand.
enum TSettingsCommand : int {
    scReady = 0,
    scRequestTime = 1,
    scSetTime = 2,
    scApplyNetwork = 3,
    scAskNetwork = 4,
    scFastReboot = 5,
    scCompleteReboot = 6,
    scViewXml = 7,
    scReceiveData = 8,
    scFirmware = 9,
    scDeleteData = 10,
    scCleaning = 11,
    scDone = 255,
};

class TSettingsForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSettingsForm)
public:
    enum TPage : int { pgSystem = 0, pgNetwork, pgAsync, pgAdministration, pgTerminal };

    explicit TSettingsForm(QWidget* parent = nullptr);
    ~TSettingsForm() override;

    // Fired by every command button: (sender, in/out code, in/out text).
    std::function<void(TSettingsForm*, int&, std::string&)> OnCommand;
    // The dialog's own errors (class check, values that cannot be stored); a message box unless
    // replaced.
    std::function<void(const QString&)> OnError;
    // "About triggers": opens a document of the document folder.
    std::function<void(const QString& name)> OnOpenDocument;

    std::string DetectorTimeText;
    std::string TerminalHost;
    int TerminalPort = 0;
    std::string TerminalLogin;
    std::string TerminalPassword;
    std::string LastTerminalCommand;
    int TerminalHandle = 0;

    void LoadFromDocument(const TXMLNode* top);
    void StoreToDocument(TXMLNode* top) const;
    // The serial number of the document top the controls were last loaded from, 0 before.
    std::uint64_t LoadedFrom() const { return LoadedSerial; }

    TSettingsValues Values() const;
    void SetValues(const TSettingsValues& values);

    void ShowDetectorTime();
    // How far the detector's clock is from the PC's, after a fresh clock reply.
    void ShowClockDrift(long long seconds);
    void ClearClockDrift();
    void SetNetworkFields(const TNetworkFields& fields);
    void SetNtpServers(const std::vector<std::string>& servers);
    void SetActionEnabled(TSettingsAction action, bool on);
    // The "Set time" text of the pickers (after "Auto" took the PC's time).
    std::string PickerTimeText() const;
    // The drift text in the selected language, e.g. "Detector clock: 12 s behind the PC".
    static QString ClockDriftText(long long seconds);

    QTabWidget* Pages() const { return Tabs; }
    QWidget* TerminalTab() const { return TerminalPage; }
    TTerminalPage* Terminal() const { return Console; }
    QLineEdit* LabelEdit() const { return Label; }
    QDateEdit* DatePicker() const { return Date; }
    QTimeEdit* TimePicker() const { return Time; }
    QPushButton* RequestTimeButton() const { return RequestTime; }
    QPushButton* SetTimeButton() const { return SetTime; }
    QToolButton* PcTimeButton() const { return PcTime; }
    QCheckBox* AutoCheck() const { return Auto; }
    QLabel* DriftLabel() const { return Drift; }
    QLineEdit* DataIntervalEdit() const { return DataInterval; }
    QSlider* QualitySlider() const { return Quality; }
    QLabel* QualityDisplay() const { return QualityNumber; }
    QLineEdit* LoginEdit() const { return Login; }
    QLineEdit* PasswordEdit() const { return Password; }
    QLineEdit* ClassesEdit() const { return Classes; }
    QComboBox* JpegRateCombo() const { return JpegRate; }
    QLineEdit* VideoPortEdit() const { return VideoPort; }
    QComboBox* ResolutionCombo() const { return Resolution; }
    QLineEdit* BackupEdit() const { return Backup; }
    QCheckBox* MilesCheck() const { return Miles; }
    QLineEdit* IpEdit() const { return Ip; }
    QLineEdit* NetmaskEdit() const { return Netmask; }
    QLineEdit* GatewayEdit() const { return Gateway; }
    QLineEdit* DnsEdit() const { return Dns; }
    QCheckBox* DnsAutoCheck() const { return DnsAuto; }
    QLineEdit* PortEdit() const { return Port; }
    QCheckBox* NtpCheck() const { return Ntp; }
    QPlainTextEdit* NtpList() const { return NtpServers; }
    QToolButton* AskNetworkButton() const { return AskNetwork; }
    QPushButton* ApplyButton() const { return Apply; }
    QComboBox* SerialPortCombo() const { return SerialPort; }
    QLineEdit* SerialAddressEdit() const { return SerialAddress; }
    QComboBox* BaudRateCombo() const { return BaudRate; }
    QComboBox* ProtocolCombo() const { return Protocol; }
    QToolButton* ReceiveDataButton() const { return ReceiveData; }
    QToolButton* FirmwareButton() const { return Firmware; }
    QToolButton* DeleteDataButton() const { return DeleteData; }
    QToolButton* FastRebootButton() const { return FastReboot; }
    QToolButton* CompleteRebootButton() const { return CompleteReboot; }
    QToolButton* CleaningButton() const { return Cleaning; }
    QPushButton* AboutTriggersButton() const { return AboutTriggers; }
    QPlainTextEdit* TriggerList() const { return Triggers; }
    QToolButton* ViewXmlButton() const { return ViewXml; }
    QPushButton* ReadyButton() const { return Ready; }
    QPushButton* CancelButton() const { return Cancel; }

    // The handlers of the buttons and boxes, callable without a click.
    void RequestTimeClick();
    void SetTimeClick();
    void PcTimeClick();
    void ApplyClick();
    void AskNetworkClick();
    void ReadyClick();
    void ViewXmlClick();
    void CommandClick(int code, const std::string& text, bool closeOnDone);
    void AboutTriggersClick();
    void DnsAutoToggled(bool checked);
    void NtpToggled(bool checked);
    void CheckClassesField();
    // Attribute values are written unescaped between quotes, so a typed value holding both kinds
    // could only be stored changed. False, after naming the first such field to the user and
    // showing it, when one does.
    bool CheckQuotes();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildSystemPage(QWidget* page);
    void BuildNetworkPage(QWidget* page);
    void BuildAsyncPage(QWidget* page);
    void BuildAdministrationPage(QWidget* page);
    void SetCaptions();
    int Fire(int code, std::string& text);
    void PageChanged(int index);

    QTabWidget* Tabs;
    QWidget* TerminalPage;
    TTerminalPage* Console;
    QLabel* LabelCaption;
    QLineEdit* Label;
    QToolButton* ViewXml;
    QPushButton* Ready;
    QPushButton* Cancel;

    QDateEdit* Date;
    QTimeEdit* Time;
    QPushButton* RequestTime;
    QPushButton* SetTime;
    QToolButton* PcTime;
    QCheckBox* Auto;
    QLabel* Drift;
    QLabel* DataIntervalCaption;
    QLineEdit* DataInterval;
    QLabel* QualityCaption;
    QSlider* Quality;
    QLabel* QualityNumber;
    QLabel* LoginCaption;
    QLineEdit* Login;
    QLabel* PasswordCaption;
    QLineEdit* Password;
    QLabel* ClassesCaption;
    QLineEdit* Classes;
    QLabel* JpegRateCaption;
    QComboBox* JpegRate;
    QLabel* VideoPortCaption;
    QLineEdit* VideoPort;
    QLabel* ResolutionCaption;
    QComboBox* Resolution;
    QLabel* BackupCaption;
    QLineEdit* Backup;
    QCheckBox* Miles;

    QLabel* IpCaption;
    QLineEdit* Ip;
    QLabel* NetmaskCaption;
    QLineEdit* Netmask;
    QLabel* GatewayCaption;
    QLineEdit* Gateway;
    QLabel* DnsCaption;
    QLineEdit* Dns;
    QCheckBox* DnsAuto;
    QLabel* PortCaption;
    QLineEdit* Port;
    QCheckBox* Ntp;
    QPlainTextEdit* NtpServers;
    QToolButton* AskNetwork;
    QPushButton* Apply;

    QLabel* SerialPortCaption;
    QComboBox* SerialPort;
    QLabel* SerialAddressCaption;
    QLineEdit* SerialAddress;
    QLabel* BaudRateCaption;
    QComboBox* BaudRate;
    QLabel* ProtocolCaption;
    QComboBox* Protocol;

    QToolButton* ReceiveData;
    QToolButton* Firmware;
    QToolButton* DeleteData;
    QToolButton* FastReboot;
    QToolButton* CompleteReboot;
    QToolButton* Cleaning;
    QPushButton* AboutTriggers;
    QLabel* TriggersCaption;
    QPlainTextEdit* Triggers;

    std::uint64_t LoadedSerial = 0;
    bool CheckingClasses = false;
};
