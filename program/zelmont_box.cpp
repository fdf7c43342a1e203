#include "program/zelmont_box.h"

#include "addressbook/Connection_manager.h"
#include "program/ConfigTransfer.h"
#include "program/ControllerBindings.h"
#include "cleaning/CleaningAction.h"
#include "data/ReceiveDataFile.h"
#include "dialogs/SendingForm.h"
#include "dialogs/SensorIdForm.h"
#include "dialogs/day_picker_form.h"
#include "dialogs/progress_form.h"
#include "dialogs/show_text_form.h"
#include "dialogs/Prompts.h"
#include "lang/lang_res.h"
#include "safeconfig/SafeConfig.h"
#include "zones/mm_timer.h"

#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QThread>
#include <QWidget>

TZelmont_box::TZelmont_box(QWidget* mainForm, QWidget* parent)
    : Prompts(std::make_unique<TUserPrompts>()) {
    Attach(mainForm, parent);
    OnSelect = [this](TQuadImager&, int index) { ShowMainMenu(index); };
    MMTimer = std::make_unique<TMMTimer>(mainForm, TimerPeriodMs);
    MainClient = std::make_unique<TWS2_Client>();
    MainClient->OnClientEvent = [this](int event, std::string& data) {
        HandleClientEvent(event, data);
    };
    MainClient->OnClientError = [this](int error) { HandleClientError(error); };
    ConnectionState = csNoConnection;
    SetVideoRate(0);
    DataMode = false;
    SetEditing(true);
    FramesPerSecond = 0;
    LiveRate = 25;

    SendingForm = new TSendingForm(mainForm);
    SensorIdForm = new TSensorIdForm(mainForm);
    ConnectManager = new TConnect_manager(mainForm);
    ConnectManager->OnChoose = [this](QObject*, const THostRec* record) { ConnectToHost(record); };
    ShowTextForm = new TShowTextForm(mainForm);
    ProgressForm = new TProgressForm(mainForm);
    DayPickerForm = new TDayPickerForm(mainForm);
    SettingsForm = new TSettingsForm(mainForm);
    SettingsForm->OnCommand = [this](TSettingsForm* sender, int& code, std::string& text) {
        ExecuteSettingsCommand(sender, code, text);
    };
    BindSubsystems(*this);
    ControlsEnabled = true;
    CurrentHost.Clear();
}

TZelmont_box::~TZelmont_box() {
    // The cleaning dialog belongs to the main window and may outlive us: its poll must not ask.
    if (CleanForm)
        CleanForm->SetStateQuery({}, nullptr);
    MMTimer.reset();
    // Nothing is told about an upload while the windows go.
    Transfer->UploadInFlight.reset();
    // The client reports its disconnection through us while it goes: let it go while we exist.
    MainClient.reset();
}

QPoint TZelmont_box::DialogPosition(int offset) const {
    const QWidget* form = MainForm();
    if (!form)
        return {offset, offset};
    return form->mapToGlobal(QPoint(0, 0)) + QPoint(offset, offset);
}

void TZelmont_box::ShowIdlePicture() {
    ShowTextFrame(Lang(ltRightClickForMenu));
}

void TZelmont_box::SendLine(const std::string& command) {
    MainClient->Send(command + "\r\n");
}

bool TZelmont_box::OpenConnection(const std::string& host, int port, bool loadConfig,
                                  const std::string& password, const std::string& login) {
    if (ConnectionState != csNoConnection)
        MainClient->Disconnect();
    ConnectionState = csNoConnection;
    FirmwareVersion.clear();
    Login = login;
    Password = password;
    StartupCountdown = 20;
    TickCount = 0;
    PendingPictures = 0;
    LastFrameTick = 0;
    LoadConfigOnConnect = loadConfig;
    Transfer->ForgetUpload();
    ConnectionState = csConnecting;
    const bool started = MainClient->Connect(host, port);
    // A connect that cannot even start would otherwise leave "Connection in progress..." up for
    // good.
    if (!started)
        ConnectionState = csNoConnection;
    return started;
}

void TZelmont_box::CloseConnection() {
    FirmwareVersion.clear();
    CurrentHost.Clear();
    MainClient->Disconnect();
    // A connect still pending reports no disconnection: the state must not stay "connecting".
    ConnectionState = csNoConnection;
    Transfer->ForgetUpload();
    if (!Editing)
        GreyMode = true;
    PaintView();
}

void TZelmont_box::ConnectToHost(const THostRec* record) {
    if (!record) {
        CloseConnection();
        ClearZoneStates();
        return;
    }
    CurrentHost.Assign(*record);
    const bool loadConfig = ConnectManager && ConnectManager->LoadCurrentConfig();
    if (loadConfig) {
        Config->CreateDefault("", "");
        Config->ReadSensors(*this);
        EditFinished();
    }
    ShowIdlePicture();
    const THostRec target = CurrentHost;
    OpenConnection(target.Address, target.Port, loadConfig, target.Password, target.Login);
}

