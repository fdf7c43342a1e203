#include "channel/AdminText.h"

#include "addressbook/HostRecords.h"
#include "platform/TextHelpers.h"

#include <cstdio>

std::string NetworkApplyText(const std::string& address, const std::string& netmask,
                             const std::string& gateway, const std::string& dns, bool ntp,
                             const std::vector<std::string>& ntpServers, const std::string& port) {
    if (!IsValidIpAddress(address) || !IsValidIpAddress(netmask) || !IsValidIpAddress(gateway))
        return {};
    std::string text = "sn " + address + "," + netmask + "," + gateway;
    if (IsValidIpAddress(dns))
        text += "," + dns;
    text += "\r\n";
    if (ntp) {
        text += "sn ntp [";
        for (size_t i = 0; i < ntpServers.size(); ++i)
            text += (i ? "," : "") + ntpServers[i];
        text += "]\r\n";
    }
    text += "sn port " + port + "\r\n";
    return text;
}

TNetworkFields ParseNetworkReply(const std::string& line) {
    const std::vector<std::string> tokens = SplitWords(line, AsciiBlanks);
    TNetworkFields fields;
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        const std::string& key = tokens[i];
        const std::string& value = tokens[i + 1];
        if (key == "address")
            fields.Address = value;
        else if (key == "netmask")
            fields.Netmask = value;
        else if (key == "gateway")
            fields.Gateway = value;
        else if (key == "dns-nameservers")
            fields.Dns = value;
    }
    return fields;
}

std::vector<std::string> ParseNtpReply(const std::string& line) {
    std::vector<std::string> servers;
    const size_t open = line.find('[');
    if (open == std::string::npos)
        return servers;
    const size_t close = line.find(']', open + 1);
    if (close == std::string::npos)
        return servers;
    const std::string list = line.substr(open + 1, close - open - 1);
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        std::string item = list.substr(start, end - start);
        item.erase(0, item.find_first_not_of(' '));
        if (!item.empty())
            servers.push_back(item);
        start = end + 1;
    }
    return servers;
}

std::string FormatDetectorTime(const std::tm& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    std::string out = text;
    if (t.tm_hour == 0 && t.tm_min == 0 && t.tm_sec == 0)
        return out;
    std::snprintf(text, sizeof text, " %02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return out + text;
}

namespace {

// The integer of `count` characters from the 1-based column; -1 when they are not all digits
// (a sign or blank makes the part no number for the clock).
int Column(const std::string& text, size_t column, size_t count) {
    if (text.size() < column - 1 + count)
        return -1;
    int value = 0;
    for (size_t i = column - 1; i < column - 1 + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<std::tm> ParseDetectorTime(const std::string& text) {
    const int year = Column(text, 1, 4), month = Column(text, 6, 2), day = Column(text, 9, 2);
    const int hour = Column(text, 12, 2), minute = Column(text, 15, 2), second = Column(text, 18, 2);
    if (year < 1 || !IsCalendarDate(year, month, day) || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

std::optional<long long> ClockDriftSeconds(const std::string& detectorTime, std::time_t pcNow) {
    std::optional<std::tm> t = ParseDetectorTime(detectorTime);
    if (!t)
        return std::nullopt;
    const std::time_t detector = std::mktime(&*t);
    if (detector == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<long long>(detector) - static_cast<long long>(pcNow);
}
