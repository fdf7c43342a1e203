// The core of precise zone editing, without widgets: where a dragged corner or zone snaps, how far
// a key moves it at the picture's borders, and which key presses make one undo step.
#include "zoneedit/ZonePrecision.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int W = 800;
constexpr int H = 600;

// Corners given in view pixels of the 800 x 600 view.
TFloatPoint Px(double x, double y) {
    return {x / W, y / H};
}

TQuadPoints PxQuad(TFloatPoint a, TFloatPoint b, TFloatPoint c, TFloatPoint d) {
    return {a, b, c, d};
}

bool Equal(TFloatPoint a, TFloatPoint b) {
    return a.X == b.X && a.Y == b.Y;
}

bool Near(TFloatPoint a, TFloatPoint b) {
    return std::abs(a.X - b.X) < 1e-9 && std::abs(a.Y - b.Y) < 1e-9;
}

// Zone 0 is the one being edited: a rectangle from (100, 100) to (300, 200), P0 bottom left.
// Zone 1 is its neighbour on the right, reaching lower: from (320, 100) to (500, 230).
struct TwoZones {
    TQuadList Zones;
    TwoZones() {
        Zones.AddQuad(PxQuad(Px(100, 200), Px(100, 100), Px(300, 100), Px(300, 200)));
        Zones.AddQuad(PxQuad(Px(320, 230), Px(320, 100), Px(500, 100), Px(500, 230)));
    }
};

struct CornerRow {
    const char* Name;
    int Corner;        // of zone 0
    TFloatPoint Free;  // where the mouse put it
    bool Enabled;      // Ctrl not held
    TSnap::TKind Kind; // expected
    TFloatPoint At;    // expected position
};

void PrintTo(const CornerRow& r, std::ostream* os) {
    *os << r.Name;
}

class SnapCornerTable : public ::testing::TestWithParam<CornerRow> {};

TEST_P(SnapCornerTable, Snaps) {
    const CornerRow& r = GetParam();
    TwoZones two;
    const TSnap snap = SnapCorner(two.Zones, 0, r.Corner, r.Free, W, H, r.Enabled);
    EXPECT_EQ(snap.Kind, r.Kind);
    if (r.Kind == TSnap::Corner || r.Kind == TSnap::None)
        EXPECT_TRUE(Equal(snap.At, r.At)) << snap.At.X * W << ", " << snap.At.Y * H;
    else
        EXPECT_TRUE(Near(snap.At, r.At)) << snap.At.X * W << ", " << snap.At.Y * H;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SnapCornerTable,
    ::testing::Values(
        // P2 (300, 100) dragged towards the neighbour's P1 (320, 100).
        CornerRow{"corner 4 px away", 2, Px(317, 103), true, TSnap::Corner, Px(320, 100)},
        CornerRow{"corner exactly 6 px away", 2, Px(314, 100), true, TSnap::Corner, Px(320, 100)},
        CornerRow{"corner 7 px away, edge farther", 2, Px(313, 93), true, TSnap::None, Px(313, 93)},
        CornerRow{"Ctrl turns it off", 2, Px(318, 100), false, TSnap::None, Px(318, 100)},
        // 2 px from the neighbour's left edge, 5 px from its P1: the corner still wins.
        CornerRow{"corner before a nearer edge", 2, Px(318, 104.6), true, TSnap::Corner,
                  Px(320, 100)},
        // 3 px left of the neighbour's left edge, far from its corners: onto the edge.
        CornerRow{"edge when no corner is in range", 2, Px(317, 150), true, TSnap::Edge,
                  Px(320, 150)},
        CornerRow{"edge 7 px away", 2, Px(313, 150), true, TSnap::None, Px(313, 150)},
        // Beyond the end of an edge the nearest point is its corner, so 6 px past P1 along
        // the top edge's line counts as 6 px from the edge, and is taken as a corner.
        CornerRow{"past the end of an edge", 2, Px(320, 94), true, TSnap::Corner, Px(320, 100)}));

// A snap that would break the zone gives way to the mouse's own position.
TEST(SnapCorner, InvalidSnapFallsBackToTheMouse) {
    TQuadList zones;
    zones.AddQuad(PxQuad(Px(100, 200), Px(100, 100), Px(300, 100), Px(300, 200)));
    // A neighbour corner 10 px below P1: a P0 snapped onto it makes the left side 10 px long.
    zones.AddQuad(PxQuad(Px(100, 110), Px(20, 110), Px(20, 300), Px(60, 300)));
    const TFloatPoint free = Px(100, 113);
    TQuadPoints dragged = zones.Quad(0)->Points;
    dragged[0] = free;
    ASSERT_TRUE(IsValidQuad(dragged, W, H)) << "the unsnapped position is acceptable";
    const TSnap snap = SnapCorner(zones, 0, 0, free, W, H, true);
    EXPECT_EQ(snap.Kind, TSnap::None);
    EXPECT_TRUE(Equal(snap.At, free));
}

