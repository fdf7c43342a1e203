#include "channel/DetectorProtocol.h"

#include "platform/TextHelpers.h"

#include <algorithm>
#include <charconv>
#include <limits>

long long StrToInt64Def(const std::string& text, long long def) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    long long v = 0;
    const auto [end, ec] = std::from_chars(first, last, v);
    return ec == std::errc() && end == last && first != last ? v : def;
}

int StrToIntDef(const std::string& text, int def) {
    const long long v = StrToInt64Def(text, std::numeric_limits<long long>::min());
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return def;
    return static_cast<int>(v);
}

bool AnnouncedCount(const std::string& line, long long& n) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    n = StrToInt64Def(line.substr(eq + 1), 0);
    return true;
}

std::vector<TZoneState> ParseZoneStates(const std::string& text) {
    const std::vector<std::string> t = SplitWords(text, " \t\r\n");
    std::vector<TZoneState> out;
    for (size_t i = 0; i + 1 < t.size(); i += 2)
        out.push_back({t[i], t[i + 1] == "1"});
    return out;
}

std::vector<TZoneEvent> ParseZoneEvents(const std::string& text) {
    const std::vector<std::string> t = SplitWords(text, " \t\r\n,=");
    std::vector<TZoneEvent> out;
    for (size_t i = 0; i + 7 <= t.size(); i += 7)
        out.push_back({t[i], t[i + 1] == "1", StrToIntDef(t[i + 3], 0)});
    return out;
}

int ParseRateReply(const std::string& text, int def) {
    const size_t at = text.find('@');
    if (at == std::string::npos)
        return def;
    return StrToIntDef(text.substr(at + 1, 2), def);
}

std::string ParseTimeReply(const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos)
        return {};
    std::string value = text.substr(eq + 1);
    if (value.find('"') != std::string::npos && value.size() >= 2)
        value = value.substr(1, value.size() - 2);
    else if (value.find('"') != std::string::npos)
        value.clear();
    return value;
}

long long BodyAnnounced(const std::string& line) {
    long long n = 0;
    if (!AnnouncedCount(line, n) || n <= 0)
        return 0;
    return n > MaxBodySize ? -1 : n;
}

TReplyStep NextReply(const std::string& input, size_t& consumed, long long awaitedBody,
                     std::string& item) {
    const size_t have = input.size() - std::min(consumed, input.size());
    if (awaitedBody >= 0) {
        if (have < static_cast<size_t>(awaitedBody))
            return TReplyStep::NeedMore;
        item = input.substr(consumed, static_cast<size_t>(awaitedBody));
        consumed += static_cast<size_t>(awaitedBody);
        return TReplyStep::Body;
    }
    const size_t crlf = input.find("\r\n", consumed);
    if (crlf == std::string::npos)
        return have > MaxPendingInput ? TReplyStep::Faulty : TReplyStep::NeedMore;
    item = input.substr(consumed, crlf - consumed);
    consumed = crlf + 2;
    return TReplyStep::Line;
}
