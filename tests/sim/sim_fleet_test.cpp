// Several detectors from one simulator process: each its own, and an address book that finds them.

#include "sim_harness.h"

#include "addressbook/HostRecords.h"
#include "config/XMLConfig.h"
#include "detector.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string temp_path(const char* name) {
    return "/tmp/zelmont-sim-fleet-" + std::to_string(getpid()) + "-" + name;
}

// Seconds the detector's clock reads ahead of this machine's (±1 for the second boundary).
long long clock_ahead(SimClient& c) {
    const auto reply = c.command("gt");
    EXPECT_TRUE(reply);
    std::int64_t detector = 0;
    EXPECT_TRUE(parse_local_time(reply->substr(6, 19), detector)) << *reply;
    return detector - static_cast<long long>(std::time(nullptr));
}

} // namespace

TEST(SimFleet, EachDetectorHasItsOwnPortNameSensorsAndClock) {
    const std::string hosts = temp_path("hosts.ini");
    std::remove(hosts.c_str());
    SimProcess sim({"--detectors", "3", "--write-hosts", hosts});
    ASSERT_EQ(sim.ports().size(), 3u);

    std::vector<THostRec> records;
    ASSERT_EQ(LoadHostsFile(hosts, records), THostsLoad::Loaded);
    struct stat st {};
    ASSERT_EQ(stat(hosts.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(records.size(), 3u);

    const int sensors[] = {4, 3, 2};
    for (size_t i = 0; i < 3; ++i) {
        const std::string name = "SIM-000" + std::to_string(i + 1);
        EXPECT_EQ(records[i].Caption, name);
        EXPECT_EQ(records[i].Address, "127.0.0.1");
        EXPECT_EQ(records[i].Port, sim.ports()[i]);
        EXPECT_EQ(records[i].Login, "root");
        EXPECT_EQ(records[i].Password, "kvtp");

        SimClient c(sim.ports()[i]);
        ASSERT_TRUE(c.login());
        const auto cfg = c.block("gc");
        ASSERT_TRUE(cfg);
        TXMLConfig doc;
        ASSERT_TRUE(doc.LoadFromText(cfg->second));
        EXPECT_EQ(doc.GetTarget(), name);
        TQuadList zones;
        doc.ReadSensors(zones);
        EXPECT_EQ(zones.Count(), sensors[i]) << name;
    }

    // SIM-0002 runs 5 s behind; setting it leaves SIM-0003 (2 s ahead) as it was.
    SimClient second(sim.ports()[1]);
    SimClient third(sim.ports()[2]);
    ASSERT_TRUE(second.login());
    ASSERT_TRUE(third.login());
    EXPECT_NEAR(clock_ahead(second), -5, 1);
    EXPECT_NEAR(clock_ahead(third), 2, 1);
    EXPECT_EQ(second.command("st t=" + format_local_time(std::time(nullptr))), "st ok");
    EXPECT_NEAR(clock_ahead(second), 0, 1);
    EXPECT_NEAR(clock_ahead(third), 2, 1);
    std::remove(hosts.c_str());
}

TEST(SimFleet, ConsecutivePortsFromAGivenOneAndRefusedRanges) {
    // Past 65535 is a usage error before anything listens.
    EXPECT_EQ(run_sim_to_exit({"--port", "65535", "--detectors", "2"}), 2);
    EXPECT_EQ(run_sim_to_exit({"--detectors", "0"}), 2);
}
