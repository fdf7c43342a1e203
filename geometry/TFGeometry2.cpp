#include "geometry/TFGeometry2.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Corners that must stay this far apart (normalised units) after a scale.
constexpr double MinScaledDistance = 0.03;
// Pixel distances between corners must exceed this on the validity grid.
constexpr int MinPixelDistance = 10;
// Diagonals closer to parallel than this make a zone too flat to detect in.
constexpr double MaxDiagonalCosine = 0.98;
// Handles and corner hits reach 4 pixels left/up and 5 right/down of a corner.
constexpr int HandleBefore = 4;
constexpr int HandleAfter = 5;
constexpr int GuideReach = 100;
constexpr int StripRowHeight = 15;
constexpr int StripLeft = 10;
constexpr int ValidityW = 800;
constexpr int ValidityH = 600;

int SaturateToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

double Distance(TFloatPoint a, TFloatPoint b) {
    return std::hypot(a.X - b.X, a.Y - b.Y);
}

double Distance(TIntPoint a, TIntPoint b) {
    return std::hypot(static_cast<double>(a.X) - b.X, static_cast<double>(a.Y) - b.Y);
}

// Edges P0P1, P1P2, P2P3, P3P0 and the diagonals P0P2, P1P3.
constexpr int Pairs[6][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 2}, {1, 3}};

bool IsConvex(const TPixelQuad& p) {
    bool positive = false;
    bool negative = false;
    for (int k = 0; k < 4; ++k) {
        const TIntPoint& a = p[k];
        const TIntPoint& b = p[(k + 1) % 4];
        const TIntPoint& c = p[(k + 2) % 4];
        const std::int64_t cross =
            (static_cast<std::int64_t>(b.X) - a.X) * (static_cast<std::int64_t>(c.Y) - b.Y) -
            (static_cast<std::int64_t>(b.Y) - a.Y) * (static_cast<std::int64_t>(c.X) - b.X);
        positive = positive || cross > 0;
        negative = negative || cross < 0;
    }
    return positive != negative;
}

bool IsLargeEnough(const TPixelQuad& p) {
    for (const auto& pair : Pairs) {
        if (PixelDistance(p[pair[0]], p[pair[1]]) <= MinPixelDistance)
            return false;
    }
    return true;
}

bool IsNotFlat(const TQuadPoints& c) {
    const double ax = c[2].X - c[0].X;
    const double ay = c[2].Y - c[0].Y;
    const double bx = c[3].X - c[1].X;
    const double by = c[3].Y - c[1].Y;
    const double lengths = std::hypot(ax, ay) * std::hypot(bx, by);
    const double cosine = lengths == 0 ? -1.0 : (ax * bx + ay * by) / lengths;
    return cosine > -MaxDiagonalCosine && cosine < MaxDiagonalCosine;
}

double Midpoint(double a, double b) {
    return a - (a - b) / 2;
}

} // namespace

int RoundHalfEven(double v) {
    // Saturate instead of casting out of range: corners read from a document may be anything.
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    const double floor = std::floor(v);
    const double fraction = v - floor;
    double result = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0))
        result = floor + 1;
    return static_cast<int>(result);
}

TPixelQuad QuadToPixels(const TQuadPoints& corners, double SX, double SY) {
    TPixelQuad result;
    for (int i = 0; i < 4; ++i)
        result[i] = {RoundHalfEven(corners[i].X * SX), RoundHalfEven(corners[i].Y * SY)};
    return result;
}

TFloatPoint PixelToFloat(TIntPoint point, int W, int H) {
    // An empty surface has no position inside it; 0 keeps the corners finite.
    return {W > 0 ? static_cast<double>(point.X) / W : 0.0,
            H > 0 ? static_cast<double>(point.Y) / H : 0.0};
}

TQuadPoints DefaultQuad(int index) {
    const double k = 0.02 * index;
    return {{{0.2 + k, 0.45 + k}, {0.2 + k, 0.3 + k}, {0.6 + k, 0.3 + k}, {0.6 + k, 0.45 + k}}};
}

bool IsValidQuad(const TQuadPoints& corners, int W, int H) {
    return QuadFault(corners, W, H) == TQuadFault::None;
}

