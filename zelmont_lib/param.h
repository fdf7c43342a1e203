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

using Subscriber =
    std::function<void(const PARAM&, const std::string& line, const std::string& body)>;

} // namespace zelmont
