// The Terminal tab against the detector simulator, headless, with the transport library loaded
// at run time as the program loads it.
#include "terminal/TerminalPage.h"

#include "../program/qt_wait.h"
#include "../sim/sim_harness.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

// Readable failures.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QStringList Lines(const TTerminalPage& page) {
    return page.Output()->toPlainText().split('\n');
}

void Press(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

void Type(QLineEdit* input, const QString& text) {
    input->setText(text);
    Press(input, Qt::Key_Return);
}

// The page as the settings dialog holds it: one tab among others.
class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        LogPath = (Dir.path() + "/sim.log").toStdString();
        Sim = std::make_unique<SimProcess>(std::vector<std::string>{"--log", LogPath});
        ASSERT_GT(Sim->port(), 0);
        Tabs = std::make_unique<QTabWidget>();
        Tabs->addTab(new QWidget, "System");
        Page = new TTerminalPage({&Host, &Port, &Login, &Password, &Last, &Handle});
        Tabs->addTab(Page, "Terminal");
        Page->Inform = [this](QWidget*, const QString& text, QMessageBox::Icon) {
            Messages << text;
        };
        Port = Sim->port();
        Tabs->resize(640, 480);
        Tabs->show();
    }
    void TearDown() override {
        Tabs.reset();
        Sim->stop();
    }
    void Bind() { ASSERT_TRUE(Page->BindTransportLibrary()); }
    void OpenTerminal() {
        Tabs->setCurrentWidget(Page);
        ASSERT_TRUE(WaitUntil([&] { return Page->Input()->isVisible(); }))
            << Page->Output()->toPlainText().toStdString();
    }
    bool OutputHas(const QString& line) { return Lines(*Page).contains(line); }
    // Sends a command and waits for the line that completes its answer.
    void Command(const QString& text, const QString& last) {
        Type(Page->Input(), text);
        ASSERT_TRUE(WaitUntil([&] { return OutputHas(last); }, 5000))
            << text.toStdString() << "\n" << Page->Output()->toPlainText().toStdString();
    }
    int SimLogCount(const std::string& text) {
        std::ifstream in(LogPath);
        std::string line;
        int n = 0;
        while (std::getline(in, line))
            n += line.size() > text.size() && line.compare(line.size() - text.size(), text.size(),
                                                           text) == 0;
        return n;
    }

    QTemporaryDir Dir;
    std::string LogPath;
    std::unique_ptr<SimProcess> Sim;
    std::unique_ptr<QTabWidget> Tabs;
    TTerminalPage* Page = nullptr;
    QStringList Messages;
    // The dialog's fields the page works with.
    std::string Host = "127.0.0.1";
    int Port = 0;
    std::string Login = "root";
    std::string Password = "kvtp";
    std::string Last;
    int Handle = 0;
};

TEST_F(TerminalTest, ShowingTheTabLogsInAndOffersTheInput) {
    Bind();
    EXPECT_FALSE(Page->Input()->isVisible());
    OpenTerminal();
    EXPECT_GT(Handle, 0);
    EXPECT_EQ(Lines(*Page),
              (QStringList{"Open connection... Sending login/password...", "OK"}));
    EXPECT_TRUE(Page->Input()->hasFocus() || !QApplication::focusWidget());
    EXPECT_TRUE(QFontInfo(Page->Output()->font()).fixedPitch());
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(TerminalTest, RepliesAndBodiesReachOutputAndFiles) {
    Bind();
    const std::string folder = DataFolder();
    std::ofstream(folder + "gp.jpg") << "an older picture";
    OpenTerminal();

    Command("gv", "gv=\"Zelmont SF 5.2 38\"");

    const QString picture = QString::fromStdString(folder + "gp.jpg file written");
    Command("gp", picture);
    QStringList out = Lines(*Page);
    const qsizetype at = out.indexOf(picture);
    ASSERT_GE(at, 3);
    EXPECT_EQ(out[at - 2], "Stream end");
    EXPECT_TRUE(out[at - 1].startsWith("gp="));
    EXPECT_TRUE(out.filter(QRegularExpression("^Stream begin \\.*$")).size() >= 1);
    const std::string jpeg = ReadFile(folder + "gp.jpg");
    EXPECT_EQ(QString::number(jpeg.size()), out[at - 1].mid(3)); // no stray zero at the end
    QImage image;
    ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(jpeg.data()),
                                   static_cast<int>(jpeg.size()), "JPEG"));
    EXPECT_EQ(image.size(), QSize(720, 576));

    Command("gd", QString::fromStdString(folder + "gd.txt file written"));
    SimClient direct(Sim->port());
    ASSERT_TRUE(direct.login());
    const auto records = direct.block("gd");
    ASSERT_TRUE(records);
    EXPECT_EQ(ReadFile(folder + "gd.txt"), records->second);

    const auto config = direct.block("gc");
    ASSERT_TRUE(config);
    Command("gc", "Stream end");
    ASSERT_TRUE(WaitUntil([&] { return Page->Output()->toPlainText().contains("</"); }));
    // The configuration is shown line by line after its announcing line.
    const QString shown = Page->Output()->toPlainText();
    const QString sent = QString::fromUtf8(config->second.data(), config->second.size())
                             .replace("\r\n", "\n")
                             .trimmed();
    EXPECT_TRUE(shown.contains(QString::fromStdString(config->first) + "\n" + sent))
        << shown.toStdString();
}

