#pragma once
// The detector controller: the frame view extended with the main connection to a detector, its
// connection state machine, the command pacing on the 40 ms tick, the reply parser, and the
// dialogs through which the user chooses a detector and transfers configurations.

#include "addressbook/HostRecords.h"
#include "channel/DetectorProtocol.h"
#include "program/Winsock2_client.h"
#include "channel/velt_winsock.h"
#include "zones/TFImageHelper2.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QKeyEvent;
class QMenu;
class TMMTimer;
class TUserPrompts;
class TConnect_manager;
class TSendingForm;
class TSensorIdForm;
class TShowTextForm;
class TProgressForm;
class TDayPickerForm;
class TSafeConfig;
class TCleanForm;
class TSettingsForm;
class TSettingsBinding;
class TDataReceiver;
class TCleaningAction;
class TConfigTransfer;
struct TDetectorKey;

// The commands of the main menu; each value is the Tag its item carries.
enum class TMenuCommand : int {
    NewConfig = -2,
    Connection = -1,
    EditMode = 0,
    CreateSensor = 1,
    ChangeId = 2,
    DeleteSensor = 3,
    Copy = 4,
    Paste = 5,
    RefreshPicture = 6,
    EnableVideo = 7,
    Settings = 8,
    LoadConfig = 9,
    About = 10,
    Help = 11,
    Cleaning = 12,
    History = 30,
    ExportZones = 31,
    ImportZones = 32,
    ZoneCoordinates = 40,
    CountCheck = 41,
};

class TZelmont_box : public TQuadImager {
public:
    static constexpr unsigned TimerPeriodMs = 40;
    static constexpr int MaxPendingPictures = 2;

    // Owner = the main window, parent = its picture panel.
    TZelmont_box(QWidget* mainForm, QWidget* parent);
    ~TZelmont_box() override;

    TMMTimer* Timer() const { return MMTimer.get(); }
    TWS2_Client& Client() { return *MainClient; }

    std::uint8_t ConnectionState = csNoConnection;
    std::string Login;
    std::string Password;
    long long BodySize = 0;
    std::string FirmwareVersion;
    int StartupCountdown = 0;
    int TickCount = 0;
    int LastFrameTick = 0;
    int PendingPictures = 0;
    bool DataMode = false;
    int FramesPerSecond = 0;
    int LiveRate = 25;
    int FrameCount = 0;
    long long PicturesReceived = 0; // since creation, for diagnostics and measurement
    bool LoadConfigOnConnect = false;
    bool ControlsEnabled = true;
    THostRec CurrentHost;

    // The dialogs, owned by the main window.
    QPointer<TSendingForm> SendingForm;
    QPointer<TSensorIdForm> SensorIdForm;
    QPointer<TConnect_manager> ConnectManager;
    QPointer<TShowTextForm> ShowTextForm;
    QPointer<TProgressForm> ProgressForm;
    QPointer<TDayPickerForm> DayPickerForm;
    QPointer<TCleanForm> CleanForm; // made on first use
    QPointer<TSettingsForm> SettingsForm;

    bool OpenConnection(const std::string& host, int port, bool loadConfig,
                        const std::string& password, const std::string& login);
    void CloseConnection();
    void ConnectToHost(const THostRec* record);
    void HandleClientEvent(int event, std::string& data);
    void HandleClientError(int error);
    void HandleTimerTick(TMMTimer* timer);
    void SetDataMode(bool on);
    void ClearZoneStates();
    void ShowAddressBook();
    int QueryCleaningState();
    // One command line on the main connection, CR LF appended.
    void SendLine(const std::string& command);
    // The detector of the main connection, for the one-shot exchanges.
    TSyncTarget SyncTarget() const;
    std::string Transact(const std::string& command);
    // A one-shot exchange bound to the detector of this moment, to be run on any thread.
    std::function<std::string(const std::string&)> OneShotExchange() const;

    // A file of the data folder, asked for; empty when cancelled.
    QString AskDataFile(int title, const QString& filter, const QString& suffix, bool save);
    // Placement of dialogs: the main window's client origin on screen + offset.
    QPoint DialogPosition(int offset = 30) const;
    void ShowIdlePicture();

    // The main menu and the keyboard commands, behind the main window's own keys.
    void ShowMainMenu(int index);
    QMenu* BuildMainMenu(int index);
    void MainMenuClick(TMenuCommand command, bool checked);
    void HandleKeyDown(QKeyEvent* event);
    // A document of the document folder in the desktop's viewer; a message when it cannot.
    bool OpenDocument(const QString& name);
    // Alt+digit restores a maximised window first; the Alt+F sizes do not.
    void ResizeClient(int width, int height, bool restore = true);

    // Configuration and firmware transfer.
    void AskConfigUpload();
    void UploadConfig();
    void HandleUploadReply(const std::string& line);
    // 1 sent, 0 failed, -1 cancelled.
    int UploadFirmware();
    void ShowTransferProgress(long long total, long long done);
    // The traffic-data download: > 0 downloaded, 0 failed, -1 cancelled.
    int ReceiveDataFile();
    // The cleaning action: the dialog, the "cl" command on OK, the values back into the document.
    void ShowCleaning();

    // The settings dialog and its commands.
    void OpenSettings(const std::string& from);
    void ExecuteSettingsCommand(TSettingsForm* sender, int& code, std::string& text);

    // Modal questions and file choices; replaced by a scripted answerer in tests.
    std::unique_ptr<TUserPrompts> Prompts;
    QPointer<QMenu> MainMenu;

    // The subsystems beyond the controller's own work, each in its folder; the controller owns
    // them, lends them what they need (program/ControllerBindings) and forwards to them.
    std::unique_ptr<TConfigTransfer> Transfer;   // the upload's wait for its reply, progress
    std::unique_ptr<TSafeConfig> SafeConfig;     // undo, history, "Changes...", zones files
    std::unique_ptr<TDataReceiver> DataReceiver; // "Receive data file"
    std::unique_ptr<TCleaningAction> Cleaning;   // the cleaning dialog and command
    std::unique_ptr<TSettingsBinding> Settings;  // the settings commands' bodies
    TDetectorKey Detector() const;
    // A configuration file into the editor, as F3 loads it; false (and nothing changed) when it
    // does not load.
    bool LoadConfigFile(const std::string& file);

protected:
    bool KeyCommandsEnabled() const override { return ControlsEnabled; }
    void ParseReplies(std::string& buffer);
    void HandleReplyLine(const std::string& line);
    void HandlePictureBody(const std::string& body);
    void HandleConfigBody(const std::string& body);
    // A peer that announces more than we would ever buffer is dropped.
    void DropFaultyPeer();

private:
    bool Parsing = false;
    void SendStartupCommand();
    void PollPictures();
    void PrepareSensorIdForm(const QString& caption, const QString& id);
    void CreateSensorDialog();
    void ChangeIdDialog();
    void ShowAbout();
    // Live view: pictures at `rate`, zone states and the info strip; or none of them.
    void SetLiveView(bool live, int rate);
    void SwitchLiveView();
    void SaveConfigDialog();
    void OpenConfigDialog();
    void SavePictureDialog(bool asShown);
    void LoadPictureDialog();

    std::unique_ptr<TMMTimer> MMTimer;
    std::unique_ptr<TWS2_Client> MainClient;
};
