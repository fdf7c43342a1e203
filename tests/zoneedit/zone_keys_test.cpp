// Precise editing in the frame view, driven by real key and mouse events: the active corner, the
// arrow keys and their undo steps, and the snapping marker.
#include "../frameview/frameview_fixture.h"
#include "../program/qt_wait.h"

#include <QKeyEvent>

namespace {

// Default zones 0 and 1 on the 400 x 300 view (corners converted with 399 x 299).
const QPoint Zone0P0(80, 135);
const QPoint Zone0P3(239, 135);
const QPoint Zone1Only(200, 139);   // inside zone 1, below zone 0
const QPoint NearZone1P3(245, 139); // 3.6 px from zone 1's P3 (248, 141 on the 400 x 300 grid)

const TRGB Crimson{255, 0, 96}, Yellow{255, 255, 0};

class ZoneKeys : public FrameView {
protected:
    void SetUp() override {
        FrameView::SetUp();
        std::fill(Imager.FrameBuffer.begin(), Imager.FrameBuffer.end(), 0);
        Imager.OnEditFinished = [this](TQuadImager&) { ++EditsFinished; };
        Imager.Clock = [this] { return Now; };
        ASSERT_TRUE(Imager.AddSensorById("1"));
        ASSERT_TRUE(Imager.AddSensorById("2"));
        Imager.SelectedIndex = 0;
        Imager.PaintView();
        EditsFinished = 0;
    }
    // Through the main form, where the keys of the window arrive.
    bool Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        event.setAccepted(false);
        QApplication::sendEvent(&Form, &event);
        return event.isAccepted();
    }
    int CountOf(TRGB colour, QRect area) const {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += Pixel(x, y) == colour;
        return n;
    }
    static QRect HandleArea(QPoint corner) { return {corner.x() - 4, corner.y() - 4, 9, 9}; }

    long long Now = 1000;
    int EditsFinished = 0;
};

TEST_F(ZoneKeys, PressOnAHandleMakesTheActiveCornerDrawnFilled) {
    const int hollow = CountOf(Crimson, HandleArea(Zone0P0));
    EXPECT_EQ(Imager.ActiveCorner(), -1);
    Press(Zone0P0);
    Release(Zone0P0);
    EXPECT_EQ(Imager.ActiveCorner(), 0) << "stays active after the release";
    Imager.PaintView(); // the guide lines of the press go
    EXPECT_EQ(CountOf(Crimson, HandleArea(Zone0P0)), 81);
    EXPECT_LT(hollow, 60);
    EXPECT_FALSE(Key(Qt::Key_Escape) && Imager.ActiveCorner() != -1);
    EXPECT_EQ(Imager.ActiveCorner(), -1);
    EXPECT_EQ(CountOf(Crimson, HandleArea(Zone0P0)), hollow);
    EXPECT_FALSE(Key(Qt::Key_Escape)) << "with no active corner Escape is left to the window";
}

TEST_F(ZoneKeys, TabCyclesAndAnotherSelectionClears) {
    struct Step {
        int Key;
        Qt::KeyboardModifiers Mods;
        int Active;
    } steps[] = {{Qt::Key_Tab, Qt::NoModifier, 0},        {Qt::Key_Tab, Qt::NoModifier, 1},
                 {Qt::Key_Backtab, Qt::ShiftModifier, 0}, {Qt::Key_Backtab, Qt::ShiftModifier, 3},
                 {Qt::Key_Tab, Qt::NoModifier, 0},        {Qt::Key_Escape, Qt::NoModifier, -1},
                 {Qt::Key_Backtab, Qt::ShiftModifier, 3}};
    for (const Step& s : steps) {
        EXPECT_TRUE(Key(s.Key, s.Mods));
        EXPECT_EQ(Imager.ActiveCorner(), s.Active) << s.Key;
    }
    EXPECT_FALSE(Key(Qt::Key_Tab, Qt::ControlModifier)) << "Ctrl+Tab is the windows' own";
    Press(Zone1Only);
    Release(Zone1Only);
    EXPECT_EQ(Imager.SelectedIndex, 1);
    EXPECT_EQ(Imager.ActiveCorner(), -1);
    // Shift+wheel renumbers the corners: the active one stays the same point.
    ASSERT_TRUE(Key(Qt::Key_Tab));
    const TFloatPoint p0 = Corners(1)[0];
    ASSERT_TRUE(Wheel(-120, Qt::ShiftModifier));
    ASSERT_EQ(Imager.ActiveCorner(), 3);
    EXPECT_EQ(Corners(1)[3].X, p0.X);
    EXPECT_EQ(Corners(1)[3].Y, p0.Y);
}

