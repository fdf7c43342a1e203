#include "platform/TextHelpers.h"

std::vector<std::string> SplitWords(std::string_view text, std::string_view separators) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t from = text.find_first_not_of(separators, at);
        if (from == std::string_view::npos)
            break;
        std::size_t to = text.find_first_of(separators, from);
        if (to == std::string_view::npos)
            to = text.size();
        words.emplace_back(text.substr(from, to - from));
        at = to;
    }
    return words;
}

void ForEachLine(std::string_view text, TLineEnds ends,
                 const std::function<void(std::string_view)>& line) {
    const std::string_view breaks = ends == TLineEnds::Lf ? "\n" : "\r\n";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(breaks, start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view one = text.substr(start, end - start);
        if (ends == TLineEnds::Lf && !one.empty() && one.back() == '\r')
            one.remove_suffix(1);
        line(one);
        if (ends == TLineEnds::Any && end + 1 < text.size() && text[end] == '\r' &&
            text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

std::vector<std::string> SplitLines(std::string_view text, TLineEnds ends) {
    std::vector<std::string> lines;
    ForEachLine(text, ends, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string Trimmed(std::string_view text, std::string_view blanks) {
    const std::size_t from = text.find_first_not_of(blanks);
    if (from == std::string_view::npos)
        return {};
    return std::string(text.substr(from, text.find_last_not_of(blanks) - from + 1));
}

namespace {
char LowerByte(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::string AsciiLower(std::string text) {
    for (char& c : text)
        c = LowerByte(c);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerByte(a[i]) != LowerByte(b[i]))
            return false;
    return true;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool IsCalendarDate(int year, int month, int day) {
    return day >= 1 && day <= DaysInMonth(year, month);
}

size_t Utf8SequenceLength(std::string_view text, size_t at) {
    const auto b = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = b(at);
    size_t n = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, min = 0x80, code = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, min = 0x800, code = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, min = 0x10000, code = c & 0x07;
    else
        return 0;
    if (at + n > text.size())
        return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((b(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b(at + i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}
