// The Terminal tab against the detector simulator, headless, with the transport library loaded
// at run time as the program loads it.
#include "terminal/TerminalPage.h"

#include "../program/qt_wait.h"
#include "../sim/sim_harness.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "../program/threads_at_exit.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The page as the settings dialog holds it: one tab among others, on the dialog's fields.
class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        LogPath = (Dir.path() + "/sim.log").toStdString();
        Sim = std::make_unique<SimProcess>(std::vector<std::string>{"--log", LogPath});
        ASSERT_GT(Sim->port(), 0);
        Port = Sim->port();
        Tabs = std::make_unique<QTabWidget>();
        Tabs->addTab(new QWidget, "System");
        Page = new TTerminalPage({&Host, &Port, &Login, &Password, &Last, &Handle});
        Tabs->addTab(Page, "Terminal");
        Page->Inform = [this](QWidget*, const QString& text, QMessageBox::Icon) {
            Messages << text;
        };
        Tabs->show();
    }
    void TearDown() override {
        Tabs.reset();
        Sim->stop();
    }
    void OpenTerminal() {
        Tabs->setCurrentWidget(Page);
        ASSERT_TRUE(WaitUntil([&] { return Page->Input()->isVisible(); })) << Text();
    }
    std::string Text() { return Page->Output()->toPlainText().toStdString(); }
    QStringList Lines() { return Page->Output()->toPlainText().split('\n'); }
    bool Has(const QString& line) { return Lines().contains(line); }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(Page->Input(), &press);
    }
    // Types a command and waits for the line that completes its answer.
    void Command(const QString& text, const QString& last) {
        Page->Input()->setText(text);
        Key(Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return Has(last); }, 5000)) << Text();
    }
    int SimLogCount(const std::string& text) {
        std::ifstream in(LogPath);
        int n = 0;
        for (std::string l; std::getline(in, l);)
            n +=
                l.size() > text.size() && l.compare(l.size() - text.size(), text.size(), text) == 0;
        return n;
    }

    QTemporaryDir Dir;
    std::string LogPath;
    std::unique_ptr<SimProcess> Sim;
    std::unique_ptr<QTabWidget> Tabs;
    TTerminalPage* Page = nullptr;
    QStringList Messages;
    std::string Host = "127.0.0.1", Login = "root", Password = "kvtp", Last;
    int Port = 0, Handle = 0;
};

