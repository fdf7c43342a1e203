// The controller against the detector simulator on loopback. The timer is not connected: every
// tick is a direct call, so tick counts are exact, and the simulator's log says what was sent.
#include "program/zelmont_box.h"
#include "settings/Settings_form.h"

#include "program_fixture.h"
#include "addressbook/Connection_manager.h"
#include "lang/lang_res.h"
#include "zones/mm_timer.h"
#include "threads_at_exit.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

namespace {

// Time for a connection that must never come about to show itself; there is no path to fence.
void Settle(int ms = 150) {
    WaitUntil([] { return false; }, ms);
}

// The controller with its reply parser within reach of the tests.
class TestBox : public TZelmont_box {
public:
    using TZelmont_box::ParseReplies;
    using TZelmont_box::TZelmont_box;
};

// The controller on a bare panel, without the main window.
class ControllerTest : public SimulatorTest {
protected:
    void Start(std::vector<std::string> simArgs = {}) {
        StartSim(std::move(simArgs));
        Form = std::make_unique<QWidget>();
        Form->resize(720, 576);
        Panel = new QWidget(Form.get());
        Panel->resize(720, 576);
        Box = std::make_unique<TestBox>(Form.get(), Panel);
    }
    void TearDown() override {
        Box.reset();
        Form.reset();
        SimulatorTest::TearDown();
    }
    void ConnectAndLogIn(bool loadConfig = true) {
        ASSERT_TRUE(Box->OpenConnection("127.0.0.1", Sim->port(), loadConfig, "kvtp", "root"));
        ASSERT_TRUE(WaitUntil([&] { return Box->ConnectionState == csReady; }));
    }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            Box->HandleTimerTick(Box->Timer());
    }
    // What the main connection sent before a fence sent after it.
    std::vector<std::string> SentSoFar() {
        return CommandsBeforeFence([&](const std::string& line) { Box->SendLine(line); });
    }
    static int CountIn(const std::vector<std::string>& commands, const std::string& command) {
        return static_cast<int>(std::count(commands.begin(), commands.end(), command));
    }

    std::unique_ptr<QWidget> Form;
    QWidget* Panel = nullptr;
    std::unique_ptr<TestBox> Box;
};

TEST_F(ControllerTest, LogsInThenLoadsConfigurationAndRate) {
    Start();
    ConnectAndLogIn(true);
    ASSERT_TRUE(WaitUntil([&] { return Box->Count() == 4; }));
    const std::vector<TSimLogLine> log = Log.CommandLines();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0].Text, "root");
    EXPECT_EQ(log[1].Text, "kvtp");
    // The pause is 100 ms at the sender; a simulator that reads the first line late under load
    // sees less of it, but never the few milliseconds of two lines sent back to back.
    EXPECT_GE(log[1].Ms - log[0].Ms, 50);
    EXPECT_EQ(log[2].Text, "gc");
    EXPECT_EQ(log[3].Text, "gf");
    EXPECT_EQ(Box->Quad(0)->Id, "1");
    EXPECT_EQ(Box->SelectedIndex, 3); // editing: the last zone
    EXPECT_EQ(Box->LiveRate, 25);
}

TEST_F(ControllerTest, StartupCommandsOnTicks17To20) {
    Start();
    ConnectAndLogIn(false);
    Box->DataMode = true;
    Tick(16);
    EXPECT_EQ(SentSoFar(), (std::vector<std::string>{"root", "kvtp"}));
    const std::vector<std::string> expected = {"gv", "gp", "sm data=on", "ge"};
    for (const std::string& command : expected) {
        Tick();
        ASSERT_TRUE(WaitUntil([&] { return CountOf(command) == 1; })) << command;
    }
    EXPECT_EQ(Commands().size(), 6u);
    ASSERT_TRUE(WaitUntil([&] { return !Box->FirmwareVersion.empty(); }));
    EXPECT_EQ(Box->FirmwareVersion, "\"Zelmont SF 5.2 38\"");
}

