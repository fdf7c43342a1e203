#include "zones/QuadDrawing.h"
#include "../program/threads_at_exit.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A 201 x 151 view converts with (200, 150), so these corners land on whole pixels:
// P0 (40, 75), P1 (40, 30), P2 (160, 30), P3 (160, 75).
constexpr int W = 201;
constexpr int H = 151;
const TQuadPoints Corners{{{0.2, 0.5}, {0.2, 0.2}, {0.8, 0.2}, {0.8, 0.5}}};

const QColor Green(0, 255, 0);
const QColor Selected(255, 0, 96);
const QColor Red(255, 0, 0);
const QColor Grey(128, 128, 128);

QImage Paint(const std::function<void(QPainter&)>& draw) {
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    draw(painter);
    painter.end();
    return image;
}

int CountInRow(const QImage& image, int y, int x0, int x1, const QColor& colour) {
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += image.pixelColor(x, y) == colour;
    return n;
}

int CountInRect(const QImage& image, const QRect& r, const QColor& colour) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        n += CountInRow(image, y, r.left(), r.right(), colour);
    return n;
}

int CountNotBlack(const QImage& image, const QRect& r) {
    return r.width() * r.height() - CountInRect(image, r, QColor(Qt::black));
}

// One zone over the test corners, no edge marks unless asked.
void Fill(TQuadList& list, int arrows = 0) {
    list.AddQuad(Corners);
    list.Quad(0)->Arrows = static_cast<std::uint8_t>(arrows);
    list.Quad(0)->Id = "88";
}

} // namespace

TEST(DrawQuads, OutlineColoursAndWidthsByState) {
    struct Row {
        const char* name;
        int selected;
        bool active;
        bool grey;
        QColor colour;
        int width;
    };
    const Row rows[] = {{"normal", -1, false, false, Green, 2},
                        {"active", -1, true, false, Red, 3},
                        {"selected", 0, true, false, Selected, 2},
                        {"grey wins over selected and active", 0, true, true, Grey, 2}};
    for (const Row& row : rows) {
        TQuadList list;
        Fill(list);
        list.SelectedIndex = row.selected;
        list.Quad(0)->Active = row.active;
        list.GreyMode = row.grey;
        list.ShowStrip = true;
        const QImage image = Paint([&](QPainter& p) { DrawQuads(list, p, W, H); });
        // Across the left edge at x = 40, halfway down.
        EXPECT_EQ(CountInRow(image, 55, 30, 50, row.colour), row.width) << row.name;
        EXPECT_EQ(CountNotBlack(image, QRect(30, 55, 21, 1)), row.width) << row.name;
        EXPECT_EQ(image.pixelColor(100, 55), QColor(Qt::black)) << row.name << ": hollow";
        EXPECT_EQ(CountNotBlack(image, QRect(0, H - 15, W, 15)) > 0, !row.grey) << row.name;
    }
}

TEST(DrawQuads, HandlesOnlyOnTheSelectedZone) {
    // The handle of P1 (40, 30) spans 36..44; look at its left side below the outline.
    const QRect handleLeftSide(34, 32, 4, 3);
    for (int selected : {-1, 0, 5}) {
        TQuadList list;
        Fill(list);
        list.SelectedIndex = selected;
        const QImage image = Paint([&](QPainter& p) { DrawQuads(list, p, W, H); });
        const bool expectHandles = selected == 0;
        EXPECT_EQ(CountInRect(image, handleLeftSide, Selected) > 0, expectHandles) << selected;
        EXPECT_EQ(CountNotBlack(image, handleLeftSide) > 0, expectHandles) << selected;
    }
}

TEST(DrawQuads, SelectedZoneLiesOnTopOfLaterZones) {
    TQuadList list;
    Fill(list);
    list.AddQuad({{{0.2, 0.5}, {0.2, 0.3}, {0.6, 0.3}, {0.6, 0.5}}}); // shares the left edge
    list.Quad(1)->Arrows = 0;
    list.Quad(1)->Active = true;
    list.SelectedIndex = 0;
    const QImage image = Paint([&](QPainter& p) { DrawQuads(list, p, W, H); });
    EXPECT_GT(CountInRow(image, 60, 30, 50, Selected), 0);
    EXPECT_EQ(CountInRow(image, 60, 30, 50, Red), 1); // only the wider active pen shows
}

