#include "send_queue.h"

namespace zelmont {

bool SendQueue::push(std::string text) {
    std::lock_guard guard(lock_);
    if (unread_ >= Capacity) {
        return false;
    }
    // Newest at the front: the oldest unread string is always at index unread - 1.
    ring_.push_front(std::move(text));
    ++unread_;
    notEmpty_.notify_one();
    return true;
}

bool SendQueue::pop(std::string& out) {
    std::lock_guard guard(lock_);
    if (unread_ == 0) {
        return false;
    }
    --unread_;
    // Moved, not copied: a taken string must not keep a large upload alive in the ring.
    out = std::move(ring_[unread_]);
    ring_[unread_].clear();
    notFull_.notify_one();
    return true;
}

std::size_t SendQueue::size() const {
    std::lock_guard guard(lock_);
    return unread_;
}

} // namespace zelmont
