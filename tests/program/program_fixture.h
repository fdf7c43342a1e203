#pragma once
// One start for the tests that drive the program against the detector simulator: the simulator
// with its command log in a folder of the test's own, the log read back, and the main window with
// a scripted user in place of its modal questions.

#include "../sim/sim_harness.h"
#include "program/Unit1.h"
#include "program/zelmont_box.h"
#include "qt_wait.h"
#include "scripted_user.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One line of the simulator's log: "MS SESSION TEXT", where TEXT is a line received or a
// connection event in angle brackets ("<connected>", "<closed by client>", ...).
struct TSimLogLine {
    long long Ms = 0;
    int Session = 0;
    std::string Text;
};

class TSimLog {
public:
    std::string Path;

    std::vector<TSimLogLine> Lines() const;
    // The lines received, login lines included, connection events and fences left out.
    std::vector<TSimLogLine> CommandLines() const;
    std::vector<std::string> Commands() const;
    // The commands without the login and password lines.
    std::vector<std::string> Received() const;
    int CountOf(const std::string& command) const;
    bool WasSent(const std::string& command) const;
    int EventsOf(const std::string& event) const;
};

// The simulator, started when a test asks, and its log.
class SimulatorTest : public ::testing::Test {
protected:
    void TearDown() override;
    void StartSim(std::vector<std::string> args = {});
    // Sends a fence line through `send`, the path whose silence a test checks, and waits until
    // the simulator logged it: what went that way before it is in the log by then, so the
    // commands before it are all that was sent, with no guess at how long sending takes.
    std::vector<std::string>
    CommandsBeforeFence(const std::function<void(const std::string&)>& send);

    std::vector<std::string> Commands() const { return Log.Commands(); }
    std::vector<std::string> Received() const { return Log.Received(); }
    int CountOf(const std::string& command) const { return Log.CountOf(command); }
    bool WasSent(const std::string& command) const { return Log.WasSent(command); }
    bool WaitSent(const std::string& command) {
        return WaitUntil([&] { return WasSent(command); });
    }
    int EventsOf(const std::string& event) const { return Log.EventsOf(event); }

    QTemporaryDir Dir;
    std::unique_ptr<SimProcess> Sim;
    TSimLog Log;

private:
    int Fences = 0;
};

enum class TWindowAtStart { Shown, Hidden, None };

// The main window and its controller, the scripted user of type TUser answering for the person.
template <class TUser = ScriptedUser> class ProgramTest : public SimulatorTest {
protected:
    explicit ProgramTest(TWindowAtStart window = TWindowAtStart::Shown) : AtStart(window) {}

    void SetUp() override {
        if (AtStart != TWindowAtStart::None)
            OpenWindow({}, AtStart == TWindowAtStart::Shown);
    }
    void TearDown() override {
        Box = nullptr;
        Form.reset();
        SimulatorTest::TearDown();
    }
    void OpenWindow(const QStringList& arguments, bool shown = true) {
        Form = std::make_unique<TForm1>(arguments);
        Box = Form->Controller();
        auto user = std::make_unique<TUser>();
        User = user.get();
        Box->Prompts = std::move(user);
        if (shown)
            Form->show();
    }
    // The main connection to the simulator, logged in.
    void Connect(bool loadConfig, int waitMs = 3000) {
        ASSERT_TRUE(Box->OpenConnection("127.0.0.1", Sim->port(), loadConfig, "kvtp", "root"));
        ASSERT_TRUE(WaitUntil([&] { return Box->ConnectionState == csReady; }, waitMs));
    }
    // The commands the main connection sent before a fence sent after them.
    std::vector<std::string> CommandsBeforeFence() {
        return SimulatorTest::CommandsBeforeFence([&](const std::string& l) { Box->SendLine(l); });
    }

    std::unique_ptr<TForm1> Form;
    TZelmont_box* Box = nullptr;
    TUser* User = nullptr;

private:
    TWindowAtStart AtStart;
};
