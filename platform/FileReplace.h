#pragma once
// Replacing a file whole. No toolkit: the data download, the history of configurations, the
// fleet backups, the terminal's files and the command line all write through here.

#include <string>

// Writes `bytes` to a new temporary file in the folder of `path`, flushes it to the disk and
// renames it over `path`, so that a failed write never leaves half a file where an older one
// stood. A private file is made with mode 0600 (configurations hold passwords); any other with
// 0666 under the umask, as a file created in place. False, with the system's reason, on failure;
// the temporary file is then gone. Safe from several threads at once.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, bool privateFile,
                         std::string& reason);
