#pragma once
// hosts.ini for the command line: where it is, and reading it with the program's rules, so the
// hosts and fleet commands treat a missing or damaged file alike.

#include "addressbook/HostRecords.h"

#include <string>
#include <vector>

// hosts.ini in the data folder.
std::string HostsPath();

// Reads the address book. A missing file gives an empty list (`missing` true). A damaged one
// gives the entries that could be read, with a note on standard error; with `forWriting` the
// original is first kept as hosts.ini.bak, since the caller will write the list over it. False
// (after a failure line) when the file exists but cannot be read.
bool LoadAddressBook(std::vector<THostRec>& records, bool forWriting, bool& missing);
