#include "members.h"

#include "addressbook/HostRecords.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

std::string member_name(int index) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "SIM-%04d", index);
    return buf;
}

SimOptions member_options(const SimOptions& base, int index) {
    SimOptions o = base;
    if (base.detectors <= 1)
        return o;
    if (base.port != 0)
        o.port = base.port + index - 1;
    o.name = member_name(index);
    o.seed = base.seed + static_cast<std::uint32_t>(index - 1);
    // Every fourth detector has four sensors, the others three, two and one.
    o.sensors = 4 - (index - 1) % 4;
    // Clocks from 6 s behind to 6 s ahead, so a fleet always has some to set and some to leave.
    o.clock_offset = (7 * index) % 13 - 6;
    o.level_phase = (37 * index) % 120;
    o.idle_clock = true;
    return o;
}

bool write_hosts(const std::string& path, const std::vector<MemberAddress>& members,
                 const std::string& login, const std::string& password, std::string& error) {
    // A fresh data folder for a demo or a test is made here rather than by every caller.
    std::error_code ignored;
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    std::vector<THostRec> records;
    const std::time_t now = std::time(nullptr);
    for (const auto& m : members)
        records.push_back({m.name, m.address, m.port, login, password, now});
    return SaveHostsFile(path, records, &error);
}