TEST_F(TerminalTest, EnterEchoesAndUpArrowBringsTheCommandBack) {
    Bind();
    OpenTerminal();
    Command("gv", "gv=\"Zelmont SF 5.2 38\"");
    EXPECT_TRUE(OutputHas(">gv"));
    EXPECT_TRUE(Page->Input()->text().isEmpty());
    EXPECT_EQ(Last, "gv");

    Page->Input()->setText("something else");
    Press(Page->Input(), Qt::Key_Up);
    EXPECT_EQ(Page->Input()->text(), "gv");
    EXPECT_EQ(Page->Input()->cursorPosition(), 2);
}

TEST_F(TerminalTest, LeavingTheTabEndsTheConnectionAndIgnoresItsLastNotice) {
    Bind();
    OpenTerminal();
    const QString before = Page->Output()->toPlainText();
    Tabs->setCurrentIndex(0);
    EXPECT_EQ(Handle, 0);
    EXPECT_FALSE(Page->Input()->isVisibleTo(Page));
    ASSERT_TRUE(WaitUntil([&] { return SimLogCount("<closed by client>") == 1; }));
    // The library's notice of the ending arrives while another tab is shown.
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(Page->Output()->toPlainText(), before);

    // Showing the tab again opens a new connection.
    OpenTerminal();
    EXPECT_EQ(SimLogCount("<connected>"), 2);
}

TEST_F(TerminalTest, ANewConnectionSurvivesTheLateNoticeOfTheOldOne) {
    Bind();
    OpenTerminal();
    const int first = Handle;
    Tabs->setCurrentIndex(0);
    OpenTerminal();
    const int second = Handle;
    EXPECT_GT(second, first);
    // The ending of the first connection, read only now.
    Page->HandleNotice(first, EV_DISCONNECTED);
    EXPECT_EQ(Handle, second);
    EXPECT_TRUE(Page->Input()->isVisible());
    Command("gv", "gv=\"Zelmont SF 5.2 38\"");
}

TEST_F(TerminalTest, DetectorHandedOverRightAfterShowingIsTheOneConnectedTo) {
    Bind();
    const int port = Port;
    Host.clear();
    Port = 1;
    Tabs->setCurrentWidget(Page);
    Host = "127.0.0.1"; // as the controller does after showing the dialog
    Port = port;
    OpenTerminal();
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(TerminalTest, ClosingTheDialogOnTheTerminalTabEndsTheConnection) {
    Bind();
    OpenTerminal();
    Tabs->hide();
    EXPECT_EQ(Handle, 0);
    ASSERT_TRUE(WaitUntil([&] { return OutputHas("Disconnected by local host."); }));
}

TEST_F(TerminalTest, DetectorGoingAwayIsReported) {
    Bind();
    OpenTerminal();
    Sim->stop();
    ASSERT_TRUE(WaitUntil([&] { return OutputHas("Disconnected by remote host."); }, 5000))
        << Page->Output()->toPlainText().toStdString();
    EXPECT_EQ(Handle, 0);
    EXPECT_FALSE(Page->Input()->isVisibleTo(Page));
}

TEST_F(TerminalTest, RefusedConnectionIsAnError) {
    Bind();
    Port = 1; // nothing listens there
    Tabs->setCurrentWidget(Page);
    ASSERT_TRUE(WaitUntil([&] { return Page->Output()->toPlainText().startsWith("Error: "); }))
        << Page->Output()->toPlainText().toStdString();
    EXPECT_EQ(Handle, 0);
    EXPECT_FALSE(Page->Input()->isVisibleTo(Page));
}

TEST_F(TerminalTest, NoDetectorSaysSoAndOpensNothing) {
    Bind();
    Host.clear();
    Tabs->setCurrentWidget(Page);
    ASSERT_TRUE(WaitUntil([&] { return !Messages.isEmpty(); }));
    EXPECT_EQ(Messages, QStringList{Lang(ltNoConnection)});
    EXPECT_EQ(Handle, 0);
}

TEST_F(TerminalTest, MissingLibraryIsReportedOnceAndTheTabCannotConnect) {
    EXPECT_FALSE(Page->BindTransportLibrary("libzelmont_nowhere.so"));
    EXPECT_EQ(Messages, QStringList{"Error loading libzelmont_nowhere.so"});
    Tabs->setCurrentWidget(Page);
    EXPECT_TRUE(WaitUntil([&] { return OutputHas("Error: Wrong address/port"); }));
    Tabs->setCurrentIndex(0);
    Tabs->setCurrentWidget(Page);
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(Messages.size(), 1);
    EXPECT_EQ(Handle, 0);
    Type(Page->Input(), "gv"); // nothing to send it on: no echo
    EXPECT_FALSE(OutputHas(">gv"));
}

TEST_F(TerminalTest, OutputOverTheLimitIsClearedAtTheNextNotice) {
    Bind();
    Host.clear(); // the tab shown, no connection behind it
    Tabs->setCurrentWidget(Page);
    // Notices with no item behind them: each appends one line.
    for (int i = 0; i < MaxTerminalLines + 1; ++i)
        Page->HandleNotice(0, EV_STREAM_BEGIN);
    EXPECT_EQ(Page->Output()->blockCount(), MaxTerminalLines + 1);
    Page->HandleNotice(0, EV_CONNECTED);
    EXPECT_EQ(Lines(*Page), QStringList{"Open connection... Sending login/password..."});
    Page->HandleNotice(0, EV_STREAM_PROGRESS);
    EXPECT_EQ(Lines(*Page), QStringList{"Open connection... Sending login/password...."});
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir data;
    qputenv("KERVOLA_DATA_DIR", data.path().toUtf8());
    InitFolders();
    SelectLanguage(LangEnglish);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