TEST_F(TerminalTest, LogsInEchoesAndRecallsTheLastCommand) {
    ASSERT_TRUE(Page->BindTransportLibrary());
    EXPECT_FALSE(Page->Input()->isVisible());
    OpenTerminal();
    EXPECT_GT(Handle, 0);
    EXPECT_EQ(Lines(), (QStringList{"Open connection... Sending login/password...", "OK"}));
    EXPECT_TRUE(QFontInfo(Page->Output()->font()).fixedPitch());
    Command("gv", "gv=\"Zelmont SF 5.2 38\"");
    EXPECT_EQ(Lines().mid(2), (QStringList{">gv", "gv=\"Zelmont SF 5.2 38\""}));
    EXPECT_TRUE(Page->Input()->text().isEmpty());
    Page->Input()->setText("something else");
    Key(Qt::Key_Up);
    EXPECT_EQ(Page->Input()->text(), "gv");
    EXPECT_EQ(Page->Input()->cursorPosition(), 2);
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(TerminalTest, PictureDataAndConfigurationBodies) {
    ASSERT_TRUE(Page->BindTransportLibrary());
    const std::string folder = DataFolder();
    std::ofstream(folder + "gp.jpg") << "an older picture";
    OpenTerminal();

    const QString picture = QString::fromStdString(folder + "gp.jpg file written");
    Command("gp", picture);
    const QStringList out = Lines();
    const qsizetype at = out.indexOf(picture);
    ASSERT_GE(at, 4);
    EXPECT_TRUE(out[at - 3].startsWith("Stream begin ...")) << out[at - 3].toStdString();
    EXPECT_EQ(out[at - 2], "Stream end");
    const std::string jpeg = ReadFile(folder + "gp.jpg");
    EXPECT_EQ(out[at - 1], "gp=" + QString::number(jpeg.size())); // no stray zero byte
    QImage image;
    ASSERT_TRUE(image.loadFromData(QByteArray::fromStdString(jpeg), "JPEG"));
    EXPECT_EQ(image.size(), QSize(720, 576));

    Command("gd", QString::fromStdString(folder + "gd.txt file written"));
    SimClient direct(Sim->port());
    ASSERT_TRUE(direct.login());
    const auto records = direct.block("gd");
    ASSERT_TRUE(records);
    EXPECT_EQ(ReadFile(folder + "gd.txt"), records->second);

    // The configuration is shown line by line after its announcing line.
    const auto config = direct.block("gc");
    ASSERT_TRUE(config);
    const QString lines = QString::fromStdString(config->second).replace("\r\n", "\n").trimmed();
    Command("gc", lines.split('\n').last());
    EXPECT_TRUE(Page->Output()->toPlainText().contains(
        "Stream end\n" + QString::fromStdString(config->first) + "\n" + lines));
}

TEST_F(TerminalTest, LeavingTheTabEndsTheConnectionAndItsNoticeIsIgnored) {
    ASSERT_TRUE(Page->BindTransportLibrary());
    OpenTerminal();
    const QString before = Page->Output()->toPlainText();
    Tabs->setCurrentIndex(0);
    EXPECT_EQ(Handle, 0);
    ASSERT_TRUE(WaitUntil([&] { return SimLogCount("<closed by client>") == 1; }));
    WaitUntil([] { return false; }, 200); // the library's notice of the end arrives meanwhile
    EXPECT_EQ(Page->Output()->toPlainText(), before);

    // Closing the dialog on this tab ends it too; the page is still the active one then.
    OpenTerminal();
    EXPECT_EQ(SimLogCount("<connected>"), 2);
    Tabs->hide();
    EXPECT_EQ(Handle, 0);
    EXPECT_TRUE(WaitUntil([&] { return Has("Disconnected by local host."); }));
}

TEST_F(TerminalTest, ANewConnectionSurvivesTheLateNoticeOfTheOldOne) {
    ASSERT_TRUE(Page->BindTransportLibrary());
    OpenTerminal();
    const int first = Handle;
    Tabs->setCurrentIndex(0);
    OpenTerminal();
    const int second = Handle;
    Page->HandleNotice(first, EV_DISCONNECTED); // the end of the first, read only now
    EXPECT_EQ(Handle, second);
    Command("gv", "gv=\"Zelmont SF 5.2 38\"");
}

TEST_F(TerminalTest, FailedAndLostConnectionsEndWithTheirMessage) {
    ASSERT_TRUE(Page->BindTransportLibrary());
    Port = 1; // nothing listens there
    Tabs->setCurrentWidget(Page);
    ASSERT_TRUE(WaitUntil([&] { return Page->Output()->toPlainText().startsWith("Error: "); }))
        << Text();
    EXPECT_EQ(Handle, 0);

    Port = Sim->port();
    Tabs->setCurrentIndex(0);
    OpenTerminal();
    Sim->stop();
    ASSERT_TRUE(WaitUntil([&] { return Has("Disconnected by remote host."); }, 5000)) << Text();
    EXPECT_EQ(Handle, 0);
    EXPECT_FALSE(Page->Input()->isVisibleTo(Page));
}

TEST_F(TerminalTest, NoDetectorAndNoLibraryAreReportedOnce) {
    Host.clear();
    ASSERT_TRUE(Page->BindTransportLibrary());
    Tabs->setCurrentWidget(Page);
    ASSERT_TRUE(WaitUntil([&] { return !Messages.isEmpty(); }));
    EXPECT_EQ(Messages, QStringList{Lang(ltNoConnection)});
    EXPECT_EQ(Handle, 0);
    Tabs->setCurrentIndex(0);

    Messages.clear();
    Host = "127.0.0.1";
    TTerminalPage missing({&Host, &Port, &Login, &Password, &Last, &Handle});
    missing.Inform = Page->Inform;
    EXPECT_FALSE(missing.BindTransportLibrary("libzelmont_nowhere.so"));
    ASSERT_TRUE(WaitUntil([&] { return !Messages.isEmpty(); }));
    EXPECT_EQ(Messages, QStringList{"Error loading libzelmont_nowhere.so"});
    for (int shown = 0; shown < 2; ++shown) {
        missing.show();
        ASSERT_TRUE(WaitUntil([&] {
            return missing.Output()->blockCount() == shown + 1 &&
                   missing.Output()->toPlainText().endsWith("Error: Wrong address/port");
        }));
        missing.hide();
    }
    EXPECT_EQ(Messages.size(), 1);
    EXPECT_EQ(Handle, 0);
}

TEST_F(TerminalTest, OutputOverTheLimitIsClearedAtTheNextNotice) {
    Host.clear(); // the tab shown, no connection behind it
    Tabs->setCurrentWidget(Page);
    // Notices with no item behind them: each appends one line.
    for (int i = 0; i < MaxTerminalLines + 1; ++i)
        Page->HandleNotice(0, EV_STREAM_BEGIN);
    EXPECT_EQ(Page->Output()->blockCount(), MaxTerminalLines + 1);
    Page->HandleNotice(0, EV_CONNECTED);
    EXPECT_EQ(Lines(), QStringList{"Open connection... Sending login/password..."});
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    QTemporaryDir data;
    qputenv("KERVOLA_DATA_DIR", data.path().toUtf8());
    InitFolders();
    SelectLanguage(LangEnglish);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
