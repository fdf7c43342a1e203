#pragma once
// Drawing of zones, handles, edge marks, guide lines and the info strip with QPainter.

#include "geometry/TFGeometry2.h"

class QPainter;

void DrawQuad(const TQuadBase& zone, QPainter& canvas, int W, int H, int penWidth, TRGB colour,
              bool withHandles);
void DrawGuides(const TQuadBase& zone, QPainter& canvas, int W, int H, TRGB colour);
void DrawQuads(const TQuadList& zones, QPainter& canvas, int W, int H);
