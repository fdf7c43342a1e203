#pragma once

#include "param.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace zelmont {

// Phases of a connection; the framing states are FirstLine, AwaitLine and AwaitBody.
enum ParserState : int32_t {
    Idle = 0,
    Closed = 1,
    Connecting = 2,
    LoginSent = 3,
    FirstLine = 4,
    AwaitLine = 5,
    AwaitBody = 6,
};

// Splits one connection's received bytes into CR LF lines and the binary bodies some lines
// announce. The lock exists because the caller's thread reads the state while the worker frames.
class ReplyParser {
public:
    // Bodies from this size on are handed over in pending's buffer rather than copied out.
    static constexpr std::size_t HandOverFloor = 4096;

    void setState(int32_t state);
    int32_t state() const;
    void setLine(std::string line);
    std::string line() const;
    void setBody(std::string body);
    void clearBody();
    std::string body() const;
    // The worker's own view of the last line and body, without a copy. Only the worker writes
    // them, and the reference holds until its next step; the lock is for the state, which the
    // caller's thread reads.
    const std::string& lastLine() const;
    std::string& lastBody();
    int32_t length() const;
    void reset();

    // The owner emptied pending behind the parser's back (the 64 MiB cap).
    void pendingCleared();

    // Consumes at most one line or one body from the front of pending.
    bool step(std::string& pending);
    // The same, also giving the state and the announced length it left, read under the same lock.
    bool step(std::string& pending, int32_t& state, int32_t& length);

    // How many body bytes a reply line announces; 0 when it announces none.
    static int32_t bodyLength(std::string_view line);

private:
    bool stepLocked(std::string& pending);
    bool takeLine(std::string& pending);

    mutable std::mutex lock_;
    int32_t state_ = Idle;
    int32_t length_ = 0;
    std::string line_;
    std::string body_;
    // Bytes at the front of pending already known to hold no CR LF: a long unterminated line
    // arriving in 1 KiB chunks is then searched once, not once per chunk.
    std::size_t scanned_ = 0;
};

// Frames everything that one receive made available and reports the events. Returns true when
// the login reply was among them (the caller then starts its keep-alive). A subscriber may take
// the body of a STREAM_END; whatever buffer it leaves in its place is reused for later receives.
bool frameReceived(ReplyParser& parser, std::string& pending, int32_t id, const Subscriber& report);

} // namespace zelmont
