#pragma once
// The channel on which the transport library tells the program that a connection has news: the
// library writes one ZELMONT_NOTICE record per event to the write end, the program reads them on
// its GUI thread.

#include "zelmont_lib/zelmont_lib.h"

#include <string>
#include <vector>

// The message id the settings dialog registers; notices carrying it are terminal notices.
inline constexpr uint32_t WM_TERMINAL = 0x401;

class TNotificationPipe {
public:
    TNotificationPipe() = default;
    ~TNotificationPipe();
    TNotificationPipe(const TNotificationPipe&) = delete;
    TNotificationPipe& operator=(const TNotificationPipe&) = delete;

    // Creates the pipe, both ends non-blocking and closed on exec. Its buffer is enlarged where
    // the system allows, since a notice that finds the pipe full is lost. False when it fails.
    bool Open();
    bool IsOpen() const { return Fds[0] >= 0; }
    int ReadEnd() const { return Fds[0]; }
    int WriteEnd() const { return Fds[1]; }

    // Every whole notice waiting now, oldest first. Bytes of a notice not yet complete are kept
    // for the next call, so records never come apart.
    std::vector<ZELMONT_NOTICE> Take();

private:
    int Fds[2] = {-1, -1};
    std::string Pending;
};
