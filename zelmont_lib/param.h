#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zelmont {

// What a client reports with each event; the numbers mean what the event table says.
struct PARAM {
    int32_t id = 0;
    int32_t event = 0;
    int32_t count = 0;
    int32_t total = 0;
};

// The body is handed by a reference the last subscriber may take the bytes from (a body can be
// megabytes); every other subscriber gets a copy of its own.
using Subscriber = std::function<void(const PARAM&, const std::string& line, std::string& body)>;

} // namespace zelmont
