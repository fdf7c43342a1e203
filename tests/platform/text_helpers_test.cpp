#include "platform/TextHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Parts = std::vector<std::string>;

struct WordsRow {
    const char* Name;
    std::string Text;
    std::string Separators;
    Parts Expected;
};

TEST(TextHelpers, SplitWordsSkipsRunsAndKeepsNoEmptyPart) {
    const WordsRow rows[] = {
        {"empty", "", " ", {}},
        {"only separators", " ,, ", " ,", {}},
        {"runs separate once", "  a,,b  ", " ,", {"a", "b"}},
        {"other blanks are text", "a\tb c", " ", {"a\tb", "c"}},
        {"no separators", "a b", "", {"a b"}},
        {"zero byte is text", std::string("a\0b c", 5), " ", {std::string("a\0b", 3), "c"}},
        {"zone events", "1=1,0=7\r\n2", " \t\r\n,=", {"1", "1", "0", "7", "2"}},
        {"corners over lines", "0,2 0,45\r\n0,6\n", " \r\n", {"0,2", "0,45", "0,6"}},
    };
    for (const WordsRow& r : rows)
        EXPECT_EQ(SplitWords(r.Text, r.Separators), r.Expected) << r.Name;
}

struct LinesRow {
    const char* Name;
    std::string Text;
    Parts Lf;
    Parts Any;
};

TEST(TextHelpers, SplitLinesByEitherRule) {
    const LinesRow rows[] = {
        {"empty", "", {}, {}},
        {"no end", "a", {"a"}, {"a"}},
        {"final end opens no line", "a\n", {"a"}, {"a"}},
        {"empty line kept", "a\n\nb", {"a", "", "b"}, {"a", "", "b"}},
        {"lone LF", "\n", {""}, {""}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}, {"a", "b"}},
        {"lone CR inside", "a\rb\n", {"a\rb"}, {"a", "b"}},
        {"only one CR dropped", "a\r\r\n", {"a\r"}, {"a", ""}},
        {"CR at the very end", "a\r", {"a"}, {"a"}},
        {"LF CR is two ends", "a\n\rb", {"a", "\rb"}, {"a", "", "b"}},
        {"blank lines of CR LF", "\r\n\r\n", {"", ""}, {"", ""}},
    };
    for (const LinesRow& r : rows) {
        EXPECT_EQ(SplitLines(r.Text, TLineEnds::Lf), r.Lf) << r.Name;
        EXPECT_EQ(SplitLines(r.Text, TLineEnds::Any), r.Any) << r.Name;
        Parts seen;
        ForEachLine(r.Text, TLineEnds::Any, [&seen](std::string_view l) { seen.emplace_back(l); });
        EXPECT_EQ(seen, r.Any) << r.Name;
    }
}

TEST(TextHelpers, TrimmedTakesOnlyTheBlanksAsked) {
    EXPECT_EQ(Trimmed(""), "");
    EXPECT_EQ(Trimmed(" \t\r\n\v\f"), "");
    EXPECT_EQ(Trimmed(" \ta b\r\n"), "a b");
    EXPECT_EQ(Trimmed(" \ta\r", " \t"), "a\r");
    EXPECT_EQ(Trimmed("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0"); // no-break space is text
    EXPECT_EQ(Trimmed("  x  ", " "), "x");
}

TEST(TextHelpers, CaseOfAsciiLettersOnly) {
    EXPECT_EQ(AsciiLower("Label ADDRESS [AutoStart]"), "label address [autostart]");
    EXPECT_EQ(AsciiLower("ПОСТ \xC4"), "ПОСТ \xC4"); // UTF-8 and Latin-1 bytes stay
    EXPECT_TRUE(EqualsIgnoringCase("AutoStart", "AUTOSTART"));
    EXPECT_TRUE(EqualsIgnoringCase("", ""));
    EXPECT_FALSE(EqualsIgnoringCase("AUTOSTART", "AUTOSTART "));
    EXPECT_FALSE(EqualsIgnoringCase("[", "{")); // 0x5B and 0x7B differ by the case bit only
    EXPECT_FALSE(EqualsIgnoringCase("ПОСТ", "пост"));
}

struct DateRow {
    int Year, Month, Day;
    bool Valid;
};

TEST(TextHelpers, CalendarDates) {
    const DateRow rows[] = {
        {2024, 2, 29, true},  {2023, 2, 29, false}, {1900, 2, 29, false}, {2000, 2, 29, true},
        {2100, 2, 28, true},  {2100, 2, 29, false}, {1899, 12, 30, true}, {2026, 4, 31, false},
        {2026, 12, 31, true}, {2026, 13, 1, false}, {2026, 0, 1, false},  {2026, 1, 0, false},
        {2026, 1, -1, false}, {2026, -1, 1, false}, {0, 2, 29, true},     {9999, 12, 31, true},
    };
    for (const DateRow& r : rows)
        EXPECT_EQ(IsCalendarDate(r.Year, r.Month, r.Day), r.Valid)
            << r.Year << "-" << r.Month << "-" << r.Day;
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2026, 13), 0);
}

} // namespace
