#pragma once
// Private-profile INI files: a missing file or key reads as the default; a write replaces the
// key's line or adds it to its section and keeps every other line. Names compare without case.

#include <string>

class TIniFile {
public:
    explicit TIniFile(std::string path) : Path(std::move(path)) {}

    const std::string& FileName() const { return Path; }
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // The default also for a value that is not a whole decimal number.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, int value);

private:
    std::string Path;
};
