#include "notify.h"

#include "zelmont_lib.h"

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
    // Each notice keeps its own write, as a posted message is one; holding them to the end of a
    // run of receives is what spares the caller a wake-up per event, since the caller's one read
    // then finds the run's notices waiting together.
    for (std::size_t i = 0; i < count; ++i) {
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
