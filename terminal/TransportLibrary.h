#pragma once
// The program's binding of the transport library, made at run time so that the program still
// starts, without its terminal, where the library is missing.

#include "zelmont_lib/zelmont_lib.h"

#include <string>

// The file the settings dialog loads.
inline constexpr const char* TransportLibraryFile = "libzelmont_lib.so";

// The six entry points; each stays null until the library is loaded and exports it.
struct TTransportLibrary {
    ZelmontInitFn ZelmontInit = nullptr;
    ZelmontBeginFn ZelmontBegin = nullptr;
    ZelmontEndFn ZelmontEnd = nullptr;
    ZelmontSendFn ZelmontSend = nullptr;
    ZelmontDataFn ZelmontData = nullptr;
    ZelmontCleanFn ZelmontClean = nullptr;
};

// Loads `fileName` as the program loads its own libraries (OpenProgramLibrary: the executable's
// folder first, then wherever the loader looks) and binds the exports by name; a missing export
// stays null. False when the library cannot be loaded: `lib` is then left as it was and `problem`, when
// given, gets the loader's reason. A loaded library is never unloaded.
bool LoadTransportLibrary(const std::string& fileName, TTransportLibrary& lib,
                          std::string* problem = nullptr);
