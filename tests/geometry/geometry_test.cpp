#include "geometry/TFGeometry2.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <limits>
#include <numbers>
#include <ostream>
#include <string>

// Found by argument lookup, so readable failure messages need it outside the anonymous namespace.
std::ostream& operator<<(std::ostream& os, TIntPoint p) {
    return os << '(' << p.X << ',' << p.Y << ')';
}
std::ostream& operator<<(std::ostream& os, const TPixelRect& r) {
    return os << '[' << r.Left << ',' << r.Top << ',' << r.Right << ',' << r.Bottom << ')';
}
std::ostream& operator<<(std::ostream& os, const TPixelLine& l) {
    return os << l.A << '-' << l.B;
}

namespace {

// Corners given in pixels of the 800 x 600 validity grid.
TQuadPoints OnGrid(TIntPoint a, TIntPoint b, TIntPoint c, TIntPoint d) {
    return {PixelToFloat(a, 800, 600), PixelToFloat(b, 800, 600), PixelToFloat(c, 800, 600),
            PixelToFloat(d, 800, 600)};
}

void ExpectCorners(const TQuadPoints& actual, const TQuadPoints& expected) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(actual[i].X, expected[i].X, 1e-12) << "corner " << i;
        EXPECT_NEAR(actual[i].Y, expected[i].Y, 1e-12) << "corner " << i;
    }
}

TQuadPoints Rect(double x0, double y0, double x1, double y1) {
    return {{{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}}};
}

} // namespace

struct RoundCase {
    double in;
    int out;
};
class RoundHalfEvenTest : public testing::TestWithParam<RoundCase> {};
TEST_P(RoundHalfEvenTest, NearestTiesToEven) {
    EXPECT_EQ(RoundHalfEven(GetParam().in), GetParam().out) << GetParam().in;
}
INSTANTIATE_TEST_SUITE_P(
    Table, RoundHalfEvenTest,
    testing::Values(RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{2.5, 2}, RoundCase{-0.5, 0},
                    RoundCase{-1.5, -2}, RoundCase{-2.5, -2}, RoundCase{2.4999, 2},
                    RoundCase{2.5001, 3}, RoundCase{-2.6, -3},
                    // Out-of-range corners from a document saturate instead of wrapping.
                    RoundCase{1e300, INT_MAX}, RoundCase{-1e300, INT_MIN},
                    RoundCase{std::numeric_limits<double>::quiet_NaN(), 0}));

