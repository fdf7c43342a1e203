// The count check's core: matching as a table, the event log's rows, detector events from
// zone-state replies.
#include "countcheck/CountLog.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

constexpr double T0 = 1765296000.0;

struct MatchRow {
    const char* Name;
    std::vector<double> Detector, Reference;
    double Window;
    int Matched, Missed, False;
};

class MatchTable : public testing::TestWithParam<MatchRow> {};

TEST_P(MatchTable, CountsPairs) {
    const MatchRow& row = GetParam();
    std::vector<double> d, r;
    for (double t : row.Detector)
        d.push_back(T0 + t);
    for (double t : row.Reference)
        r.push_back(T0 + t);
    const TZoneCount c = MatchZone(d, r, row.Window);
    EXPECT_EQ(c.Matched, row.Matched);
    EXPECT_EQ(c.Missed, row.Missed);
    EXPECT_EQ(c.False, row.False);
    EXPECT_EQ(c.Detector, static_cast<int>(row.Detector.size()));
    EXPECT_EQ(c.Reference, static_cast<int>(row.Reference.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Matching, MatchTable,
    testing::Values(MatchRow{"EqualTimes", {5, 9}, {5, 9}, 1.0, 2, 0, 0},
                    MatchRow{"GapOfExactlyTheWindow", {5.3}, {6.3}, 1.0, 1, 0, 0},
                    MatchRow{"ReferenceBeforeDetector", {6.3}, {5.3}, 1.0, 1, 0, 0},
                    MatchRow{"GapJustOverTheWindow", {5.3}, {6.301}, 1.0, 0, 1, 1},
                    MatchRow{"TwoPressesForOneVehicle", {5}, {5.2, 5.5}, 1.0, 1, 1, 0},
                    MatchRow{"OnlyDetector", {1, 2, 3}, {}, 1.0, 0, 0, 3},
                    MatchRow{"OnlyReference", {}, {1, 2}, 1.0, 0, 2, 0},
                    MatchRow{"UnsortedInput", {12, 3, 7}, {7.4, 12.2, 3.1}, 1.0, 3, 0, 0},
                    MatchRow{"MissedBetweenMatches", {1, 9}, {1.1, 5, 9.2}, 1.0, 2, 1, 0},
                    MatchRow{"NarrowWindow", {1, 2}, {1.05, 2.2}, 0.1, 1, 1, 1}),
    [](const testing::TestParamInfo<MatchRow>& info) { return info.param.Name; });

TEST(CountRatios, EmptyWhereTheDivisorIsZero) {
    TZoneCount onlyDetector = MatchZone({T0}, {}, 1.0);
    EXPECT_FALSE(onlyDetector.Recall());
    EXPECT_FALSE(onlyDetector.ErrorPercent());
    EXPECT_EQ(onlyDetector.Precision().value_or(-1), 0.0);
    TZoneCount onlyHand = MatchZone({}, {T0, T0 + 5}, 1.0);
    EXPECT_FALSE(onlyHand.Precision());
    EXPECT_EQ(onlyHand.Recall().value_or(-1), 0.0);
    EXPECT_EQ(onlyHand.ErrorPercent().value_or(0), -100.0);
    TZoneCount over = MatchZone({T0, T0 + 5, T0 + 9}, {T0, T0 + 5}, 1.0);
    EXPECT_EQ(over.ErrorPercent().value_or(0), 50.0);
}

TEST(CountLive, OpenEventsAreNotYetMissedOrFalse) {
    // The reference at +10 may still get its partner: only the one at +2 is final.
    const TZoneCount c = MatchZone({T0}, {T0 + 2, T0 + 10}, 1.0, T0 + 9);
    EXPECT_EQ(c.Matched, 0);
    EXPECT_EQ(c.Missed, 1);
    EXPECT_EQ(c.False, 1);
}

TEST(CountZones, ListedZonesFirstThenByNumber) {
    const std::vector<TCountEvent> events{{T0, "10", "hand", true},
                                          {T0, "9", "detector", true},
                                          {T0 + 1, "9", "detector", false},
                                          {T0, "b", "truth", true},
                                          {T0, "3", "hand", true}};
    const auto zones = MatchEvents(events, 1.0, {"3", "7"});
    std::vector<std::string> order;
    for (const auto& z : zones)
        order.push_back(z.Zone);
    EXPECT_EQ(order, (std::vector<std::string>{"3", "7", "9", "10", "b"}));
    EXPECT_EQ(zones[2].Detector, 1); // the "off" is no vehicle
    const TZoneCount total = TotalCount(zones);
    EXPECT_EQ(total.Detector, 1);
    EXPECT_EQ(total.Reference, 3);
    EXPECT_EQ(total.Matched, 0);
}

TEST(EventLog, WritesThreeDecimalsWithAPointUnderADecimalCommaLocale) {
    const char* had = std::setlocale(LC_NUMERIC, nullptr);
    const std::string previous = had ? had : "C";
    std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
    const std::string log = FormatEventLog({{T0 + 2.5, "2", "hand", true},
                                            {T0 + 0.125, "1", "detector", true},
                                            {T0 + 1.0004, "1", "detector", false}});
    const std::string summary = FormatSummaryCsv({MatchZone({T0}, {T0, T0 + 4}, 1.0)});
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(log, "time,zone,source,state\n"
                   "1765296000.125,1,detector,on\n"
                   "1765296001.000,1,detector,off\n"
                   "1765296002.500,2,hand,on\n");
    EXPECT_NE(summary.find(",0.500,1.000,-50.0\n"), std::string::npos) << summary;
}

TEST(EventLog, ReadsWhatItWroteAndMergesFiles) {
    std::vector<TCountEvent> events;
    int line = 0;
    std::string problem;
    ASSERT_TRUE(ParseEventLog("time,zone,source,state\n1765296000.125,1,detector,on\n", events,
                              line, problem));
    ASSERT_TRUE(ParseEventLog("time,zone,source,state\r\n1765296000.5,1,hand,on\r\n1765296000,2,"
                              "truth,on\r\n",
                              events, line, problem))
        << problem;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_DOUBLE_EQ(events[0].Time, T0 + 0.125);
    EXPECT_EQ(events[1].Source, "hand");
    EXPECT_EQ(events[2].Zone, "2");
    EXPECT_DOUBLE_EQ(events[2].Time, T0);
}

struct BadLogRow {
    const char* Name;
    const char* Text;
    int Line;
};

class BadLog : public testing::TestWithParam<BadLogRow> {};

TEST_P(BadLog, NamesTheLine) {
    std::vector<TCountEvent> events{{T0, "1", "hand", true}};
    int line = 0;
    std::string problem;
    EXPECT_FALSE(ParseEventLog(GetParam().Text, events, line, problem));
    EXPECT_EQ(line, GetParam().Line);
    EXPECT_FALSE(problem.empty());
    EXPECT_EQ(events.size(), 1u); // nothing of a refused file is taken
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadLog,
    testing::Values(
        BadLogRow{"Empty", "", 1}, BadLogRow{"WrongHeader", "time,zone,state\n", 1},
        BadLogRow{"DecimalComma", "time,zone,source,state\n1765296000,5,1,hand,on\n", 2},
        BadLogRow{"NegativeTime", "time,zone,source,state\n-1.000,1,hand,on\n", 2},
        BadLogRow{"TextTime", "time,zone,source,state\n1.0,1,hand,on\nnow,1,hand,on\n", 3},
        BadLogRow{"EmptyZone", "time,zone,source,state\n1.000,,hand,on\n", 2},
        BadLogRow{"BadState", "time,zone,source,state\n1.000,1,detector,1\n", 2},
        BadLogRow{"ReferenceOff", "time,zone,source,state\n1.000,1,hand,off\n", 2},
        BadLogRow{"BlankLineInside", "time,zone,source,state\n\n1.000,1,hand,on\n", 2},
        BadLogRow{"FieldMissing", "time,zone,source,state\n1.000,1,hand\n", 2}),
    [](const testing::TestParamInfo<BadLogRow>& info) { return info.param.Name; });

TEST(DetectorEdges, FirstStatesAreTheStartAndOnlyChangesAreEvents) {
    TDetectorEdges edges;
    std::vector<TCountEvent> out;
    edges.Update({{"1", true}, {"2", false}}, T0, out);
    EXPECT_TRUE(out.empty());
    edges.Update({{"1", true}, {"2", true}}, T0 + 1, out); // "ge" repeating "gs"
    edges.Update({{"1", false}, {"2", true}, {"3", true}}, T0 + 2, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].Zone, "2");
    EXPECT_TRUE(out[0].On);
    EXPECT_DOUBLE_EQ(out[0].Time, T0 + 1);
    EXPECT_EQ(out[1].Zone, "1");
    EXPECT_FALSE(out[1].On);
    edges.Reset();
    out.clear();
    edges.Update({{"1", true}}, T0 + 3, out);
    EXPECT_TRUE(out.empty());
}

} // namespace
