#pragma once

#include "param.h"
#include "zelmont_client.h"
#include "zelmont_lib.h"

#include <boost/asio/io_context.hpp>
#include <boost/lockfree/spsc_queue.hpp>
#include <boost/thread/thread.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zelmont {

// A cache line of its own for each item, so the worker filling the next item does not pull the
// line away from the caller's thread still reading the one before.
struct alignas(64) EventItem {
    int32_t id = 0;
    PARAM param;
    std::string line;
    std::string body;
};

// One connection: its loop, its client, the events waiting for the caller and the worker.
// Members are destroyed bottom-up: the worker is joined before, then the queued events go, then
// the client, and last the loop that its socket, resolver and timer belong to.
struct ConnectionSlot {
    static constexpr std::size_t EventCapacity = 16384;
    // Body buffers the caller's thread hands back once it has copied a body out, for the worker
    // to receive the next bodies into instead of growing fresh memory for each. Buffers outside
    // these sizes are simply freed: small ones cost nothing to make, huge ones are not kept idle.
    static constexpr std::size_t SpareBuffers = 2;
    static constexpr std::size_t SpareFloor = 4096;
    static constexpr std::size_t SpareCeiling = 8u << 20;
    static_assert(SpareBuffers > 0 && SpareFloor <= SpareCeiling);

    ConnectionSlot();
    ~ConnectionSlot();
    ConnectionSlot(const ConnectionSlot&) = delete;
    ConnectionSlot& operator=(const ConnectionSlot&) = delete;

    boost::asio::io_context io{1}; // run by its one worker only
    std::unique_ptr<ZelmontClient> client;
    boost::lockfree::spsc_queue<EventItem> events{EventCapacity};
    boost::lockfree::spsc_queue<std::string> spares{SpareBuffers}; // caller's thread -> worker

    // Notices of the events framed in one run of receives (up to 64 chunks already waiting),
    // written when the run is over, each with a write of its own, after its item was queued: the
    // caller, woken by the first, finds the others waiting in one read instead of being woken
    // for each 1 KiB. Worker only.
    static constexpr std::size_t HeldNotices = 256;
    std::array<ZELMONT_NOTICE, HeldNotices> held{};
    std::size_t heldCount = 0;
    bool holding = false;
    boost::thread worker;
};

// The library state: where notices go, the id counter and the registry of connections.
class ZelmontList {
public:
    // How long ZelmontEnd lets a worker finish its own way before stopping its loop.
    static constexpr int EndGraceMs = 500;

    ZelmontList(int32_t window, uint32_t message);

    int32_t begin(const char* host, int32_t port, const char* loginLine, const char* passwordLine,
                  int32_t polling);
    int32_t end(int32_t id);
    int32_t send(int32_t id, const char* data, int32_t length);
    int32_t data(int32_t id, DATA_RECORD* record);

    void post(int32_t wParam, int32_t lParam) const;

private:
    void notify(ConnectionSlot& slot, const PARAM& param) const;
    void receiveRun(ConnectionSlot& slot, bool running) const;
    void onEvent(ConnectionSlot& slot, const PARAM& param, const std::string& line,
                 std::string& body);
    ConnectionSlot* find(int32_t id);
    std::unique_ptr<ConnectionSlot> take(int32_t id);
    static void dispose(std::unique_ptr<ConnectionSlot> slot);

    const int32_t window_;
    const uint32_t message_;
    int32_t lastId_ = 0;
    std::mutex lock_; // guards slots_; never held while a worker is waited for
    std::vector<std::unique_ptr<ConnectionSlot>> slots_;
};

} // namespace zelmont