TQuadFault QuadFault(const TQuadPoints& corners, int W, int H) {
    const TPixelQuad px = QuadToPixels(corners, W, H);
    if (!IsConvex(px))
        return TQuadFault::NotConvex;
    if (!IsLargeEnough(px))
        return TQuadFault::TooSmall;
    if (!IsNotFlat(corners))
        return TQuadFault::TooFlat;
    return TQuadFault::None;
}

bool PointInPolygon(TIntPoint point, const TPixelQuad& corners) {
    bool inside = false;
    for (std::size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
        const TIntPoint& a = corners[i];
        const TIntPoint& b = corners[j];
        if (!((a.Y <= point.Y && point.Y < b.Y) || (b.Y <= point.Y && point.Y < a.Y)))
            continue;
        const std::int64_t product =
            (static_cast<std::int64_t>(b.X) - a.X) * (static_cast<std::int64_t>(point.Y) - a.Y);
        const double x = static_cast<double>(product) / (static_cast<double>(b.Y) - a.Y) + a.X;
        if (point.X < x)
            inside = !inside;
    }
    return inside;
}

bool QuadContains(const TQuadBase& zone, TIntPoint point, int W, int H) {
    return PointInPolygon(point, QuadToPixels(zone.Points, W - 1, H - 1));
}

int CornerAt(const TQuadBase& zone, TIntPoint point, int W, int H) {
    const TPixelQuad px = QuadToPixels(zone.Points, W - 1, H - 1);
    const std::int64_t x = point.X;
    const std::int64_t y = point.Y;
    for (int i = 0; i < 4; ++i) {
        const std::int64_t cx = px[i].X;
        const std::int64_t cy = px[i].Y;
        if (cx - HandleBefore <= x && x <= cx + HandleAfter && cy - HandleBefore <= y &&
            y <= cy + HandleAfter)
            return i;
    }
    return -1;
}

TFloatPoint QuadCentre(const TQuadPoints& c) {
    const TFloatPoint m01{Midpoint(c[0].X, c[1].X), Midpoint(c[0].Y, c[1].Y)};
    const TFloatPoint m23{Midpoint(c[2].X, c[3].X), Midpoint(c[2].Y, c[3].Y)};
    return {Midpoint(m01.X, m23.X), Midpoint(m01.Y, m23.Y)};
}

void ScaleQuad(TQuadPoints& corners, double factor) {
    const TFloatPoint c = QuadCentre(corners);
    TQuadPoints scaled;
    for (int i = 0; i < 4; ++i) {
        scaled[i] = {Clamp01(c.X - factor * (c.X - corners[i].X)),
                     Clamp01(c.Y - factor * (c.Y - corners[i].Y))};
    }
    for (const auto& pair : Pairs) {
        // Written so that a NaN distance also refuses the result.
        if (!(Distance(scaled[pair[0]], scaled[pair[1]]) > MinScaledDistance))
            return;
    }
    corners = scaled;
}

void RotateQuad(TQuadPoints& corners, double angle) {
    // A non-finite angle would leave NaN corners that no later step can repair.
    if (!std::isfinite(angle))
        return;
    const TFloatPoint c = QuadCentre(corners);
    const double cs = std::cos(angle);
    const double sn = std::sin(angle);
    for (auto& p : corners) {
        const double dx = p.X - c.X;
        const double dy = p.Y - c.Y;
        p = {Clamp01(c.X + cs * dx - sn * dy), Clamp01(c.Y + sn * dx + cs * dy)};
    }
}

void MoveQuad(TQuadPoints& corners, double dX, double dY, int W, int H) {
    // Without a surface there is no pixel to move by; dividing would poison the corners.
    if (W <= 0 || H <= 0 || !std::isfinite(dX) || !std::isfinite(dY))
        return;
    for (auto& p : corners) {
        p.X += dX / W;
        p.Y += dY / H;
    }
    auto [minX, maxX] = std::minmax({corners[0].X, corners[1].X, corners[2].X, corners[3].X});
    auto [minY, maxY] = std::minmax({corners[0].Y, corners[1].Y, corners[2].Y, corners[3].Y});
    double ox = 0;
    if (minX < 0)
        ox = -minX;
    if (maxX > 1)
        ox = 1 - maxX;
    double oy = 0;
    if (minY < 0)
        oy = -minY;
    if (maxY > 1)
        oy = 1 - maxY;
    for (auto& p : corners) {
        p.X += ox;
        p.Y += oy;
    }
}

