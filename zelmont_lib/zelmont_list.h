#pragma once

#include "param.h"
#include "zelmont_client.h"
#include "zelmont_lib.h"

#include <boost/asio/io_context.hpp>
#include <boost/lockfree/spsc_queue.hpp>
#include <boost/thread/thread.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zelmont {

struct EventItem {
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

    ConnectionSlot();
    ~ConnectionSlot();
    ConnectionSlot(const ConnectionSlot&) = delete;
    ConnectionSlot& operator=(const ConnectionSlot&) = delete;

    boost::asio::io_context io{1}; // run by its one worker only
    std::unique_ptr<ZelmontClient> client;
    boost::lockfree::spsc_queue<EventItem> events{EventCapacity};
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
    void onEvent(const PARAM& param, const std::string& line, const std::string& body);
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