struct ValidityCase {
    const char* name;
    TQuadPoints corners;
    bool valid;
};
class ValidityTest : public testing::TestWithParam<ValidityCase> {};
TEST_P(ValidityTest, OnTheGrid) {
    EXPECT_EQ(IsValidQuad(GetParam().corners, 800, 600), GetParam().valid) << GetParam().name;
}
INSTANTIATE_TEST_SUITE_P(
    Table, ValidityTest,
    testing::Values(
        ValidityCase{"default", DefaultQuad(0), true},
        ValidityCase{"reversed", OnGrid({160, 270}, {480, 270}, {480, 180}, {160, 180}), true},
        ValidityCase{"rotated", OnGrid({160, 180}, {480, 180}, {480, 270}, {160, 270}), true},
        ValidityCase{"bow-tie", OnGrid({160, 270}, {160, 180}, {480, 270}, {480, 180}), false},
        ValidityCase{"concave", OnGrid({100, 100}, {300, 100}, {150, 150}, {100, 300}), false},
        ValidityCase{"collinear neighbours", OnGrid({100, 100}, {100, 300}, {300, 300}, {200, 200}),
                     true},
        ValidityCase{"10 px wide", OnGrid({400, 300}, {400, 311}, {410, 311}, {410, 300}), false},
        ValidityCase{"11 px wide", OnGrid({400, 300}, {400, 311}, {411, 311}, {411, 300}), true},
        // sqrt(10^2 + 3^2) = 10.44 rounds to 10 and so is too short.
        ValidityCase{"slanted 10.44", OnGrid({400, 300}, {410, 303}, {410, 343}, {400, 340}),
                     false},
        ValidityCase{"slanted 11.4", OnGrid({400, 300}, {411, 303}, {411, 343}, {400, 340}), true},
        ValidityCase{"two corners equal", OnGrid({100, 100}, {100, 100}, {300, 300}, {100, 300}),
                     false},
        ValidityCase{"700 x 12 flat", OnGrid({50, 300}, {50, 312}, {750, 312}, {750, 300}), false},
        ValidityCase{"all zero", TQuadPoints{}, false}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(QuadList, InvalidCornersBecomeTheDefaultForTheirPosition) {
    TQuadList list;
    EXPECT_EQ(list.AddQuad(DefaultQuad(0)), 0);
    EXPECT_EQ(list.AddQuad(DefaultQuad(5)), 1);
    EXPECT_EQ(list.AddQuad(TQuadPoints{}), 2);
    ExpectCorners(list.Quad(2)->Points, {{{0.24, 0.49}, {0.24, 0.34}, {0.64, 0.34}, {0.64, 0.49}}});
    // Valid corners are kept as given.
    ExpectCorners(list.Quad(1)->Points, DefaultQuad(5));
    EXPECT_EQ(list.Quad(2)->Arrows, 1);
}

TEST(QuadList, IdsIndicesAndStates) {
    TQuadList list;
    for (const char* id : {"1", "A", "1"}) {
        const int i = list.AddQuad(DefaultQuad(list.Count()));
        list.Quad(i)->Id = id;
        list.Quad(i)->Active = true;
    }
    EXPECT_EQ(list.IndexOfId("1"), 0);
    EXPECT_EQ(list.IndexOfId("01"), -1);
    EXPECT_EQ(list.IndexOfId("a"), -1);
    EXPECT_EQ(list.IndexOfId(""), -1);
    EXPECT_EQ(list.Quad(3), nullptr);
    EXPECT_EQ(list.Quad(-1), nullptr);

    list.ClearStates();
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_FALSE(list.Quad(i)->Active);

    list.Delete(0);
    list.Delete(7);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOfId("A"), 0);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

struct HitCase {
    TIntPoint point;
    bool inside;
};
class PointInPolygonTest : public testing::TestWithParam<HitCase> {};
TEST_P(PointInPolygonTest, SquareWithHalfOpenEdges) {
    const TPixelQuad square{{{10, 10}, {20, 10}, {20, 20}, {10, 20}}};
    EXPECT_EQ(PointInPolygon(GetParam().point, square), GetParam().inside) << GetParam().point;
}
INSTANTIATE_TEST_SUITE_P(Table, PointInPolygonTest,
                         testing::Values(HitCase{{15, 15}, true}, HitCase{{10, 15}, true},
                                         HitCase{{20, 15}, false}, HitCase{{15, 10}, true},
                                         HitCase{{15, 20}, false}, HitCase{{5, 15}, false},
                                         HitCase{{15, 25}, false}));

TEST(PointInPolygon, LargeCoordinatesDoNotOverflow) {
    const TPixelQuad diamond{{{100000, 0}, {200000, 100000}, {100000, 200000}, {0, 100000}}};
    EXPECT_TRUE(PointInPolygon({100000, 100000}, diamond));
    EXPECT_TRUE(PointInPolygon({199000, 100000}, diamond));
    EXPECT_FALSE(PointInPolygon({160000, 160000}, diamond));
}

TEST(QuadContains, UsesTheLastPixelAsScale) {
    TQuadBase zone;
    zone.Points = DefaultQuad(0); // x from 0.2 to 0.6: 160..480 on a 801 pixel wide view
    EXPECT_TRUE(QuadContains(zone, {479, 200}, 801, 601));
    EXPECT_FALSE(QuadContains(zone, {480, 200}, 801, 601));
    EXPECT_TRUE(QuadContains(zone, {160, 200}, 801, 601));
    EXPECT_FALSE(QuadContains(zone, {159, 200}, 801, 601));
}

struct CornerCase {
    TIntPoint offset; // from corner 2
    int corner;
};
class CornerAtTest : public testing::TestWithParam<CornerCase> {};
TEST_P(CornerAtTest, HandleBox) {
    TQuadBase zone;
    zone.Points = DefaultQuad(0); // corner 2 is (480, 180) on 801 x 601
    const TIntPoint p{480 + GetParam().offset.X, 180 + GetParam().offset.Y};
    EXPECT_EQ(CornerAt(zone, p, 801, 601), GetParam().corner) << GetParam().offset;
}
INSTANTIATE_TEST_SUITE_P(Table, CornerAtTest,
                         testing::Values(CornerCase{{0, 0}, 2}, CornerCase{{5, 5}, 2},
                                         CornerCase{{-4, -4}, 2}, CornerCase{{6, 0}, -1},
                                         CornerCase{{0, 6}, -1}, CornerCase{{-5, 0}, -1},
                                         CornerCase{{0, -5}, -1}));

TEST(CornerAt, FirstCornerWinsWhenBoxesOverlap) {
    TQuadBase zone;
    zone.Points = {{{0.5, 0.5}, {0.5, 0.5}, {0.51, 0.51}, {0.5, 0.5}}};
    EXPECT_EQ(CornerAt(zone, {50, 50}, 101, 101), 0);
    EXPECT_EQ(CornerAt(zone, {56, 56}, 101, 101), 2);
}

TEST(ScaleQuad, RefusesAResultTooSmall) {
    TQuadPoints q = Rect(0.4, 0.4, 0.432, 0.5); // shortest edge 0.032
    const TQuadPoints before = q;
    ScaleQuad(q, 0.9);
    ExpectCorners(q, before);
    ScaleQuad(q, std::numeric_limits<double>::quiet_NaN());
    ExpectCorners(q, before);
}

TEST(ScaleQuad, GrowsAroundTheCentreAndClampsAtTheFrame) {
    TQuadPoints q = Rect(0.2, 0.3, 0.6, 0.5);
    ScaleQuad(q, 0.5);
    ExpectCorners(q, Rect(0.3, 0.35, 0.5, 0.45));

    q = Rect(0.0, 0.5, 0.4, 1.0); // touches the left and bottom edges
    ScaleQuad(q, 1.1);
    ExpectCorners(q, Rect(0.0, 0.475, 0.42, 1.0));
}

TEST(RotateQuad, TurnsAboutTheCentreAndClamps) {
    TQuadPoints q = Rect(0.4, 0.3, 0.6, 0.7);
    RotateQuad(q, std::numbers::pi / 2);
    // A quarter turn of a tall rectangle about (0.5, 0.5) lies across it.
    ExpectCorners(q, {{{0.7, 0.4}, {0.3, 0.4}, {0.3, 0.6}, {0.7, 0.6}}});

    q = Rect(0.0, 0.0, 1.0, 0.2);
    RotateQuad(q, std::numbers::pi / 4);
    for (const auto& p : q) {
        EXPECT_GE(p.X, 0.0);
        EXPECT_LE(p.X, 1.0);
        EXPECT_GE(p.Y, 0.0);
        EXPECT_LE(p.Y, 1.0);
    }

    const TQuadPoints before = Rect(0.4, 0.3, 0.6, 0.7);
    q = before;
    RotateQuad(q, std::numeric_limits<double>::infinity());
    ExpectCorners(q, before);
}

struct MoveCase {
    const char* name;
    double dX, dY;
    TQuadPoints expected;
};
class MoveQuadTest : public testing::TestWithParam<MoveCase> {};
TEST_P(MoveQuadTest, StaysInsideWithItsShape) {
    TQuadPoints q = Rect(0.2, 0.3, 0.6, 0.5);
    MoveQuad(q, GetParam().dX, GetParam().dY, 800, 600);
    ExpectCorners(q, GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Table, MoveQuadTest,
    testing::Values(MoveCase{"inside", 80, -60, Rect(0.3, 0.2, 0.7, 0.4)},
                    MoveCase{"half out right", 400, 0, Rect(0.6, 0.3, 1.0, 0.5)},
                    MoveCase{"out left and up", -400, -600, Rect(0.0, 0.0, 0.4, 0.2)},
                    MoveCase{"out bottom", 0, 600, Rect(0.2, 0.8, 0.6, 1.0)}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            c = c == ' ' ? '_' : c;
        return name;
    });

TEST(MoveQuad, WiderThanTheFrameAlignsRight) {
    TQuadPoints q = Rect(-0.1, 0.3, 1.2, 0.5);
    MoveQuad(q, 0, 0, 800, 600);
    ExpectCorners(q, Rect(-0.3, 0.3, 1.0, 0.5));
}

TEST(MoveQuad, EmptySurfaceLeavesCornersUntouched) {
    TQuadPoints q = Rect(0.2, 0.3, 0.6, 0.5);
    MoveQuad(q, 10, 10, 0, 600);
    MoveQuad(q, 10, 10, 800, 0);
    ExpectCorners(q, Rect(0.2, 0.3, 0.6, 0.5));
    const TFloatPoint p = PixelToFloat({5, 5}, 0, 0);
    EXPECT_EQ(p.X, 0.0);
    EXPECT_EQ(p.Y, 0.0);
}

TEST(DrawingArithmetic, MidpointsTruncateTowardZero) {
    EXPECT_EQ(IntMidpoint({0, 0}, {3, -3}), (TIntPoint{1, -1}));
    EXPECT_EQ(IntMidpoint({3, -3}, {0, 0}), (TIntPoint{2, -2}));
    EXPECT_EQ(IntMidpoint({INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}), (TIntPoint{0, -1}));
}

struct ApexCase {
    const char* name;
    TIntPoint a, b, opposite, apex;
};
class ChevronApexTest : public testing::TestWithParam<ApexCase> {};
TEST_P(ChevronApexTest, QuarterOfTheEdgeOutside) {
    const auto& c = GetParam();
    EXPECT_EQ(ChevronApex(c.a, c.b, c.opposite), c.apex) << c.name;
}
INSTANTIATE_TEST_SUITE_P(
    Table, ChevronApexTest,
    testing::Values(ApexCase{"left edge", {100, 100}, {100, 200}, {300, 150}, {75, 150}},
                    ApexCase{"capped at twice", {100, 0}, {100, 400}, {110, 200}, {90, 200}},
                    ApexCase{"midpoints coincide", {0, 0}, {20, 20}, {10, 10}, {10, 10}},
                    // L = 2, d = 0.5, e = 1.125: -4 + 4.5 = 0.5 rounds to 0.
                    ApexCase{"tie to even", {0, 0}, {0, 2}, {-4, 1}, {0, 1}}));

TEST(DrawingArithmetic, MarksOfTheDefaultZoneLieOutsideTheirEdges) {
    const TPixelQuad px = QuadToPixels(DefaultQuad(0), 800, 600); // x 160..480, y 180..270
    const TQuadMarks m = QuadMarks(px);
    EXPECT_EQ(m.Label, (TIntPoint{320, 225}));
    EXPECT_EQ(m.Apex01, (TIntPoint{138, 225})); // L = 90, d = 22.5
    EXPECT_EQ(m.Apex23, (TIntPoint{502, 225}));
}

TEST(DrawingArithmetic, GuidesInEdgeOrder) {
    const TPixelQuad px{{{10, 20}, {10, 30}, {40, 30}, {12, 20}}};
    const auto g = GuideLines(px);
    EXPECT_EQ(g[0], (TPixelLine{{210, 20}, {-188, 20}}));  // P0P3
    EXPECT_EQ(g[2], (TPixelLine{{10, 1020}, {10, -970}})); // P0P1
    EXPECT_EQ(g[3].A, (TIntPoint{-2760, -970}));           // P2P3

    const TPixelQuad huge{{{INT_MAX, 0}, {0, 0}, {0, 0}, {INT_MIN, 0}}};
    EXPECT_EQ(GuideLines(huge)[0].A.X, INT_MIN);
}

struct StripCase {
    int index, reading;
    TStripRow row;
};
class StripRowTest : public testing::TestWithParam<StripCase> {};
TEST_P(StripRowTest, StackedAtTheBottomLeft) {
    const auto& c = GetParam();
    const TStripRow r = StripRow(c.index, 3, 600, 20, c.reading);
    EXPECT_EQ(r.Bar, c.row.Bar);
    EXPECT_EQ(r.Negative, c.row.Negative);
    EXPECT_EQ(r.IdAt, c.row.IdAt);
    EXPECT_EQ(r.ReadingAt, c.row.ReadingAt);
}
INSTANTIATE_TEST_SUITE_P(
    Table, StripRowTest,
    testing::Values(StripCase{0, 10, {{35, 558, 56, 565}, false, {10, 553}, {60, 553}}},
                    StripCase{2, 0, {{35, 588, 36, 595}, false, {10, 583}, {40, 583}}},
                    StripCase{1, -7, {{35, 573, 50, 580}, true, {10, 568}, {54, 568}}},
                    StripCase{
                        1, INT_MIN, {{35, 573, INT_MAX, 580}, true, {10, 568}, {INT_MAX, 568}}}));