TIntPoint IntMidpoint(TIntPoint a, TIntPoint b) {
    // C++ division truncates toward zero, as the midpoints of the edge marks require.
    const auto mid = [](std::int64_t p, std::int64_t q) { return SaturateToInt(p - (p - q) / 2); };
    return {mid(a.X, b.X), mid(a.Y, b.Y)};
}

int PixelDistance(TIntPoint a, TIntPoint b) {
    return RoundHalfEven(Distance(a, b));
}

TIntPoint ChevronApex(TIntPoint edgeA, TIntPoint edgeB, TIntPoint oppositeMid) {
    const TIntPoint mid = IntMidpoint(edgeA, edgeB);
    const double d = PixelDistance(edgeA, edgeB) / 4.0;
    const double span = Distance(mid, oppositeMid);
    const double e = span == 0 ? 1.0 : std::min(1.0 + d / span, 2.0);
    const auto along = [e](int from, int to) {
        return RoundHalfEven(from + (static_cast<double>(to) - from) * e);
    };
    return {along(oppositeMid.X, mid.X), along(oppositeMid.Y, mid.Y)};
}

TQuadMarks QuadMarks(const TPixelQuad& px) {
    const TIntPoint m01 = IntMidpoint(px[0], px[1]);
    const TIntPoint m23 = IntMidpoint(px[2], px[3]);
    return {IntMidpoint(m01, m23), ChevronApex(px[0], px[1], m23), ChevronApex(px[2], px[3], m01)};
}

TPixelRect HandleRect(TIntPoint corner) {
    return {corner.X - HandleBefore, corner.Y - HandleBefore, corner.X + HandleAfter,
            corner.Y + HandleAfter};
}

std::array<TPixelLine, 4> GuideLines(const TPixelQuad& px) {
    const auto beyond = [](TIntPoint a, TIntPoint b) {
        const auto reach = [](std::int64_t p, std::int64_t q) {
            return SaturateToInt(p + GuideReach * (q - p));
        };
        return TIntPoint{reach(a.X, b.X), reach(a.Y, b.Y)};
    };
    const auto line = [&](int i, int j) {
        return TPixelLine{beyond(px[i], px[j]), beyond(px[j], px[i])};
    };
    return {line(0, 3), line(1, 2), line(0, 1), line(2, 3)};
}

TStripRow StripRow(int index, int count, int H, int idTextWidth, int reading) {
    const int y = SaturateToInt(H - (static_cast<std::int64_t>(count) - index) * StripRowHeight);
    const int tw = idTextWidth + 5;
    // 64 bits: twice a reading near the integer limit must not wrap into a short bar.
    const std::int64_t len = std::abs(2 * static_cast<std::int64_t>(reading));
    TStripRow row;
    row.Negative = reading < 0;
    row.Bar = {StripLeft + tw, y + 3, SaturateToInt(StripLeft + tw + len + 1), y + 10};
    row.IdAt = {StripLeft, y - 2};
    row.ReadingAt = {SaturateToInt(StripLeft + tw + len + 5), y - 2};
    return row;
}

TQuadList::TQuadList() {
    Items.reserve(10);
}

TQuadList::~TQuadList() = default;

int TQuadList::AddQuad(const TQuadPoints& corners) {
    try {
        auto zone = std::make_unique<TQuadBase>();
        zone->Points = IsValidQuad(corners, ValidityW, ValidityH) ? corners : DefaultQuad(Count());
        Items.push_back(std::move(zone));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return Count() - 1;
}

TQuadBase* TQuadList::Quad(int index) {
    return index >= 0 && index < Count() ? Items[index].get() : nullptr;
}

const TQuadBase* TQuadList::Quad(int index) const {
    return index >= 0 && index < Count() ? Items[index].get() : nullptr;
}

void TQuadList::Delete(int index) {
    if (index >= 0 && index < Count())
        Items.erase(Items.begin() + index);
}

void TQuadList::Clear() {
    Items.clear();
}

int TQuadList::IndexOfId(const std::string& id) const {
    for (int i = 0; i < Count(); ++i) {
        if (Items[i]->Id == id)
            return i;
    }
    return -1;
}

void TQuadList::ClearStates() {
    for (auto& zone : Items)
        zone->Active = false;
}
