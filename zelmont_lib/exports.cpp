// The six C entry points. Nothing thrown inside the library may reach the caller: every entry
// catches everything and answers 0.
#include "zelmont_lib.h"

#include "notify.h"
#include "zelmont_list.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

// The state lives until the process ends and is never torn down: workers may still run when
// the program exits, and destroying their slots then would wait on them or abort.
std::atomic<zelmont::ZelmontList*> state{nullptr};
std::mutex initLock;

zelmont::ZelmontList* list() {
    return state.load(std::memory_order_acquire);
}

} // namespace

extern "C" {

int32_t ZelmontInit(int32_t window, uint32_t message) try {
    std::lock_guard guard(initLock);
    if (list() != nullptr) {
        return 0;
    }
    auto* created = new zelmont::ZelmontList(window, message);
    {
        zelmont::SigpipeBlock guarded;
        created->post(0, 0);
    }
    state.store(created, std::memory_order_release);
    return 1;
} catch (...) {
    return 0;
}

int32_t ZelmontBegin(const char* host, int32_t port, const char* loginLine,
                     const char* passwordLine, int32_t polling) try {
    zelmont::ZelmontList* l = list();
    return l ? l->begin(host, port, loginLine, passwordLine, polling) : 0;
} catch (...) {
    return 0;
}

int32_t ZelmontEnd(int32_t id) try {
    zelmont::ZelmontList* l = list();
    return l ? l->end(id) : 0;
} catch (...) {
    return 0;
}

int32_t ZelmontSend(int32_t id, const char* data, int32_t length) try {
    zelmont::ZelmontList* l = list();
    return l ? l->send(id, data, length) : 0;
} catch (...) {
    return 0;
}

int32_t ZelmontData(int32_t id, DATA_RECORD* record) try {
    zelmont::ZelmontList* l = list();
    return l ? l->data(id, record) : 0;
} catch (...) {
    return 0;
}

int32_t ZelmontClean(DATA_RECORD* record) {
    if (record == nullptr) {
        return 0;
    }
    if (record->line != nullptr) {
        std::free(record->line);
        record->line = nullptr;
        record->lineSize = 0;
    }
    if (record->body != nullptr) {
        std::free(record->body);
        record->body = nullptr;
        record->bodySize = 0;
    }
    return 1;
}

} // extern "C"
