// Undo and redo of zone edits in the frame view, driven by real mouse, wheel and key events.
#include "../frameview/frameview_fixture.h"

#include "safeconfig/ConfigSnapshot.h"
#include "safeconfig/UndoRecorder.h"

#include <QKeyEvent>

#include <functional>

namespace {

// Default zones 0 and 1 on the 400 x 300 view; zone 1 (selected after adding) lies on top.
const QPoint BothInside(160, 115);
const QPoint Zone0Only(100, 93);

QPoint CornerPixel(const TFloatPoint& p, int w, int h) {
    return {RoundHalfEven(p.X * (w - 1)), RoundHalfEven(p.Y * (h - 1))};
}

} // namespace

class UndoEditor : public FrameView {
protected:
    void SetUp() override {
        FrameView::SetUp();
        ASSERT_TRUE(Imager.AddSensorById("1"));
        ASSERT_TRUE(Imager.AddSensorById("2"));
        Undo.Reset();
    }
    bool Key(int key, Qt::KeyboardModifiers mods) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        e.setAccepted(false);
        QApplication::sendEvent(&Form, &e);
        return e.isAccepted();
    }
    std::string Doc() { return DocumentText(*Imager.Config); }
    // The zones as drawn must be the zones of the document.
    void ExpectZonesFollowDocument(const char* what) {
        TQuadList reread;
        Imager.Config->ReadSensors(reread);
        ASSERT_EQ(reread.Count(), Imager.Count()) << what;
        for (int i = 0; i < reread.Count(); ++i) {
            EXPECT_EQ(reread.Quad(i)->Id, Imager.Quad(i)->Id) << what;
            EXPECT_TRUE(Near(reread.Quad(i)->Points, Imager.Quad(i)->Points)) << what;
        }
    }
    // The view only tells of its edits and undo keys: the steps are kept here.
    TUndoRecorder Undo{Imager};
};

TEST_F(UndoEditor, EachEditIsOneStepUndoneAndRedoneToTheExactBytes) {
    struct Row {
        const char* Name;
        std::function<void()> Edit;
    } rows[] = {
        {"drag of a corner",
         [&] {
             const QPoint p0 = CornerPixel(Imager.Quad(1)->Points[0], ViewW, ViewH);
             Press(p0);
             for (int dx = 2; dx <= 12; dx += 2)
                 Move(p0 + QPoint(-dx, dx / 2), Qt::LeftButton);
             Release(p0 + QPoint(-12, 6));
         }},
        {"drag of the whole zone",
         [&] {
             Press(BothInside);
             for (int dx = 5; dx <= 40; dx += 5)
                 Move(BothInside + QPoint(dx, dx / 4), Qt::LeftButton);
             Release(BothInside + QPoint(40, 10));
         }},
        {"wheel rotation",
         [&] {
             Move(BothInside);
             ASSERT_TRUE(Wheel(120));
         }},
        {"wheel scaling",
         [&] {
             Move(BothInside);
             ASSERT_TRUE(Wheel(120, Qt::ControlModifier));
         }},
        {"marked edge moved",
         [&] {
             Move(BothInside);
             ASSERT_TRUE(Wheel(-120, Qt::ShiftModifier));
         }},
        {"id change", [&] { ASSERT_TRUE(Imager.ChangeSelectedId("17")); }},
        {"create", [&] { ASSERT_TRUE(Imager.AddSensorById("3")); }},
        {"delete", [&] { Imager.DeleteSelected(); }},
        {"paste",
         [&] {
             Imager.CopySensor();
             Imager.PasteSensor();
         }},
    };
    for (const Row& r : rows) {
        Imager.Config->TopNode.reset();
        Imager.Config->ReadSensors(Imager);
        ASSERT_TRUE(Imager.AddSensorById("1"));
        ASSERT_TRUE(Imager.AddSensorById("2"));
        Undo.Reset();
        const std::string before = Doc();
        r.Edit();
        const std::string after = Doc();
        ASSERT_NE(after, before) << r.Name;
        EXPECT_EQ(Undo.Steps().UndoCount(), 1u) << r.Name;

        EXPECT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier)) << r.Name;
        EXPECT_EQ(Doc(), before) << r.Name;
        ExpectZonesFollowDocument(r.Name);
        EXPECT_TRUE(Key(Qt::Key_Y, Qt::ControlModifier)) << r.Name;
        EXPECT_EQ(Doc(), after) << r.Name;
        ExpectZonesFollowDocument(r.Name);
        Key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier)) << r.Name;
        EXPECT_EQ(Doc(), after) << r.Name;
    }
}

TEST_F(UndoEditor, SelectingIsNoStepAndANewEditDropsRedo) {
    // A click on the other zone only selects it.
    Press(Zone0Only);
    Release(Zone0Only);
    EXPECT_EQ(Imager.SelectedIndex, 0);
    EXPECT_EQ(Undo.Steps().UndoCount(), 0u);
    Imager.DeleteSelected();
    Imager.DeleteSelected();
    ASSERT_EQ(Imager.Count(), 0);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Imager.Count(), 1);
    ASSERT_TRUE(Imager.AddSensorById("5"));
    EXPECT_EQ(Undo.Steps().RedoCount(), 0u);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Imager.Count(), 2); // the undone delete does not come back
    EXPECT_EQ(Imager.Quad(1)->Id, "5");
}

TEST_F(UndoEditor, UndoKeysActOnlyInEditingMode) {
    Imager.DeleteSelected();
    Imager.SetEditing(false);
    EXPECT_FALSE(Key(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_EQ(Imager.Count(), 1);
    Imager.SetEditing(true);
    EXPECT_FALSE(Key(Qt::Key_Z, Qt::AltModifier)); // not an undo key: left to the form
    EXPECT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_EQ(Imager.Count(), 2);
}
