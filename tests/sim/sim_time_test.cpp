// Detector time texts: what "st t=" and "gb ltim=" accept.

#include "detector.h"

#include <gtest/gtest.h>

struct TimeCase {
    const char* name;
    const char* text;
    bool valid;
};

class SimTimeText : public testing::TestWithParam<TimeCase> {};

TEST_P(SimTimeText, ParsesOnlyRealLocalTimes) {
    const auto& c = GetParam();
    std::int64_t seconds = -1;
    EXPECT_EQ(parse_local_time(c.text, seconds), c.valid) << c.text;
    if (c.valid) {
        const std::string back = format_local_time(seconds);
        // A date alone stands for its midnight.
        EXPECT_EQ(back, std::string(c.text).size() == 10 ? std::string(c.text) + " 00:00:00"
                                                         : std::string(c.text));
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, SimTimeText,
                         testing::Values(TimeCase{"full", "2026-03-15 08:09:10", true},
                                         TimeCase{"leap_day", "2024-02-29 23:59:59", true},
                                         TimeCase{"date_alone", "2025-07-01", true},
                                         TimeCase{"no_leap_day", "2025-02-29 10:00:00", false},
                                         TimeCase{"month_13", "2025-13-01 10:00:00", false},
                                         TimeCase{"hour_24", "2025-07-01 24:00:00", false},
                                         TimeCase{"minute_60", "2025-07-01 10:60:00", false},
                                         TimeCase{"no_seconds", "2025-07-01 10:00", false},
                                         TimeCase{"trailing", "2025-07-01 10:00:00x", false},
                                         TimeCase{"date_with_tail", "2025-07-01x", false},
                                         TimeCase{"empty", "", false},
                                         TimeCase{"words", "yesterday", false}),
                         [](const auto& info) { return std::string(info.param.name); });
