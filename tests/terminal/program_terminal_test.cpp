// The Terminal tab in the program: the controller creates the settings dialog, which binds the
// transport library, and opens it on the detector it is connected to (the simulator).
#include "settings/Settings_form.h"
#include "../program/program_test_main.h"
#include "terminal/TerminalPage.h"

#include "../program/program_fixture.h"
#include "addressbook/Connection_manager.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"

#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

class ProgramTerminalTest : public ProgramTest<> {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        Dialog = Box->SettingsForm;
        StartSim();
        Connect(false);
    }
    QPlainTextEdit* Output() { return Dialog->Terminal()->Output(); }
    QLineEdit* Input() { return Dialog->Terminal()->Input(); }
    bool OutputHas(const QString& line) {
        return Output()->toPlainText().split('\n').contains(line);
    }
    void Key(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        target->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(target, &press);
    }

    TSettingsForm* Dialog = nullptr;
};

TEST_F(ProgramTerminalTest, ConsoleOnTheConnectedDetectorClosedByEscape) {
    EXPECT_TRUE(User->Informed.empty()); // the library was found when the dialog was made
    Box->MainMenuClick(TMenuCommand::Settings, false);
    ASSERT_TRUE(Dialog->isVisible());
    Key(Dialog->LabelEdit(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(Dialog->Pages()->currentIndex(), TSettingsForm::pgTerminal);
    ASSERT_TRUE(WaitUntil([&] { return Input()->isVisible(); }))
        << Output()->toPlainText().toStdString();
    EXPECT_GT(Dialog->TerminalHandle, 0);
    Input()->setText("gv");
    Key(Input(), Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return OutputHas("gv=\"Zelmont SF 5.2 38\""); }));
    EXPECT_EQ(Dialog->LastTerminalCommand, "gv");

    Key(Input(), Qt::Key_Escape);
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->TerminalHandle, 0);
    EXPECT_TRUE(WaitUntil([&] { return EventsOf("<closed by client>") == 1; }));
}

TEST_F(ProgramTerminalTest, ReopeningOnTheTerminalTabConnectsToTheCurrentDetector) {
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->Pages()->setCurrentIndex(TSettingsForm::pgTerminal);
    ASSERT_TRUE(WaitUntil([&] { return Input()->isVisible(); }));
    Dialog->close();

    // Another detector meanwhile: the dialog learns of it only after it is shown again.
    SimProcess other;
    ASSERT_GT(other.port(), 0);
    ASSERT_TRUE(Box->OpenConnection("127.0.0.1", other.port(), false, "kvtp", "root"));
    ASSERT_TRUE(WaitUntil([&] { return Box->ConnectionState == csReady; }));
    Box->MainMenuClick(TMenuCommand::Settings, false);
    ASSERT_TRUE(WaitUntil([&] { return Dialog->TerminalHandle != 0 && Input()->isVisible(); }));
    EXPECT_EQ(Dialog->TerminalPort, other.port());
    EXPECT_EQ(EventsOf("<connected>"), 2); // the main connection and the first console only
    EXPECT_TRUE(User->Informed.empty());
    Dialog->close();
}

using Page = TSettingsForm::TPage;

struct SwitchCase {
    const char* Name;
    int From;
    bool Forward;
    int To;
};

class TabKeys : public ProgramTerminalTest, public ::testing::WithParamInterface<SwitchCase> {};

// The same step wherever the focus is: in the label field above the tabs or in an editor of the
// page; the hidden tab is passed over.
TEST_P(TabKeys, CtrlTabStepsThroughTheShownTabs) {
    const SwitchCase& c = GetParam();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    QWidget* editor[] = {Dialog->DatePicker(), Dialog->NtpList(), nullptr, Dialog->TriggerList(),
                         Output()};
    for (QWidget* focus : {static_cast<QWidget*>(Dialog->LabelEdit()), editor[c.From]}) {
        Dialog->Pages()->setCurrentIndex(c.From);
        if (c.Forward)
            Key(focus, Qt::Key_Tab, Qt::ControlModifier);
        else
            Key(focus, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(Dialog->Pages()->currentIndex(), c.To) << focus->metaObject()->className();
    }
    // Another window keeps its keys.
    QLineEdit elsewhere;
    elsewhere.show();
    Key(&elsewhere, Qt::Key_Tab, Qt::ControlModifier);
    Key(&elsewhere, Qt::Key_Escape);
    EXPECT_EQ(Dialog->Pages()->currentIndex(), c.To);
    EXPECT_TRUE(Dialog->isVisible());
    // Escape closes the dialog from the page's editor.
    Key(editor[c.To], Qt::Key_Escape);
    EXPECT_FALSE(Dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TabKeys,
    ::testing::Values(SwitchCase{"forward", Page::pgSystem, true, Page::pgNetwork},
                      SwitchCase{"over_hidden", Page::pgNetwork, true, Page::pgAdministration},
                      SwitchCase{"wraps_to_first", Page::pgTerminal, true, Page::pgSystem},
                      SwitchCase{"back_over_hidden", Page::pgAdministration, false,
                                 Page::pgNetwork},
                      SwitchCase{"back_wraps_to_last", Page::pgSystem, false, Page::pgTerminal}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangEnglish);
}
