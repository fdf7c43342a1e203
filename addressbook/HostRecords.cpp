#include "addressbook/HostRecords.h"

#include "config/GXmlUtils.h"
#include "platform/FileReplace.h"
#include "platform/TextHelpers.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The unset time as the file's original writer formatted it.
constexpr const char* ZeroDateText = "30.12.1899 00:00:00";

// Reads an unsigned decimal of 1..maxDigits digits at `p`.
bool ReadNumber(const std::string& s, size_t& p, size_t maxDigits, int& value) {
    const size_t start = p;
    value = 0;
    while (p < s.size() && IsDigit(s[p]) && p - start < maxDigits)
        value = value * 10 + (s[p++] - '0');
    return p > start && (p >= s.size() || !IsDigit(s[p]));
}

THostRec RecordFromParams(const TXMLParams& p) {
    THostRec r;
    r.Caption = p.GetParam("caption");
    r.Address = p.GetParam("ip");
    r.Port = PortFromText(p.GetParam("port"));
    r.Login = p.GetParam("login");
    r.Password = p.GetParam("pass");
    r.Created = ParseCreated(p.GetParam("created"));
    return r;
}

// Texts, comments, CDATA and declarations are no entries; every element is, whatever its name.
bool IsElement(const TXMLNode& node) {
    return !node.Name.empty() && node.Name != "!--" && node.Name != "[CDATA[" &&
           node.Name != "?xml";
}

// For a text that does not parse: each start tag after the top element's is read on its own.
// A tag cut off by the end of the text still gives the attributes that are complete.
void RecoverRecords(const std::string& s, std::vector<THostRec>& records) {
    bool topSeen = false;
    size_t p = 0;
    while ((p = s.find('<', p)) != std::string::npos) {
        if (s.compare(p, 4, "<!--") == 0) {
            const size_t end = s.find("-->", p + 4);
            if (end == std::string::npos)
                return;
            p = end + 3;
            continue;
        }
        const size_t nameFrom = p + 1;
        if (nameFrom >= s.size())
            return;
        const char first = s[nameFrom];
        if (first == '/' || first == '!' || first == '?' || first == '<' ||
            static_cast<unsigned char>(first) <= 32) {
            p = nameFrom;
            continue;
        }
        size_t nameEnd = nameFrom;
        while (nameEnd < s.size() && s[nameEnd] != '>' && s[nameEnd] != '/' &&
               static_cast<unsigned char>(s[nameEnd]) > 32)
            ++nameEnd;
        if (nameEnd == nameFrom) {
            p = nameFrom;
            continue;
        }
        // The tag's end: the first ">" outside quotes, or the end of the text.
        size_t end = nameEnd;
        char quote = 0;
        for (; end < s.size(); ++end) {
            const char c = s[end];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>' || c == '<') {
                break;
            }
        }
        const bool closed = end < s.size() && s[end] == '>';
        const bool selfClosing = closed && end > nameEnd && s[end - 1] == '/';
        std::string attributes = s.substr(nameEnd, (selfClosing ? end - 1 : end) - nameEnd);
        p = closed ? end + 1 : end;
        if (!topSeen && !selfClosing) {
            topSeen = true;
            continue;
        }
        topSeen = true;
        TXMLParams params;
        ParseParams(attributes, params);
        if (closed || params.Count() > 0)
            records.push_back(RecordFromParams(params));
    }
}

std::string SystemReason(int err) {
    return std::strerror(err);
}

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

} // namespace

bool IsValidIpAddress(const std::string& text) {
    if (text.empty() || text.size() > 15 || text[0] == '.')
        return false;
    int group = 0;
    int groupDigits = 0;
    int dots = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (i + 1 >= text.size() || !IsDigit(text[i + 1]))
                return false;
            ++dots;
            group = 0;
            groupDigits = 0;
        } else if (IsDigit(c)) {
            group = group * 10 + (c - '0');
            if (++groupDigits > 3 || group > 255)
                return false;
        } else {
            return false;
        }
    }
    return dots >= 3;
}

