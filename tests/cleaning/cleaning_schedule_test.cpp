// The cleaning schedule in the configuration document, the timing corrections and the level
// reading, without widgets.
#include "cleaning/CleaningSchedule.h"

#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The default document with the given params added to its system object.
struct TParam {
    const char* Name;
    const char* Val;
};
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

std::string Val(const TXMLNode& top, const std::string& name) {
    const TXMLNode* p = Param(top, name);
    return p ? p->Params.GetParam("val") : "<missing>";
}

// Values that differ from every default, so a load that changes nothing shows.
TCleaningValues Untouched() {
    TCleaningValues v;
    v.Timings = {"9", "8", "7", "5"};
    v.IntervalIndex = 4;
    v.SensitivityIndex = 2;
    return v;
}

struct TLoadCase {
    const char* Name;
    std::vector<TParam> Params;
    int Interval;
    int Sensitivity;
    std::array<std::string, 4> Timings;
};

class LoadCleaningRows : public ::testing::TestWithParam<TLoadCase> {};

TEST_P(LoadCleaningRows, ReadsTheSystemObject) {
    const TLoadCase& c = GetParam();
    const auto top = Document(c.Params);
    TCleaningValues v = Untouched();
    LoadCleaning(top.get(), v);
    EXPECT_EQ(v.IntervalIndex, c.Interval);
    EXPECT_EQ(v.SensitivityIndex, c.Sensitivity);
    EXPECT_EQ(v.Timings, c.Timings);
}

const std::array<std::string, 4> Defaults{"0", "2", "4", "6"};
const std::array<std::string, 4> Emptied{"", "", "", ""};

INSTANTIATE_TEST_SUITE_P(
    Documents, LoadCleaningRows,
    ::testing::Values(
        TLoadCase{"NothingStored", {}, 0, 1, Defaults},
        TLoadCase{"SixtyOneSecondsIsFiveMinutes", {{"cleaninterval", "61"}}, 2, 1, Defaults},
        TLoadCase{"ExactLimit", {{"cleaninterval", "3600"}}, 5, 1, Defaults},
        TLoadCase{"AboveADay", {{"cleaninterval", "90000"}}, 8, 1, Defaults},
        TLoadCase{"Negative", {{"cleaninterval", "-5"}}, 1, 1, Defaults},
        TLoadCase{"NotANumber", {{"cleaninterval", "5m"}}, 0, 1, Defaults},
        TLoadCase{"BeyondInt", {{"cleaninterval", "99999999999"}}, 0, 1, Defaults},
        TLoadCase{"Low", {{"cleanthreshold", "low"}}, 0, 0, Defaults},
        TLoadCase{"High", {{"cleanthreshold", "high"}}, 0, 2, Defaults},
        TLoadCase{"CaseMatters", {{"cleanthreshold", "High"}}, 0, 1, Defaults},
        TLoadCase{"Commas", {{"cleantimer", "1,2,3,4"}}, 0, 1, {"1", "2", "3", "4"}},
        TLoadCase{"SeparatorRuns", {{"cleantimer", " 1, ,2,,3   4 "}}, 0, 1, {"1", "2", "3", "4"}},
        TLoadCase{"ItemsTakenAsTheyStand", {{"cleantimer", "45 x 3 -1"}}, 0, 1,
                  {"45", "x", "3", "-1"}},
        TLoadCase{"ThreeItemsEmptyAll", {{"cleantimer", "1 2 3"}}, 0, 1, Emptied},
        TLoadCase{"FiveItemsEmptyAll", {{"cleantimer", "1 2 3 4 5"}}, 0, 1, Emptied},
        TLoadCase{"EmptyTimer", {{"cleantimer", ""}}, 0, 1, Emptied}),
    [](const auto& info) { return info.param.Name; });

TEST(LoadCleaning, WithoutSystemObjectNothingChanges) {
    TCleaningValues v = Untouched();
    LoadCleaning(nullptr, v);
    EXPECT_EQ(v.Timings, Untouched().Timings);

    TXMLNode top("message");
    top.AddChild("object")->Params.SetParam("type", "serial");
    LoadCleaning(&top, v);
    EXPECT_EQ(v.Timings, Untouched().Timings);
    EXPECT_EQ(v.IntervalIndex, 4);
    EXPECT_EQ(v.SensitivityIndex, 2);

    const std::string before = top.AsXML();
    StoreCleaning(&top, v);
    StoreCleaning(nullptr, v);
    EXPECT_EQ(top.AsXML(), before); // nothing gained
}

