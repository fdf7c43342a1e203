#include "channel/velt_winsock.h"

#include "channel/DetectorProtocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

thread_local int SyncSocket = -1;

using Clock = std::chrono::steady_clock;

bool WaitFor(short events, int timeoutMs) {
    if (SyncSocket < 0)
        return false;
    pollfd p{SyncSocket, events, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & (events | POLLERR | POLLHUP));
}

void Report(const TProgressProc& progress, long long total, long long done) {
    if (progress)
        progress(total, done);
}

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

} // namespace

unsigned int ResolveIPv4(const std::string& host) {
    in_addr a{};
    if (::inet_pton(AF_INET, host.c_str(), &a) == 1)
        return a.s_addr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res)
        return 0;
    const unsigned int addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(res);
    return addr;
}

bool PeerAddress(const std::string& host, int port, sockaddr_in& peer) {
    peer = sockaddr_in{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    peer.sin_addr.s_addr = ResolveIPv4(host);
    return port > 0 && port <= 65535 && (peer.sin_addr.s_addr != 0 || host == "0.0.0.0");
}

bool SyncOpen(const std::string& host, int port) {
    SyncClose();
    sockaddr_in peer{};
    if (!PeerAddress(host, port, peer))
        return false;
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0)
        return false;
    // Bounded connect: non-blocking, then wait at most the channel's time-out.
    if (::connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        pollfd p{s, POLLOUT, 0};
        int err = errno;
        if (err == EINPROGRESS && ::poll(&p, 1, SyncTimeoutMs) > 0) {
            socklen_t len = sizeof err;
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len);
        } else if (err == EINPROGRESS) {
            err = ETIMEDOUT;
        }
        if (err != 0) {
            ::close(s);
            return false;
        }
    }
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) & ~O_NONBLOCK);
    timeval tv{SyncTimeoutMs / 1000, (SyncTimeoutMs % 1000) * 1000};
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    SyncSocket = s;
    return true;
}

void SyncClose() {
    if (SyncSocket < 0)
        return;
    ::shutdown(SyncSocket, SHUT_RDWR);
    ::close(SyncSocket);
    SyncSocket = -1;
}

bool SyncWaitReadableFor(int ms) {
    return WaitFor(POLLIN, ms);
}

bool SyncWaitReadable() {
    return WaitFor(POLLIN, 1);
}
bool SyncWaitWritable() {
    return WaitFor(POLLOUT, 1);
}

bool SyncSendBuffer(const std::uint8_t* data, size_t size, const TProgressProc& progress) {
    size_t sent = 0;
    auto lastMove = Clock::now();
    while (sent < size) {
        if (SyncSocket < 0)
            return false;
        if (!SyncWaitWritable()) {
            Report(progress, static_cast<long long>(size), static_cast<long long>(sent));
            if (MsSince(lastMove) > SyncTimeoutMs)
                return false; // the detector stopped taking bytes
            continue;
        }
        Report(progress, static_cast<long long>(size), static_cast<long long>(sent));
        const size_t piece = std::min(SyncPiece, size - sent);
        const ssize_t n = ::send(SyncSocket, data + sent, piece, MSG_NOSIGNAL);
        if (n < 1)
            return false;
        sent += static_cast<size_t>(n);
        lastMove = Clock::now();
    }
    Report(progress, static_cast<long long>(size), static_cast<long long>(sent));
    return true;
}

bool SyncSendText(const std::string& text) {
    return SyncSendBuffer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), {});
}

size_t SyncReceive(std::uint8_t* destination, size_t count, const TProgressProc& progress) {
    size_t received = 0;
    auto lastMove = Clock::now();
    while (received < count) {
        if (SyncSocket < 0)
            return received;
        if (!SyncWaitReadable()) {
            Report(progress, static_cast<long long>(count), static_cast<long long>(received));
            if (MsSince(lastMove) > SyncTimeoutMs)
                return received;
            continue;
        }
        const size_t piece = std::min(SyncPiece, count - received);
        const ssize_t n = ::recv(SyncSocket, destination + received, piece, 0);
        if (n < 1)
            return received;
        received += static_cast<size_t>(n);
        lastMove = Clock::now();
        Report(progress, static_cast<long long>(count), static_cast<long long>(received));
    }
    return received;
}

int SyncReadLine(std::string& line, std::string& rest) {
    rest.clear();
    return SyncReadNextLine(rest, line);
}

