#include "program/Winsock2_client.h"

#include "channel/velt_winsock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

TWS2_Client::TWS2_Client() = default;

TWS2_Client::~TWS2_Client() {
    if (Connected) {
        Connected = false;
        Fire(ceDisconnected, HostText);
    }
    CloseSocket();
}

void TWS2_Client::Fire(int event, std::string& data) {
    if (OnClientEvent)
        OnClientEvent(event, data);
}

void TWS2_Client::CloseSocket() {
    // The owner may close from inside a notification: the notifiers go later, never under
    // their own signal.
    for (auto* n : {&ReadNotifier, &WriteNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            n->release()->deleteLater();
        }
    }
    if (Socket >= 0) {
        ::shutdown(Socket, SHUT_RDWR);
        ::close(Socket);
    }
    Socket = -1;
    Connecting = false;
}

bool TWS2_Client::Connect(const std::string& host, int port) {
    if (Connected)
        return false;
    CloseSocket();
    HostText = host;
    PortNumber = port;
    Output.clear();
    Input.clear();
    sockaddr_in peer{};
    if (!PeerAddress(host, port, peer))
        return false;
    Socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (Socket < 0)
        return false;
    const int one = 1;
    ::setsockopt(Socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ReadNotifier = std::make_unique<QSocketNotifier>(Socket, QSocketNotifier::Read);
    WriteNotifier = std::make_unique<QSocketNotifier>(Socket, QSocketNotifier::Write);
    QObject::connect(ReadNotifier.get(), &QSocketNotifier::activated, [this] { OnReadable(); });
    QObject::connect(WriteNotifier.get(), &QSocketNotifier::activated, [this] { OnWritable(); });
    ReadNotifier->setEnabled(false);
    const int rc = ::connect(Socket, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
    if (rc == 0 || errno == EINPROGRESS) {
        // Completion (or refusal) shows as writability, as the connect notification did.
        Connecting = true;
        WriteNotifier->setEnabled(true);
        return true;
    }
    CloseSocket();
    return false;
}

void TWS2_Client::WatchWrite(bool on) {
    if (WriteNotifier)
        WriteNotifier->setEnabled(on);
}

void TWS2_Client::OnWritable() {
    if (Socket < 0)
        return;
    if (Connecting) {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(Socket, SOL_SOCKET, SO_ERROR, &err, &len);
        Connecting = false;
        if (err != 0) {
            HandleSocketEvent(FD_CONNECT, err);
            return;
        }
        WatchWrite(false);
        if (ReadNotifier)
            ReadNotifier->setEnabled(true);
        HandleSocketEvent(FD_CONNECT, 0);
        return;
    }
    HandleSocketEvent(FD_WRITE, 0);
}

void TWS2_Client::OnReadable() {
    if (Socket < 0)
        return;
    // Peek for an orderly close so it arrives as the close notification, not as a read.
    char probe;
    const ssize_t n = ::recv(Socket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) {
        HandleSocketEvent(FD_CLOSE, 0);
        return;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        HandleSocketEvent(FD_READ, errno);
        return;
    }
    HandleSocketEvent(FD_READ, 0);
}

void TWS2_Client::HandleSocketEvent(int event, int error) {
    if (error != 0) {
        Connected = false;
        if (OnClientError)
            OnClientError(error);
        CloseSocket();
        return;
    }
    if (event & FD_READ) {
        static thread_local std::vector<char> chunk(ReadChunk);
        const ssize_t n = Socket >= 0 ? ::recv(Socket, chunk.data(), chunk.size(), 0) : -1;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            Connected = false;
            Fire(ceDisconnected, HostText);
            CloseSocket();
            return;
        }
        if (n > 0)
            Input.append(chunk.data(), static_cast<size_t>(n));
        Fire(ceData, Input);
    }
    if (event & FD_WRITE)
        FlushOutput();
    if (event & FD_CONNECT) {
        Connected = true;
        Fire(ceConnected, HostText);
    }
    if (event & FD_CLOSE) {
        CloseSocket();
        Connected = false;
        PortNumber = 0;
        Output.clear();
        Input.clear();
        Fire(ceDisconnected, HostText);
        HostText.clear();
    }
}

void TWS2_Client::FlushOutput() {
    while (!Output.empty() && Socket >= 0) {
        const ssize_t n = ::send(Socket, Output.data(), Output.size(), MSG_NOSIGNAL);
        if (n > 0) {
            Output.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        Connected = false;
        Fire(ceDisconnected, HostText);
        CloseSocket();
        return;
    }
    WatchWrite(!Output.empty() && Socket >= 0);
}

void TWS2_Client::Send(const std::string& text) {
    if (!Connected)
        return;
    Output += text;
    if (Output.size() > OutputLimit)
        Output.clear(); // a stalled detector: drop everything unsent rather than grow forever
    FlushOutput();
}

void TWS2_Client::Disconnect() {
    const bool was = Connected;
    CloseSocket();
    Connected = false;
    PortNumber = 0;
    Output.clear();
    Input.clear();
    if (was)
        Fire(ceDisconnected, HostText);
    HostText.clear();
}
