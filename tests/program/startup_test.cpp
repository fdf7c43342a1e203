// The deferred start-up and the autostart dialog: kervola.ini, the address book, the automatic
// connection to the simulator.
#include "program/AutostartForm.h"
#include "program_test_main.h"

#include "program_fixture.h"
#include "addressbook/Connection_manager.h"
#include "addressbook/HostRecords.h"
#include "platform/Folders.h"
#include "lang/lang_res.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Each test makes the window it needs: most of them from a start-up file of their own.
class StartupTest : public ProgramTest<> {
protected:
    StartupTest() : ProgramTest(TWindowAtStart::None) {}
    void SetUp() override { Ini = (Dir.path() + "/site.ini").toStdString(); }
    void WriteIni(const std::string& text) { std::ofstream(Ini, std::ios::binary) << text; }
    void WriteHosts(int entries, int port) {
        std::vector<THostRec> hosts;
        for (int i = 0; i < entries; ++i) {
            THostRec r;
            r.Caption = "Post " + std::to_string(i);
            r.Address = "127.0.0.1";
            r.Port = port;
            r.Login = "root";
            r.Password = "kvtp";
            hosts.push_back(r);
        }
        std::string error;
        ASSERT_TRUE(SaveHostsFile(DataFolder() + "hosts.ini", hosts, &error)) << error;
    }
    std::string Ini;
};

TEST_F(StartupTest, ConnectsByItselfToTheChosenEntry) {
    StartSim();
    WriteHosts(2, Sim->port());
    WriteIni("[AUTOSTART]\nCONNECTION=1\nLEFT=20\nTOP=30\nWIDTH=640\nHEIGHT=480\n");
    OpenWindow({QString::fromStdString(Ini)});
    TForm1& form = *Form;
    TZelmont_box& box = *Box;
    ASSERT_TRUE(WaitUntil([&] { return box.ConnectionState == csReady && box.Count() == 4; }));
    EXPECT_EQ(box.CurrentHost.Caption, "Post 1");
    EXPECT_FALSE(box.Editing);
    EXPECT_TRUE(box.ShowStrip);
    EXPECT_EQ(box.VideoRate, 25);
    EXPECT_TRUE(box.DataMode);
    EXPECT_EQ(form.size(), QSize(640, 480));
    // Live pictures arrive once the timer runs the start-up countdown.
    ASSERT_TRUE(WaitUntil([&] { return box.PicturesReceived >= 3; }, 5000));
    EXPECT_EQ(form.TitleText().left(24), "KERVOLA < ZELMONT_SF >  ");
}

TEST_F(StartupTest, IndexOutOfRangeOrMissingIniMeansNoConnection) {
    WriteHosts(3, 1);
    WriteIni("[AUTOSTART]\nCONNECTION=3\nCONTROLS=on\n");
    TForm1 form({QString::fromStdString(Ini)});
    form.Startup();
    EXPECT_EQ(form.Controller()->ConnectionState, csNoConnection);
    EXPECT_FALSE(form.Controller()->ControlsEnabled); // only "ON" enables them
    EXPECT_EQ(form.AutoForm()->CheckListBox1()->count(), 3);

    const TAutostartSettings defaults = TAutoForm::ReadSettings(Ini + ".missing");
    EXPECT_EQ(defaults.Connection, -1);
    EXPECT_EQ(defaults.Left, 1);
    EXPECT_EQ(defaults.Width, 720);
    EXPECT_EQ(defaults.Height, 576);
    EXPECT_TRUE(defaults.ControlsEnabled);
}

TEST_F(StartupTest, AutostartDialogKeepsOneCheckAndSavesGeometry) {
    WriteIni("; site settings\n[AUTOSTART]\nCONNECTION=0\nCONTROLS=ON\n");
    QWidget mainForm;
    mainForm.resize(800, 600);
    TAutoForm dialog(&mainForm);
    dialog.SetEntries({"A", "B", "C"});
    EXPECT_EQ(dialog.LoadAutostart(Ini), 0);
    QListWidget* list = dialog.CheckListBox1();
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    list->item(2)->setCheckState(Qt::Checked); // a click on the third item
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(dialog.SelectedIndex(), 2);
    list->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(dialog.SelectedIndex(), -1);
    ASSERT_TRUE(dialog.SaveAutostart(Ini));
    const std::string text = ReadFile(Ini);
    EXPECT_NE(text.find("; site settings\n"), std::string::npos);
    EXPECT_NE(text.find("CONNECTION=-1\n"), std::string::npos);
    EXPECT_NE(text.find("WIDTH=800\n"), std::string::npos);
    EXPECT_NE(text.find("HEIGHT=600\n"), std::string::npos);
    EXPECT_NE(text.find("CONTROLS=ON\n"), std::string::npos); // never written, kept
    EXPECT_EQ(TAutoForm::IniPath(""), "kervola.ini");
}

// The program enters the data folder at start; "cfg/k.ini" still means the folder it was
// started in, for reading and for the dialog's "Ok".
TEST_F(StartupTest, RelativeIniPathWithAFolderIsTakenFromTheStartingFolder) {
    ASSERT_FALSE(StartFolder().empty());
    ASSERT_NE(StartFolder(), DataFolder());
    QTemporaryDir started(QString::fromStdString(StartFolder()) + "ini-XXXXXX");
    ASSERT_TRUE(started.isValid());
    const QString relative =
        QDir(QString::fromStdString(StartFolder())).relativeFilePath(started.path()) + "/k.ini";
    ASSERT_FALSE(relative.startsWith('/'));
    const std::string file = started.filePath("k.ini").toStdString();
    std::ofstream(file, std::ios::binary) << "[AUTOSTART]\nCONNECTION=-1\nWIDTH=640\nHEIGHT=480\n";
    TForm1 form({relative});
    form.Startup();
    EXPECT_EQ(form.size(), QSize(640, 480));

    form.resize(800, 600);
    QPushButton* ok = form.AutoForm()->findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    ok->click();
    EXPECT_NE(ReadFile(file).find("WIDTH=800"), std::string::npos) << ReadFile(file);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(DataFolder()) + relative));
}

TEST_F(StartupTest, CloseAsksOnlyWithControls) {
    OpenWindow({}, false);
    TForm1& form = *Form;
    int asked = 0;
    form.ConfirmClose = [&] {
        ++asked;
        return false;
    };
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_EQ(asked, 1);
    Box->ControlsEnabled = false;
    EXPECT_TRUE(form.close());
    EXPECT_EQ(asked, 1);
}

// The language chosen on the command line is the one the window starts with; the other table
// never shows through, and a window made without one speaks Russian.
TEST_F(StartupTest, WindowStartsInTheChosenLanguage) {
    {
        TForm1 form({}, LangEnglish);
        EXPECT_TRUE(form.TitleText().endsWith(" No connection")) << form.TitleText().toStdString();
    }
    TForm1 form;
    EXPECT_TRUE(form.TitleText().endsWith(QString::fromUtf8(" Подключение не установлено")))
        << form.TitleText().toStdString();
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangRussian);
}
