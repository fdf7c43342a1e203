#pragma once
// Drawing of zones, handles, edge marks, guide lines and the info strip with QPainter.

#include "geometry/TFGeometry2.h"

#include <string>

class QPainter;

void DrawQuad(const TQuadBase& zone, QPainter& canvas, int W, int H, int penWidth, TRGB colour,
              bool withHandles);
void DrawGuides(const TQuadBase& zone, QPainter& canvas, int W, int H, TRGB colour);
void DrawQuads(const TQuadList& zones, QPainter& canvas, int W, int H);
// Only the zones' labels, in the order and with the pens with which DrawQuads draws them.
void DrawQuadLabels(const TQuadList& zones, QPainter& canvas, int W, int H);
// Appends to `key` everything of the zones that DrawQuads reads at this size: equal keys draw
// equal pixels (with the same font). Whoever makes the drawing read more must add it here.
void AppendDrawingKey(const TQuadList& zones, int W, int H, std::string& key);