void TZelmont_box::HandleClientEvent(int event, std::string& data) {
    switch (event) {
    case ceConnected:
        if (ConnectionState != csConnecting)
            return;
        ConnectionState = csLoggingIn;
        SendLine(Login);
        QThread::msleep(100);
        SendLine(Password);
        QThread::msleep(100);
        return;
    case ceDisconnected:
        ConnectionState = csNoConnection;
        Transfer->ForgetUpload();
        return;
    case ceData:
        if (ConnectionState == csLoggingIn) {
            // Whatever arrives first after the login lines is the acceptance.
            data.clear();
            ConnectionState = csReady;
            if (LoadConfigOnConnect) {
                SendLine("gc");
                SendLine("gf");
            }
            GreyMode = false;
            return;
        }
        if (ConnectionState >= csReady)
            ParseReplies(data);
        return;
    default:
        return;
    }
}

void TZelmont_box::HandleClientError(int) {
    ConnectionState = csNoConnection;
    Transfer->ForgetUpload();
}

void TZelmont_box::DropFaultyPeer() {
    MainClient->Disconnect();
    ConnectionState = csNoConnection;
    Transfer->ForgetUpload();
}

void TZelmont_box::ParseReplies(std::string& buffer) {
    // A handler that runs a nested event loop (a modal box) may bring more data: it is appended
    // to this same buffer and taken by this loop, never parsed twice by a nested one.
    if (Parsing)
        return;
    const QScopedValueRollback<bool> parsing(Parsing, true);
    size_t consumed = 0;
    for (;;) {
        const bool body = ConnectionState == csConfigBody || ConnectionState == csPictureBody;
        if (!body && ConnectionState != csReady)
            break;
        std::string item;
        const TReplyStep step = NextReply(buffer, consumed, body ? BodySize : -1, item);
        if (step == TReplyStep::NeedMore)
            break;
        if (step == TReplyStep::Faulty) {
            DropFaultyPeer();
            return;
        }
        if (step == TReplyStep::Body) {
            const bool picture = ConnectionState == csPictureBody;
            ConnectionState = csReady;
            if (picture)
                HandlePictureBody(item);
            else
                HandleConfigBody(item);
        } else {
            HandleReplyLine(item);
        }
        if (ConnectionState < csReady)
            return; // the connection went, and its buffer with it
    }
    buffer.erase(0, std::min(consumed, buffer.size()));
}

void TZelmont_box::HandleReplyLine(const std::string& line) {
    if (line.size() < 2)
        return;
    const std::string code = line.substr(0, 2);
    const std::string rest = line.size() > 3 ? line.substr(3) : std::string();
    if (code == "gc" || code == "gp") {
        long long n = 0;
        if (!AnnouncedCount(line, n))
            return;
        BodySize = n;
        const long long body = BodyAnnounced(line);
        if (body == 0)
            return;
        if (body < 0) {
            DropFaultyPeer();
            return;
        }
        ConnectionState = code == "gc" ? csConfigBody : csPictureBody;
    } else if (code == "gv") {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            FirmwareVersion = line.substr(eq + 1);
    } else if (code == "gs") {
        if (!DataMode)
            return;
        for (const TZoneState& s : ParseZoneStates(rest))
            if (TQuadBase* zone = Quad(IndexOfId(s.Id)))
                zone->Active = s.Active;
        if (OnStatesRead)
            OnStatesRead(*this);
        PaintView();
    } else if (code == "ge") {
        if (!DataMode)
            return;
        for (const TZoneEvent& e : ParseZoneEvents(rest)) {
            if (TQuadBase* zone = Quad(IndexOfId(e.Id))) {
                zone->Active = e.Active;
                zone->Reading = e.Level;
            }
        }
        if (OnStatesRead)
            OnStatesRead(*this);
        PaintView();
    } else if (code == "sc") {
        // A reply that carries no count still answers the upload that waits: it confirms
        // nothing, and no other reply will come for it.
        if (line.find('=') != std::string::npos || Transfer->UploadInFlight)
            HandleUploadReply(line);
    } else if (code == "gt") {
        Settings->Commands.ShowTimeReply(ParseTimeReply(rest));
    } else if (code == "gf") {
        const int rate = ParseRateReply(rest, static_cast<int>(MMTimer->TimerRate()));
        // A rate of 0 or one that is no number gives no timer period: keep the one we have.
        if (rate <= 0 || rate > 1000)
            return;
        if (1000u / static_cast<unsigned>(rate) != MMTimer->Interval()) {
            MMTimer->SetInterval(1000u / static_cast<unsigned>(rate));
            LiveRate = static_cast<int>(MMTimer->TimerRate());
        }
    }
}

