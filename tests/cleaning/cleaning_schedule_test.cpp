// The cleaning schedule in the configuration document, the timing corrections and the level
// reading, without widgets.
#include "cleaning/CleaningSchedule.h"

#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using TTimings = std::array<std::string, 4>;
struct TParam {
    const char* Name;
    const char* Val;
};

// The default document with the given params added to its system object.
std::unique_ptr<TXMLNode> Document(const std::vector<TParam>& params) {
    TXMLConfig config;
    config.CreateDefault("KERVOLA2", "ZELMONT_SF");
    TXMLNode* system = config.TopNode->GetNode(config.TopNode->FindChildByParam("type", "system"));
    for (const TParam& p : params) {
        TXMLNode* node = system->AddChild("param");
        node->Params.SetParam("name", p.Name);
        node->Params.SetParam("type", "x");
        node->Params.SetParam("val", p.Val);
    }
    return std::move(config.TopNode);
}

const TXMLNode* Param(const TXMLNode& top, const std::string& name) {
    const TXMLNode* system = top.GetNode(top.FindChildByParam("type", "system"));
    const int i = system->FindChildByParam("name", name);
    return i < 0 ? nullptr : system->GetNode(i);
}

struct TLoadCase {
    const char* Name;
    std::vector<TParam> Params;
    int Interval;
    int Sensitivity;
    TTimings Timings;
};
class LoadCleaningRows : public ::testing::TestWithParam<TLoadCase> {};

TEST_P(LoadCleaningRows, ReadsTheSystemObject) {
    const TLoadCase& c = GetParam();
    const auto top = Document(c.Params);
    TCleaningValues v{{"9", "8", "7", "5"}, 4, 2}; // differs from every default
    LoadCleaning(top.get(), v);
    EXPECT_EQ(v.IntervalIndex, c.Interval);
    EXPECT_EQ(v.SensitivityIndex, c.Sensitivity);
    EXPECT_EQ(v.Timings, c.Timings);
}

const TTimings Defaults{"0", "2", "4", "6"};
const TTimings Emptied{"", "", "", ""};
INSTANTIATE_TEST_SUITE_P(
    Documents, LoadCleaningRows,
    ::testing::Values(
        TLoadCase{"NothingStored", {}, 0, 1, Defaults},
        TLoadCase{"SixtyOneSecondsIsFiveMinutes", {{"cleaninterval", "61"}}, 2, 1, Defaults},
        TLoadCase{"ExactLimit", {{"cleaninterval", "3600"}}, 5, 1, Defaults},
        TLoadCase{"AboveADay", {{"cleaninterval", "90000"}}, 8, 1, Defaults},
        TLoadCase{"Negative", {{"cleaninterval", "-5"}}, 1, 1, Defaults},
        TLoadCase{"NotANumber", {{"cleaninterval", "5m"}}, 0, 1, Defaults},
        TLoadCase{"Low", {{"cleanthreshold", "low"}}, 0, 0, Defaults},
        TLoadCase{"High", {{"cleanthreshold", "high"}}, 0, 2, Defaults},
        TLoadCase{"Commas", {{"cleantimer", "1,2,3,4"}}, 0, 1, {"1", "2", "3", "4"}},
        TLoadCase{"SeparatorRuns", {{"cleantimer", " 1, ,2,,3   4 "}}, 0, 1, {"1", "2", "3", "4"}},
        TLoadCase{"ThreeItemsEmptyAll", {{"cleantimer", "1 2 3"}}, 0, 1, Emptied},
        TLoadCase{"FiveItemsEmptyAll", {{"cleantimer", "1 2 3 4 5"}}, 0, 1, Emptied}),
    [](const auto& info) { return info.param.Name; });

TEST(StoreCleaning, WhatComesBackFromWhatWasStored) {
    const struct {
        const char* Name;
        std::vector<TParam> Params;
        const char* Interval;
        const char* Timer;
    } rows[] = {
        {"61 s back as 300", {{"cleaninterval", "61"}}, "300", "0 2 4 6"},
        {"commas back as blanks", {{"cleantimer", "1,2,3,4"}}, "0", "1 2 3 4"},
        {"three items back as three blanks", {{"cleantimer", "1 2 3"}}, "0", "   "},
    };
    for (const auto& r : rows) {
        auto top = Document(r.Params);
        TCleaningValues v;
        LoadCleaning(top.get(), v);
        StoreCleaning(top.get(), v);
        EXPECT_EQ(Param(*top, "cleaninterval")->Params.GetParam("val"), r.Interval) << r.Name;
        EXPECT_EQ(Param(*top, "cleantimer")->Params.GetParam("val"), r.Timer) << r.Name;
    }
}

TEST(StoreCleaning, NewParamsNameTypeValAndStoredTypesKept) {
    auto top = Document({{"cleantimer", "0 0 0 0"}});
    StoreCleaning(top.get(), TCleaningValues{Defaults, -1, -1}); // nothing selected
    EXPECT_EQ(Param(*top, "cleaninterval")->Params.ParamsText(),
              R"(name="cleaninterval" type="int" val="0")");
    EXPECT_EQ(Param(*top, "cleanthreshold")->Params.ParamsText(),
              R"(name="cleanthreshold" type="string" val="normal")");
    EXPECT_EQ(Param(*top, "cleantimer")->Params.ParamsText(),
              R"(name="cleantimer" type="x" val="0 2 4 6")");
}

TEST(StoreCleaning, WithoutSystemObjectNothingChangesEitherWay) {
    TXMLNode top("message");
    top.AddChild("object")->Params.SetParam("type", "serial");
    const std::string before = top.AsXML();
    TCleaningValues v{{"9", "8", "7", "5"}, 4, 2};
    LoadCleaning(&top, v);
    LoadCleaning(nullptr, v);
    EXPECT_EQ(v.Timings, (TTimings{"9", "8", "7", "5"}));
    EXPECT_EQ(v.IntervalIndex, 4);
    StoreCleaning(&top, v);
    StoreCleaning(nullptr, v);
    EXPECT_EQ(top.AsXML(), before);
}

TEST(CleaningTiming, CorrectedWhenLeft) {
    const struct {
        const char* Typed;
        const char* Shown;
    } rows[] = {{"45", "30"}, {"x", "1"},  {"", "1"},    {"-3", "0"},  {"30", "30"},
                {" 7 ", "7"}, {"+5", "5"}, {"1.5", "1"}, {"+-5", "1"}, {"99999999999", "1"}};
    for (const auto& r : rows)
        EXPECT_EQ(CorrectCleaningTiming(r.Typed), r.Shown) << "typed [" << r.Typed << "]";
}

} // namespace
