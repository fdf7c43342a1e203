#pragma once
// Zone geometry: the zone object, the owning zone list and the pure math the editor and the
// configuration document rely on. Toolkit-free; drawing lives in QuadDrawing.h.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Normalised frame units: 0 is the left (top) edge, 1 the right (bottom) edge.
struct TFloatPoint {
    double X = 0;
    double Y = 0;
};
using TQuadPoints = std::array<TFloatPoint, 4>;

struct TIntPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TIntPoint&) const = default;
};
using TPixelQuad = std::array<TIntPoint, 4>;

struct TRGB {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    bool operator==(const TRGB&) const = default;
};

struct TQuadBase {
    int NodeIndex = 0;
    std::string Id;
    TQuadPoints Points{};
    std::uint8_t Arrows = 1;
    bool Active = false;
    int Reading = 0;
};

// Nearest integer, ties to even: the rounding of every pixel conversion.
int RoundHalfEven(double v);

TPixelQuad QuadToPixels(const TQuadPoints& corners, double SX, double SY);
TFloatPoint PixelToFloat(TIntPoint point, int W, int H);
TQuadPoints DefaultQuad(int index);
bool IsValidQuad(const TQuadPoints& corners, int W, int H);
// The first validity rule a zone breaks, in the order IsValidQuad tests them, so that a refusal
// can say which.
enum class TQuadFault { None, NotConvex, TooSmall, TooFlat };
TQuadFault QuadFault(const TQuadPoints& corners, int W, int H);
bool PointInPolygon(TIntPoint point, const TPixelQuad& corners);
bool QuadContains(const TQuadBase& zone, TIntPoint point, int W, int H);
int CornerAt(const TQuadBase& zone, TIntPoint point, int W, int H);
TFloatPoint QuadCentre(const TQuadPoints& corners);
void ScaleQuad(TQuadPoints& corners, double factor);
void RotateQuad(TQuadPoints& corners, double angle);
void MoveQuad(TQuadPoints& corners, double dX, double dY, int W, int H);

// Drawing arithmetic, kept apart from the painter so it can be checked without a canvas.
// Rectangles follow the raster convention: right and bottom are excluded.
struct TPixelRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TPixelRect&) const = default;
};

struct TPixelLine {
    TIntPoint A;
    TIntPoint B;
    bool operator==(const TPixelLine&) const = default;
};

// Where the id label and the edge chevrons of a zone go, in pixels.
struct TQuadMarks {
    TIntPoint Label;  // top-left of the id text is Label - (4, 4)
    TIntPoint Apex01; // chevron apex outside edge P0-P1
    TIntPoint Apex23; // chevron apex outside edge P2-P3
};

// One row of the info strip at the bottom-left of the view.
struct TStripRow {
    TPixelRect Bar;
    bool Negative = false; // the bar is drawn yellow
    TIntPoint IdAt;        // top-left of the id text
    TIntPoint ReadingAt;   // top-left of the reading text
};

TIntPoint IntMidpoint(TIntPoint a, TIntPoint b);
int PixelDistance(TIntPoint a, TIntPoint b);
TIntPoint ChevronApex(TIntPoint edgeA, TIntPoint edgeB, TIntPoint oppositeMid);
TQuadMarks QuadMarks(const TPixelQuad& px);
TPixelRect HandleRect(TIntPoint corner);
// Supporting lines of the edges P0P3, P1P2, P0P1, P2P3, reaching far beyond both corners.
std::array<TPixelLine, 4> GuideLines(const TPixelQuad& px);
TStripRow StripRow(int index, int count, int H, int idTextWidth, int reading);

class TQuadList {
public:
    TQuadList();
    virtual ~TQuadList();
    TQuadList(const TQuadList&) = delete;
    TQuadList& operator=(const TQuadList&) = delete;

    TRGB NormalColor{0, 255, 0};
    TRGB SelectedColor{255, 0, 96};
    TRGB ActiveColor{255, 0, 0};
    TRGB GreyColor{128, 128, 128};
    int ActiveWidth = 3;
    int NormalWidth = 2;
    int SelectedIndex = 0; // may be out of range: every user checks 0 <= index < Count()
    bool GreyMode = false;
    bool ShowStrip = false;

    // Index of the new zone, or -1. Corners that fail IsValidQuad(.., 800, 600) are replaced by
    // DefaultQuad(Count()).
    int AddQuad(const TQuadPoints& corners);
    int Count() const { return static_cast<int>(Items.size()); }
    TQuadBase* Quad(int index); // nullptr when out of range
    const TQuadBase* Quad(int index) const;
    void Delete(int index);
    void Clear();
    int IndexOfId(const std::string& id) const;
    void ClearStates();

private:
    std::vector<std::unique_ptr<TQuadBase>> Items;
};
