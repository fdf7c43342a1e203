#include "frameview_fixture.h"

#include <QStringList>

#include <numbers>

namespace {

// Default zones 0 and 1 on the 400 x 300 view (corners converted with 399 x 299).
const QPoint Zone0Top(200, 90);    // on the top edge of zone 0 only
const QPoint Zone0Only(100, 93);   // inside zone 0 only
const QPoint Zone1Left(88, 118);   // on the left edge of zone 1 only
const QPoint BothInside(160, 115); // inside zones 0 and 1
const QPoint Zone0P0(80, 135);

const TRGB Green{0, 255, 0}, Selected{255, 0, 96}, ActiveRed{255, 0, 0}, Grey{128, 128, 128},
    Cyan{0, 255, 255}, Yellow{255, 255, 0};

double EdgeAngle(const TQuadPoints& p) {
    return std::atan2(p[1].Y - p[0].Y, p[1].X - p[0].X);
}

} // namespace

class ZoneEditor : public FrameView {
protected:
    void SetUp() override {
        FrameView::SetUp();
        std::fill(Imager.FrameBuffer.begin(), Imager.FrameBuffer.end(), 0);
        Imager.OnSelect = [this](TQuadImager&, int index) { SelectEvents.push_back(index); };
        auto write = Imager.OnQuadChanged;
        Imager.OnQuadChanged = [this, write](TQuadImager& sender, int index) {
            ChangeEvents.push_back(index);
            write(sender, index);
        };
        Imager.OnEditFinished = [this](TQuadImager&) { ++EditsFinished; };
    }
    void AddTwo() {
        ASSERT_TRUE(Imager.AddSensorById("1"));
        ASSERT_TRUE(Imager.AddSensorById("2"));
    }

    std::vector<int> SelectEvents;
    std::vector<int> ChangeEvents;
    int EditsFinished = 0;
};

TEST_F(ZoneEditor, OutlineColoursByState) {
    AddTwo();
    ASSERT_EQ(Imager.SelectedIndex, 1);
    EXPECT_EQ(Pixel(Zone0Top.x(), Zone0Top.y()), Green);
    EXPECT_EQ(Pixel(Zone1Left.x(), Zone1Left.y()), Selected);

    Imager.Quad(0)->Active = true;
    Imager.PaintView();
    EXPECT_EQ(Pixel(Zone0Top.x(), Zone0Top.y()), ActiveRed);

    Imager.GreyMode = true;
    Imager.PaintView();
    EXPECT_EQ(Pixel(Zone0Top.x(), Zone0Top.y()), Grey);
    EXPECT_EQ(Pixel(Zone1Left.x(), Zone1Left.y()), Grey);

    Imager.ShowZones = false;
    Imager.PaintView();
    EXPECT_EQ(Pixel(Zone0Top.x(), Zone0Top.y()), (TRGB{0, 0, 0}));
}

TEST_F(ZoneEditor, InfoStripBarIsYellowForNegativeReadings) {
    AddTwo();
    Imager.ShowStrip = true;
    Imager.Quad(0)->Reading = -20;
    Imager.PaintView();
    int yellow = 0;
    for (int y = ViewH - 40; y < ViewH; ++y)
        for (int x = 0; x < 120; ++x)
            yellow += Pixel(x, y) == Yellow;
    EXPECT_GT(yellow, 100);
}

TEST_F(ZoneEditor, CornerPressShowsGuidesUntilTheNextRepaint) {
    AddTwo();
    Imager.SelectedIndex = 0;
    Imager.PaintView();
    auto cyanOnRow = [this](int y) {
        int n = 0;
        for (int x = 0; x < ViewW; ++x)
            n += Pixel(x, y) == Cyan;
        return n;
    };
    EXPECT_EQ(cyanOnRow(10), 0);
    Press(Zone0P0);
    EXPECT_EQ(Imager.DragCorner, 0);
    EXPECT_GT(cyanOnRow(10), 0) << "the supporting line of the left edge crosses the top";
    Release(Zone0P0);
    Imager.PaintView();
    EXPECT_EQ(cyanOnRow(10), 0);
}