TEST_F(ZoneKeys, ArrowsMoveTheActiveCornerOrTheZone) {
    const TQuadPoints start = StoredCorners(0);
    EXPECT_TRUE(Key(Qt::Key_Right));
    EXPECT_TRUE(Key(Qt::Key_Down, Qt::ShiftModifier));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Near(StoredCorners(0)[i], {start[i].X + 0.001, start[i].Y + 0.01}, 1e-9));
    ASSERT_TRUE(Key(Qt::Key_Tab));
    ASSERT_TRUE(Key(Qt::Key_Tab)); // P1
    EXPECT_TRUE(Key(Qt::Key_Left, Qt::ShiftModifier | Qt::KeypadModifier));
    EXPECT_TRUE(Near(StoredCorners(0)[1], {start[1].X - 0.009, start[1].Y + 0.01}, 1e-9));
    EXPECT_TRUE(Near(StoredCorners(0)[0], {start[0].X + 0.001, start[0].Y + 0.01}, 1e-9));
    EXPECT_FALSE(Key(Qt::Key_Left, Qt::AltModifier)) << "not ours";

    Imager.SetEditing(false);
    Imager.SelectedIndex = 0;
    const TQuadPoints viewing = StoredCorners(0);
    EXPECT_FALSE(Key(Qt::Key_Right));
    EXPECT_FALSE(Key(Qt::Key_Tab));
    EXPECT_TRUE(Near(StoredCorners(0), viewing, 0));
}

// One step per run of presses with gaps under a second; anything else the user does ends a run.
TEST_F(ZoneKeys, ARunOfArrowPressesIsOneStep) {
    Key(Qt::Key_Right);
    Now += 400;
    Key(Qt::Key_Right);
    Now += 999;
    Key(Qt::Key_Up);
    EXPECT_EQ(EditsFinished, 0);
    Now += 1000;
    Key(Qt::Key_Up);
    EXPECT_EQ(EditsFinished, 1) << "a second's pause began a new run";
    Key(Qt::Key_Shift); // on the way to Shift+arrow: no end of the run
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(EditsFinished, 1);
    Key(Qt::Key_F2);
    EXPECT_EQ(EditsFinished, 2);
    Key(Qt::Key_Left);
    Press(QPoint(5, 5));
    EXPECT_EQ(EditsFinished, 3);
    Key(Qt::Key_Left);
    Imager.DeleteSelected();
    EXPECT_EQ(EditsFinished, 5) << "the run and the deletion are steps of their own";
}

// Left alone, the run ends by itself once a second has passed without a press.
TEST_F(ZoneKeys, ARunEndsAfterItsPause) {
    Imager.Clock = nullptr;
    Key(Qt::Key_Right);
    EXPECT_TRUE(WaitUntil([&] { return EditsFinished == 1; }, 5000));
}

TEST_F(ZoneKeys, DraggedCornerSnapsWithAMarkerWhileTheDragLasts) {
    const QRect around(NearZone1P3.x() - 12, NearZone1P3.y() - 12, 25, 25);
    Press(Zone0P3);
    Move(NearZone1P3, Qt::LeftButton);
    EXPECT_EQ(Corners(0)[3].X, Corners(1)[3].X);
    EXPECT_EQ(Corners(0)[3].Y, Corners(1)[3].Y);
    ASSERT_TRUE(Imager.SnapMarker());
    EXPECT_GT(CountOf(Yellow, around), 10);
    Release(NearZone1P3);
    EXPECT_FALSE(Imager.SnapMarker());
    EXPECT_EQ(CountOf(Yellow, around), 0);
    EXPECT_EQ(EditsFinished, 1);

    Press(Zone0P3 + QPoint(8, 6));
    Move(NearZone1P3, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_TRUE(Near(Corners(0)[3], PixelToFloat({245, 139}, ViewW, ViewH), 0));
    EXPECT_FALSE(Imager.SnapMarker());
    EXPECT_EQ(CountOf(Yellow, around), 0);
    Release(NearZone1P3);
}

// The zone follows the mouse, not its snapped place: past the range it comes free again.
TEST_F(ZoneKeys, DraggedZoneSnapsAndComesFree) {
    Imager.SelectedIndex = 1;
    const QPoint inside(200, 120);
    const TQuadPoints start = Corners(1);
    Press(inside);
    // Zone 1's P1 (88, 96) comes 3 px right of zone 0's P1 (80, 90 on the 400 grid). Zone 1 is
    // zone 0 moved, so its other corners come as near to their partners: which pair snaps is a
    // tie, but one pair meets to the very number.
    Move(inside + QPoint(-5, -6), Qt::LeftButton);
    int met = 0;
    for (int k = 0; k < 4; ++k)
        met += Corners(1)[k].X == Corners(0)[k].X && Corners(1)[k].Y == Corners(0)[k].Y;
    EXPECT_GE(met, 1);
    EXPECT_TRUE(Imager.SnapMarker());
    Move(inside + QPoint(-5, -30), Qt::LeftButton);
    EXPECT_FALSE(Imager.SnapMarker());
    EXPECT_TRUE(Near(Corners(1)[1], {start[1].X - 5.0 / ViewW, start[1].Y - 30.0 / ViewH}, 1e-9));
    Release(inside + QPoint(-5, -30));
}

} // namespace
