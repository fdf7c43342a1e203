#pragma once
// A fleet in one process: what sets each simulated detector apart, and the address book that
// lists them for the program and the command line.

#include "options.h"

#include <string>
#include <vector>

// "SIM-0001" for index 1.
std::string member_name(int index);

// The options of detector `index` (1-based) of `base.detectors`: its own port (consecutive from
// --port, or a free one with --port 0), name, seed, sensor count, clock offset and liquid phase.
// A lone detector keeps `base` as it is.
SimOptions member_options(const SimOptions& base, int index);

struct MemberAddress {
    std::string name;
    std::string address;
    int port = 0;
};

// Writes hosts.ini for the members, in their order, all with the same login; false with a
// message naming the file.
bool write_hosts(const std::string& path, const std::vector<MemberAddress>& members,
                 const std::string& login, const std::string& password, std::string& error);
