#pragma once
// The live picture feed of a detector as the program's main connection reads it (login, "gc" for
// the zones, "gf" for the picture rate, zone states and events, "gp" pictures), on the blocking
// one-shot channel: the command line has no event loop to drive the program's own client.
// Toolkit-free.

#include "channel/velt_winsock.h"

#include <functional>
#include <string>

class TLiveFeed {
public:
    TLiveFeed() = default;
    ~TLiveFeed();
    TLiveFeed(const TLiveFeed&) = delete;
    TLiveFeed& operator=(const TLiveFeed&) = delete;

    // Every reply line that is not the one awaited ("gs" and "ge" while pictures come).
    std::function<void(const std::string& line)> OnOtherLine;

    // Connects and logs in; false when the detector cannot be reached.
    bool Open(const TSyncTarget& target);
    void Close();
    // One command line, CR LF appended.
    bool Send(const std::string& command);
    // Reads replies until one whose code is `code`; `body` gets the bytes it announces ("gc" and
    // "gp" announce them). False when the connection is lost, the detector stays silent for the
    // channel's time-out, or announces more than we would ever hold.
    bool Await(const std::string& code, std::string& line, std::string& body);
    // The next reply line if one begins within `ms`: 1 a line, 0 silence, -1 the connection is
    // lost. Bodies are not taken: this is for a feed of zone states.
    int Poll(std::string& line, int ms);

private:
    bool NextLine(std::string& line);
    bool TakeBody(const std::string& line, std::string& body);

    std::string Pending; // bytes received after the last line taken
    bool Connected = false;
};
