#include "platform/IniFile.h"

#include "config/GXmlUtils.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct IniText {
    std::vector<std::string> Lines;
    std::string LineEnd = "\n";
    bool Exists = false;
};

IniText ReadLines(const std::string& path) {
    IniText t;
    std::string raw;
    if (!ReadFileBytes(path, raw))
        return t;
    t.Exists = true;
    if (raw.find("\r\n") != std::string::npos)
        t.LineEnd = "\r\n";
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\n', start);
        if (end == std::string::npos)
            end = raw.size();
        std::string line = raw.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        t.Lines.push_back(std::move(line));
        start = end + 1;
    }
    return t;
}

// Section name of a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const size_t close = t.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Key of a "key=value" line (comments and blank lines have none).
std::optional<std::string> KeyOf(const std::string& line) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[')
        return std::nullopt;
    const size_t eq = t.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return Trim(t.substr(0, eq));
}

struct Location {
    int SectionLine = -1; // the "[section]" line
    int KeyLine = -1;
    int LastLine = -1; // last non-blank line of the section
};

Location Find(const IniText& t, const std::string& section, const std::string& key) {
    Location loc;
    bool inside = false;
    for (int i = 0; i < static_cast<int>(t.Lines.size()); ++i) {
        const std::string& line = t.Lines[static_cast<size_t>(i)];
        if (const auto s = SectionOf(line)) {
            if (loc.SectionLine >= 0 && inside)
                break; // the first section of that name is the one read and written
            inside = SameName(*s, section);
            if (inside) {
                loc.SectionLine = i;
                loc.LastLine = i;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!Trim(line).empty())
            loc.LastLine = i;
        const auto k = KeyOf(line);
        if (k && loc.KeyLine < 0 && SameName(*k, key))
            loc.KeyLine = i;
    }
    return loc;
}

bool WriteAtomically(const std::string& path, const std::string& text) {
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::chmod(tmp.c_str(), mode);
    ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    const IniText t = ReadLines(Path);
    const Location loc = Find(t, section, key);
    if (loc.KeyLine < 0)
        return def;
    const std::string& line = t.Lines[static_cast<size_t>(loc.KeyLine)];
    std::string value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    const std::string s = ReadString(section, key, "");
    if (s.empty())
        return def;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '+')
        ++first;
    int v = 0;
    const auto [end, ec] = std::from_chars(first, last, v);
    return ec == std::errc() && end == last ? v : def;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    IniText t = ReadLines(Path);
    const Location loc = Find(t, section, key);
    const std::string entry = key + "=" + value;
    if (loc.KeyLine >= 0) {
        t.Lines[static_cast<size_t>(loc.KeyLine)] = entry;
    } else if (loc.SectionLine >= 0) {
        t.Lines.insert(t.Lines.begin() + loc.LastLine + 1, entry);
    } else {
        if (!t.Lines.empty() && !Trim(t.Lines.back()).empty())
            t.Lines.emplace_back();
        t.Lines.push_back("[" + section + "]");
        t.Lines.push_back(entry);
    }
    std::string text;
    for (const std::string& line : t.Lines)
        text += line + t.LineEnd;
    return WriteAtomically(Path, text);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}
