#pragma once
// Reading a file whole. No toolkit; below the document model, so that the INI files and the
// address book read as the documents do without reaching up into config/.

#include <string>

// The whole file as bytes; false (and nothing thrown) for a missing file, a folder or a read
// error.
bool ReadFileBytes(const std::string& path, std::string& out);