int PortFromText(const std::string& text, int fallback) {
    size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+'))
        negative = text[p++] == '-';
    if (p >= text.size())
        return fallback;
    long long value = 0;
    for (; p < text.size(); ++p) {
        if (!IsDigit(text[p]))
            return fallback;
        value = value * 10 + (text[p] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return fallback;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return fallback;
    return static_cast<int>(value);
}

std::string FormatCreated(std::time_t created) {
    if (created == 0)
        return ZeroDateText;
    std::tm tm{};
    if (!localtime_r(&created, &tm))
        return ZeroDateText;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::time_t ParseCreated(const std::string& text) {
    size_t from = 0;
    size_t to = text.size();
    while (from < to && static_cast<unsigned char>(text[from]) <= 32)
        ++from;
    while (to > from && static_cast<unsigned char>(text[to - 1]) <= 32)
        --to;
    const std::string s = text.substr(from, to - from);
    size_t p = 0;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!ReadNumber(s, p, 2, day) || p >= s.size() || s[p++] != '.')
        return 0;
    if (!ReadNumber(s, p, 2, month) || p >= s.size() || s[p++] != '.')
        return 0;
    const size_t yearFrom = p;
    if (!ReadNumber(s, p, 4, year))
        return 0;
    if (p - yearFrom <= 2)
        year += 2000;
    if (p < s.size()) {
        if (s[p++] != ' ')
            return 0;
        while (p < s.size() && s[p] == ' ')
            ++p;
        if (!ReadNumber(s, p, 2, hour) || p >= s.size() || s[p++] != ':')
            return 0;
        if (!ReadNumber(s, p, 2, minute))
            return 0;
        if (p < s.size() && (s[p++] != ':' || !ReadNumber(s, p, 2, second)))
            return 0;
        if (p != s.size())
            return 0;
    }
    if (!IsCalendarDate(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return 0;
    if (year == 1899 && month == 12 && day == 30 && hour == 0 && minute == 0 && second == 0)
        return 0;
    std::tm tm{};
    tm.tm_mday = day;
    tm.tm_mon = month - 1;
    tm.tm_year = year - 1900;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : t;
}

bool HostRecordsFromText(const std::string& text, std::vector<THostRec>& records) {
    records.clear();
    // Recovery reads the same normalised text as the scanner: a value holding a bare line end
    // would otherwise read differently once the list is saved again.
    const std::string normalized = NormalizeLineEnds(text);
    TXMLNode top;
    top.LoadFromXML(normalized);
    if (XMLErrorCode != 0) {
        RecoverRecords(normalized, records);
        return false;
    }
    for (int i = 0; i < top.Count(); ++i) {
        const TXMLNode& node = *top.GetNode(i);
        if (IsElement(node))
            records.push_back(RecordFromParams(node.Params));
    }
    return true;
}

std::string HostsFileText(const std::vector<THostRec>& records) {
    TXMLNode top("kervola");
    for (const THostRec& r : records) {
        TXMLNode* rec = top.AddChild("rec");
        if (!rec)
            break;
        rec->Params.SetParam("caption", r.Caption);
        rec->Params.SetParam("ip", r.Address);
        rec->Params.SetParam("port", std::to_string(r.Port));
        rec->Params.SetParam("login", r.Login);
        rec->Params.SetParam("pass", r.Password);
        rec->Params.SetParam("created", FormatCreated(r.Created));
    }
    return NormalizeLineEnds(top.AsXML());
}

THostsLoad LoadHostsFile(const std::string& path, std::vector<THostRec>& records,
                         std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return THostsLoad::Missing;
        SetError(error, "Cannot open file \"" + path + "\". " + SystemReason(errno));
        return THostsLoad::Unreadable;
    }
    std::string raw;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            SetError(error, "Cannot read file \"" + path + "\". " + SystemReason(err));
            return THostsLoad::Unreadable;
        }
        raw.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    std::vector<THostRec> read;
    const bool parsed = HostRecordsFromText(raw, read);
    records = std::move(read);
    return parsed ? THostsLoad::Loaded : THostsLoad::Recovered;
}

std::string KeepDamagedHostsFile(const std::string& path) {
    const std::string backup = path + ".bak";
    std::string bytes;
    std::string reason;
    if (!ReadFileBytes(path, bytes) || !ReplaceFileContents(backup, bytes, PrivateFile, reason))
        return {};
    return backup;
}

bool SaveHostsFile(const std::string& path, const std::vector<THostRec>& records,
                   std::string* error) {
    std::vector<THostRec> existing;
    std::string reason;
    switch (LoadHostsFile(path, existing, &reason)) {
    case THostsLoad::Unreadable:
        SetError(error, reason + " The file is not replaced.");
        return false;
    case THostsLoad::Loaded:
    case THostsLoad::Recovered:
        if (records.empty() && !existing.empty())
            return true;
        break;
    case THostsLoad::Missing:
        break;
    }

    if (!ReplaceFileContents(path, HostsFileText(records), PrivateFile, reason)) {
        SetError(error, "Cannot create file \"" + path + "\". " + reason);
        return false;
    }
    return true;
}
