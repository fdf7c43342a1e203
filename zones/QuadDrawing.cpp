#include "zones/QuadDrawing.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QString>

namespace {

const QColor StripNegativeColor(255, 255, 0);
const QColor StripTextBackground(32, 32, 32);

QColor ToQColor(TRGB c) {
    return QColor(c.R, c.G, c.B);
}

QPoint ToQPoint(TIntPoint p) {
    return QPoint(p.X, p.Y);
}

// Text is placed by its top-left corner, as the layout arithmetic assumes.
void DrawTextAt(QPainter& canvas, TIntPoint topLeft, const QString& text) {
    canvas.drawText(QPoint(topLeft.X, topLeft.Y + canvas.fontMetrics().ascent()), text);
}

// The painter's outline of a rectangle covers one pixel more than its size; the handle box
// excludes its right and bottom edges.
void DrawHollowRect(QPainter& canvas, const TPixelRect& r) {
    canvas.drawRect(QRect(r.Left, r.Top, r.Right - r.Left - 1, r.Bottom - r.Top - 1));
}

void DrawStripRow(const TQuadBase& zone, const TQuadList& zones, QPainter& canvas, int index,
                  int H) {
    canvas.save();
    const QString id = QString::fromStdString(zone.Id);
    const TStripRow row =
        StripRow(index, zones.Count(), H, canvas.fontMetrics().horizontalAdvance(id), zone.Reading);
    const TPixelRect& bar = row.Bar;
    canvas.fillRect(QRect(bar.Left, bar.Top, bar.Right - bar.Left, bar.Bottom - bar.Top),
                    row.Negative ? StripNegativeColor : ToQColor(zones.NormalColor));
    canvas.setPen(ToQColor(zones.NormalColor));
    canvas.setBackgroundMode(Qt::OpaqueMode);
    canvas.setBackground(StripTextBackground);
    DrawTextAt(canvas, row.IdAt, id);
    DrawTextAt(canvas, row.ReadingAt, QString::number(zone.Reading));
    canvas.restore();
}

} // namespace

void DrawQuad(const TQuadBase& zone, QPainter& canvas, int W, int H, int penWidth, TRGB colour,
              bool withHandles) {
    const TPixelQuad px = QuadToPixels(zone.Points, W - 1, H - 1);
    const QColor color = ToQColor(colour);
    QPen pen(color, penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    canvas.setPen(pen);
    canvas.setBrush(Qt::NoBrush);
    QPolygon outline;
    for (const TIntPoint& p : px)
        outline << ToQPoint(p);
    canvas.drawPolygon(outline);

    if (withHandles) {
        for (const TIntPoint& p : px)
            DrawHollowRect(canvas, HandleRect(p));
    }
    if (zone.Arrows < 1)
        return;

    const TQuadMarks marks = QuadMarks(px);
    QFont bold = canvas.font();
    bold.setBold(true);
    const QFont previousFont = canvas.font();
    canvas.setFont(bold);
    DrawTextAt(canvas, {marks.Label.X - 4, marks.Label.Y - 4}, QString::fromStdString(zone.Id));
    canvas.setFont(previousFont);

    const QPoint chevron01[] = {ToQPoint(px[0]), ToQPoint(marks.Apex01), ToQPoint(px[1])};
    canvas.drawPolyline(chevron01, 3);
    if (zone.Arrows >= 2) {
        const QPoint chevron23[] = {ToQPoint(px[2]), ToQPoint(marks.Apex23), ToQPoint(px[3])};
        canvas.drawPolyline(chevron23, 3);
    }
}

void DrawGuides(const TQuadBase& zone, QPainter& canvas, int W, int H, TRGB colour) {
    canvas.setPen(QPen(ToQColor(colour), 1, Qt::DashLine));
    for (const TPixelLine& line : GuideLines(QuadToPixels(zone.Points, W - 1, H - 1)))
        canvas.drawLine(ToQPoint(line.A), ToQPoint(line.B));
}

void DrawQuads(const TQuadList& zones, QPainter& canvas, int W, int H) {
    const int count = zones.Count();
    for (int i = 0; i < count; ++i) {
        const TQuadBase& zone = *zones.Quad(i);
        if (zones.GreyMode) {
            DrawQuad(zone, canvas, W, H, zones.NormalWidth, zones.GreyColor, false);
            continue;
        }
        if (i != zones.SelectedIndex) {
            if (zone.Active)
                DrawQuad(zone, canvas, W, H, zones.ActiveWidth, zones.ActiveColor, false);
            else
                DrawQuad(zone, canvas, W, H, zones.NormalWidth, zones.NormalColor, false);
        }
        if (zones.ShowStrip)
            DrawStripRow(zone, zones, canvas, i, H);
    }
    // The selected zone goes last so that it lies on top of the others.
    if (const TQuadBase* selected = zones.Quad(zones.SelectedIndex); selected && !zones.GreyMode) {
        DrawQuad(*selected, canvas, W, H, zones.NormalWidth, zones.SelectedColor, true);
    }
}
