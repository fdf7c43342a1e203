#include "zelmont_list.h"

#include "notify.h"

#include <boost/asio/post.hpp>
#include <boost/chrono/duration.hpp>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>

namespace zelmont {

ConnectionSlot::ConnectionSlot() = default;
ConnectionSlot::~ConnectionSlot() = default;

namespace {

// A zero-terminated heap copy for the caller, or null for an empty text. False only when the
// allocation failed.
bool copyOut(const std::string& text, char*& out, int32_t& size) {
    out = nullptr;
    size = 0;
    if (text.empty()) {
        return true;
    }
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) {
        return false;
    }
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    out = copy;
    size = static_cast<int32_t>(text.size() + 1);
    return true;
}

// Offers a body's buffer, its bytes already copied out, back to the worker.
void recycle(ConnectionSlot& slot, std::string& body) {
    const std::size_t room = body.capacity();
    if (room < ConnectionSlot::SpareFloor || room > ConnectionSlot::SpareCeiling ||
        slot.spares.write_available() == 0) {
        return;
    }
    body.clear();
    const auto first = std::make_move_iterator(&body);
    slot.spares.push(first, first + 1);
}

} // namespace

ZelmontList::ZelmontList(int32_t window, uint32_t message) : window_(window), message_(message) {}

void ZelmontList::post(int32_t wParam, int32_t lParam) const {
    postNotice(window_, message_, wParam, lParam);
}

ConnectionSlot* ZelmontList::find(int32_t id) {
    std::lock_guard guard(lock_);
    for (const auto& slot : slots_) {
        if (slot->client->id() == id) {
            return slot.get();
        }
    }
    return nullptr;
}

std::unique_ptr<ConnectionSlot> ZelmontList::take(int32_t id) {
    std::lock_guard guard(lock_);
    for (auto it = slots_.begin(); it != slots_.end(); ++it) {
        if ((*it)->client->id() == id) {
            std::unique_ptr<ConnectionSlot> slot = std::move(*it);
            slots_.erase(it);
            return slot;
        }
    }
    return nullptr;
}

void ZelmontList::onEvent(ConnectionSlot& slot, const PARAM& param, const std::string& line,
                          std::string& body) {
    // The worker knows its own slot: no registry lookup, and so no lock shared with the caller's
    // thread, per event. The slot outlives this call even when ZelmontEnd takes it out meanwhile:
    // it is destroyed only after this worker has been joined, and an item queued into it then
    // goes with it.
    EventItem item{param.id, param, line, std::move(body)};
    // Moved in, not copied: a full ring leaves the item where it is, and it is dropped.
    const auto first = std::make_move_iterator(&item);
    slot.events.push(first, first + 1);
    if (param.event == EV_STREAM_END) {
        slot.spares.consume_one([&body](std::string& spare) { body.swap(spare); });
    }
    notify(slot, param);
}

void ZelmontList::notify(ConnectionSlot& slot, const PARAM& param) const {
    if (!slot.holding) {
        post(param.id, param.event);
        return;
    }
    if (slot.heldCount == slot.held.size()) {
        postNotices(window_, slot.held.data(), slot.heldCount);
        slot.heldCount = 0;
    }
    slot.held[slot.heldCount++] = ZELMONT_NOTICE{message_, param.id, param.event};
}

void ZelmontList::receiveRun(ConnectionSlot& slot, bool running) const {
    slot.holding = running;
    if (!running) {
        postNotices(window_, slot.held.data(), slot.heldCount);
        slot.heldCount = 0;
    }
}

int32_t ZelmontList::begin(const char* host, int32_t port, const char* loginLine,
                           const char* passwordLine, int32_t polling) {
    if (lastId_ == std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    const int32_t id = ++lastId_;
    auto slot = std::make_unique<ConnectionSlot>();
    slot->client = std::make_unique<ZelmontClient>(slot->io);
    ZelmontClient& client = *slot->client;
    client.setId(id);
    ConnectionSlot* raw = slot.get();
    client.subscribe([this, raw](const PARAM& param, const std::string& line, std::string& body) {
        onEvent(*raw, param, line, body);
    });
    client.setReceiveRun([this, raw](bool running) { receiveRun(*raw, running); });
    client.setLogin(loginLine ? loginLine : "", passwordLine ? passwordLine : "");
    client.setPolling((polling & 0xff) != 0);
    client.connect(host ? host : "", port);

    {
        std::lock_guard guard(lock_);
        slots_.push_back(std::move(slot));
    }
    try {
        SigpipeBlock inherited;
        raw->worker = boost::thread([raw] { raw->io.run(); });
    } catch (...) {
        // No worker: nothing has run on the loop yet, so the slot goes as it came.
        dispose(take(id));
        return 0;
    }
    return id;
}

int32_t ZelmontList::end(int32_t id) {
    std::unique_ptr<ConnectionSlot> slot = take(id);
    if (!slot) {
        return 0;
    }
    if (slot->worker.joinable()) {
        ZelmontClient* client = slot->client.get();
        client->clearWanted();
        boost::asio::post(slot->io, [client] { client->disconnect(); });
        // disconnect lets the loop run dry; a worker still busy after the grace period (a
        // resolver stuck in the system's lookup, a blocked direct write) is stopped outright so
        // the caller's thread is never held for long.
        if (!slot->worker.try_join_for(boost::chrono::milliseconds(EndGraceMs))) {
            slot->io.stop();
            slot->worker.join();
        }
    }
    dispose(std::move(slot));
    return 1;
}

void ZelmontList::dispose(std::unique_ptr<ConnectionSlot> slot) {
    if (!slot) {
        return;
    }
    // Destroying the loop waits for the resolver's helper thread, which may sit in a system name
    // lookup for many seconds; such a slot is let go on a thread of its own.
    if (slot->client && slot->client->resolving()) {
        try {
            boost::thread([doomed = std::move(slot)]() mutable { doomed.reset(); }).detach();
            return;
        } catch (...) {
            // No thread to spare: wait for the lookup here rather than leak the slot.
        }
    }
    slot.reset();
}

int32_t ZelmontList::send(int32_t id, const char* data, int32_t length) {
    if (length < 0 || (data == nullptr && length > 0)) {
        return 0;
    }
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) {
        return 0;
    }
    std::string bytes(data ? data : "", static_cast<std::size_t>(length));
    // Refused bytes are dropped; the result only says the connection exists.
    slot->client->send(std::move(bytes));
    return 1;
}

int32_t ZelmontList::data(int32_t id, DATA_RECORD* record) {
    if (record == nullptr) {
        return 0;
    }
    ConnectionSlot* slot = find(id);
    if (slot == nullptr || slot->events.read_available() == 0) {
        return 0;
    }
    EventItem& item = slot->events.front();
    char* line = nullptr;
    char* body = nullptr;
    int32_t lineSize = 0;
    int32_t bodySize = 0;
    // Out of memory: the item stays queued for a later call, the record stays as it was.
    if (!copyOut(item.line, line, lineSize) || !copyOut(item.body, body, bodySize)) {
        std::free(line);
        std::free(body);
        return 0;
    }
    record->id = item.param.id;
    record->event = item.param.event;
    record->count = item.param.count;
    record->total = item.param.total;
    record->line = line;
    record->lineSize = lineSize;
    record->body = body;
    record->bodySize = bodySize;
    const int32_t event = item.param.event;
    recycle(*slot, item.body);
    slot->events.pop();
    return event;
}

} // namespace zelmont
