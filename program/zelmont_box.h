#pragma once
// The detector controller: the frame view extended with the main connection to a detector, its
// connection state machine, the command pacing on the 40 ms tick, the reply parser, and the
// dialogs through which the user chooses a detector and transfers configurations.

#include "addressbook/HostRecords.h"
#include "program/DetectorProtocol.h"
#include "program/Winsock2_client.h"
#include "program/velt_winsock.h"
#include "zones/TFImageHelper2.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class QKeyEvent;
class QMenu;
class TMMTimer;
class TConnect_manager;
class TSendingForm;
class TSensorIdForm;
class TShowTextForm;
class TProgressForm;
class TDayPickerForm;

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

    // Placement of dialogs: the main window's client origin on screen + offset.
    QPoint DialogPosition(int offset = 30) const;
    void ShowIdlePicture();

    // The keyboard commands, behind the main window's own keys.
    void HandleKeyDown(QKeyEvent* event);

    // The reply side of a configuration upload, and its byte count as sent.
    void HandleUploadReply(const std::string& line);

    // Hooks for what other parts of the program show.
    std::function<void(const std::string& value)> OnTimeReply;

protected:
    void ParseReplies(std::string& buffer);
    void HandleReplyLine(const std::string& line);
    void HandlePictureBody(const std::string& body);
    void HandleConfigBody(const std::string& body);
    // A peer that announces more than we would ever buffer is dropped.
    void DropFaultyPeer();

private:
    void SendStartupCommand();
    void PollPictures();

    std::unique_ptr<TMMTimer> MMTimer;
    std::unique_ptr<TWS2_Client> MainClient;
};
