#pragma once
// What the terminal console makes of one notification of the transport library: the lines it
// shows, the files it writes and what becomes of the connection. No toolkit here; the page
// carries the reaction out.

#include "zelmont_lib/zelmont_lib.h"

#include <string>
#include <vector>

// An output longer than this is cleared.
inline constexpr int MaxTerminalLines = 500;

// One event as the console reads it: total is 0 and line and body are empty when the library
// had no item for the notice. Body holds the body's own bytes, without the library's trailing
// zero.
struct TTerminalEvent {
    int Code = 0;
    int Total = 0;
    std::string Line;
    std::string Body;
};

struct TTerminalReaction {
    // Appended in order. Texts are 8-bit detector text, shown UTF-8 decoded; a CR LF inside one
    // starts a new output line.
    std::vector<std::string> Lines;
    bool AddDot = false;        // "." to the end of the last output line
    bool EndConnection = false; // end the library's connection, forget the handle, hide input
    bool ShowInput = false;     // show and focus the input line
};

// The event of a filled record; `code` is ZelmontData's result, and with 0 the notice's own
// event code `notified` stands with an empty record.
TTerminalEvent TerminalEventFrom(int code, int notified, const DATA_RECORD& record);

// Decides the reaction and writes "gp.jpg" / "gd.txt" into `dataFolder` (which ends with "/").
TTerminalReaction ReactToTerminalEvent(const TTerminalEvent& event, const std::string& dataFolder);

// Replaces `path` with `bytes` through a new file beside it that is renamed over it, so an
// older file is never left half-written. False with the system's reason in `problem`.
bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& problem);
