// The program's own options, taken before the toolkit starts: what they select and what they
// leave for the toolkit and the INI file.
#include "program/StartOptions.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* env; // $KERVOLA_LANG, null when unset
    TStartAction action;
    int language;
    std::vector<std::string> rest;
    bool warns;
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << r.name;
}

class StartOptionsTest : public ::testing::TestWithParam<Row> {};

TEST_P(StartOptionsTest, Parses) {
    const Row& r = GetParam();
    const TStartOptions o = ParseStartOptions(r.args, r.env);
    EXPECT_EQ(o.Action, r.action);
    EXPECT_EQ(o.Problem.empty(), r.action != TStartAction::Usage) << o.Problem;
    if (r.action == TStartAction::Usage)
        return;
    EXPECT_EQ(o.Language, r.language);
    EXPECT_EQ(o.Rest, r.rest);
    EXPECT_EQ(!o.Warning.empty(), r.warns) << o.Warning;
}

using A = TStartAction;
const Row Rows[] = {
    {"NothingMeansRussianAndNoIni", {}, nullptr, A::Run, 0, {}, false},
    {"IniFileStays", {"site.ini"}, nullptr, A::Run, 0, {"site.ini"}, false},
    {"LangEnBeforeIni", {"--lang", "en", "site.ini"}, nullptr, A::Run, 1, {"site.ini"}, false},
    {"LangAfterIni", {"site.ini", "--lang=ru"}, "en", A::Run, 0, {"site.ini"}, false},
    {"LangIgnoresCase", {"--lang=EN"}, nullptr, A::Run, 1, {}, false},
    {"EnvironmentSelects", {}, "en", A::Run, 1, {}, false},
    {"OptionBeatsEnvironment", {"--lang", "ru"}, "en", A::Run, 0, {}, false},
    {"BadEnvironmentWarnsAndKeepsRussian", {}, "de", A::Run, 0, {}, true},
    {"EmptyEnvironmentIsUnset", {}, "", A::Run, 0, {}, false},
    {"BadLangRefused", {"--lang", "de"}, nullptr, A::Usage, 0, {}, false},
    {"LangWithoutValueRefused", {"site.ini", "--lang"}, nullptr, A::Usage, 0, {}, false},
    // A value that looks like an option is still the value, and still wrong.
    {"LangTakesNextWordEvenAnOption", {"--lang", "--help"}, nullptr, A::Usage, 0, {}, false},
    {"ToolkitOptionsPassInOrder",
     {"-platform", "offscreen", "--lang", "en", "-style", "fusion", "site.ini"},
     nullptr,
     A::Run,
     1,
     {"-platform", "offscreen", "-style", "fusion", "site.ini"},
     false},
    {"DoubleDashEndsOptions", {"--", "--lang", "en"}, nullptr, A::Run, 0, {"--lang", "en"}, false},
    {"HelpWinsOverVersion", {"--version", "-h"}, nullptr, A::Help, 0, {}, false},
    {"PathsWithLanguage", {"--paths", "--lang", "en"}, nullptr, A::Paths, 1, {}, false},
    {"BadLangBeatsHelp", {"--help", "--lang", "xx"}, nullptr, A::Usage, 0, {}, false},
};

INSTANTIATE_TEST_SUITE_P(Table, StartOptionsTest, ::testing::ValuesIn(Rows),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
