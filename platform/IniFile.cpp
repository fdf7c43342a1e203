#include "platform/IniFile.h"

#include "platform/FileRead.h"
#include "platform/FileReplace.h"
#include "platform/TextHelpers.h"

#include <charconv>
#include <optional>
#include <vector>

namespace {

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
    t.Lines = SplitLines(raw, TLineEnds::Lf);
    return t;
}

// Section name of a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line) {
    const std::string t = Trimmed(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const size_t close = t.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return Trimmed(t.substr(1, close - 1));
}

// Key of a "key=value" line (comments and blank lines have none).
std::optional<std::string> KeyOf(const std::string& line) {
    const std::string t = Trimmed(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[')
        return std::nullopt;
    const size_t eq = t.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return Trimmed(t.substr(0, eq));
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
            inside = EqualsIgnoringCase(*s, section);
            if (inside) {
                loc.SectionLine = i;
                loc.LastLine = i;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!Trimmed(line).empty())
            loc.LastLine = i;
        const auto k = KeyOf(line);
        if (k && loc.KeyLine < 0 && EqualsIgnoringCase(*k, key))
            loc.KeyLine = i;
    }
    return loc;
}

} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    const IniText t = ReadLines(Path);
    const Location loc = Find(t, section, key);
    if (loc.KeyLine < 0)
        return def;
    const std::string& line = t.Lines[static_cast<size_t>(loc.KeyLine)];
    std::string value = Trimmed(line.substr(line.find('=') + 1));
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
        if (!t.Lines.empty() && !Trimmed(t.Lines.back()).empty())
            t.Lines.emplace_back();
        t.Lines.push_back("[" + section + "]");
        t.Lines.push_back(entry);
    }
    std::string text;
    for (const std::string& line : t.Lines)
        text += line + t.LineEnd;
    std::string reason;
    return ReplaceFileContents(Path, text, SettingsFile, reason);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}