TEST_F(ControllerTest, FullRatePacingKeepsTwoPicturesInFlight) {
    Start();
    ConnectAndLogIn(false);
    Tick(20);
    Box->SetVideoRate(25);
    ASSERT_TRUE(WaitUntil([&] { return Box->FrameCount == 1; })); // the start-up picture
    Tick(10); // no replies are read between these ticks
    EXPECT_EQ(Box->PendingPictures, 2);
    EXPECT_EQ(CountIn(SentSoFar(), "gp"), 3);
    ASSERT_TRUE(WaitUntil([&] { return Box->PendingPictures == 0; }));
    EXPECT_EQ(Box->FrameCount, 2); // the count started again at tick 25
    EXPECT_EQ(Box->FrameWidth, 720);
    EXPECT_EQ(Box->FrameHeight, 576);
}

TEST_F(ControllerTest, SlowRateSendsOnEveryFifthTickRegardless) {
    Start({"--drop-gp", "1"}); // nothing is ever answered
    ConnectAndLogIn(false);
    Tick(20);
    Box->SetVideoRate(5);
    const int before = Box->TickCount;
    Tick(25);
    int expected = 0;
    for (int t = before + 1; t <= before + 25; ++t)
        expected += t % 5 == 0;
    EXPECT_EQ(CountIn(SentSoFar(), "gp"), 1 + expected);
}

TEST_F(ControllerTest, LostRequestsAreForgottenAfterASecond) {
    Start({"--drop-gp", "1"});
    ConnectAndLogIn(false);
    Tick(20);
    Box->SetVideoRate(25);
    Box->LastFrameTick = Box->TickCount;
    Tick(25);
    EXPECT_EQ(Box->PendingPictures, 2);
    EXPECT_EQ(CountIn(SentSoFar(), "gp"), 3);
    Tick(); // now more than 25 ticks without a picture: forgotten, and one more goes out
    EXPECT_EQ(Box->PendingPictures, 1);
    Tick();
    EXPECT_EQ(Box->PendingPictures, 2);
    EXPECT_EQ(CountIn(SentSoFar(), "gp"), 5);
}

TEST_F(ControllerTest, StatusPollEvery1000TicksWithVideoOff) {
    Start();
    ConnectAndLogIn(false);
    Tick(999 - Box->TickCount);
    const int before = CountIn(SentSoFar(), "gs");
    Tick();
    ASSERT_TRUE(WaitUntil([&] { return CountOf("gs") == before + 1; }));
    Tick(999);
    EXPECT_EQ(CountIn(SentSoFar(), "gs"), before + 1);
    Tick();
    EXPECT_TRUE(WaitUntil([&] { return CountOf("gs") == before + 2; }));
}

TEST_F(ControllerTest, PictureSplitOverManyReads) {
    Start({"--split", "700"});
    ConnectAndLogIn(false);
    Tick(18);
    ASSERT_TRUE(WaitUntil([&] { return Box->FrameCount == 1; }, 5000));
    EXPECT_EQ(Box->ConnectionState, csReady);
    EXPECT_EQ(Box->FrameWidth, 720);
}

TEST_F(ControllerTest, ZoneStatesArriveInDataMode) {
    Start();
    ConnectAndLogIn(true);
    ASSERT_TRUE(WaitUntil([&] { return Box->Count() == 4; }));
    Box->SetEditing(false);
    Box->SetDataMode(true);
    EXPECT_FALSE(Box->GreyMode);
    // Vehicles pass every zone within a few seconds of the scene.
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (int i = 0; i < Box->Count(); ++i)
                if (Box->Quad(i)->Active)
                    return true;
            return false;
        },
        8000));
    Box->SetDataMode(false);
    EXPECT_TRUE(Box->GreyMode);
    for (int i = 0; i < Box->Count(); ++i)
        EXPECT_FALSE(Box->Quad(i)->Active);
}

