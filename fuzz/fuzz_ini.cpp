// INI files are read as any bytes a user or another program left in them. A write of one key
// keeps every other line as it was and in its order, and what was written reads back.
#include "platform/FileRead.h"
#include "platform/FileReplace.h"
#include "platform/IniFile.h"
#include "platform/TextHelpers.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string IniPath;

// The next piece of the input up to a NUL byte.
std::string Take(std::string& rest) {
    const size_t nul = rest.find('\0');
    std::string piece = rest.substr(0, nul);
    rest.erase(0, nul == std::string::npos ? rest.size() : nul + 1);
    return piece;
}

bool HasAny(const std::string& s, std::string_view chars) {
    return s.find_first_of(chars) != std::string::npos;
}

// A name a line can hold and give back: nothing a line or section syntax would cut off.
bool Writable(const std::string& section, const std::string& key, const std::string& value) {
    if (section.empty() || key.empty() || Trimmed(section) != section || Trimmed(key) != key ||
        Trimmed(value) != value)
        return false;
    if (HasAny(section, "]\r\n") || HasAny(key, "=\r\n") || HasAny(value, "\r\n"))
        return false;
    if (key[0] == ';' || key[0] == '#' || key[0] == '[')
        return false;
    // A value in matching quotes is read without them, as Windows does.
    return !(value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
             value.back() == value[0]);
}

// The lines as the file gives them. CRs at a line's end count for nothing: one belongs to the
// line end, and a file's last line left without one (no LF follows) gets a line end written.
std::vector<std::string> LinesOf(const std::string& bytes) {
    std::vector<std::string> lines = SplitLines(bytes, TLineEnds::Lf);
    for (std::string& line : lines)
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A memory file system where there is one: every write flushes to the disk.
    const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    IniPath = folder + "/fuzz_ini." + std::to_string(getpid()) + ".ini";
    std::atexit([] { std::remove(IniPath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    // Section, key and value, each ended by a NUL byte, then the file.
    std::string rest(reinterpret_cast<const char*>(data), size);
    const std::string section = Take(rest);
    const std::string key = Take(rest);
    const std::string value = Take(rest);
    const std::string& file = rest;
    std::string reason;
    if (!ReplaceFileContents(IniPath, file, SettingsFile, reason))
        std::abort();

    TIniFile ini(IniPath);
    // A file may hold any default as a value: the key is missing only when two defaults both
    // come back.
    const bool existed = ini.ReadString(section, key, "\x01missing") != "\x01missing" ||
                         ini.ReadString(section, key, "\x02missing") != "\x02missing";
    (void)ini.ReadInteger(section, key, -1);
    if (!ini.WriteString(section, key, value))
        std::abort();
    std::string after;
    if (!ReadFileBytes(IniPath, after))
        std::abort();

    // Every line before stays, in order: the write touches one place, where it replaces at most
    // the key's own line and adds at most three (a blank, the section and the key).
    const std::vector<std::string> was = LinesOf(file);
    const std::vector<std::string> now = LinesOf(after);
    size_t same = 0;
    while (same < was.size() && same < now.size() && was[same] == now[same])
        ++same;
    size_t tail = 0;
    while (tail < was.size() - same && tail < now.size() - same &&
           was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const size_t replaced = was.size() - same - tail;
    if (replaced > (existed ? 1u : 0u))
        std::abort();
    const bool oneLine = !HasAny(section + key + value, "\r\n");
    if (oneLine && now.size() - same - tail > 3)
        std::abort();

    if (Writable(section, key, value) && ini.ReadString(section, key, "\x01missing") != value)
        std::abort();
    return 0;
}
