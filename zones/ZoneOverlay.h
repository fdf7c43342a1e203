#pragma once
// The zones drawn over a live picture at the cost of a copy. Between two pictures the zones rarely
// change, yet drawing them (wide outlines with round joins, the strip's texts) costs a fifth of a
// frame's decoding. So once the same zones have been drawn twice in a row, the overlay keeps the
// pixels that their drawing sets whatever lies beneath and afterwards lays those on each picture.

#include "geometry/TFGeometry2.h"

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

class TZoneOverlay {
public:
    // Draws the zones onto `target` (Format_RGB32, holding the picture), giving exactly the
    // pixels that DrawQuads would.
    void Draw(const TQuadList& zones, QImage& target);
    // Whether the last Draw laid kept pixels rather than drawing; for tests.
    bool LastDrawKept() const { return LastKept; }

private:
    struct TSpan {
        std::uint32_t Offset; // first pixel, counted over the whole picture
        std::uint32_t Length;
        std::uint32_t First; // index of its first value in Values
    };

    bool Build(const TQuadList& zones, int width, int height);
    void Lay(const TQuadList& zones, QImage& target) const;

    std::string LastKey;
    std::string Key;         // scratch, kept for its capacity
    bool Kept = false;       // Spans and Values hold LastKey's drawing
    bool Unkeepable = false; // LastKey's drawing blends with the picture beyond its labels
    bool LastKept = false;
    bool HasLabels = false;
    std::vector<TSpan> Spans;
    std::vector<std::uint32_t> Values;
    QImage Over[2];
    QImage Labels[2];
};
