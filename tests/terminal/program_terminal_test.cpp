// The Terminal tab in the program: the controller creates the settings dialog, which binds the
// transport library, and opens it on the detector it is connected to (the simulator).
#include "settings/Settings_form.h"
#include "terminal/TerminalPage.h"

#include "../program/qt_wait.h"
#include "../program/scripted_user.h"
#include "../sim/sim_harness.h"
#include "addressbook/Connection_manager.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "program/Unit1.h"
#include "program/zelmont_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace {

class ProgramTerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm1>();
        Box = Form->Controller();
        auto user = std::make_unique<ScriptedUser>();
        User = user.get();
        Box->Prompts = std::move(user);
        Dialog = Box->SettingsForm;
        Form->show();
        Log = Dir.path().toStdString() + "/sim.log";
        Sim = std::make_unique<SimProcess>(std::vector<std::string>{"--log", Log});
        ASSERT_GT(Sim->port(), 0);
        ASSERT_TRUE(Box->OpenConnection("127.0.0.1", Sim->port(), false, "kvtp", "root"));
        ASSERT_TRUE(WaitUntil([&] { return Box->ConnectionState == csReady; }));
    }
    void TearDown() override {
        Box = nullptr;
        Form.reset();
        Sim->stop();
    }
    QPlainTextEdit* Output() { return Dialog->Terminal()->Output(); }
    QLineEdit* Input() { return Dialog->Terminal()->Input(); }
    bool OutputHas(const QString& line) { return Output()->toPlainText().split('\n').contains(line); }
    void Key(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(target, &press);
    }
    int SimLogCount(const std::string& text) {
        std::ifstream in(Log);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            n += line.size() >= text.size() &&
                 line.compare(line.size() - text.size(), text.size(), text) == 0;
        return n;
    }

    QTemporaryDir Dir;
    std::unique_ptr<TForm1> Form;
    TZelmont_box* Box = nullptr;
    TSettingsForm* Dialog = nullptr;
    ScriptedUser* User = nullptr;
    std::unique_ptr<SimProcess> Sim;
    std::string Log;
};

TEST_F(ProgramTerminalTest, ConsoleOnTheConnectedDetectorClosedByEscape) {
    EXPECT_TRUE(User->Informed.empty()); // the library was found when the dialog was made
    Box->MainMenuClick(8, false);
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
    EXPECT_TRUE(WaitUntil([&] { return SimLogCount("<closed by client>") == 1; }));
}

TEST_F(ProgramTerminalTest, ReopeningOnTheTerminalTabConnectsToTheCurrentDetector) {
    Box->MainMenuClick(8, false);
    Dialog->Pages()->setCurrentIndex(TSettingsForm::pgTerminal);
    ASSERT_TRUE(WaitUntil([&] { return Input()->isVisible(); }));
    Dialog->close();

    // Another detector meanwhile: the dialog learns of it only after it is shown again.
    SimProcess other;
    ASSERT_GT(other.port(), 0);
    ASSERT_TRUE(Box->OpenConnection("127.0.0.1", other.port(), false, "kvtp", "root"));
    ASSERT_TRUE(WaitUntil([&] { return Box->ConnectionState == csReady; }));
    Box->MainMenuClick(8, false);
    ASSERT_TRUE(WaitUntil([&] { return Dialog->TerminalHandle != 0 && Input()->isVisible(); }));
    EXPECT_EQ(Dialog->TerminalPort, other.port());
    EXPECT_EQ(SimLogCount("<connected>"), 2); // the main connection and the first console only
    EXPECT_TRUE(User->Informed.empty());
    Dialog->close();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TConnect_manager::MessageHook = [](const QString&) {};
    QTemporaryDir data;
    qputenv("KERVOLA_DATA_DIR", data.path().toUtf8());
    InitFolders();
    SelectLanguage(LangEnglish);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