void TZelmont_box::HandlePictureBody(const std::string& body) {
    SetFrameJPEG(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
    ++FrameCount;
    ++PicturesReceived;
    LastFrameTick = TickCount;
    if (PendingPictures > 0)
        --PendingPictures;
}

void TZelmont_box::HandleConfigBody(const std::string& body) {
    // Parsed on the side, so that a body that is no document leaves the present one whole.
    TXMLConfig received;
    if (!received.LoadFromText(body))
        return;
    Config->TopNode = std::move(received.TopNode);
    Config->ReadSensors(*this);
    if (Editing)
        SelectedIndex = Count() - 1;
    SafeConfig->Undo().Reset();
    SafeConfig->ConfigRead(Detector(), body);
    PaintView();
}

void TZelmont_box::HandleTimerTick(TMMTimer* timer) {
    if (timer != MMTimer.get())
        return;
    const int rate = static_cast<int>(MMTimer->TimerRate());
    ++TickCount;
    if (rate > 0 && TickCount % rate == 0) {
        FramesPerSecond = FrameCount;
        FrameCount = 0;
    }
    if (ConnectionState <= csLoggingIn)
        return;
    // Counted in the timer's own period, which a "gf" reply may have changed.
    Transfer->WaitForUploadReply(MMTimer->Interval());
    if (StartupCountdown > 0) {
        SendStartupCommand();
        return;
    }
    if (VideoRate > 0)
        PollPictures();
    else if (TickCount % 1000 == 0)
        SendLine("gs");
}

void TZelmont_box::SendStartupCommand() {
    switch (StartupCountdown) {
    case 4:
        SendLine("gv");
        break;
    case 3:
        SendLine("gp");
        break;
    case 2:
        if (DataMode)
            SendLine("sm data=on");
        break;
    case 1:
        SendLine("ge");
        break;
    default:
        break;
    }
    --StartupCountdown;
}

void TZelmont_box::PollPictures() {
    const int rate = static_cast<int>(MMTimer->TimerRate());
    if (TickCount - LastFrameTick > rate && PendingPictures >= MaxPendingPictures)
        PendingPictures = 0; // a second without a picture: the requests are lost
    // At the timer's rate, or above it (where one request per tick is all the timer allows),
    // requests are capped at two in flight so the detector's encoder sets the pace.
    if (VideoRate >= rate) {
        if (PendingPictures < MaxPendingPictures) {
            SendLine("gp");
            ++PendingPictures;
        }
        return;
    }
    if (TickCount % (rate / VideoRate) == 0) {
        SendLine("gp");
        ++PendingPictures;
    }
}

void TZelmont_box::SetDataMode(bool on) {
    DataMode = on;
    if (ConnectionState > csLoggingIn) {
        if (on) {
            SendLine("sm data=on");
            SendLine("gs");
            SendLine("ge");
        } else {
            SendLine("sm data=off");
            ClearZoneStates();
        }
    }
    GreyMode = Editing ? false : !DataMode;
}

void TZelmont_box::ClearZoneStates() {
    ClearStates();
    PaintView();
}

void TZelmont_box::ShowAddressBook() {
    if (!ConnectManager)
        return;
    if (ConnectManager->isVisible()) {
        ConnectManager->activateWindow();
        return;
    }
    ConnectManager->move(DialogPosition());
    ConnectManager->LoadHosts();
    ConnectManager->exec();
    ConnectManager->SaveHosts();
}

TDetectorKey TZelmont_box::Detector() const {
    return {MainClient->Host(), MainClient->Port(), CurrentHost.Caption};
}

TSyncTarget TZelmont_box::SyncTarget() const {
    return {MainClient->Host(), MainClient->Port(), Login, Password};
}

std::string TZelmont_box::Transact(const std::string& command) {
    return ::Transact(SyncTarget(), command);
}

void TZelmont_box::OpenSettings(const std::string& from) {
    Settings->Commands.Open(DialogPosition(30), from,
                            {MainClient->Host(), MainClient->Port(), Login, Password});
}

void TZelmont_box::ExecuteSettingsCommand(TSettingsForm* sender, int& code, std::string& text) {
    if (!sender)
        return;
    // The dialog stays on top: its questions and messages must open above it.
    const TPromptOwner owner(Prompts, sender);
    Settings->Commands.Execute(*sender, code, text);
}

int TZelmont_box::ReceiveDataFile() {
    // A picture or configuration body on its way still means a logged-in connection.
    if (ConnectionState < csReady)
        return -1;
    return DataReceiver->Receive(SyncTarget(), FirmwareVersion, DialogPosition(0), Prompts.get());
}

std::function<std::string(const std::string&)> TZelmont_box::OneShotExchange() const {
    return
        [target = SyncTarget()](const std::string& command) { return ::Transact(target, command); };
}

int TZelmont_box::QueryCleaningState() {
    return Cleaning->QueryState();
}

void TZelmont_box::ShowCleaning() {
    if (!CleanForm)
        CleanForm = Cleaning->CreateForm(MainForm());
    Cleaning->Show(*CleanForm, *Config, DialogPosition());
}

void TZelmont_box::AskConfigUpload() {
    Transfer->AskConfigUpload();
}

void TZelmont_box::UploadConfig() {
    Transfer->UploadConfig();
}

void TZelmont_box::HandleUploadReply(const std::string& line) {
    Transfer->HandleUploadReply(line);
}

int TZelmont_box::UploadFirmware() {
    return Transfer->UploadFirmware();
}

void TZelmont_box::ShowTransferProgress(long long total, long long done) {
    Transfer->ShowTransferProgress(total, done);
}
