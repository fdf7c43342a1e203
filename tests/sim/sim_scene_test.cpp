// The synthetic scene: deterministic, and its zones light up exactly where vehicles are.

#include "scene.h"

#include <gtest/gtest.h>

#include <set>

TEST(SimScene, SameSeedAndFrameGiveTheSamePicture) {
    const Scene a(7, 25), b(7, 25), other(8, 25);
    const auto frame = a.render(1234, "2026-01-01 00:00:00");
    EXPECT_EQ(frame.size(), 720u * 576u * 3u);
    EXPECT_EQ(frame, b.render(1234, "2026-01-01 00:00:00"));
    EXPECT_NE(frame, a.render(1240, "2026-01-01 00:00:00")) << "traffic does not move";
    EXPECT_NE(frame, other.render(1234, "2026-01-01 00:00:00")) << "seed is ignored";
}

TEST(SimScene, LaneZonesAreValidAndSeparate) {
    for (int lane = 0; lane < Scene::Lanes; ++lane) {
        const auto zone = Scene::lane_zone(lane);
        // The program replaces zones that fail this test by a default rectangle.
        EXPECT_TRUE(IsValidQuad(zone, 800, 600)) << lane;
        if (lane > 0) {
            EXPECT_GT(zone[0].X, Scene::lane_zone(lane - 1)[3].X) << "zones overlap";
        }
    }
}

struct OccupancyCase {
    const char* name;
    int lane;
    double z_rear;
    bool expect[Scene::Lanes];
};

class SimOccupancy : public testing::TestWithParam<OccupancyCase> {};

TEST_P(SimOccupancy, OnlyTheZoneUnderTheVehicleIsActive) {
    const auto& c = GetParam();
    SimVehicle v;
    v.lane = c.lane;
    v.x = (c.lane - 1.5) * 3.2;
    v.z_rear = c.z_rear;
    v.length = 4.5;
    v.width = 1.8;
    v.height = 1.5;
    for (int lane = 0; lane < Scene::Lanes; ++lane)
        EXPECT_EQ(Scene::occupied(Scene::lane_zone(lane), {v}), c.expect[lane]) << lane;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, SimOccupancy,
    testing::Values(OccupancyCase{"inside_lane0", 0, 26, {true, false, false, false}},
                    OccupancyCase{"inside_lane3", 3, 26, {false, false, false, true}},
                    OccupancyCase{"rear_just_over_near_edge", 2, 24, {false, false, true, false}},
                    OccupancyCase{"front_short_of_zone", 1, 18, {false, false, false, false}},
                    OccupancyCase{"already_past", 1, 40, {false, false, false, false}},
                    OccupancyCase{"bridging_the_zone", 2, 22, {false, false, true, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimScene, TrafficRunsInEveryLaneWithSeveralLengths) {
    const Scene scene(1, 25);
    std::set<int> lanes;
    std::set<double> lengths;
    for (std::int64_t f = 0; f < 25 * 60; f += 25)
        for (const auto& v : scene.vehicles_at(f)) {
            lanes.insert(v.lane);
            lengths.insert(v.length);
        }
    EXPECT_EQ(lanes.size(), 4u);
    EXPECT_GE(lengths.size(), 4u);
}
