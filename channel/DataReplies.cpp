#include "channel/DataReplies.h"

#include "channel/DetectorProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int FirmwareNumber(const std::string& firmwareVersion) {
    std::string text = firmwareVersion;
    if (!text.empty() && text.front() == '"')
        text.erase(0, 1);
    if (!text.empty() && text.back() == '"')
        text.pop_back();
    const std::size_t blank = text.rfind(' ');
    if (blank == std::string::npos)
        return 0;
    return StrToIntDef(text.substr(blank + 1), 0);
}

std::string DownloadStartText(double days, std::time_t now) {
    if (!std::isfinite(days) || days == 0)
        return "0";
    // A typed number may be anything; a few thousand years either way still formats sanely.
    days = std::clamp(days, -1.0e6, 1.0e6);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return "0";
    // Days back on the wall clock, as the user reads it, not in elapsed seconds.
    const double wall = static_cast<double>(now) + static_cast<double>(local.tm_gmtoff);
    const std::time_t start = static_cast<std::time_t>(std::floor(wall - days * 86400.0));
    std::tm t{};
    if (!::gmtime_r(&start, &t))
        return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

int StatRecordSize(const std::string& line) {
    const std::size_t equal = line.find('=');
    const std::size_t comma = line.rfind(',');
    if (equal == std::string::npos || comma == std::string::npos || comma < equal)
        return 0;
    return StrToIntDef(line.substr(equal + 1, comma - equal - 1), 0);
}