TEST_F(ControllerTest, OneShotExchangesWithTheSameLogin) {
    Start();
    ConnectAndLogIn(false);
    EXPECT_EQ(Box->Transact("gt").rfind("gt t=\"", 0), 0u);
    const int level = Box->QueryCleaningState();
    EXPECT_TRUE(level == 0 || level == 1);

    TSyncTarget target = Box->SyncTarget();
    ASSERT_TRUE(SyncLogin(target));
    std::vector<std::uint8_t> block(1 << 20);
    long long lastDone = -1, lastTotal = -1;
    const size_t n = SyncRequestBlock("gd\r\n", block.data(), block.size(),
                                      [&](long long total, long long done) {
                                          lastTotal = total;
                                          lastDone = done;
                                      });
    SyncClose();
    EXPECT_GT(n, 0u);
    EXPECT_EQ(n % 136, 0u);
    EXPECT_EQ(lastDone, static_cast<long long>(n));
    EXPECT_EQ(lastTotal, static_cast<long long>(n));

    // Firmware: the simulator checks the announced sum against the bytes.
    const std::string file = (Dir.path() + "/fw.bin").toStdString();
    std::string bytes(5000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    std::ofstream(file, std::ios::binary) << bytes;
    ASSERT_TRUE(SyncLogin(target));
    ASSERT_TRUE(SendUpdateFile(file, {}));
    std::string reply, rest;
    SyncReadLine(reply, rest);
    SyncClose();
    EXPECT_EQ(reply, "ud ok");
    EXPECT_EQ(CountOf("ud 5000," +
                      std::to_string(Checksum16(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                bytes.size())) +
                      ",./update/fw.bin"),
              1);
}

TEST_F(ControllerTest, TransactWithoutDetectorAnswersNothing) {
    Start();
    EXPECT_EQ(Box->Transact("gt"), "");
    EXPECT_EQ(Box->QueryCleaningState(), -1);
}

// An unknown name must never become 0.0.0.0, which on Linux is this machine: the login and
// password would go to whatever listens on that port here.
TEST_F(ControllerTest, UnknownNameNeverReachesThisMachine) {
    Start();
    EXPECT_FALSE(
        Box->OpenConnection("no-such-detector.invalid", Sim->port(), false, "kvtp", "root"));
    EXPECT_EQ(Box->ConnectionState, csNoConnection);
    EXPECT_FALSE(Box->OpenConnection("", Sim->port(), false, "kvtp", "root"));
    EXPECT_EQ(Transact({"no-such-detector.invalid", Sim->port(), "root", "kvtp"}, "gt"), "");
    Settle();
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ControllerTest, ClosingWhileConnectingEndsInNoConnection) {
    Start();
    ASSERT_TRUE(Box->OpenConnection("127.0.0.1", Sim->port(), false, "kvtp", "root"));
    EXPECT_EQ(Box->ConnectionState, csConnecting);
    Box->ConnectToHost(nullptr);
    EXPECT_EQ(Box->ConnectionState, csNoConnection);
    Settle();
    EXPECT_EQ(Box->ConnectionState, csNoConnection);
}

TEST_F(ControllerTest, ChoosingAnotherDetectorDropsTheOldConnection) {
    Start();
    ConnectAndLogIn(false);
    THostRec other;
    other.Caption = "again";
    other.Address = "127.0.0.1";
    other.Port = Sim->port();
    other.Login = "root";
    other.Password = "kvtp";
    Box->ConnectToHost(&other);
    ASSERT_TRUE(WaitUntil([&] { return Box->ConnectionState == csReady; }));
    EXPECT_EQ(CountOf("root"), 2);
    Box->ConnectToHost(nullptr);
    EXPECT_EQ(Box->ConnectionState, csNoConnection);
    EXPECT_EQ(Box->Client().Host(), "");
}

// The reply parser on its own: what one read brings, in every cut.
class ReplyParserTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<QWidget>();
        Panel = new QWidget(Form.get());
        Box = std::make_unique<TestBox>(Form.get(), Panel);
        Box->ConnectionState = csReady;
        Box->DataMode = true;
        Box->Config->AddSensor(*Box, "1", DefaultQuad(0));
        Box->Config->AddSensor(*Box, "2", DefaultQuad(1));
        Box->Config->AddSensor(*Box, "3", DefaultQuad(2));
    }
    void Feed(const std::string& bytes) {
        Buffer += bytes;
        Box->ParseReplies(Buffer);
    }
    std::unique_ptr<QWidget> Form;
    QWidget* Panel = nullptr;
    std::unique_ptr<TestBox> Box;
    std::string Buffer;
};

