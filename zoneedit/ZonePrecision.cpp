#include "zoneedit/ZonePrecision.h"

#include "config/XMLConfig.h"

#include <algorithm>
#include <cmath>

namespace {

// A mouse exactly at the edge of the range is in it, whatever the last bit of the division says.
constexpr double RangeSlack = 1e-9;

// Distances are judged as the user sees them: in view pixels, whatever the zone's units.
double ViewDistance(TFloatPoint a, TFloatPoint b, int W, int H) {
    return std::hypot((a.X - b.X) * W, (a.Y - b.Y) * H);
}

// The point of segment AB nearest to P in view pixels: on a view that is not square that is not
// the nearest point in normalised units.
TFloatPoint NearestOnSegment(TFloatPoint p, TFloatPoint a, TFloatPoint b, int W, int H) {
    const double dx = (b.X - a.X) * W;
    const double dy = (b.Y - a.Y) * H;
    const double length2 = dx * dx + dy * dy;
    if (length2 == 0)
        return a;
    const double t = std::clamp(((p.X - a.X) * W * dx + (p.Y - a.Y) * H * dy) / length2, 0.0, 1.0);
    return {a.X + t * (b.X - a.X), a.Y + t * (b.Y - a.Y)};
}

// The value the document would hold, so that a key step moves the stored number by exactly one
// step, whatever fraction a mouse drag left behind it.
double OnGrid(double v) {
    return StoredCoordinate(v);
}

bool Inside(const TQuadPoints& corners) {
    return std::all_of(corners.begin(), corners.end(), [](const TFloatPoint& p) {
        return p.X >= 0 && p.X <= 1 && p.Y >= 0 && p.Y <= 1;
    });
}

bool Same(const TQuadPoints& a, const TQuadPoints& b) {
    for (int i = 0; i < 4; ++i)
        if (a[i].X != b[i].X || a[i].Y != b[i].Y)
            return false;
    return true;
}

} // namespace

TSnap SnapCorner(const TQuadList& zones, int selected, int corner, TFloatPoint free, int W, int H,
                 bool enabled) {
    const TSnap unsnapped{TSnap::None, free};
    const TQuadBase* own = zones.Quad(selected);
    if (!enabled || !own || corner < 0 || corner > 3 || W <= 0 || H <= 0)
        return unsnapped;
    TSnap found = unsnapped;
    double best = SnapRangePixels + RangeSlack;
    auto consider = [&](TFloatPoint at, TSnap::TKind kind) {
        const double d = ViewDistance(free, at, W, H);
        if (d <= best && (found.Kind == TSnap::None || d < best)) {
            best = d;
            found = {kind, at};
        }
    };
    for (int i = 0; i < zones.Count(); ++i)
        if (i != selected)
            for (const TFloatPoint& p : zones.Quad(i)->Points)
                consider(p, TSnap::Corner);
    if (found.Kind == TSnap::None) {
        for (int i = 0; i < zones.Count(); ++i) {
            if (i == selected)
                continue;
            const TQuadPoints& p = zones.Quad(i)->Points;
            for (int k = 0; k < 4; ++k)
                consider(NearestOnSegment(free, p[k], p[(k + 1) % 4], W, H), TSnap::Edge);
        }
    }
    if (found.Kind == TSnap::None)
        return unsnapped;
    TQuadPoints candidate = own->Points;
    candidate[corner] = found.At;
    return IsValidQuad(candidate, W, H) ? found : unsnapped;
}

TZoneSnap SnapZone(const TQuadList& zones, int selected, const TQuadPoints& free, int W, int H,
                   bool enabled) {
    TZoneSnap result{free, -1};
    if (!enabled || !zones.Quad(selected) || W <= 0 || H <= 0)
        return result;
    double best = SnapRangePixels + RangeSlack;
    int ownCorner = -1;
    TFloatPoint target;
    for (int i = 0; i < zones.Count(); ++i) {
        if (i == selected)
            continue;
        for (const TFloatPoint& p : zones.Quad(i)->Points) {
            for (int k = 0; k < 4; ++k) {
                const double d = ViewDistance(free[k], p, W, H);
                if (d <= best && (ownCorner < 0 || d < best)) {
                    best = d;
                    ownCorner = k;
                    target = p;
                }
            }
        }
    }
    if (ownCorner < 0)
        return result;
    const double dX = target.X - free[ownCorner].X;
    const double dY = target.Y - free[ownCorner].Y;
    TQuadPoints shifted = free;
    for (TFloatPoint& p : shifted) {
        p.X += dX;
        p.Y += dY;
    }
    // The very same number as the other zone's corner, so both are written alike.
    shifted[ownCorner] = target;
    if (!Inside(shifted) || !IsValidQuad(shifted, W, H))
        return result;
    return {shifted, ownCorner};
}

bool NudgeCorner(TQuadPoints& corners, int corner, double dX, double dY, int W, int H) {
    if (corner < 0 || corner > 3)
        return false;
    TQuadPoints moved = corners;
    TFloatPoint& p = moved[corner];
    p.X = std::clamp(OnGrid(OnGrid(p.X) + dX), 0.0, 1.0);
    p.Y = std::clamp(OnGrid(OnGrid(p.Y) + dY), 0.0, 1.0);
    if (Same(moved, corners) || !IsValidQuad(moved, W, H))
        return false;
    corners = moved;
    return true;
}

bool NudgeZone(TQuadPoints& corners, double dX, double dY) {
    TQuadPoints moved = corners;
    for (TFloatPoint& p : moved) {
        p.X = OnGrid(OnGrid(p.X) + dX);
        p.Y = OnGrid(OnGrid(p.Y) + dY);
    }
    MoveQuad(moved, 0, 0, 1, 1);
    // The push back adds grid values to grid values, which binary fractions do not keep exact.
    for (TFloatPoint& p : moved) {
        p.X = OnGrid(p.X);
        p.Y = OnGrid(p.Y);
    }
    if (Same(moved, corners))
        return false;
    corners = moved;
    return true;
}

int NextCorner(int active, bool backwards) {
    if (active < 0 || active > 3)
        return backwards ? 3 : 0;
    return (active + (backwards ? 3 : 1)) % 4;
}

bool TKeyRun::Press(long long nowMs) {
    const bool lapsed = Lapsed(nowMs);
    Running = true;
    Last = nowMs;
    return lapsed;
}

bool TKeyRun::Close() {
    const bool was = Running;
    Running = false;
    return was;
}

long long TKeyRun::Remaining(long long nowMs) const {
    if (!Running)
        return 0;
    return std::max(0LL, GapMs - (nowMs - Last));
}
