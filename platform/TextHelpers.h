#pragma once
// Splitting, trimming and case of the texts the program reads (replies, documents, INI files,
// address lists), and the calendar check of the dates written in them. Bytes, not characters:
// every rule here is ASCII, so a reading never depends on the user's locale.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What the C locale's isspace calls blank.
inline constexpr std::string_view AsciiBlanks = " \t\n\v\f\r";

// The parts of `text` between any of the `separators`. A run of separators separates once and no
// part is empty: " a,,b " split at " ," gives "a" and "b".
std::vector<std::string> SplitWords(std::string_view text, std::string_view separators);

enum class TLineEnds {
    Lf,  // only LF ends a line, and one CR at a line's end is dropped: "a\rb" is one line
    Any, // CR LF, LF and a lone CR each end one line
};

// The lines of `text` without their ends. A last line without an end counts; an end at the very
// end opens no further line, so empty text has none and "a\n\n" has "a" and "".
std::vector<std::string> SplitLines(std::string_view text, TLineEnds ends);

// The same lines as SplitLines, handed over one by one without copies.
void ForEachLine(std::string_view text, TLineEnds ends,
                 const std::function<void(std::string_view)>& line);

// `text` without the `blanks` at either end.
std::string Trimmed(std::string_view text, std::string_view blanks = AsciiBlanks);

// A to Z made a to z; every other byte, UTF-8 included, stays.
std::string AsciiLower(std::string text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Bytes of the valid UTF-8 sequence that starts at `at` (1 for ASCII), or 0 when the byte there
// starts none: a stray continuation byte, an overlong form, a surrogate, a cut-off sequence.
size_t Utf8SequenceLength(std::string_view text, size_t at);

// The Gregorian calendar, carried back before its adoption; month 1 to 12.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Whether the day exists in that month of that year (any year, 0 and negative ones included).
bool IsCalendarDate(int year, int month, int day);
