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

// The zone's name beside its first edge. Of all the zones' drawing only this blends with the
// picture beneath (its letters are smoothed), which is why the overlay draws it afresh each time.
void DrawLabel(const TQuadBase& zone, QPainter& canvas, const TQuadMarks& marks) {
    QFont bold = canvas.font();
    bold.setBold(true);
    const QFont previousFont = canvas.font();
    canvas.setFont(bold);
    DrawTextAt(canvas, {marks.Label.X - 4, marks.Label.Y - 4}, QString::fromStdString(zone.Id));
    canvas.setFont(previousFont);
}

// Calls `draw` (zone, index, pen width, colour, with handles) for each zone in the order in which
// they are drawn, and `strip` (zone, index) where its strip row comes.
template <typename TDraw, typename TStrip>
void InDrawingOrder(const TQuadList& zones, TDraw draw, TStrip strip) {
    const int count = zones.Count();
    for (int i = 0; i < count; ++i) {
        const TQuadBase& zone = *zones.Quad(i);
        if (zones.GreyMode) {
            draw(zone, zones.NormalWidth, zones.GreyColor, false);
            continue;
        }
        if (i != zones.SelectedIndex) {
            if (zone.Active)
                draw(zone, zones.ActiveWidth, zones.ActiveColor, false);
            else
                draw(zone, zones.NormalWidth, zones.NormalColor, false);
        }
        if (zones.ShowStrip)
            strip(zone, i);
    }
    // The selected zone goes last so that it lies on top of the others.
    if (const TQuadBase* selected = zones.Quad(zones.SelectedIndex); selected && !zones.GreyMode)
        draw(*selected, zones.NormalWidth, zones.SelectedColor, true);
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
    DrawLabel(zone, canvas, marks);

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
    InDrawingOrder(
        zones,
        [&](const TQuadBase& zone, int penWidth, TRGB colour, bool withHandles) {
            DrawQuad(zone, canvas, W, H, penWidth, colour, withHandles);
        },
        [&](const TQuadBase& zone, int index) { DrawStripRow(zone, zones, canvas, index, H); });
}

void DrawQuadLabels(const TQuadList& zones, QPainter& canvas, int W, int H) {
    InDrawingOrder(
        zones,
        [&](const TQuadBase& zone, int penWidth, TRGB colour, bool) {
            if (zone.Arrows < 1)
                return;
            // The same pen as DrawQuad's, since the text takes its colour from it.
            canvas.setPen(
                QPen(ToQColor(colour), penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            canvas.setBrush(Qt::NoBrush);
            DrawLabel(zone, canvas, QuadMarks(QuadToPixels(zone.Points, W - 1, H - 1)));
        },
        [](const TQuadBase&, int) {});
}

void AppendDrawingKey(const TQuadList& zones, int W, int H, std::string& key) {
    const auto put = [&key](const auto& value) {
        key.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    for (const TRGB c :
         {zones.NormalColor, zones.SelectedColor, zones.ActiveColor, zones.GreyColor})
        put(c);
    put(W);
    put(H);
    put(zones.ActiveWidth);
    put(zones.NormalWidth);
    put(zones.SelectedIndex);
    put(zones.GreyMode);
    put(zones.ShowStrip);
    put(zones.Count());
    for (int i = 0; i < zones.Count(); ++i) {
        const TQuadBase& zone = *zones.Quad(i);
        put(zone.Id.size());
        key += zone.Id;
        for (const TFloatPoint& p : zone.Points) {
            put(p.X);
            put(p.Y);
        }
        put(zone.Arrows);
        put(zone.Active);
        put(zone.Reading);
    }
}
