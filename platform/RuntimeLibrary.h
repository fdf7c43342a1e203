#pragma once
// Loading a shared library of the program's own at run time: from the executable's folder first,
// then wherever the dynamic loader looks. For an installed program that includes ../lib beside
// the executable, through the run path the install gives every program; the run path is the
// calling object's, so this code is linked into the executable, never into a shared library.

#include <string>

// The handle of the loaded library, or null with the loader's reason in `error`.
void* OpenProgramLibrary(const std::string& fileName, std::string& error);

// The file a handle was loaded from; empty when the loader cannot tell.
std::string LoadedLibraryPath(void* handle);
