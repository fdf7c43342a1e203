#pragma once
// Replacing a file whole. No toolkit: every file the program writes whole goes through here: the
// address book, configuration documents, INI files, the history of configurations, the fleet
// backups, the data download, the terminal's files and the command line's outputs.

#include <string>

// The mode the new contents get.
struct TFileMode {
    unsigned NewFile;  // for a file that did not exist yet
    bool UnderUmask;   // NewFile is narrowed by the umask, as for a file created in place
    bool KeepReplaced; // a file that exists keeps its own mode: a user's chmod survives a save
};

// 0600 whatever the umask: the address book, the history of configurations and the fleet
// backups hold the detectors' passwords.
inline constexpr TFileMode PrivateFile{0600, false, false};
// As a file created in place: downloads, the terminal's and the command line's files.
inline constexpr TFileMode OrdinaryFile{0666, true, false};
// Configuration documents.
inline constexpr TFileMode DocumentFile{0666, true, true};
// INI files, readable by all as they always were.
inline constexpr TFileMode SettingsFile{0644, false, true};

// Writes `bytes` to a new temporary file in the folder of `path` (short writes and interrupted
// calls continued), flushes it to the disk and renames it over `path`, so that a failed write
// never leaves half a file where an older one stood. False, with the system's reason, on
// failure; the temporary file is then gone and `path` untouched. Safe from several threads.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, TFileMode mode,
                         std::string& reason);

// Makes `path` and every missing folder above it, each 0700: the program's own folders hold the
// address book, the history of configurations and the backups, and with them the detectors'
// passwords. Folders that exist keep their mode. False with the system's reason on failure.
bool MakePrivateFolders(const std::string& path, std::string& reason);
