#include "notify.h"

#include "zelmont_lib.h"

#include <climits>
#include <ctime>

#include <pthread.h>
#include <unistd.h>

namespace zelmont {

void postNotice(int32_t fd, uint32_t message, int32_t wParam, int32_t lParam) {
    const ZELMONT_NOTICE notice{message, wParam, lParam};
    // Twelve bytes is far below PIPE_BUF, so a notice is never interleaved with another.
    [[maybe_unused]] const ssize_t written = ::write(fd, &notice, sizeof notice);
}

void postNotices(int32_t fd, const ZELMONT_NOTICE* notices, std::size_t count) {
    constexpr std::size_t record = sizeof(ZELMONT_NOTICE);
    static_assert(record <= PIPE_BUF);
    if (count == 0) {
        return;
    }
    // A pipe takes a write of up to PIPE_BUF bytes whole or not at all, so a full pipe refuses
    // the lot; the single notices that still fit then go one by one, as they always did.
    const auto* bytes = reinterpret_cast<const char*>(notices);
    const std::size_t size = count * record;
    const ssize_t written = size <= PIPE_BUF ? ::write(fd, bytes, size) : -1;
    std::size_t done = written > 0 ? static_cast<std::size_t>(written) : 0;
    if (done == size) {
        return;
    }
    // Only a descriptor that is not a pipe cuts a record; its rest goes before the next ones.
    if (const std::size_t cut = done % record; cut != 0) {
        if (::write(fd, bytes + done, record - cut) != static_cast<ssize_t>(record - cut)) {
            return;
        }
        done += record - cut;
    }
    for (std::size_t i = done / record; i < count; ++i) {
        postNotice(fd, notices[i].message, notices[i].wParam, notices[i].lParam);
    }
}

SigpipeBlock::SigpipeBlock() {
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &block, &saved_);
}

SigpipeBlock::~SigpipeBlock() {
    if (!wasPending_) {
        sigset_t block;
        sigemptyset(&block);
        sigaddset(&block, SIGPIPE);
        const timespec now{0, 0};
        while (sigtimedwait(&block, nullptr, &now) == SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

} // namespace zelmont