int SyncReadNextLine(std::string& pending, std::string& line) {
    std::string data = std::move(pending);
    line.clear();
    pending.clear();
    const auto start = Clock::now();
    char piece[SyncPiece];
    for (;;) {
        const size_t crlf = data.find("\r\n");
        if (crlf != std::string::npos) {
            line = data.substr(0, crlf);
            pending = data.substr(crlf + 2);
            return static_cast<int>(line.size());
        }
        const long long left = SyncTimeoutMs - MsSince(start);
        if (left <= 0 || SyncSocket < 0)
            return -1; // no line within the time-out: callers take it as no answer
        if (!WaitFor(POLLIN, static_cast<int>(std::min<long long>(left, 50))))
            continue;
        const ssize_t n = ::recv(SyncSocket, piece, sizeof piece, 0);
        if (n < 1)
            return -1;
        data.append(piece, static_cast<size_t>(n));
    }
}

size_t SyncRequestBlock(const std::string& command, std::uint8_t* buffer, size_t capacity,
                        const TProgressProc& progress) {
    if (!SyncSendText(command))
        return 0;
    std::string line, rest;
    if (SyncReadLine(line, rest) < 0)
        return 0;
    long long n = 0;
    if (!AnnouncedCount(line, n) || n <= 0 || static_cast<unsigned long long>(n) > capacity)
        return 0;
    Report(progress, n, 0);
    const size_t have = std::min(rest.size(), static_cast<size_t>(n));
    std::copy(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(have), buffer);
    size_t total = have;
    if (total < static_cast<size_t>(n))
        total += SyncReceive(buffer + total, static_cast<size_t>(n) - total, progress);
    Report(progress, n, static_cast<long long>(total));
    return total;
}

bool SyncLogin(const TSyncTarget& target) {
    if (!SyncOpen(target.Host, target.Port))
        return false;
    if (!SyncSendText(target.Login + "\r\n"))
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!SyncSendText(target.Password + "\r\n"))
        return false;
    std::string answer, rest;
    return SyncReadLine(answer, rest) >= 0;
}

std::string Transact(const TSyncTarget& target, const std::string& command) {
    std::string reply;
    if (SyncLogin(target) && SyncSendText(command + "\r\n")) {
        std::string rest;
        if (SyncReadLine(reply, rest) < 0)
            reply.clear();
    }
    SyncClose();
    return reply;
}

std::uint16_t Checksum16(const std::uint8_t* data, size_t n) {
    std::uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += data[i];
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

size_t ReadFileToBuffer(std::vector<std::uint8_t>& buffer, size_t capacity,
                        const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return 0;
    buffer.resize(capacity);
    size_t total = 0;
    while (total < capacity) {
        const size_t n =
            std::fread(buffer.data() + total, 1, std::min<size_t>(4096, capacity - total), f);
        if (n == 0)
            break;
        total += n;
    }
    std::fclose(f);
    buffer.resize(total);
    return total;
}

size_t WriteBufferToFile(const std::uint8_t* data, size_t n, const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return 0;
    size_t total = 0;
    while (total < n) {
        const size_t w = std::fwrite(data + total, 1, std::min<size_t>(4096, n - total), f);
        if (w == 0)
            break;
        total += w;
    }
    if (std::fclose(f) != 0)
        return 0;
    return total;
}

bool CheckUpdateFile(const std::string& file, std::string* problem) {
    struct stat st {};
    const auto refuse = [problem](const char* why) {
        if (problem)
            *problem = why;
        return false;
    };
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return refuse("cannot read the file");
    // Only the transfer buffer's worth would be announced and sent, and a detector would
    // install a truncated firmware.
    if (static_cast<unsigned long long>(st.st_size) > TransferBufferSize)
        return refuse("larger than the 32 MiB transfer buffer");
    std::FILE* probe = std::fopen(file.c_str(), "rb");
    if (!probe)
        return refuse("cannot read the file");
    std::fclose(probe);
    return true;
}

bool SendUpdateFile(const std::string& file, const TProgressProc& progress) {
    // A file that cannot be opened must not go out as an empty update reported as sent, nor one
    // that does not fit or cannot be read whole as a truncated one.
    struct stat st {};
    if (!CheckUpdateFile(file) || ::stat(file.c_str(), &st) != 0)
        return false;
    std::vector<std::uint8_t> buffer;
    const size_t size = ReadFileToBuffer(buffer, TransferBufferSize, file);
    if (size != static_cast<size_t>(st.st_size))
        return false;
    const std::uint16_t sum = Checksum16(buffer.data(), size);
    const size_t slash = file.find_last_of('/');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string line =
        "ud " + std::to_string(size) + "," + std::to_string(sum) + ",./update/" + name + "\r\n";
    if (!SyncSendText(line))
        return false;
    return SyncSendBuffer(buffer.data(), size, progress);
}
