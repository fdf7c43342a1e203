#include "scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace zelmont::test {

namespace {

bool waitReadable(int fd, milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

} // namespace

ScriptedPeer::ScriptedPeer(int family, int backlog) {
    listener_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        return;
    }
    int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage address{};
    socklen_t size = 0;
    if (family == AF_INET6) {
        ::setsockopt(listener_, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
        a6->sin6_family = AF_INET6;
        a6->sin6_addr = in6addr_loopback;
        size = sizeof *a6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
        a4->sin_family = AF_INET;
        a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof *a4;
    }
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, backlog) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                     : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

ScriptedPeer::~ScriptedPeer() {
    close();
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

bool ScriptedPeer::accept(milliseconds timeout) {
    if (!waitReadable(listener_, timeout)) {
        return false;
    }
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection_ >= 0) {
        int on = 1;
        ::setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return connection_ >= 0;
}

bool ScriptedPeer::fill(milliseconds timeout) {
    if (connection_ < 0 || !waitReadable(connection_, timeout)) {
        return false;
    }
    char chunk[4096];
    const ssize_t n = ::recv(connection_, chunk, sizeof chunk, 0);
    if (n <= 0) {
        return false;
    }
    buffered_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::optional<ScriptedPeer::Line> ScriptedPeer::readLine(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::size_t end = buffered_.find("\r\n");
        if (end != std::string::npos) {
            Line line{buffered_.substr(0, end), Clock::now()};
            buffered_.erase(0, end + 2);
            return line;
        }
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !fill(left)) {
            return std::nullopt;
        }
    }
}

std::string ScriptedPeer::drain(milliseconds window) {
    const auto deadline = Clock::now() + window;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !fill(left)) {
            break;
        }
    }
    std::string all;
    all.swap(buffered_);
    return all;
}

bool ScriptedPeer::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ScriptedPeer::close(bool reset) {
    if (connection_ < 0) {
        return;
    }
    if (reset) {
        linger hard{1, 0};
        ::setsockopt(connection_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    ::close(connection_);
    connection_ = -1;
}

} // namespace zelmont::test
