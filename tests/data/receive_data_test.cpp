// "Receive data file" in the program: the controller logged in to the detector simulator (or to
// a scripted detector), a scripted user in place of the modal dialogs, real files.
#include "program/zelmont_box.h"
#include "../program/program_test_main.h"

#include "../program/program_fixture.h"
#include "addressbook/Connection_manager.h"
#include "data/DataDownload.h"
#include "dialogs/day_picker_form.h"
#include "dialogs/progress_form.h"
#include "fake_detector.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "settings/Settings_form.h"

#include <QApplication>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

// The day picker answered as typed; every other question as the shared script says.
class DataUser : public ScriptedUser {
public:
    QString Days; // typed into the day picker when not empty
    int Execs = 0;
    QPoint PickerAt;

    bool Exec(QDialog* dialog) override {
        ++Execs;
        PickerAt = dialog->pos();
        if (auto* picker = qobject_cast<TDayPickerForm*>(dialog); picker && !Days.isEmpty())
            picker->DaysBox()->setEditText(Days);
        return ExecAnswer;
    }
};

class ReceiveTest : public ProgramTest<DataUser> {
protected:
    void ConnectTo(int port) {
        ASSERT_TRUE(Box->OpenConnection("127.0.0.1", port, false, "kvtp", "root"));
        ASSERT_TRUE(WaitUntil(
            [&] { return Box->ConnectionState == csReady && !Box->FirmwareVersion.empty(); },
            5000));
    }
    void StartSim(std::vector<std::string> args) {
        ProgramTest::StartSim(std::move(args));
        ConnectTo(Sim->port());
    }
    QString PathOf(const QString& name) const { return Dir.path() + "/" + name; }
    static std::string Read(const QString& path) {
        std::ifstream in(path.toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    bool Sent(const std::string& line) const { return WasSent(line); }
};

class ReceiveLayouts : public ReceiveTest, public ::testing::WithParamInterface<int> {};

TEST_P(ReceiveLayouts, CurrentFirmwareWritesTheTableOrTheBytes) {
    const int size = GetParam();
    StartSim({"--record-size", std::to_string(size), "--records", "20"});
    User->Files = {PathOf("d.csv"), PathOf("d.Bin")};
    EXPECT_EQ(Box->ReceiveDataFile(), 20 * size);
    EXPECT_TRUE(Sent("gb stat"));
    EXPECT_TRUE(Sent("gb ltim=0,0"));
    const std::string table = Read(PathOf("d.csv"));
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 20);
    EXPECT_EQ(std::count(table.begin(), table.end(), ','), 20 * (size == 288 ? 60 : 22));

    EXPECT_EQ(Box->ReceiveDataFile(), 20 * size);
    EXPECT_EQ(Read(PathOf("d.Bin")).size(), 20u * static_cast<size_t>(size));

    ASSERT_EQ(User->FileQuestions.size(), 2u);
    const TFileQuestion& q = User->FileQuestions[0];
    EXPECT_TRUE(q.Save);
    EXPECT_EQ(q.DefaultSuffix, "csv");
    EXPECT_TRUE(q.Filter.startsWith("Text table files ("));
    EXPECT_TRUE(q.Filter.contains(";;Binary data files (*.bin"));
    EXPECT_EQ(User->PickerAt, Box->DialogPosition(60));
    EXPECT_EQ(Box->ProgressForm->windowTitle(), Lang(ltReceiveDataFile));
    EXPECT_EQ(Box->ProgressForm->pos(), Box->DialogPosition(30));
    EXPECT_EQ(Box->ProgressForm->Bar()->value(), 100);
    EXPECT_TRUE(Box->ProgressForm->OkButton()->isVisible());
    EXPECT_TRUE(User->Informed.empty());
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReceiveLayouts, ::testing::Values(136, 144, 288));

TEST_F(ReceiveTest, FirmwareBelow38GetsTheBytesAsReceivedAndNoBinaryFilter) {
    StartSim({"--record-size", "144", "--records", "5", "--firmware", "\"Zelmont SF 5.1 37\""});
    User->Files = {PathOf("old.csv")};
    EXPECT_EQ(Box->ReceiveDataFile(), 5 * 144);
    EXPECT_TRUE(Sent("gd"));
    EXPECT_FALSE(Sent("gb stat"));
    EXPECT_EQ(Read(PathOf("old.csv")).size(), 5u * 144);
    ASSERT_EQ(User->FileQuestions.size(), 1u);
    EXPECT_FALSE(User->FileQuestions[0].Filter.contains("Binary"));
}

TEST_F(ReceiveTest, NothingHappensUnlessLoggedInAndConfirmed) {
    EXPECT_EQ(Box->ReceiveDataFile(), -1); // no detector
    EXPECT_EQ(User->Execs, 0);

    StartSim({});
    User->ExecAnswer = false;
    EXPECT_EQ(Box->ReceiveDataFile(), -1);
    EXPECT_TRUE(User->FileQuestions.empty());
    User->ExecAnswer = true; // the save dialog cancelled
    EXPECT_EQ(Box->ReceiveDataFile(), -1);
    EXPECT_EQ(User->FileQuestions.size(), 1u);
    EXPECT_FALSE(Sent("gb stat"));
    EXPECT_TRUE(User->Informed.empty());

    // A picture arriving on the main connection does not make it less logged in.
    Box->ConnectionState = csPictureBody;
    User->Files = {PathOf("live.csv")};
    EXPECT_GT(Box->ReceiveDataFile(), 0);
    Box->ConnectionState = csReady;
}

TEST_F(ReceiveTest, TypedDaysAskForRecentRecords) {
    StartSim({"--records", "100"});
    User->Days = "1";
    User->Files = {PathOf("day.csv")};
    const std::string before = DownloadStartText(1, std::time(nullptr));
    const int bytes = Box->ReceiveDataFile();
    const std::string after = DownloadStartText(1, std::time(nullptr));
    EXPECT_GT(bytes, 0);
    EXPECT_LT(bytes, 50 * 136);
    EXPECT_TRUE(Sent("gb ltim=" + before + ",0") || Sent("gb ltim=" + after + ",0"));
}

TEST_F(ReceiveTest, SettingsCommandReportsTheOutcome) {
    StartSim({"--records", "3"});
    ASSERT_TRUE(Box->SettingsForm);
    User->Files = {PathOf("ok.csv")};
    int code = scReceiveData;
    std::string text;
    Box->ExecuteSettingsCommand(Box->SettingsForm, code, text);
    EXPECT_EQ(code, 3 * 136);
    EXPECT_FALSE(Box->ProgressForm->isVisible());
    ASSERT_EQ(User->Informed.size(), 1u);
    EXPECT_EQ(User->Informed[0], Lang(ltFileDownloaded));

    Sim->stop(); // the detector went away after the main connection was made
    User->Files = {PathOf("gone.csv")};
    code = scReceiveData;
    Box->ExecuteSettingsCommand(Box->SettingsForm, code, text);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(User->Informed.size(), 2u);
    EXPECT_EQ(User->Informed[1], Lang(ltFileDownloadError));
    EXPECT_FALSE(QFile::exists(PathOf("gone.csv")));
}

TEST_F(ReceiveTest, FailedDownloadsAndTheirMessages) {
    StartSim({"--records", "0"});
    User->Files = {PathOf("empty.csv")};
    EXPECT_EQ(Box->ReceiveDataFile(), 0); // the caller says "File download error"
    EXPECT_TRUE(QFile::exists(PathOf("empty.csv")));
    EXPECT_EQ(Read(PathOf("empty.csv")), "");
    User->Files = {PathOf("nowhere/x.csv")};
    EXPECT_EQ(Box->ReceiveDataFile(), -1);
    ASSERT_EQ(User->Informed.size(), 1u);
    EXPECT_EQ(User->Informed[0], "File " + PathOf("nowhere/x.csv") + " write error");

    Box->CloseConnection();
    FakeDetector odd({{"gv", {"gv=\"Odd 40\"\r\n", false}},
                      {"gb stat", {"gb stat=200,1\r\n", false}},
                      {"gb ltim=", {"gb ltim=200\r\n" + std::string(200, 'x'), true}}});
    ConnectTo(odd.Port());
    User->Files = {PathOf("odd.csv")};
    EXPECT_EQ(Box->ReceiveDataFile(), -1);
    ASSERT_EQ(User->Informed.size(), 2u);
    EXPECT_EQ(User->Informed[1], "Format error: Unknown record size: 200");
    EXPECT_FALSE(QFile::exists(PathOf("odd.csv")));
    Box->CloseConnection();
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangEnglish);
}