TEST_F(ZoneEditor, CommandsRespectTheEightZoneLimit) {
    for (int i = 1; i <= 8; ++i)
        ASSERT_TRUE(Imager.AddSensorById(std::to_string(i)));
    Imager.CopySensor();
    EXPECT_FALSE(Imager.AddSensorById("9"));
    Imager.PasteSensor();
    EXPECT_EQ(Imager.Count(), 8);
    Imager.DeleteSelected();
    EXPECT_EQ(Imager.Count(), 7);
    EXPECT_EQ(Imager.SelectedIndex, 6);
}

TEST_F(ZoneEditor, CommandsRefusedWhenNotEditing) {
    AddTwo();
    Imager.SetEditing(false);
    EXPECT_EQ(Imager.SelectedIndex, -1);
    EXPECT_FALSE(Imager.AddSensorById("3"));
    EXPECT_FALSE(Imager.ChangeSelectedId("3"));
    Imager.DeleteSelected();
    Imager.PasteSensor();
    EXPECT_EQ(Imager.Count(), 2);
    Imager.SetEditing(true);
    EXPECT_EQ(Imager.SelectedIndex, 1);
}

TEST_F(ZoneEditor, PasteWithoutCopyGivesTheDefaultZone) {
    AddTwo();
    Imager.PasteSensor();
    ASSERT_EQ(Imager.Count(), 3);
    EXPECT_TRUE(Near(Corners(2), DefaultQuad(2)));
    EXPECT_EQ(Imager.Quad(2)->Id, "3");
    EXPECT_EQ(Imager.SelectedIndex, 2);
}

TEST_F(ZoneEditor, PastedCopiesAreOffsetByTheZoneCount) {
    AddTwo();
    Imager.SelectedIndex = 0;
    Imager.CopySensor();
    const TQuadPoints copied = Corners(0);
    Imager.PasteSensor();
    Imager.PasteSensor();
    ASSERT_EQ(Imager.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Near(Corners(2)[i], {copied[i].X + 0.02, copied[i].Y + 0.02})) << i;
        EXPECT_TRUE(Near(Corners(3)[i], {copied[i].X + 0.03, copied[i].Y + 0.03})) << i;
    }
    EXPECT_EQ(Imager.Quad(2)->Id, "3");
    EXPECT_EQ(Imager.Quad(3)->Id, "4");
}

TEST_F(ZoneEditor, PasteNearTheEdgeIsPushedBackInside) {
    Imager.Config->AddSensor(Imager, "1", {{{0.8, 0.8}, {0.8, 0.99}, {0.99, 0.99}, {0.99, 0.8}}});
    Imager.SelectedIndex = 0;
    Imager.CopySensor();
    Imager.PasteSensor();
    const TQuadPoints pasted = Corners(1);
    EXPECT_TRUE(Near(pasted[2], {1.0, 1.0}));
    EXPECT_TRUE(Near(pasted[0], {0.81, 0.81})) << "shape kept, shifted back by the overshoot";
}

struct TIdsCase {
    const char* Name;
    std::vector<std::string> Ids;
    int Expected;
};

class NextFreeId : public FrameView, public ::testing::WithParamInterface<TIdsCase> {};

TEST_P(NextFreeId, SmallestUnusedPositive) {
    for (const std::string& id : GetParam().Ids)
        Imager.Config->AddEmptySensor(Imager, id);
    EXPECT_EQ(Imager.NextFreeId(), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, NextFreeId,
    ::testing::Values(TIdsCase{"Empty", {}, 1}, TIdsCase{"Gap", {"1", "2", "4"}, 3},
                      TIdsCase{"Unreadable", {"a", "2"}, 1}, TIdsCase{"Full", {"2", "1"}, 3},
                      TIdsCase{"LeadingZero", {"01"}, 2}, TIdsCase{"Trailing", {"1x"}, 1}),
    [](const auto& info) { return info.param.Name; });

TEST_F(ZoneEditor, ChangeIdMovesTheZoneToTheEndAndKeepsCorners) {
    AddTwo();
    Imager.SelectedIndex = 0;
    const TQuadPoints corners = Corners(0);
    ASSERT_TRUE(Imager.ChangeSelectedId("7"));
    EXPECT_EQ(Imager.SelectedIndex, 0);
    EXPECT_EQ(Imager.Quad(1)->Id, "7");
    EXPECT_TRUE(Near(Corners(1), corners));
    QStringList ids{"stale"};
    Imager.GetIds(ids);
    EXPECT_EQ(ids, QStringList({"2", "7"}));
}

TEST_F(ZoneEditor, VideoRateRange) {
    for (int rate : {25, 0, 99})
        Imager.SetVideoRate(rate);
    EXPECT_EQ(Imager.VideoRate, 99);
    Imager.SetVideoRate(100);
    Imager.SetVideoRate(-1);
    EXPECT_EQ(Imager.VideoRate, 99);
}

TEST_F(ZoneEditor, DragInsideMovesTheZoneAndWritesItBack) {
    AddTwo();
    Imager.SelectedIndex = 0;
    const TQuadPoints before = Corners(0);
    const QPoint start = Zone0Only;
    Press(start);
    EXPECT_TRUE(Imager.Moving);
    Move(start + QPoint(20, 15), Qt::LeftButton);
    Move(start + QPoint(40, 30), Qt::LeftButton);
    Release(start + QPoint(40, 30));
    EXPECT_FALSE(Imager.Moving);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Near(Corners(0)[i], {before[i].X + 0.1, before[i].Y + 0.1})) << i;
    EXPECT_TRUE(Near(StoredCorners(0), Corners(0)));
    EXPECT_EQ(ChangeEvents, (std::vector<int>{0, 0}));
}