TEST(StoreCleaning, CreatesMissingParamsNameTypeValThenReplacesOnlyTheirValues) {
    auto top = Document({});
    TCleaningValues v;
    v.IntervalIndex = 3;
    v.SensitivityIndex = 0;
    v.Timings = {"1", "2", "3", "4"};
    StoreCleaning(top.get(), v);
    const struct {
        const char* Name;
        const char* Type;
        const char* Val;
    } expected[] = {{"cleaninterval", "int", "900"},
                    {"cleanthreshold", "string", "low"},
                    {"cleantimer", "set", "1 2 3 4"}};
    for (const auto& e : expected) {
        const TXMLNode* p = Param(*top, e.Name);
        ASSERT_NE(p, nullptr) << e.Name;
        ASSERT_EQ(p->Params.Count(), 3);
        EXPECT_EQ(TXMLParams::NameOf(p->Params[0]), "name");
        EXPECT_EQ(TXMLParams::NameOf(p->Params[1]), "type");
        EXPECT_EQ(p->Params.GetParam("type"), e.Type);
        EXPECT_EQ(TXMLParams::NameOf(p->Params[2]), "val");
        EXPECT_EQ(p->Params.GetParam("val"), e.Val);
    }
    const std::string once = top->AsXML();
    v.IntervalIndex = 8;
    StoreCleaning(top.get(), v);
    EXPECT_EQ(Val(*top, "cleaninterval"), "86400");
    EXPECT_EQ(top->AsXML().size(), once.size() + 2); // "900" became "86400", nothing added

    // A param the detector stored with another type keeps it.
    auto stored = Document({{"cleantimer", "0 0 0 0"}});
    StoreCleaning(stored.get(), v);
    EXPECT_EQ(Param(*stored, "cleantimer")->Params.GetParam("type"), "x");
}

TEST(StoreCleaning, RoundTripsOfTheStoredForms) {
    struct {
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
        EXPECT_EQ(Val(*top, "cleaninterval"), r.Interval) << r.Name;
        EXPECT_EQ(Val(*top, "cleantimer"), r.Timer) << r.Name;
    }
}

TEST(StoreCleaning, NothingSelectedStoresOffAndNormal) {
    auto top = Document({});
    TCleaningValues v;
    v.IntervalIndex = -1;
    v.SensitivityIndex = -1;
    StoreCleaning(top.get(), v);
    EXPECT_EQ(Val(*top, "cleaninterval"), "0");
    EXPECT_EQ(Val(*top, "cleanthreshold"), "normal");
}

TEST(CleaningTiming, CorrectedWhenLeft) {
    const struct {
        const char* Typed;
        const char* Shown;
    } rows[] = {{"45", "30"}, {"x", "1"},   {"", "1"},   {"-3", "0"},  {"30", "30"}, {"0", "0"},
                {" 7 ", "7"}, {"+5", "5"},  {"1.5", "1"}, {"+-5", "1"}, {"99999999999", "1"},
                {"08", "8"},  {"-0", "0"}};
    for (const auto& r : rows)
        EXPECT_EQ(CorrectCleaningTiming(r.Typed), r.Shown) << "typed [" << r.Typed << "]";
}

TEST(CleaningLevel, RepliesAndTheirDisplay) {
    const struct {
        const char* Reply;
        int State;
        const char* Text;
        const char* Word;
        int Position;
        bool Red;
    } rows[] = {
        {"gg=0", 0, "Высокий", "high", 100, false},
        {"gg=1", 1, "Низкий", "low", 10, true},
        {"gg=7", 7, "Не подключено", "unknown", 0, false},
        {"gg=?", -1, "Не подключено", "unknown", 0, false},
        {"gg=", -1, "Не подключено", "unknown", 0, false},
        {"", -1, "Не подключено", "unknown", 0, false},
    };
    for (const auto& r : rows) {
        const int state = CleaningStateFromReply(r.Reply);
        EXPECT_EQ(state, r.State) << r.Reply;
        const TCleaningLevel level = CleaningLevel(state);
        EXPECT_STREQ(level.Text, r.Text) << r.Reply;
        EXPECT_STREQ(level.Word, r.Word) << r.Reply;
        EXPECT_EQ(level.Position, r.Position) << r.Reply;
        EXPECT_EQ(level.Red, r.Red) << r.Reply;
    }
}

TEST(CleaningCommand, TimingsInEditOrder) {
    TCleaningValues v;
    EXPECT_EQ(CleaningCommand(v), "cl 0,2,4,6");
    v.Timings = {"30", "0", "1", "12"};
    EXPECT_EQ(CleaningCommand(v), "cl 30,0,1,12");
}

} // namespace
