#pragma once
// What the program reads from the detector's reply lines: counts, zone states and events,
// picture rate and clock. Toolkit-free.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum TConnectionState : std::uint8_t {
    csNoConnection = 0,
    csConnecting = 1,
    csLoggingIn = 2,
    csReady = 3,
    csConfigBody = 4,
    csPictureBody = 5,
};

// Bodies larger than the transfer buffer are never collected, and input that holds no complete
// line past this size is a faulty peer: both drop the connection.
constexpr long long MaxBodySize = 32LL * 1024 * 1024;
constexpr size_t MaxPendingInput = 64u * 1024 * 1024;

// A whole decimal integer (leading blanks and a sign allowed), else `def`.
int StrToIntDef(const std::string& text, int def);
long long StrToInt64Def(const std::string& text, long long def);

// True when the line has an "="; n := the integer after the first "=" (0 if not a number).
bool AnnouncedCount(const std::string& line, long long& n);

// The body a "gc" or "gp" reply line announces: 0 none, its size, or -1 for more than is ever
// buffered (the peer is faulty).
long long BodyAnnounced(const std::string& line);

enum class TReplyStep { NeedMore, Line, Body, Faulty };
// The next item of the main connection's input from `consumed` on: the awaited body of
// `awaitedBody` bytes (negative when none is awaited), else the next line without its CR LF.
// `consumed` moves past what was taken. Faulty: no line end within MaxPendingInput bytes.
TReplyStep NextReply(const std::string& input, size_t& consumed, long long awaitedBody,
                     std::string& item);

struct TZoneState {
    std::string Id;
    bool Active = false;
};
struct TZoneEvent {
    std::string Id;
    bool Active = false;
    int Level = 0;
};

// "gs" text: tokens at blanks, in (id, state) pairs; an odd last token is ignored.
std::vector<TZoneState> ParseZoneStates(const std::string& text);
// "ge" text: tokens at blanks, commas and "=", in groups of 7 (id, state, -, level, -, -, -).
std::vector<TZoneEvent> ParseZoneEvents(const std::string& text);
// "gf" text: the integer of the 2 characters after the first "@", else `def`.
int ParseRateReply(const std::string& text, int def);
// "gt" text: the value after the first "=", without its enclosing double quotes.
std::string ParseTimeReply(const std::string& text);