TEST(SnapCorner, OwnCornersAndEdgesAreNoTargets) {
    TQuadList zones;
    zones.AddQuad(PxQuad(Px(100, 200), Px(100, 100), Px(300, 100), Px(300, 200)));
    const TSnap snap = SnapCorner(zones, 0, 0, Px(103, 150), W, H, true);
    EXPECT_EQ(snap.Kind, TSnap::None);
}

struct ZoneRow {
    const char* Name;
    double DX, DY; // the free drag of zone 0, in pixels
    bool Enabled;
    int Corner; // of zone 0 that meets the neighbour, -1 none
};

void PrintTo(const ZoneRow& r, std::ostream* os) {
    *os << r.Name;
}

class SnapZoneTable : public ::testing::TestWithParam<ZoneRow> {};

TEST_P(SnapZoneTable, Snaps) {
    const ZoneRow& r = GetParam();
    TwoZones two;
    TQuadPoints free = two.Zones.Quad(0)->Points;
    for (TFloatPoint& p : free) {
        p.X += r.DX / W;
        p.Y += r.DY / H;
    }
    const TZoneSnap snap = SnapZone(two.Zones, 0, free, W, H, r.Enabled);
    EXPECT_EQ(snap.Corner, r.Corner);
    if (r.Corner < 0) {
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(Equal(snap.Points[i], free[i]));
        return;
    }
    // The corners meet exactly, and the zone keeps its shape.
    const TFloatPoint target = two.Zones.Quad(1)->Points[r.Corner == 2 ? 1 : 0];
    EXPECT_TRUE(Equal(snap.Points[r.Corner], target));
    const TQuadPoints& before = two.Zones.Quad(0)->Points;
    for (int i = 1; i < 4; ++i) {
        EXPECT_NEAR(snap.Points[i].X - snap.Points[0].X, before[i].X - before[0].X, 1e-12);
        EXPECT_NEAR(snap.Points[i].Y - snap.Points[0].Y, before[i].Y - before[0].Y, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SnapZoneTable,
                         ::testing::Values(ZoneRow{"P2 meets P1", 16, 3, true, 2},
                                           ZoneRow{"P3 meets P0", 15, 28, true, 3},
                                           ZoneRow{"out of range", 12, 0, true, -1},
                                           ZoneRow{"Ctrl turns it off", 18, 0, false, -1}));

// A snap that would take the zone out of the picture is not taken.
TEST(SnapZone, StaysInsideThePicture) {
    TQuadList zones;
    zones.AddQuad(PxQuad(Px(0, 200), Px(0, 100), Px(200, 100), Px(200, 200)));
    zones.AddQuad(PxQuad(Px(-3, 98), Px(-3, 0), Px(100, 0), Px(100, 98)));
    const TZoneSnap snap = SnapZone(zones, 0, zones.Quad(0)->Points, W, H, true);
    EXPECT_EQ(snap.Corner, -1);
}

struct NudgeRow {
    const char* Name;
    int Corner; // -1 the whole zone
    TQuadPoints Start;
    double DX, DY;
    bool Moved;
    TQuadPoints End;
};

void PrintTo(const NudgeRow& r, std::ostream* os) {
    *os << r.Name;
}

class NudgeTable : public ::testing::TestWithParam<NudgeRow> {};

TEST_P(NudgeTable, Moves) {
    const NudgeRow& r = GetParam();
    TQuadPoints p = r.Start;
    const bool moved =
        r.Corner >= 0 ? NudgeCorner(p, r.Corner, r.DX, r.DY, W, H) : NudgeZone(p, r.DX, r.DY);
    EXPECT_EQ(moved, r.Moved);
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(p[i].X, r.End[i].X) << "P" << i;
        EXPECT_DOUBLE_EQ(p[i].Y, r.End[i].Y) << "P" << i;
    }
}

const TQuadPoints Middle{{{0.2, 0.45}, {0.2, 0.3}, {0.6, 0.3}, {0.6, 0.45}}};
const TQuadPoints AtRight{{{0.6, 0.45}, {0.6, 0.3}, {1.0, 0.3}, {1.0, 0.45}}};
const TQuadPoints NearRight{{{0.595, 0.45}, {0.595, 0.3}, {0.995, 0.3}, {0.995, 0.45}}};
const TQuadPoints AtTop{{{0.2, 0.15}, {0.2, 0.0}, {0.6, 0.0}, {0.6, 0.15}}};
// As a mouse drag leaves it: between the document's steps.
const TQuadPoints OffGrid{{{0.2347, 0.45}, {0.2, 0.3}, {0.6, 0.3}, {0.6, 0.45}}};

TQuadPoints With(TQuadPoints p, int corner, double x, double y) {
    p[corner] = {x, y};
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NudgeTable,
    ::testing::Values(
        NudgeRow{"corner right", 2, Middle, 0.001, 0, true, With(Middle, 2, 0.601, 0.3)},
        NudgeRow{"corner up, coarse", 1, Middle, 0, -0.01, true, With(Middle, 1, 0.2, 0.29)},
        NudgeRow{"corner at the right border", 2, AtRight, 0.001, 0, false, AtRight},
        NudgeRow{"corner at the top border", 1, AtTop, 0, -0.01, false, AtTop},
        NudgeRow{"corner stops at the border", 2, With(AtRight, 2, 0.995, 0.3), 0.01, 0, true,
                 AtRight},
        // P0 up to 11 px below P1 on the 600-pixel grid, then one more step is refused.
        NudgeRow{"corner too near another", 0, With(Middle, 0, 0.2, 0.3 + 11.0 / 600), 0, -0.01,
                 false, With(Middle, 0, 0.2, 0.3 + 11.0 / 600)},
        NudgeRow{"off-grid corner lands on the grid", 0, OffGrid, 0.001, 0, true,
                 With(Middle, 0, 0.236, 0.45)},
        NudgeRow{"zone left", -1, Middle, -0.001, 0, true,
                 TQuadPoints{{{0.199, 0.45}, {0.199, 0.3}, {0.599, 0.3}, {0.599, 0.45}}}},
        NudgeRow{"zone at the right border", -1, AtRight, 0.001, 0, false, AtRight},
        NudgeRow{"zone pushed back inside", -1, NearRight, 0.01, 0, true, AtRight},
        NudgeRow{"zone at the top border", -1, AtTop, 0, -0.001, false, AtTop}));

TEST(NextCorner, CyclesBothWays) {
    EXPECT_EQ(NextCorner(-1, false), 0);
    EXPECT_EQ(NextCorner(-1, true), 3);
    std::vector<int> forward{0};
    for (int i = 0; i < 4; ++i)
        forward.push_back(NextCorner(forward.back(), false));
    EXPECT_EQ(forward, (std::vector<int>{0, 1, 2, 3, 0}));
    std::vector<int> back{0};
    for (int i = 0; i < 4; ++i)
        back.push_back(NextCorner(back.back(), true));
    EXPECT_EQ(back, (std::vector<int>{0, 3, 2, 1, 0}));
}

// Press times and, for each, whether the run before it had lapsed and so became its own step.
struct RunRow {
    const char* Name;
    std::vector<long long> Presses;
    std::string Lapses;
};

void PrintTo(const RunRow& r, std::ostream* os) {
    *os << r.Name;
}

class KeyRunTable : public ::testing::TestWithParam<RunRow> {};

TEST_P(KeyRunTable, GroupsPresses) {
    const RunRow& r = GetParam();
    TKeyRun run;
    std::string lapses;
    for (long long t : r.Presses)
        lapses += run.Press(t) ? '1' : '0';
    EXPECT_EQ(lapses, r.Lapses);
    EXPECT_TRUE(run.Close()) << "the last run is still to be finished";
    EXPECT_FALSE(run.Close()) << "and only once";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyRunTable,
    ::testing::Values(RunRow{"one press", {5}, "0"},
                      RunRow{"quick presses are one run", {0, 100, 200, 300}, "0000"},
                      // Each gap is under a second, though the run lasts longer.
                      RunRow{"a long run of short gaps", {0, 900, 1800, 2700}, "0000"},
                      RunRow{"a gap of 999 ms", {0, 999}, "00"},
                      RunRow{"a gap of exactly one second", {0, 1000}, "01"},
                      RunRow{"two runs", {0, 200, 1500, 1600, 4000}, "00101"}));

TEST(KeyRun, LapsesAndTellsWhen) {
    TKeyRun run;
    EXPECT_FALSE(run.Lapsed(0));
    EXPECT_EQ(run.Remaining(0), 0);
    run.Press(1000);
    EXPECT_FALSE(run.Lapsed(1999));
    EXPECT_EQ(run.Remaining(1400), 600);
    EXPECT_TRUE(run.Lapsed(2000));
    EXPECT_EQ(run.Remaining(2500), 0);
    run.Close();
    EXPECT_FALSE(run.Lapsed(5000));
}

} // namespace
