// The cleaning dialog headless, and the controller's cleaning action against the detector
// simulator: level poll, cleaning command, values kept in the document.
#include "cleaning/CleaningForm.h"

#include "../program/program_fixture.h"
#include "../program/program_test_main.h"
#include "dialogs/Prompts.h"
#include "lang/lang_res.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

TEST(CleanForm, TimingEditsAreCorrectedWhenLeftAndEnterStartsNothing) {
    TCleanForm form;
    form.show();
    QSignalSpy accepted(&form, &QDialog::accepted);
    const struct {
        const char* Typed;
        const char* Shown;
    } rows[] = {{"45", "30"}, {"x", "1"}};
    for (const auto& r : rows) {
        QLineEdit* edit = form.TimingEdit(2);
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, r.Typed);
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(edit->text(), r.Shown) << r.Typed;
    }
    // Enter in a timing edit must not start a cleaning run.
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(form.isVisible());
}

TEST(CleanForm, OkCorrectsEditsNeverLeftAndADocumentWithoutSystemObjectChangesNothing) {
    TCleanForm form;
    form.show();
    form.TimingEdit(0)->setText("45");
    form.TimingEdit(1)->setText("");
    form.TimingEdit(3)->setText("3,4");
    form.IntervalList()->setCurrentIndex(7);
    TXMLNode bare("message");
    form.LoadCleaning(&bare);
    form.StoreCleaning(&bare);
    EXPECT_EQ(bare.Count(), 0);
    EXPECT_EQ(form.IntervalList()->currentIndex(), 7);
    QSignalSpy accepted(&form, &QDialog::accepted);
    form.CleanButton()->click();
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(form.CleaningCommand(), "cl 30,1,4,1");
}

// Answers the cleaning dialog: shows it, lets the poll run until `Until` holds, then ends it.
class CleaningUser : public TUserPrompts {
public:
    bool Answer = true;
    std::function<bool(TCleanForm&)> Until = [](TCleanForm&) { return true; };
    std::function<void(TCleanForm&)> Edit = [](TCleanForm&) {};
    int Answers = 0; // levels shown by the poll while the dialog was up
    bool Reached = false;

    bool Exec(QDialog* dialog) override {
        auto* form = qobject_cast<TCleanForm*>(dialog);
        if (!form)
            return false;
        form->PollTimer()->setInterval(20);
        const auto counting =
            QObject::connect(form, &TCleanForm::stateShown, form, [this] { ++Answers; });
        form->show();
        Reached = WaitUntil([&] { return Until(*form); }, 5000);
        QObject::disconnect(counting);
        Edit(*form);
        (Answer ? form->CleanButton() : form->CloseButton())->click();
        return form->result() == QDialog::Accepted;
    }
};

// The window stays hidden: the cleaning dialog is the only one shown.
class CleaningActionTest : public ProgramTest<CleaningUser> {
protected:
    CleaningActionTest() : ProgramTest(TWindowAtStart::Hidden) {}
    void Start(std::vector<std::string> simArgs) {
        StartSim(std::move(simArgs));
        Connect(false);
    }
};

struct TLevelCase {
    const char* Name;
    const char* Level;
    int State;
    const char* Text;
    int Position;
};
void PrintTo(const TLevelCase& c, std::ostream* out) {
    *out << c.Name;
}

class CleaningLevels : public CleaningActionTest,
                       public ::testing::WithParamInterface<TLevelCase> {};

TEST_P(CleaningLevels, PolledThroughTheController) {
    const TLevelCase& c = GetParam();
    Start({"--level", c.Level});
    User->Answer = false;
    User->Until = [&](TCleanForm& form) {
        return User->Answers > 0 && form.LastState() == c.State;
    };
    Box->MainMenuClick(TMenuCommand::Cleaning, false);
    EXPECT_TRUE(User->Reached);
    ASSERT_TRUE(Box->CleanForm);
    EXPECT_EQ(Box->CleanForm->LevelText()->text(), Utf8(c.Text));
    EXPECT_EQ(Box->CleanForm->LevelBar()->value(), c.Position);
    EXPECT_EQ(Box->CleanForm->LevelBar()->palette().color(QPalette::Highlight),
              c.State == 1 ? QColor(Qt::red) : QColor(Qt::blue));
    EXPECT_GE(CountOf("gg"), 1);
    EXPECT_EQ(Box->QueryCleaningState(), c.State);
}

INSTANTIATE_TEST_SUITE_P(Simulator, CleaningLevels,
                         ::testing::Values(TLevelCase{"High", "high", 0, "Высокий", 100},
                                           TLevelCase{"Low", "low", 1, "Низкий", 10},
                                           TLevelCase{"NoDigit", "none", -1, "Не подключено", 0}),
                         [](const auto& info) { return info.param.Name; });

