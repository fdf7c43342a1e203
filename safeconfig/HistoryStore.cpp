#include "safeconfig/HistoryStore.h"
#include "platform/FileReplace.h"

#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"
#include "geometry/TFGeometry2.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const IndexName = "index.txt";

bool MakeFolder(const std::string& folder, std::string& problem) {
    std::string reason;
    if (!MakePrivateFolders(folder, reason)) {
        problem = "cannot create " + folder + ": " + reason;
        return false;
    }
    return true;
}

// Older versions made these folders open to every local user. Only the program writes here, so
// closing them again takes nothing from anyone but the passwords.
void ClosePrivateFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(folder.c_str(), st.st_mode & 07700);
}

// Every kept configuration holds the detector's login and password.
bool WritePrivate(const std::string& path, const std::string& bytes, std::string& problem) {
    std::string reason;
    if (ReplaceFileContents(path, bytes, PrivateFile, reason))
        return true;
    problem = "cannot write " + path + ": " + reason;
    return false;
}

// Index lines: folder, a tab, the label. Labels are kept on one line.
std::vector<std::pair<std::string, std::string>> ReadIndex(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return out;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos)
            out.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return out;
}

std::string OneLine(std::string text) {
    std::replace_if(text.begin(), text.end(),
                    [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    return text;
}

} // namespace

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string HistoryFileName(long long timeMs, const std::string& kind) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm t{};
    gmtime_r(&seconds, &t);
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d-%03d-%s.xml", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                  static_cast<int>(timeMs % 1000), kind.c_str());
    return name;
}

bool ParseHistoryFileName(const std::string& name, long long& timeMs, std::string& kind) {
    // yyyymmdd-hhmmss-mmm-KIND.xml
    if (name.size() < 24 || !name.ends_with(".xml") || name[8] != '-' || name[15] != '-' ||
        name[19] != '-')
        return false;
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16, 17, 18})
        if (name[static_cast<std::size_t>(i)] < '0' || name[static_cast<std::size_t>(i)] > '9')
            return false;
    kind = name.substr(20, name.size() - 24);
    if (kind != "read" && kind != "sent")
        return false;
    auto num = [&](int from, int len) { return std::stoi(name.substr(from, len)); };
    std::tm t{};
    t.tm_year = num(0, 4) - 1900;
    t.tm_mon = num(4, 2) - 1;
    t.tm_mday = num(6, 2);
    t.tm_hour = num(9, 2);
    t.tm_min = num(11, 2);
    t.tm_sec = num(13, 2);
    timeMs = static_cast<long long>(timegm(&t)) * 1000 + num(16, 3);
    return true;
}

std::string HistoryTimeText(long long timeMs, bool local) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm t{};
    if (local)
        localtime_r(&seconds, &t);
    else
        gmtime_r(&seconds, &t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
    return text;
}

bool WriteThroughTemporary(const std::string& path, const std::string& bytes,
                           std::string& problem) {
    std::string reason;
    if (ReplaceFileContents(path, bytes, OrdinaryFile, reason))
        return true;
    problem = "cannot write " + path + ": " + reason;
    return false;
}

THistoryStore::THistoryStore(std::string root) : RootFolder(std::move(root)) {
    if (!RootFolder.empty() && RootFolder.back() != '/')
        RootFolder += '/';
}

std::string THistoryStore::FolderOf(const std::string& host, int port) const {
    std::string name = host.empty() ? std::string("_") : host;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != ':')
            c = '_';
    // "." and ".." would leave the history folder.
    if (name.find_first_not_of('.') == std::string::npos)
        name = "_" + name;
    return RootFolder + name + "_" + std::to_string(port) + "/";
}

bool THistoryStore::WriteIndexLabel(const std::string& folder, const std::string& label,
                                    std::string& problem) {
    const std::string path = RootFolder + IndexName;
    auto index = ReadIndex(path);
    const std::string key = fs::path(folder.substr(0, folder.size() - 1)).filename().string();
    const std::string value = OneLine(label);
    auto it = std::find_if(index.begin(), index.end(), [&](auto& e) { return e.first == key; });
    if (it != index.end() && it->second == value)
        return true;
    if (it != index.end())
        it->second = value;
    else
        index.emplace_back(key, value);
    std::string bytes;
    for (const auto& [f, l] : index)
        bytes += f + "\t" + l + "\n";
    return WritePrivate(path, bytes, problem);
}

TKeepResult THistoryStore::Keep(const std::string& host, int port, const std::string& label,
                                const std::string& kind, const std::string& text,
                                std::string& problem, long long nowMs) {
    const std::string folder = FolderOf(host, port);
    std::string newest;
    if (Latest(host, port, newest) && newest == text)
        return TKeepResult::Unchanged;
    if (!MakeFolder(folder, problem))
        return TKeepResult::Failed;
    ClosePrivateFolder(RootFolder);
    ClosePrivateFolder(folder);
    if (nowMs < 0)
        nowMs = NowMs();
    // Names sort by time; a second file of the same millisecond gets the next millisecond, so
    // the newest file is always the one that sorts last.
    const std::vector<THistoryEntry> before = List(host, port, false);
    if (!before.empty() && nowMs <= before.back().TimeMs)
        nowMs = before.back().TimeMs + 1;
    if (!WritePrivate(folder + HistoryFileName(nowMs, kind), text, problem))
        return TKeepResult::Failed;
    const std::size_t total = before.size() + 1;
    for (std::size_t i = 0; i + MaxFiles < total && i < before.size(); ++i)
        ::unlink(before[i].Path.c_str());
    // The label is a convenience: a failure to note it does not undo the kept file.
    std::string ignored;
    WriteIndexLabel(folder, label, ignored);
    return TKeepResult::Stored;
}

std::vector<THistoryEntry> THistoryStore::List(const std::string& host, int port,
                                               bool sensors) const {
    std::vector<THistoryEntry> out;
    const std::string folder = FolderOf(host, port);
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return out;
    for (const fs::directory_entry& e : it) {
        THistoryEntry entry;
        entry.FileName = e.path().filename().string();
        if (!ParseHistoryFileName(entry.FileName, entry.TimeMs, entry.Kind))
            continue;
        std::error_code sizeError;
        if (!e.is_regular_file(sizeError))
            continue;
        entry.Path = folder + entry.FileName;
        const auto size = e.file_size(sizeError);
        entry.Size = sizeError ? 0 : static_cast<long long>(size);
        if (sensors) {
            TXMLConfig config;
            if (config.LoadFromFile(entry.Path)) {
                TQuadList zones;
                config.ReadSensors(zones);
                entry.Sensors = zones.Count();
            }
        }
        out.push_back(std::move(entry));
    }
    std::sort(out.begin(), out.end(), [](const THistoryEntry& a, const THistoryEntry& b) {
        return a.TimeMs != b.TimeMs ? a.TimeMs < b.TimeMs : a.FileName < b.FileName;
    });
    return out;
}

bool THistoryStore::Latest(const std::string& host, int port, std::string& text) const {
    const std::vector<THistoryEntry> entries = List(host, port, false);
    return !entries.empty() && ReadFileBytes(entries.back().Path, text);
}

std::string THistoryStore::LabelOf(const std::string& host, int port) const {
    const std::string folder = FolderOf(host, port);
    const std::string key = fs::path(folder.substr(0, folder.size() - 1)).filename().string();
    for (const auto& [f, l] : ReadIndex(RootFolder + IndexName))
        if (f == key)
            return l;
    return {};
}
