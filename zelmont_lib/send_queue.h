#pragma once

#include <boost/circular_buffer.hpp>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>

namespace zelmont {

// Outgoing strings of one connection, oldest first. It never blocks: a full queue refuses, so a
// caller that outruns the detector loses its newest strings instead of stalling its window thread.
class SendQueue {
public:
    static constexpr std::size_t Capacity = 16;
    static_assert(Capacity > 0, "a send queue must hold at least one string");

    bool push(std::string text);
    bool pop(std::string& out);
    std::size_t size() const;

private:
    mutable std::mutex lock_;
    std::condition_variable notEmpty_;
    std::condition_variable notFull_;
    std::size_t unread_ = 0;
    boost::circular_buffer<std::string> ring_{Capacity};
};

} // namespace zelmont