TEST_F(CleaningActionTest, OkSendsTheCleaningLineAndTheDocumentKeepsTheValues) {
    Start({"--level", "high"});
    User->Edit = [](TCleanForm& form) {
        form.TimingEdit(0)->setText("5");
        form.TimingEdit(3)->setText("45"); // never left: corrected by OK
        form.IntervalList()->setCurrentIndex(3);
    };
    Box->MainMenuClick(TMenuCommand::Cleaning, false);
    ASSERT_TRUE(WaitUntil([&] { return CountOf("cl 5,2,4,30") == 1; }));
    ASSERT_TRUE(Box->Config->TopNode);
    EXPECT_EQ(Box->Config->TopNode->Params.GetParam("from"), "KERVOLA2");
    const std::string text = Box->Config->AsText();
    EXPECT_NE(text.find(R"(<param name="cleantimer" type="set" val="5 2 4 30"/>)"),
              std::string::npos);
    EXPECT_NE(text.find(R"(<param name="cleaninterval" type="int" val="900"/>)"),
              std::string::npos);

    // Cancel: the values still go into the document, no command goes out; the same dialog.
    const QPointer<TCleanForm> first = Box->CleanForm;
    User->Answer = false;
    User->Edit = [](TCleanForm& form) { form.SensitivityList()->setCurrentIndex(0); };
    Box->MainMenuClick(TMenuCommand::Cleaning, false);
    EXPECT_EQ(Box->CleanForm, first);
    EXPECT_NE(Box->Config->AsText().find(R"(val="low")"), std::string::npos);
    int cleaning = 0;
    for (const std::string& c : CommandsBeforeFence())
        cleaning += c.rfind("cl", 0) == 0;
    EXPECT_EQ(cleaning, 1);
}

TEST_F(CleaningActionTest, WithoutConnectionNothingIsSentAndTheLevelSaysSo) {
    Start({"--level", "low"});
    Box->CloseConnection();
    User->Until = [&](TCleanForm& form) {
        return User->Answers > 0 && form.LevelText()->text() == Utf8("Не подключено");
    };
    Box->MainMenuClick(TMenuCommand::Cleaning, false);
    EXPECT_TRUE(User->Reached);
    EXPECT_EQ(Box->CleanForm->LevelBar()->value(), 0);
    QTest::qWait(200);
    for (const std::string& c : Commands())
        EXPECT_NE(c.rfind("cl", 0), 0u) << c;
    EXPECT_EQ(CountOf("gg"), 0); // no detector chosen any more: nothing to ask
}

TEST_F(CleaningActionTest, SlowDetectorNeitherFreezesTheProgramNorStacksPolls) {
    // Every reply leaves 1.5 s late: one level exchange (login answer, then "gg") takes 3 s,
    // while the dialog would poll every 20 ms.
    Start({"--level", "low", "--slow-ms", "1500"});
    const int logins = CountOf("kvtp"); // the main connection's
    int ticksDuringExchange = 0;
    TCleanForm* shown = nullptr;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (shown && shown->QueryRunning())
            ++ticksDuringExchange;
    });
    // An exchange held on the GUI thread would let no timer run while it lasts.
    User->Until = [&](TCleanForm& form) {
        shown = &form;
        if (!probe.isActive())
            probe.start(10);
        return form.QueryRunning() && ticksDuringExchange >= 20;
    };
    Box->MainMenuClick(TMenuCommand::Cleaning, false);
    probe.stop();
    EXPECT_TRUE(User->Reached);
    // Twenty ticks span ten poll periods: a poll that did not wait for the one before it would
    // have logged in again meanwhile.
    EXPECT_EQ(CountOf("kvtp"), logins + 1);
    EXPECT_EQ(CountOf("gg"), 0);

    // The window goes while the exchange still waits for its login answer: closing does not wait
    // for it, or its "gg" would have gone out by now.
    auto closings = [&] { return EventsOf("<closed by client>") + EventsOf("<connection lost>"); };
    const int closed = closings();
    Form.reset();
    EXPECT_EQ(CountOf("gg"), 0);
    // The exchange goes on without the window, and its late answer finds no dialog to show it
    // in; then it closes its connection, as the main connection did with the window.
    EXPECT_TRUE(WaitUntil([&] { return CountOf("gg") == 1; }, 30000));
    EXPECT_TRUE(WaitUntil([&] { return closings() == closed + 2; }, 30000));
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangRussian);
}
