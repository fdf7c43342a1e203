#include "channel/DetectorProtocol.h"

#include <gtest/gtest.h>

namespace {

TEST(DetectorProtocol, AnnouncedCounts) {
    struct Row {
        std::string Line;
        bool HasEquals;
        long long N;
    } rows[] = {
        {"gp=5000", true, 5000},
        {"gc s=12", true, 12},
        {"gc", false, 0},
        {"gp=", true, 0},
        {"gp=abc", true, 0},
        {"gp=12abc", true, 0},
        {"gp=-5", true, -5},
        {"gp= 7", true, 7},
        {"sc s=5321", true, 5321},
        {"gp=2000000000", true, 2000000000LL},
        {"gp=99999999999999999999", true, 0},
    };
    for (const Row& r : rows) {
        long long n = -1;
        EXPECT_EQ(AnnouncedCount(r.Line, n), r.HasEquals) << r.Line;
        if (r.HasEquals) {
            EXPECT_EQ(n, r.N) << r.Line;
        }
    }
}

TEST(DetectorProtocol, ZoneStatesInPairs) {
    const auto s = ParseZoneStates("1 1 2 0 3");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].Id, "1");
    EXPECT_TRUE(s[0].Active);
    EXPECT_EQ(s[1].Id, "2");
    EXPECT_FALSE(s[1].Active);
    EXPECT_TRUE(ParseZoneStates("").empty());
    EXPECT_FALSE(ParseZoneStates("4   yes")[0].Active); // only "1" is active
}

TEST(DetectorProtocol, ZoneEventsInGroupsOfSeven) {
    const auto e = ParseZoneEvents("1,1,0,17,0,0,0 2=0 0  x 0 0 0 3,1");
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].Id, "1");
    EXPECT_TRUE(e[0].Active);
    EXPECT_EQ(e[0].Level, 17);
    EXPECT_EQ(e[1].Id, "2");
    EXPECT_FALSE(e[1].Active);
    EXPECT_EQ(e[1].Level, 0); // not a number
}

TEST(DetectorProtocol, RateAndTimeReplies) {
    EXPECT_EQ(ParseRateReply("rate=@25", 7), 25);
    EXPECT_EQ(ParseRateReply("rate=@12fps", 7), 12);
    EXPECT_EQ(ParseRateReply("rate=@5", 7), 5);
    EXPECT_EQ(ParseRateReply("rate=25", 7), 7);
    EXPECT_EQ(ParseRateReply("rate=@xx", 7), 7);
    EXPECT_EQ(ParseRateReply("rate=@00", 7), 0); // the caller refuses a zero rate
    EXPECT_EQ(ParseTimeReply("t=\"2026-12-08 10:11:12\""), "2026-12-08 10:11:12");
    EXPECT_EQ(ParseTimeReply("t=2026-12-08"), "2026-12-08");
    EXPECT_EQ(ParseTimeReply("no value"), "");
}

TEST(DetectorProtocol, StrictIntegers) {
    EXPECT_EQ(StrToIntDef("42", -1), 42);
    EXPECT_EQ(StrToIntDef("+42", -1), 42);
    EXPECT_EQ(StrToIntDef("-3", -1), -3);
    EXPECT_EQ(StrToIntDef("4 2", -1), -1);
    EXPECT_EQ(StrToIntDef("", -1), -1);
    EXPECT_EQ(StrToIntDef("3000000000", -1), -1);
}

} // namespace
