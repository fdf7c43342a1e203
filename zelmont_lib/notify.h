#pragma once

#include "zelmont_lib.h"

#include <csignal>
#include <cstddef>
#include <cstdint>

namespace zelmont {

// The library's stand-in for posting a window message: one 12-byte record written to the pipe
// the caller handed in. The result is not checked; a lost notice leaves its item in the ring.
// Callers run on threads that block SIGPIPE (see SigpipeBlock).
void postNotice(int32_t fd, uint32_t message, int32_t wParam, int32_t lParam);

// Several notices held back together, each written on its own, in order.
void postNotices(int32_t fd, const ZELMONT_NOTICE* notices, std::size_t count);

// Blocks SIGPIPE on the current thread for its lifetime. Threads started inside inherit the
// block, so a caller that closed its read end gets EPIPE from our write instead of its process
// being killed. A SIGPIPE raised meanwhile on this thread is consumed before the mask returns.
class SigpipeBlock {
public:
    SigpipeBlock();
    ~SigpipeBlock();
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t saved_{};
    bool wasPending_ = false;
};

} // namespace zelmont