TEST(DrawQuad, LabelAndChevronsFollowArrows) {
    const TQuadMarks marks = QuadMarks(QuadToPixels(Corners, W - 1, H - 1));
    // The label starts at (label - 4): the id text lies in this box.
    const QRect labelBox(marks.Label.X - 4, marks.Label.Y - 4, 30, 20);
    for (int arrows : {0, 1, 2}) {
        TQuadList list;
        Fill(list, arrows);
        list.SelectedIndex = -1;
        const QImage image = Paint([&](QPainter& p) { DrawQuads(list, p, W, H); });
        EXPECT_EQ(CountInRect(image, labelBox, Green) > 0, arrows >= 1) << arrows;
        EXPECT_EQ(CountNotBlack(image, labelBox) > 0, arrows >= 1) << arrows;
        EXPECT_EQ(image.pixelColor(marks.Apex01.X, marks.Apex01.Y) == Green, arrows >= 1) << arrows;
        EXPECT_EQ(image.pixelColor(marks.Apex23.X, marks.Apex23.Y) == Green, arrows >= 2) << arrows;
    }
}

TEST(DrawQuads, InfoStripRows) {
    TQuadList list;
    list.AddQuad({{{0.1, 0.4}, {0.1, 0.1}, {0.5, 0.1}, {0.5, 0.4}}});
    list.AddQuad({{{0.6, 0.4}, {0.6, 0.1}, {0.9, 0.1}, {0.9, 0.4}}});
    list.Quad(0)->Id = "1";
    list.Quad(0)->Reading = 10;
    list.Quad(1)->Id = "22";
    list.Quad(1)->Reading = -5;
    list.ShowStrip = true;
    list.SelectedIndex = 0; // the selected zone has its row too

    TStripRow rows[2];
    Qt::BGMode after = Qt::OpaqueMode;
    const QImage image = Paint([&](QPainter& p) {
        for (int i = 0; i < 2; ++i) {
            const QString id = QString::fromStdString(list.Quad(i)->Id);
            rows[i] =
                StripRow(i, 2, H, p.fontMetrics().horizontalAdvance(id), list.Quad(i)->Reading);
        }
        DrawQuads(list, p, W, H);
        after = p.backgroundMode();
    });
    EXPECT_EQ(rows[0].Bar.Top, H - 30 + 3);
    const QColor barColour[] = {Green, QColor(255, 255, 0)};
    for (int i = 0; i < 2; ++i) {
        const TPixelRect& bar = rows[i].Bar;
        const QRect rect(bar.Left, bar.Top, bar.Right - bar.Left, bar.Bottom - bar.Top);
        EXPECT_EQ(CountInRect(image, rect, barColour[i]), rect.width() * rect.height()) << i;
        EXPECT_EQ(image.pixelColor(rect.right() + 1, rect.top()), QColor(Qt::black)) << i;
        // Id text on its dark background.
        EXPECT_GT(
            CountInRect(image, QRect(rows[i].IdAt.X, rows[i].IdAt.Y + 2, 5, 8), QColor(32, 32, 32)),
            0)
            << i;
    }
    // The dark text background must not leak into whatever the view draws next.
    EXPECT_EQ(after, Qt::TransparentMode);

    list.ShowStrip = false;
    const QImage none = Paint([&](QPainter& p) { DrawQuads(list, p, W, H); });
    EXPECT_EQ(CountNotBlack(none, QRect(0, H - 31, W, 31)), 0);
}

TEST(DrawGuides, EdgesExtendAcrossTheView) {
    TQuadBase zone;
    zone.Points = Corners;
    const QImage image = Paint([&](QPainter& p) { DrawGuides(zone, p, W, H, {255, 255, 255}); });
    const QColor white(Qt::white);
    // The top edge (y = 30) reaches both borders, dashed, one pixel wide.
    EXPECT_GT(CountInRow(image, 30, 0, 30, white), 0);
    EXPECT_GT(CountInRow(image, 30, 170, W - 1, white), 0);
    EXPECT_LT(CountInRow(image, 30, 0, W - 1, white), W);
    // The left edge (x = 40) continues below P0 (y = 75), one pixel wide.
    int below = 0;
    for (int y = 80; y < H; ++y) {
        const int n = CountInRow(image, y, 36, 44, white);
        EXPECT_LE(n, 1) << y;
        below += n;
    }
    EXPECT_GT(below, 10);
    EXPECT_EQ(CountInRect(image, QRect(40, 80, 1, H - 80), white), below);
    // Nothing away from the four supporting lines.
    EXPECT_EQ(CountNotBlack(image, QRect(60, 40, 80, 30)), 0);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TThreadsGoneAtExit threads;
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