TEST_F(ReplyParserTest, LinesAndPartialLines) {
    Feed("gv=1.0\r\ngs 1 1 2 0 3\r\ngv=2");
    EXPECT_EQ(Box->FirmwareVersion, "1.0");
    EXPECT_TRUE(Box->Quad(0)->Active);
    EXPECT_FALSE(Box->Quad(1)->Active);
    EXPECT_EQ(Buffer, "gv=2");
    Feed(".0\r\n");
    EXPECT_EQ(Box->FirmwareVersion, "2.0");
    EXPECT_TRUE(Buffer.empty());
}

TEST_F(ReplyParserTest, BodyWaitsForItsLastByteThenLinesGoOn) {
    Feed("gp=5000\r\n" + std::string(3000, 'x'));
    EXPECT_EQ(Box->ConnectionState, csPictureBody);
    EXPECT_EQ(Box->BodySize, 5000);
    Box->PendingPictures = 1;
    Feed(std::string(2000, 'x') + "ge 2,1,0,42,0,0,0\r\n");
    EXPECT_EQ(Box->ConnectionState, csReady);
    EXPECT_EQ(Box->FrameCount, 1);
    EXPECT_EQ(Box->PendingPictures, 0);
    EXPECT_TRUE(Box->Quad(1)->Active);
    EXPECT_EQ(Box->Quad(1)->Reading, 42);
    EXPECT_EQ(Box->FrameWidth, 720); // garbage did not decode: the old frame stays
}

TEST_F(ReplyParserTest, CountlessAndZeroAnnouncementsAreSkipped) {
    Feed("gc\r\ngp=0\r\ngc s=abc\r\ngv=x\r\n");
    EXPECT_EQ(Box->ConnectionState, csReady);
    EXPECT_EQ(Box->FirmwareVersion, "x");
}

TEST_F(ReplyParserTest, ConfigurationBodyThatIsNotADocumentChangesNothing) {
    Box->Config->CreateDefault("", "");
    Box->Config->ReadSensors(*Box);
    const std::string before = Box->Config->AsText();
    Feed("gc s=9\r\nnot <xml!");
    EXPECT_EQ(Box->ConnectionState, csReady);
    EXPECT_EQ(Box->Config->AsText(), before);
    EXPECT_EQ(Box->Count(), 0);
    TXMLConfig good;
    TQuadList zones;
    good.AddSensor(zones, "7", DefaultQuad(0));
    const std::string text = good.AsText();
    Feed("gc s=" + std::to_string(text.size()) + "\r\n" + text);
    ASSERT_EQ(Box->Count(), 1);
    EXPECT_EQ(Box->Quad(0)->Id, "7");
}

TEST_F(ReplyParserTest, StatesIgnoredOutsideDataMode) {
    Box->DataMode = false;
    Feed("gs 1 1\r\nge 1,1,0,5,0,0,0\r\n");
    EXPECT_FALSE(Box->Quad(0)->Active);
    EXPECT_EQ(Box->Quad(0)->Reading, 0);
}

