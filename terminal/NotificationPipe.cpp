#include "terminal/NotificationPipe.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Enough for the notices of a streaming detector while the GUI thread is busy for a while.
constexpr int WantedPipeBytes = 1 << 20;
constexpr int MaxReadsPerTake = 16;

} // namespace

TNotificationPipe::~TNotificationPipe() {
    for (int& fd : Fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool TNotificationPipe::Open() {
    if (IsOpen())
        return true;
    if (::pipe2(Fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        Fds[0] = Fds[1] = -1;
        return false;
    }
    // Refused above the system's limit for unprivileged processes; the default size then stays.
    ::fcntl(Fds[1], F_SETPIPE_SZ, WantedPipeBytes);
    return true;
}

std::vector<ZELMONT_NOTICE> TNotificationPipe::Take() {
    std::vector<ZELMONT_NOTICE> out;
    if (!IsOpen())
        return out;
    char chunk[sizeof(ZELMONT_NOTICE) * 256];
    // Bounded so that a detector streaming faster than we read cannot hold the GUI thread here;
    // what is left wakes the reader again.
    for (int reads = 0; reads < MaxReadsPerTake; ++reads) {
        const ssize_t n = ::read(Fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        Pending.append(chunk, static_cast<std::size_t>(n));
    }
    const std::size_t whole = Pending.size() / sizeof(ZELMONT_NOTICE);
    out.resize(whole);
    if (whole > 0)
        std::memcpy(out.data(), Pending.data(), whole * sizeof(ZELMONT_NOTICE));
    Pending.erase(0, whole * sizeof(ZELMONT_NOTICE));
    return out;
}
