#pragma once
// Precise zone editing beyond the bare mouse: snapping a dragged corner or zone onto the other
// zones, moving by keys in the document's own steps, and grouping a run of key presses into one
// undo step. Toolkit-free: view sizes come in as pixels and times as milliseconds.

#include "geometry/TFGeometry2.h"

// How near (view pixels) a dragged corner must come to another zone's corner or edge to snap.
constexpr double SnapRangePixels = 6;
// One unit of the third decimal, the precision the document stores; Shift takes ten.
constexpr double FineKeyStep = 0.001;
constexpr double CoarseKeyStep = 0.01;

struct TSnap {
    enum TKind { None, Corner, Edge };
    TKind Kind = None;
    TFloatPoint At; // where the corner goes: snapped, or the unsnapped position
};

// Corner `corner` of zone `selected` dragged to `free`. Other zones' corners within range come
// first, the nearest of them; failing that, the nearest point on another zone's edge. A snap that
// would make the zone fail IsValidQuad on the W x H view is not taken.
TSnap SnapCorner(const TQuadList& zones, int selected, int corner, TFloatPoint free, int W, int H,
                 bool enabled);

struct TZoneSnap {
    TQuadPoints Points{}; // the zone's corners to use
    int Corner = -1;      // the corner that landed on another zone's corner, -1 none
};

// The selected zone dragged whole to `free`: when one of its corners comes within range of
// another zone's corner, the zone is shifted so that they meet (the nearest pair wins), unless the
// shift would take it out of the picture or make it invalid on the W x H view.
TZoneSnap SnapZone(const TQuadList& zones, int selected, const TQuadPoints& free, int W, int H,
                   bool enabled);

// Moves one corner by (dX, dY) in normalised units, landing on the document's grid and inside the
// picture. False, corners unchanged, when nothing moves or the zone would fail IsValidQuad.
bool NudgeCorner(TQuadPoints& corners, int corner, double dX, double dY, int W, int H);
// Moves the whole zone on the document's grid, pushed back inside the picture as MoveQuad does.
// False when it did not move.
bool NudgeZone(TQuadPoints& corners, double dX, double dY);

// Tab order around a zone: from none to P0 (P3 going back), then on around, wrapping.
int NextCorner(int active, bool backwards);

// A run of key moves with less than GapMs between presses is one undo step.
class TKeyRun {
public:
    static constexpr long long GapMs = 1000;

    // A press at `nowMs`; true when a run was open but had lapsed, so that its step is to be
    // finished before this press begins the next.
    bool Press(long long nowMs);
    // True when an open run has had no press for GapMs.
    bool Lapsed(long long nowMs) const { return Running && nowMs - Last >= GapMs; }
    // Ends the run; true when one was open, so that its step is to be finished.
    bool Close();
    bool Open() const { return Running; }
    // Milliseconds until the open run lapses; 0 once it has.
    long long Remaining(long long nowMs) const;

private:
    bool Running = false;
    long long Last = 0;
};
