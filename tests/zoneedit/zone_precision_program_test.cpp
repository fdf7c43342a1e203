// Precise zone editing in the program: arrow keys and a snapping drag saved with F2, undone with
// Ctrl+Z, and the corner table from the main menu.
#include "../program/program_test_main.h"

#include "../program/program_fixture.h"
#include "lang/lang_res.h"
#include "safeconfig/SafeConfig.h"
#include "safeconfig/UndoRecorder.h"
#include "zoneedit/CornerTableForm.h"

#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

bool Near(const TQuadPoints& a, const TQuadPoints& b, double eps) {
    for (int i = 0; i < 4; ++i)
        if (std::abs(a[i].X - b[i].X) > eps || std::abs(a[i].Y - b[i].Y) > eps)
            return false;
    return true;
}

bool Near(TFloatPoint a, TFloatPoint b, double eps) {
    return std::abs(a.X - b.X) <= eps && std::abs(a.Y - b.Y) <= eps;
}

// One corner as the document writes it.
std::string CornerText(const TQuadPoints& corners, int corner) {
    const TQuadPoints one{corners[corner], corners[corner], corners[corner], corners[corner]};
    const std::string text = QuadToText(one);
    return text.substr(0, text.find(' ', text.find(' ') + 1));
}

class ZonePrecisionProgram : public ProgramTest<> {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        // Every press of a test belongs to one run, however slowly the machine goes.
        Box->Clock = [] { return 0LL; };
        ASSERT_TRUE(Box->AddSensorById("1"));
        ASSERT_TRUE(Box->AddSensorById("2"));
        ASSERT_GT(Box->ViewWidth, 100);
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(Form.get(), &e);
    }
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), QPointF(Box->Panel()->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(Box->Panel(), &e);
    }
    // A corner as drawn on the view.
    QPoint Drawn(int zone, int corner) const {
        const TPixelQuad px =
            QuadToPixels(Box->Quad(zone)->Points, Box->ViewWidth - 1, Box->ViewHeight - 1);
        return {px[corner].X, px[corner].Y};
    }
    // The zones of the file F2 writes.
    std::vector<TQuadPoints> Saved() {
        const QString file = Dir.path() + "/saved.xml";
        User->Files = {file};
        Key(Qt::Key_F2);
        TXMLConfig saved;
        TQuadList zones;
        EXPECT_TRUE(saved.LoadFromFile(file.toStdString()));
        saved.ReadSensors(zones);
        std::vector<TQuadPoints> corners;
        for (int i = 0; i < zones.Count(); ++i)
            corners.push_back(zones.Quad(i)->Points);
        return corners;
    }
    std::size_t Steps() const { return Box->SafeConfig->Undo().Steps().UndoCount(); }
    QAction* CoordinatesItem() {
        for (QAction* a : Box->BuildMainMenu(Box->SelectedIndex)->actions())
            if (a->data().toInt() == static_cast<int>(TMenuCommand::ZoneCoordinates))
                return a;
        return nullptr;
    }
};

TEST_F(ZonePrecisionProgram, ArrowKeysAreSavedAndUndoneInOneStep) {
    Box->SelectedIndex = 0;
    const TQuadPoints start = Box->Quad(0)->Points;
    const std::string document = Box->Config->AsText();
    const std::size_t steps = Steps();
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    const std::vector<TQuadPoints> saved = Saved();
    ASSERT_EQ(saved.size(), 2u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(saved[0][i].X, start[i].X + 0.003, 1e-9) << "P" << i;
        EXPECT_NEAR(saved[0][i].Y, start[i].Y + 0.010, 1e-9) << "P" << i;
    }
    EXPECT_EQ(Steps(), steps + 1);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Box->Config->AsText(), document);
    EXPECT_TRUE(Near(Box->Quad(0)->Points, start, 1e-9));
    EXPECT_EQ(Steps(), steps);
}

TEST_F(ZonePrecisionProgram, CornerDraggedNearANeighbourMeetsItExactly) {
    Box->SelectedIndex = 1;
    Box->PaintView();
    const QPoint from = Drawn(1, 3);
    const QPoint to = Drawn(0, 3) + QPoint(3, 2);
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(Box->DragCorner, 3);
    Mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    const std::vector<TQuadPoints> saved = Saved();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[1][3].X, saved[0][3].X);
    EXPECT_EQ(saved[1][3].Y, saved[0][3].Y);
    EXPECT_EQ(CornerText(saved[1], 3), CornerText(saved[0], 3));
}

