#pragma once
// The main detector connection: one long-lived non-blocking TCP socket whose readiness
// notifications arrive on the GUI thread, as the window messages of the socket library did.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>

enum TClientEvent : int { ceDisconnected = 0, ceConnected = 1, ceData = 2 };

// The socket notification kinds, as bits of the event word.
constexpr int FD_READ = 0x01;
constexpr int FD_WRITE = 0x02;
constexpr int FD_CONNECT = 0x10;
constexpr int FD_CLOSE = 0x20;

constexpr int WM_SOCKET = 0x416;

class TWS2_Client {
public:
    // event code and, for ceData, the input buffer (consumed in place by the owner); for the
    // other events the host text.
    using TClientEventProc = std::function<void(int event, std::string& data)>;
    using TClientErrorProc = std::function<void(int error)>;

    static constexpr size_t ReadChunk = 1'000'000;
    static constexpr size_t OutputLimit = 1'000'000;

    TWS2_Client();
    ~TWS2_Client();
    TWS2_Client(const TWS2_Client&) = delete;
    TWS2_Client& operator=(const TWS2_Client&) = delete;

    bool Connect(const std::string& host, int port);
    void Send(const std::string& text);
    void Disconnect();
    bool IsConnected() const { return Connected; }

    // One notification: the event in the low word, an error code in the high word.
    void HandleSocketEvent(int event, int error);

    const std::string& Host() const { return HostText; }
    int Port() const { return PortNumber; }
    int SocketHandle() const { return Socket; }
    std::string& InputBuffer() { return Input; }
    size_t PendingOutput() const { return Output.size(); }

    TClientEventProc OnClientEvent;
    TClientErrorProc OnClientError;

private:
    void CloseSocket();
    void Fire(int event, std::string& data);
    void FlushOutput();
    void WatchWrite(bool on);
    void OnReadable();
    void OnWritable();

    bool Connected = false;
    bool Connecting = false;
    int Socket = -1;
    std::string HostText;
    int PortNumber = 0;
    std::string Output;
    std::string Input;
    std::unique_ptr<QSocketNotifier> ReadNotifier;
    std::unique_ptr<QSocketNotifier> WriteNotifier;
};
