#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelmont::test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A detector stand-in on loopback for the tests: listens, accepts one connection, reads what the
// library sends with arrival times, and answers with bytes split exactly as a test asks.
class ScriptedPeer {
public:
    struct Line {
        std::string text; // without CR LF
        Clock::time_point at;
    };

    // Listens on the loopback address of the given family on a free port.
    explicit ScriptedPeer(int family = 2 /* AF_INET */, int backlog = 8);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    bool listening() const { return listener_ >= 0; }
    uint16_t port() const { return port_; }
    int listenerFd() const { return listener_; }

    bool accept(milliseconds timeout = milliseconds(3000));
    // One CR LF-terminated line, or nothing when none completes in time.
    std::optional<Line> readLine(milliseconds timeout = milliseconds(3000));
    // Everything that arrives within the window (for "nothing was sent" checks).
    std::string drain(milliseconds window);
    bool write(std::string_view bytes);
    // Ends the connection with FIN, or with RST when reset is true.
    void close(bool reset = false);

private:
    bool fill(milliseconds timeout);

    int listener_ = -1;
    int connection_ = -1;
    uint16_t port_ = 0;
    std::string buffered_;
};

} // namespace zelmont::test