TEST_F(ZoneEditor, PressSelectsTheFirstZoneUnderTheMouse) {
    AddTwo();
    Imager.SelectedIndex = 1;
    Press(Zone0Only);
    EXPECT_EQ(Imager.SelectedIndex, 0);
    EXPECT_TRUE(Imager.Moving);
    Release(Zone0Only);
    Press(QPoint(350, 250)); // nothing here: the selection stays, the event still fires
    EXPECT_EQ(Imager.SelectedIndex, 0);
    EXPECT_FALSE(Imager.Moving);
    EXPECT_EQ(ChangeEvents, (std::vector<int>{0, 0}));
}

TEST_F(ZoneEditor, CornerDraggedAcrossTheOppositeEdgeStopsAtTheLastValidPlace) {
    AddTwo();
    Imager.SelectedIndex = 0;
    Press(Zone0P0);
    ASSERT_EQ(Imager.DragCorner, 0);
    // Ctrl held: (200, 135) lies within snapping range of zone 1's lower edge.
    Move(QPoint(200, 135), Qt::LeftButton, Qt::ControlModifier); // still convex
    Move(QPoint(300, 60), Qt::LeftButton, Qt::ControlModifier);  // past the far corner: crossed
    Release(QPoint(300, 60));
    EXPECT_EQ(Imager.DragCorner, -1);
    EXPECT_TRUE(Near(Corners(0)[0], {0.5, 0.45}));
    EXPECT_TRUE(Near(StoredCorners(0)[0], {0.5, 0.45}));
    EXPECT_TRUE(Near(Corners(0)[2], DefaultQuad(0)[2]));
}

TEST_F(ZoneEditor, DoubleClickCyclesThroughOverlappingZones) {
    AddTwo();
    ASSERT_EQ(Imager.SelectedIndex, 1);
    DoubleClick(BothInside);
    EXPECT_EQ(Imager.SelectedIndex, 0);
    DoubleClick(BothInside);
    EXPECT_EQ(Imager.SelectedIndex, 1);
    DoubleClick(Zone0Only); // only zone 0: selected by the press, kept by the double click
    EXPECT_EQ(Imager.SelectedIndex, 0);
}

TEST_F(ZoneEditor, RightButtonReportsTheSelection) {
    Press(QPoint(10, 10), Qt::RightButton);
    AddTwo();
    Press(QPoint(10, 10), Qt::RightButton);
    Imager.SetEditing(false);
    Press(QPoint(10, 10), Qt::RightButton);
    EXPECT_EQ(SelectEvents, (std::vector<int>{-1, 1, -1}));
}

TEST_F(ZoneEditor, ShiftWheelRotatesCornerOrderAndFourStepsRestoreIt) {
    AddTwo();
    Move(BothInside);
    const TQuadPoints first = Corners(1);
    ASSERT_TRUE(Wheel(-120, Qt::ShiftModifier));
    EXPECT_TRUE(Near(Corners(1)[0], first[1]));
    EXPECT_TRUE(Near(Corners(1)[3], first[0]));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Wheel(-120, Qt::ShiftModifier));
    EXPECT_TRUE(Near(Corners(1), first, 1e-12));
    ASSERT_TRUE(Wheel(120, Qt::ShiftModifier));
    EXPECT_TRUE(Near(Corners(1)[0], first[3]));
    EXPECT_TRUE(Near(StoredCorners(1), Corners(1)));
}