TEST_F(ReplyParserTest, TimeAndRateReplies) {
    Feed("gt t=\"2026-12-08 10:11:12\"\r\n");
    EXPECT_EQ(Box->SettingsForm->DetectorTimeText, "2026-12-08 10:11:12");
    Feed("gf rate=@12\r\n");
    EXPECT_EQ(Box->Timer()->Interval(), 83u);
    EXPECT_EQ(Box->LiveRate, 12);
    Feed("gf rate=@00\r\ngf rate=@xy\r\ngf rate=25\r\n");
    EXPECT_EQ(Box->Timer()->Interval(), 83u); // a zero or missing rate changes nothing
}

TEST_F(ReplyParserTest, OversizedAnnouncementsDropTheConnection) {
    Feed("gp=2000000000\r\nabc");
    EXPECT_EQ(Box->ConnectionState, csNoConnection);
    Box->ConnectionState = csReady;
    Buffer.clear();
    Feed(std::string(MaxPendingInput + 1, 'z'));
    EXPECT_EQ(Box->ConnectionState, csNoConnection);
}

TEST(MainWindow, IniPathAndTitleBar) {
    EXPECT_EQ(TForm1::StartupIniPath({}, "/opt/k/"), "");
    EXPECT_EQ(TForm1::StartupIniPath({"site.ini"}, "/opt/k/"), "/opt/k/site.ini");
    EXPECT_EQ(TForm1::StartupIniPath({"./site.ini"}, "/opt/k/"), "./site.ini");
    EXPECT_EQ(TForm1::StartupIniPath({"/etc/k.ini", "x"}, "/opt/k/"), "/etc/k.ini");
    // A path with a folder means the folder the program was started in, not the data folder.
    struct {
        const char* Argument;
        const char* Path;
    } started[] = {{"cfg/k.ini", "/home/u/cfg/k.ini"},
                   {"./site.ini", "/home/u/site.ini"},
                   {"../k.ini", "/home/k.ini"},
                   {"/etc/k.ini", "/etc/k.ini"},
                   {"site.ini", "/opt/k/site.ini"}};
    for (const auto& r : started)
        EXPECT_EQ(TForm1::StartupIniPath({r.Argument}, "/opt/k/", "/home/u/"), r.Path)
            << r.Argument;

    TForm1 form;
    TZelmont_box& box = *form.Controller();
    box.Config->CreateDefault("a", "ZELMONT_SF");
    box.CurrentHost.Caption = "Post 7";
    struct Row {
        int Language;
        std::uint8_t State;
        const char* Title;
    } rows[] = {
        {LangRussian, csNoConnection, "KERVOLA < ZELMONT_SF > Подключение не установлено"},
        {LangRussian, csConnecting, "KERVOLA < Post 7 > Подключение..."},
        {LangRussian, csReady, "KERVOLA < ZELMONT_SF >  25 Кадров/сек"},
        {LangEnglish, csLoggingIn, "KERVOLA < ZELMONT_SF > No connection"},
        {LangEnglish, csPictureBody, "KERVOLA < ZELMONT_SF >  25 fps"},
        {LangEnglish, csConnecting, "KERVOLA < Post 7 > Connection in progress..."},
    };
    box.FramesPerSecond = 25;
    for (const Row& r : rows) {
        SelectLanguage(r.Language);
        box.ConnectionState = r.State;
        EXPECT_EQ(form.TitleText().toStdString(), r.Title);
    }
    box.Config->CreateDefault("a", "");
    box.CurrentHost.Caption.clear();
    box.ConnectionState = csConnecting;
    EXPECT_EQ(form.TitleText().toStdString(), "KERVOLA  Connection in progress...");
    SelectLanguage(LangRussian);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    // No hosts.ini in the test's folder must not stop the suite on a modal box.
    TConnect_manager::MessageHook = [](const QString&) {};
    SelectLanguage(LangRussian);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
