#pragma once
// The program's two folders, fixed once at start before any dialog exists. Both end with "/".

#include <string>

// Data folder: $KERVOLA_DATA_DIR, else $XDG_DATA_HOME (default ~/.local/share) +
// "/Dornbeck/Kervola/", created with its parents when missing. Document folder: $KERVOLA_DOC_DIR,
// else "../share/kervola/" beside the executable's folder. Then the current directory becomes the
// data folder (a failure is ignored). Later calls change nothing.
void InitFolders();

// The data folder InitFolders would choose, without making it or entering it: for companions that
// read the program's files but must stay in their own current folder.
std::string ComputeDataFolder();

// Empty before InitFolders.
const std::string& DataFolder();
const std::string& DocumentFolder();
// The current directory InitFolders found before it entered the data folder, with a trailing
// "/": relative names the user typed at start are meant from there. Empty before InitFolders.
const std::string& StartFolder();

// The folders InitFolders takes, computed from the environment now without creating or entering
// anything: for reports on where the program looks.
std::string ExpectedDataFolder();
std::string ExpectedDocumentFolder();

// The folder of the running executable with a trailing "/"; empty when it cannot be found.
std::string ExecutableFolder();