TEST_F(ZoneEditor, WheelNeedsTheLastPointInsideTheSelectedZone) {
    AddTwo();
    Move(QPoint(350, 250));
    const TQuadPoints before = Corners(1);
    EXPECT_FALSE(Wheel(120));
    EXPECT_TRUE(Near(Corners(1), before, 0));
    Imager.SetEditing(false);
    Move(BothInside);
    EXPECT_FALSE(Wheel(120));
}

TEST_F(ZoneEditor, CtrlWheelDownOnATinyZoneChangesNothing) {
    Imager.Config->AddSensor(Imager, "1", {{{0.5, 0.5}, {0.5, 0.531}, {0.6, 0.531}, {0.6, 0.5}}});
    Imager.SelectedIndex = 0;
    Move(QPoint(220, 154));
    const TQuadPoints tiny = Corners(0);
    ASSERT_TRUE(Wheel(-120, Qt::ControlModifier));
    EXPECT_TRUE(Near(Corners(0), tiny, 0));
    ASSERT_TRUE(Wheel(120, Qt::ControlModifier));
    EXPECT_GT(Corners(0)[2].X - Corners(0)[0].X, 0.105);
}

// Touchpads begin and end a scroll with wheel events that carry no delta.
TEST_F(ZoneEditor, WheelWithoutDeltaChangesNothing) {
    AddTwo();
    Move(BothInside);
    const TQuadPoints before = Corners(1);
    const std::string document = Imager.Config->AsText();
    const int finished = EditsFinished;
    ChangeEvents.clear();
    for (const Qt::KeyboardModifiers held :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::AltModifier), Qt::KeyboardModifiers(Qt::NoModifier)}) {
        for (int i = 0; i < 3; ++i)
            Wheel(0, held);
        EXPECT_TRUE(Near(Corners(1), before, 0)) << "modifiers " << held.toInt();
    }
    EXPECT_EQ(Imager.Config->AsText(), document);
    EXPECT_TRUE(ChangeEvents.empty());
    EXPECT_EQ(EditsFinished, finished);
}

struct TRotateCase {
    const char* Name;
    Qt::KeyboardModifiers Modifiers;
    Qt::MouseButtons Buttons;
    int Delta;
    double Degrees;
};

class WheelRotation : public ZoneEditor, public ::testing::WithParamInterface<TRotateCase> {};

TEST_P(WheelRotation, TurnsAboutTheCentre) {
    const TRotateCase& c = GetParam();
    ASSERT_TRUE(Imager.AddSensorById("1"));
    Move(QPoint(160, 115));
    const TQuadPoints before = Corners(0);
    ASSERT_TRUE(Wheel(c.Delta, c.Modifiers, c.Buttons));
    const double turned = (EdgeAngle(Corners(0)) - EdgeAngle(before)) * 180 / std::numbers::pi;
    EXPECT_NEAR(turned, c.Degrees, 0.01);
    EXPECT_TRUE(Near(QuadCentre(Corners(0)), QuadCentre(before), 1e-9));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WheelRotation,
    ::testing::Values(TRotateCase{"Plain", Qt::NoModifier, Qt::NoButton, 120, 5},
                      TRotateCase{"PlainDown", Qt::NoModifier, Qt::NoButton, -240, -10},
                      TRotateCase{"Alt", Qt::AltModifier, Qt::NoButton, 120, 1},
                      TRotateCase{"Middle", Qt::NoModifier, Qt::MiddleButton, -120, -1}),
    [](const auto& info) { return info.param.Name; });

TEST(ZoneEditorLifetime, PanelGoneWithItsParentIsNotUsed) {
    auto imager = std::make_unique<TQuadImager>();
    {
        QWidget form;
        form.resize(200, 100);
        imager->Attach(&form, &form);
        EXPECT_NE(imager->Panel(), nullptr);
    }
    EXPECT_EQ(imager->Panel(), nullptr);
    imager->PaintView();
    imager->Resize();
    imager.reset();
}
