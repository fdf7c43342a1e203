#include "terminal/TerminalEvents.h"
#include "platform/FileReplace.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The file the body of an announcing line goes to, or null.
const char* BodyFileOf(const std::string& line) {
    if (StartsWith(line, "gp"))
        return "gp.jpg";
    if (StartsWith(line, "gd"))
        return "gd.txt";
    return nullptr;
}

void WriteBodyFile(const TTerminalEvent& event, const std::string& path,
                   TTerminalReaction& reaction) {
    std::string problem;
    if (WriteFileReplacing(path, event.Body, problem))
        reaction.Lines.push_back(path + " file written");
    else
        reaction.Lines.push_back("Error: " + path + " not written: " + problem);
}

} // namespace

TTerminalEvent TerminalEventFrom(int code, int notified, const DATA_RECORD& record) {
    TTerminalEvent event;
    if (code == 0) {
        event.Code = notified;
        return event;
    }
    // The item's own code wins over the notice's: after a lost notice they name different
    // events, and the data must not be read as the wrong kind.
    event.Code = code;
    event.Total = record.total;
    if (record.line != nullptr && record.lineSize > 0)
        event.Line.assign(record.line, static_cast<std::size_t>(record.lineSize - 1));
    if (record.body != nullptr && record.bodySize > 0)
        event.Body.assign(record.body, static_cast<std::size_t>(record.bodySize - 1));
    return event;
}

TTerminalReaction ReactToTerminalEvent(const TTerminalEvent& event, const std::string& dataFolder) {
    TTerminalReaction r;
    switch (event.Code) {
    case EV_CONNECTED:
        r.Lines.push_back("Open connection... Sending login/password...");
        break;
    case EV_DISCONNECTED:
        r.Lines.push_back(event.Total != 0 ? "Disconnected by remote host.\r\n"
                                           : "Disconnected by local host.\r\n");
        r.EndConnection = true;
        break;
    case EV_LOGIN_REPLY:
        r.Lines.push_back(event.Line);
        r.ShowInput = true;
        break;
    case EV_LINE:
        r.Lines.push_back(event.Line);
        break;
    case EV_STREAM_BEGIN:
        r.Lines.push_back("Stream begin ...");
        break;
    case EV_STREAM_PROGRESS:
        r.AddDot = true;
        break;
    case EV_STREAM_END:
        r.Lines.push_back("Stream end");
        r.Lines.push_back(event.Line);
        if (const char* file = BodyFileOf(event.Line))
            WriteBodyFile(event, dataFolder + file, r);
        else if (StartsWith(event.Line, "gc"))
            r.Lines.push_back(event.Body);
        break;
    case EV_ERROR:
        r.EndConnection = true;
        r.Lines.push_back("Error: " + event.Line);
        break;
    default:
        break;
    }
    return r;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& problem) {
    return ReplaceFileContents(path, bytes, OrdinaryFile, problem);
}
