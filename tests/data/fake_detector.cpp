#include "fake_detector.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool WaitReadable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

void SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

FakeDetector::FakeDetector(std::map<std::string, FakeReply> replies) : Replies(std::move(replies)) {
    Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (Listener < 0 || ::bind(Listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(Listener, 4) != 0 ||
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return;
    Port_ = ntohs(a.sin_port);
    Worker = std::thread([this] { Serve(); });
}

FakeDetector::~FakeDetector() {
    Stop = true;
    if (Worker.joinable())
        Worker.join();
    if (Listener >= 0)
        ::close(Listener);
}

std::vector<std::string> FakeDetector::Commands() const {
    std::lock_guard<std::mutex> hold(Lock);
    return Received;
}

void FakeDetector::Serve() {
    while (!Stop) {
        if (!WaitReadable(Listener, 20))
            continue;
        const int fd = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // A program keeps its main connection open beside the one-shot ones.
        Talks.emplace_back([this, fd] {
            Talk(fd);
            ::close(fd);
        });
    }
    for (std::thread& t : Talks)
        t.join();
}

void FakeDetector::Talk(int fd) {
    std::string buffer;
    int lines = 0;
    while (!Stop) {
        const std::size_t end = buffer.find("\r\n");
        if (end == std::string::npos) {
            if (!WaitReadable(fd, 20))
                continue;
            char piece[4096];
            const ssize_t n = ::recv(fd, piece, sizeof piece, 0);
            if (n <= 0)
                return;
            buffer.append(piece, static_cast<std::size_t>(n));
            continue;
        }
        const std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        if (++lines <= 2) {
            if (lines == 2)
                SendAll(fd, "ok\r\n");
            continue;
        }
        {
            std::lock_guard<std::mutex> hold(Lock);
            Received.push_back(line);
        }
        for (const auto& [key, reply] : Replies) {
            if (line.rfind(key, 0) != 0)
                continue;
            SendAll(fd, reply.Bytes);
            if (reply.CloseAfter)
                return;
            break;
        }
    }
}
