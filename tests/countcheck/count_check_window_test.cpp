// The program's count check against the simulator: hand counts given through the keys and the
// middle button as the simulator writes its truth, the window's counts checked against what the
// simulator says it did with each vehicle.
#include "countcheck/CountCheckWindow.h"
#include "program_fixture.h"
#include "program_test_main.h"

#include "lang/lang_res.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace {

class CountCheckTest : public ProgramTest<> {
protected:
    TCountCheckWindow* Check() { return Form->findChild<TCountCheckWindow*>(); }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(Form.get(), &e);
    }
    void Click(int text) {
        for (QPushButton* b : Check()->findChildren<QPushButton*>())
            if (b->text() == Lang(text))
                return QTest::mouseClick(b, Qt::LeftButton);
        FAIL() << "no button " << LangText(text);
    }
    std::vector<TCountEvent> TruthRows() {
        std::ifstream in(Truth);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        std::vector<TCountEvent> rows;
        int line = 0;
        std::string problem;
        // The file may end in a row being written: read up to the last line end.
        ParseEventLog(text.substr(0, text.rfind('\n') + 1), rows, line, problem);
        return rows;
    }
    int Notes(const std::string& prefix) {
        int n = 0;
        for (const TSimLogLine& l : Log.Lines())
            n += l.Text.rfind(prefix, 0) == 0;
        return n;
    }
    // The hand count of one truth row: its zone's key, or a middle click inside the zone.
    void CountByHand(const TCountEvent& row, bool click) {
        const int index = Box->IndexOfId(row.Zone);
        ASSERT_GE(index, 0) << row.Zone;
        if (!click)
            return Key(Qt::Key_1 + index);
        const TQuadBase& zone = *Box->Quad(index);
        double x = 0, y = 0;
        for (const TFloatPoint& p : zone.Points) {
            x += p.X / 4;
            y += p.Y / 4;
        }
        QTest::mouseClick(Box->Panel(), Qt::MiddleButton, {},
                          QPoint(static_cast<int>(x * (Box->ViewWidth - 1)),
                                 static_cast<int>(y * (Box->ViewHeight - 1))));
    }
    std::string Truth;
};

TEST_F(CountCheckTest, OpensWhenConnectedAndNotEditing) {
    StartSim();
    Connect(true);
    Key(Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(Check()->isVisible()); // editing
    Box->SetEditing(false);
    Key(Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(Check()->isVisible());
    EXPECT_EQ(Check()->windowTitle(), Lang(ltCountCheckCaption));
    // Outside a check the digits count nothing.
    Key(Qt::Key_1);
    EXPECT_TRUE(Check()->Events().empty());
}

TEST_F(CountCheckTest, HandCountAgainstTheSimulatorsTruth) {
    Truth = Dir.path().toStdString() + "/truth.csv";
    StartSim({"--seed", "7", "--speed", "2", "--miss", "0.2", "--ghost", "0.1", "--truth", Truth});
    Connect(true);
    ASSERT_TRUE(WaitUntil([&] { return Box->Count() == 4; }));
    Box->SetEditing(false);
    Key(Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(Check()->isVisible());
    // A tenth of the default at twice the scene's pace: vehicles of a lane stay apart, and so do
    // the simulator's invented ones from the real.
    Check()->SetWindow(0.3);
    Click(ltCountCheckStart);
    ASSERT_TRUE(Check()->Running());
    ASSERT_TRUE(Box->DataMode);

    constexpr size_t Vehicles = 40;
    size_t counted = 0;
    auto countNew = [&] {
        const std::vector<TCountEvent> rows = TruthRows();
        for (; counted < rows.size(); ++counted)
            CountByHand(rows[counted], counted % 5 == 2);
    };
    while (counted < Vehicles) {
        ASSERT_TRUE(WaitUntil([&] { return TruthRows().size() > counted; }, 10000));
        countNew();
    }
    // The detector stops watching; its version's reply comes after every state it sent before,
    // so by then the window has seen all of them and the truth is complete.
    Box->FirmwareVersion.clear();
    Box->SendLine("sm data=off");
    Box->SendLine("gv");
    ASSERT_TRUE(WaitUntil([&] { return !Box->FirmwareVersion.empty(); }));
    countNew();
    Click(ltCountCheckStop);
    EXPECT_FALSE(Check()->Running());

    const std::vector<TZoneCount> counts = Check()->Counts();
    ASSERT_EQ(counts.size(), 5u); // four zones and the total
    const TZoneCount& total = counts.back();
    EXPECT_EQ(total.Reference, static_cast<int>(counted));
    EXPECT_EQ(total.Matched, Notes("<truth") - Notes("<truth 1 missed") - Notes("<truth 2 missed") -
                                 Notes("<truth 3 missed") - Notes("<truth 4 missed") -
                                 Notes("<truth 1 hidden") - Notes("<truth 2 hidden") -
                                 Notes("<truth 3 hidden") - Notes("<truth 4 hidden"));
    EXPECT_EQ(total.Missed, total.Reference - total.Matched);
    EXPECT_EQ(total.False, Notes("<ghost"));
    for (int zone = 1; zone <= 4; ++zone)
        EXPECT_EQ(counts[static_cast<size_t>(zone - 1)].Matched,
                  Notes("<truth " + std::to_string(zone) + " seen>"))
            << zone;
    // The table shows what was counted.
    EXPECT_EQ(Check()->Table()->rowCount(), 5);
    EXPECT_EQ(Check()->Table()->item(4, 2)->text(), QString::number(counted));

    const QString file = Dir.path() + "/count.csv";
    User->Files = {file};
    Click(ltCountCheckSave);
    std::vector<TCountEvent> saved;
    int line = 0;
    std::string problem;
    std::ifstream in(file.toStdString());
    ASSERT_TRUE(
        ParseEventLog(std::string((std::istreambuf_iterator<char>(in)), {}), saved, line, problem))
        << problem;
    EXPECT_EQ(saved.size(), Check()->Events().size());
    const std::vector<TZoneCount> again = MatchEvents(saved, Check()->Window());
    EXPECT_EQ(TotalCount(again).Matched, total.Matched);
    std::ifstream summary((Dir.path() + "/count-summary.csv").toStdString());
    std::string header, last;
    std::getline(summary, header);
    for (std::string row; std::getline(summary, row);)
        last = row;
    EXPECT_EQ(header, "zone,detector,reference,matched,missed,false,recall,precision,error_pct");
    EXPECT_EQ(last.substr(0, last.find(',')), "total");

    // Reset starts again from zero.
    Click(ltCountCheckReset);
    EXPECT_TRUE(Check()->Events().empty());
    EXPECT_EQ(Check()->Table()->item(4, 1)->text(), "0");
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangEnglish);
}