TEST_F(ZonePrecisionProgram, CoordinatesItemNeedsASelectionInEditMode) {
    SelectLanguage(LangEnglish);
    Box->SelectedIndex = 0;
    QAction* item = CoordinatesItem();
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(), "Zone coordinates...");
    EXPECT_TRUE(item->isEnabled());
    Box->SelectedIndex = 5;
    EXPECT_FALSE(CoordinatesItem()->isEnabled()) << "no valid selection";
    Box->SetEditing(false);
    EXPECT_FALSE(CoordinatesItem()->isEnabled());
    SelectLanguage(LangRussian);
}

TEST_F(ZonePrecisionProgram, CornerTableAppliesOneStep) {
    Box->SelectedIndex = 0;
    const std::size_t steps = Steps();
    const TQuadPoints start = Box->Quad(0)->Points;
    TCornerTableForm* shown = nullptr;
    User->OnExec = [&](QDialog* dialog) {
        shown = qobject_cast<TCornerTableForm*>(dialog);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->Edit(0, 0)->value(), 0.2);
        EXPECT_EQ(shown->Edit(0, 1)->value(), 0.45);
        EXPECT_EQ(shown->PixelLabel(2, 0)->text(),
                  QLocale().toString(0.6 * Box->FrameWidth, 'f', 1));
        EXPECT_EQ(shown->MarkLabel()->text(), Lang(ltCornerMarkedEdge));
        shown->Edit(0, 0)->setValue(0.15);
        shown->Edit(1, 1)->setValue(0.251);
    };
    CoordinatesItem()->trigger();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->windowTitle(), Lang(ltZoneCoordinatesCaption));
    EXPECT_TRUE(User->Informed.empty());
    EXPECT_TRUE(Near(Box->Quad(0)->Points[0], {0.15, 0.45}, 1e-9));
    EXPECT_TRUE(Near(Box->Quad(0)->Points[1], {0.2, 0.251}, 1e-9));
    EXPECT_EQ(Steps(), steps + 1);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(Near(Box->Quad(0)->Points, start, 1e-9));

    // Cancelled: nothing changes.
    User->ExecAnswer = false;
    CoordinatesItem()->trigger();
    EXPECT_TRUE(Near(Box->Quad(0)->Points, start, 1e-9));
    EXPECT_EQ(Steps(), steps);
}

// A zone the rules refuse is named by the rule, and nothing changes.
TEST_F(ZonePrecisionProgram, CornerTableRefusesAnInvalidZone) {
    struct Row {
        const char* Name;
        TQuadPoints Corners;
        int Text;
    } rows[] = {
        {"crossed", {{{0.2, 0.45}, {0.6, 0.3}, {0.2, 0.3}, {0.6, 0.45}}}, ltZoneNotConvex},
        {"two corners at one point",
         {{{0.2, 0.3}, {0.2, 0.3}, {0.6, 0.3}, {0.6, 0.45}}},
         ltZoneTooSmall},
        {"flat", {{{0.05, 0.521}, {0.05, 0.5}, {0.95, 0.5}, {0.95, 0.521}}}, ltZoneTooFlat},
    };
    Box->SelectedIndex = 0;
    const TQuadPoints start = Box->Quad(0)->Points;
    const std::size_t steps = Steps();
    for (const Row& r : rows) {
        User->Informed.clear();
        User->OnExec = [&](QDialog* dialog) {
            auto* form = qobject_cast<TCornerTableForm*>(dialog);
            for (int c = 0; c < 4; ++c) {
                form->Edit(c, 0)->setValue(r.Corners[c].X);
                form->Edit(c, 1)->setValue(r.Corners[c].Y);
            }
        };
        CoordinatesItem()->trigger();
        ASSERT_EQ(User->Informed.size(), 1u) << r.Name;
        EXPECT_EQ(User->Informed[0], Lang(r.Text)) << r.Name;
        EXPECT_TRUE(Near(Box->Quad(0)->Points, start, 0)) << r.Name;
    }
    EXPECT_EQ(Steps(), steps);

    // The dialog's own OK: refused, it stays open; corrected, it closes.
    User->Informed.clear();
    User->ExecAnswer = false;
    int results[2] = {-1, -1};
    User->OnExec = [&](QDialog* dialog) {
        auto* form = qobject_cast<TCornerTableForm*>(dialog);
        form->setResult(QDialog::Rejected);
        form->Edit(0, 0)->setValue(0.2);
        form->Edit(0, 1)->setValue(0.3); // onto P1
        form->OkButton()->click();
        results[0] = form->result();
        form->Edit(0, 0)->setValue(0.2);
        form->Edit(0, 1)->setValue(0.45);
        form->OkButton()->click();
        results[1] = form->result();
    };
    CoordinatesItem()->trigger();
    EXPECT_EQ(results[0], QDialog::Rejected);
    EXPECT_EQ(results[1], QDialog::Accepted);
    ASSERT_EQ(User->Informed.size(), 1u);
    EXPECT_EQ(User->Informed[0], Lang(ltZoneTooSmall));
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangRussian);
}
