#pragma once
// The configurations a detector held, kept as files: every configuration read from it and every
// upload it confirmed. One folder per detector, named by its address and port; the labels of the
// detectors are in an index file beside the folders. The configurations hold the detectors'
// passwords: the files are 0600 and the folders the store makes 0700.
//
//   history/index.txt                         FOLDER TAB LABEL, one line per detector
//   history/192.168.1.100_8080/20261209-001015-123-read.xml
//   history/192.168.1.100_8080/20261209-003000-007-sent.xml

#include <string>
#include <vector>

struct THistoryEntry {
    std::string FileName;
    std::string Path;
    long long TimeMs = 0; // UTC, milliseconds since 1970, from the file name
    std::string Kind;     // "read" or "sent"
    long long Size = 0;
    int Sensors = 0; // zones as the editor would read them
};

enum class TKeepResult { Stored, Unchanged, Failed };

class THistoryStore {
public:
    static constexpr int MaxFiles = 200;
    static_assert(MaxFiles > 0);

    // `root` is the history folder; a trailing "/" is added when missing.
    explicit THistoryStore(std::string root);

    const std::string& Root() const { return RootFolder; }
    // The folder of one detector: the address with every character other than letters, digits,
    // '.', '-' and ':' replaced by '_', then '_' and the port.
    std::string FolderOf(const std::string& host, int port) const;

    // Keeps `text` as the newest file of the detector unless it equals the newest kept one.
    // Written through a temporary file and renamed; the oldest files beyond MaxFiles go.
    // `kind` is "read" or "sent". On failure `problem` says what failed.
    TKeepResult Keep(const std::string& host, int port, const std::string& label,
                     const std::string& kind, const std::string& text, std::string& problem,
                     long long nowMs = -1);

    // Oldest first. With `sensors` false the files are not parsed and Sensors stays 0.
    std::vector<THistoryEntry> List(const std::string& host, int port, bool sensors = true) const;
    // The newest kept configuration; false when none is kept.
    bool Latest(const std::string& host, int port, std::string& text) const;
    // The label the index holds for the detector; empty when none.
    std::string LabelOf(const std::string& host, int port) const;

private:
    bool WriteIndexLabel(const std::string& folder, const std::string& label,
                         std::string& problem);
    std::string RootFolder;
};

long long NowMs();
// "20261209-001015-123-read.xml" for a UTC time and a kind.
std::string HistoryFileName(long long timeMs, const std::string& kind);
// The time and kind of such a name; false for other names.
bool ParseHistoryFileName(const std::string& name, long long& timeMs, std::string& kind);
// "2026-12-09 00:10:15" in local time (or UTC).
std::string HistoryTimeText(long long timeMs, bool local = true);
// Writes through a temporary file in the same folder, then renames it over `path`, with the
// umask's mode: for files the user names. The store's own files are private.
bool WriteThroughTemporary(const std::string& path, const std::string& bytes,
                           std::string& problem);
