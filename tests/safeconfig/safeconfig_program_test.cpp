// Safe configuration work in the program against the detector simulator: history files after
// reads and uploads, rollback, the changes before an upload, zones files and the menu.
#include "program/ConfigTransfer.h"
#include "program/zelmont_box.h"
#include "../program/program_test_main.h"

#include "../program/program_fixture.h"
#include "addressbook/Connection_manager.h"
#include "dialogs/SendingForm.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "safeconfig/ChangesForm.h"
#include "safeconfig/ConfigSnapshot.h"
#include "safeconfig/HistoryForm.h"
#include "safeconfig/SafeConfig.h"
#include "settings/Settings_form.h"
#include "zones/mm_timer.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <fstream>

namespace {

std::string ReadAll(const std::string& path) {
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

// A document as the editor writes it back after loading it: the zone coordinates in this
// desktop's decimal separator, everything else as it was.
std::string AsTheEditorWritesIt(const std::string& text) {
    TXMLConfig doc;
    if (!doc.LoadFromText(text))
        return {};
    TQuadList zones;
    doc.ReadSensors(zones);
    return doc.AsText();
}

class SafeConfigTest : public ProgramTest<> {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        Box->SafeConfig->HistoryRoot = (Dir.path() + "/history/").toStdString();
        StartSim();
    }
    void Connect() {
        const int before = Reads;
        ProgramTest::Connect(true);
        // The configuration has arrived when the first picture request may go.
        ASSERT_TRUE(WaitUntil([&] { return Box->Count() > 0; }));
        Reads = before + 1;
    }
    // Uploads the document through the sending dialog; the status text after the reply.
    QString Upload() {
        Box->AskConfigUpload();
        Box->SendingForm->OkButton()->click();
        EXPECT_TRUE(WaitUntil(
            [&] { return Box->SendingForm->TextLine()->text() != Lang(ltSendInProgress); }));
        return Box->SendingForm->TextLine()->text();
    }
    std::vector<THistoryEntry> History() {
        return Box->SafeConfig->Store().List("127.0.0.1", Sim->port());
    }
    QAction* ItemOf(TMenuCommand command) {
        for (QAction* a : Box->BuildMainMenu(Box->SelectedIndex)->actions())
            if (!a->isSeparator() && a->data().toInt() == static_cast<int>(command))
                return a;
        return nullptr;
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(Form.get(), &e);
    }
    std::string Detector() {
        SimClient peer(Sim->port());
        EXPECT_TRUE(peer.login());
        const auto stored = peer.block("gc");
        return stored ? stored->second : std::string();
    }

    int Reads = 0;
};

TEST_F(SafeConfigTest, HistoryAfterReadConfirmedAndRefusedUploadAndIdenticalRead) {
    const std::string original = Detector();
    Connect();
    auto files = History();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Kind, "read");
    EXPECT_EQ(files[0].Sensors, 4);
    EXPECT_EQ(ReadAll(files[0].Path), original);
    EXPECT_EQ(Box->SafeConfig->Store().LabelOf("127.0.0.1", Sim->port()), "");

    Box->DeleteSelected();
    const std::string edited = Box->Config->AsText();
    EXPECT_EQ(Upload(), Lang(ltConfigUploaded) + QString::number(edited.size()));
    files = History();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].Kind, "sent");
    EXPECT_EQ(files[1].Sensors, 3);
    EXPECT_EQ(ReadAll(files[1].Path), edited);

    // A refused upload is not kept as sent.
    Box->Transfer->UploadInFlight = TConfigTransfer::TUploadWait{edited + "more"};
    Box->HandleUploadReply("sc s=0");
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltCannotUploadConfig));
    EXPECT_EQ(History().size(), 2u);

    // Reading again what was just sent stores nothing new; the undo steps end there.
    Box->DeleteSelected();
    ASSERT_GT(Box->SafeConfig->Undo().Steps().UndoCount(), 0u);
    Box->CloseConnection();
    Connect();
    ASSERT_TRUE(WaitUntil([&] { return Box->Count() == 3; }));
    EXPECT_EQ(History().size(), 2u);
    EXPECT_EQ(Box->SafeConfig->Undo().Steps().UndoCount(), 0u);
    EXPECT_EQ(Box->SafeConfig->Undo().Steps().RedoCount(), 0u);
}

TEST_F(SafeConfigTest, RollbackOfAnOlderConfigurationArrivesByteForByte) {
    Connect();
    const std::string first = ReadAll(History()[0].Path);
    Box->DeleteSelected();
    Box->DeleteSelected();
    Upload();
    ASSERT_EQ(Detector().size(), Box->Config->AsText().size());

    ItemOf(TMenuCommand::History)->trigger();
    THistoryForm* dialog = Box->SafeConfig->HistoryForm();
    ASSERT_TRUE(dialog->isVisible());
    ASSERT_EQ(dialog->Table()->rowCount(), 2);
    EXPECT_EQ(dialog->Table()->item(0, 1)->text(), Lang(ltHistorySent)); // newest first
    EXPECT_EQ(dialog->Table()->item(1, 3)->text(), "4");
    dialog->Table()->selectRow(1);
    dialog->DiffButton()->click();
    // From the editor to the kept file: what loading it would bring back.
    EXPECT_NE(dialog->Viewer()->Text().indexOf("+ <object id=\"3\""), -1)
        << dialog->Viewer()->Text().toStdString();
    dialog->LoadButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_EQ(Box->Count(), 4);
    EXPECT_TRUE(Box->Editing);

    // The changes before the upload are those of the rollback, against what the detector holds.
    Box->AskConfigUpload();
    Box->SendingForm->ChangesButton()->click();
    TChangesForm* changes = Box->SafeConfig->ChangesForm();
    ASSERT_TRUE(changes->isVisible());
    EXPECT_NE(changes->Text().indexOf("+ <object id=\"4\""), -1) << changes->Text().toStdString();
    EXPECT_EQ(changes->Text().indexOf("\n-"), -1) << changes->Text().toStdString();

    // The rollback is the first read, its coordinates written as this desktop writes them.
    const std::string rollback = AsTheEditorWritesIt(first);
    ASSERT_EQ(rollback.size(), first.size());
    EXPECT_EQ(Upload(), Lang(ltConfigUploaded) + QString::number(first.size()));
    EXPECT_EQ(Detector(), rollback);
    // The rollback is itself history now.
    EXPECT_EQ(ReadAll(History().back().Path), rollback);

    // Nothing left to show once the detector holds the document.
    Box->SendingForm->ChangesButton()->click();
    EXPECT_EQ(changes->Text(), Lang(ltNoChanges));
}

TEST_F(SafeConfigTest, ChangesWithoutAnEarlierConfigurationSaySo) {
    ProgramTest::Connect(false);
    Box->AskConfigUpload();
    EXPECT_EQ(Box->SendingForm->ChangesButton()->text(), Lang(ltChangesButton));
    Box->SendingForm->ChangesButton()->click();
    EXPECT_EQ(Box->SafeConfig->ChangesForm()->Heading(), Lang(ltNoEarlierConfig));
    EXPECT_TRUE(Box->Config->TopNode == nullptr); // looking changes nothing
}

TEST_F(SafeConfigTest, AFailedHistoryWriteIsToldOnceAndTheUploadGoesOn) {
    // A file where the history folder should be: nothing can be kept.
    const std::string blocker = (Dir.path() + "/blocked").toStdString();
    std::ofstream(blocker) << "x";
    Box->SafeConfig->HistoryRoot = blocker + "/history/";
    Connect();
    EXPECT_FALSE(Box->SafeConfig->LastProblem().empty());
    Box->DeleteSelected();
    const QString first = Upload();
    EXPECT_TRUE(first.startsWith(Lang(ltConfigUploaded))) << first.toStdString();
    EXPECT_NE(first.indexOf(Lang(ltHistoryNotWritten)), -1) << first.toStdString();
    Box->DeleteSelected();
    const QString second = Upload();
    EXPECT_EQ(second, Lang(ltConfigUploaded) + QString::number(Box->Config->AsText().size()));
    EXPECT_EQ(Detector(), Box->Config->AsText());
}

// The simulator stores every upload but answers only every other one: the second upload's reply
// is lost. Its wait ends with a message, and the third upload is judged by its own reply.
TEST_F(SafeConfigTest, ALostUploadReplyTimesOutAndSpoilsNoLaterUpload) {
    Sim->stop();
    StartSim({"--drop-sc", "2"});
    Connect();
    Box->DeleteSelected();
    const std::string first = Box->Config->AsText();
    EXPECT_EQ(Upload(), Lang(ltConfigUploaded) + QString::number(first.size()));

    Box->DeleteSelected();
    const std::string lost = Box->Config->AsText();
    Box->AskConfigUpload();
    Box->SendingForm->OkButton()->click();
    ASSERT_TRUE(Box->Transfer->UploadInFlight.has_value());
    // No second upload goes out while one waits: its reply could not be told apart.
    Box->AskConfigUpload();
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltSendInProgress));
    EXPECT_FALSE(Box->SendingForm->OkButton()->isEnabled());
    Box->UploadConfig();
    ASSERT_TRUE(WaitUntil([&] { return Detector() == lost; }));
    EXPECT_EQ(Box->Transfer->UploadInFlight->Text, lost);
    // The wait is counted in timer ticks; these are the time-out's worth, whatever the timer
    // itself adds meanwhile.
    const unsigned ticks = TConfigTransfer::UploadReplyTimeoutMs / Box->Timer()->Interval();
    for (unsigned i = 0; i < ticks && Box->Transfer->UploadInFlight; ++i)
        Box->HandleTimerTick(Box->Timer());
    EXPECT_FALSE(Box->Transfer->UploadInFlight.has_value());
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltUploadNoReply));
    EXPECT_TRUE(Box->SendingForm->OkButton()->isEnabled());
    EXPECT_EQ(History().size(), 2u); // unconfirmed: not kept as sent

    // A document as long as the lost one but not the same: only its own reply may confirm it.
    Box->SelectedIndex = 0;
    ASSERT_TRUE(Box->ChangeSelectedId("9"));
    const std::string good = Box->Config->AsText();
    ASSERT_EQ(good.size(), lost.size());
    ASSERT_NE(good, lost);
    EXPECT_EQ(Upload(), Lang(ltConfigUploaded) + QString::number(good.size()));
    EXPECT_EQ(Detector(), good);
    auto files = History();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files.back().Kind, "sent");
    EXPECT_EQ(ReadAll(files.back().Path), good);

    // A reply without a count answers the waiting upload as a refusal, at once.
    Box->Transfer->UploadInFlight = TConfigTransfer::TUploadWait{"x"};
    std::string reply = "sc\r\n";
    Box->HandleClientEvent(ceData, reply);
    EXPECT_FALSE(Box->Transfer->UploadInFlight.has_value());
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltCannotUploadConfig));

    // A reply that comes after the time-out belongs to the upload that timed out.
    Box->Transfer->OverdueUpload = lost;
    Box->HandleUploadReply("sc s=" + std::to_string(lost.size()));
    EXPECT_EQ(Box->SendingForm->TextLine()->text(),
              Lang(ltConfigUploaded) + QString::number(lost.size()));
    EXPECT_EQ(ReadAll(History().back().Path), lost);

    // A connection that goes while an upload waits ends the wait too.
    Box->Transfer->UploadInFlight = TConfigTransfer::TUploadWait{good};
    Box->CloseConnection();
    EXPECT_FALSE(Box->Transfer->UploadInFlight.has_value());
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltUploadConnectionLost));
}

TEST_F(SafeConfigTest, ZonesExportedAndImportedKeepTheOtherObjects) {
    Connect();
    const std::string read = DocumentText(*Box->Config);
    const std::string zonesFile = (Dir.path() + "/zones.xml").toStdString();
    User->Files = {QString::fromStdString(zonesFile)};
    ItemOf(TMenuCommand::ExportZones)->trigger();
    EXPECT_TRUE(User->Informed.empty());
    const std::string detectorZones = ReadAll(zonesFile);
    ASSERT_NE(detectorZones.find("type=\"zones\""), std::string::npos);

    // Another detector's configuration, with its own system settings and two zones.
    TXMLConfig other;
    TQuadList scratch;
    other.CreateDefault("KERVOLA", "OTHER");
    other.TopNode->GetNode(0)->GetNode(0)->Params.SetParam("val", "9001");
    other.AddSensor(scratch, "8", DefaultQuad(0));
    other.AddSensor(scratch, "9", DefaultQuad(1));
    const std::string otherFile = (Dir.path() + "/other.xml").toStdString();
    ASSERT_TRUE(other.SaveToFile(otherFile));
    User->Files = {QString::fromStdString(otherFile)};
    Key(Qt::Key_F3);
    ASSERT_EQ(Box->Count(), 2);

    User->Files = {QString::fromStdString(zonesFile)};
    ItemOf(TMenuCommand::ImportZones)->trigger();
    EXPECT_TRUE(User->Informed.empty());
    ASSERT_EQ(Box->Count(), 4);
    EXPECT_EQ(Box->Quad(0)->Id, "1");
    EXPECT_EQ(Box->Config->GetTarget(), "OTHER");
    EXPECT_EQ(Box->Config->TopNode->GetNode(0)->GetNode(0)->Params.GetParam("val"), "9001");

    // The import is one undo step; the F3 load before it another.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Box->Count(), 2);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(DocumentText(*Box->Config), read);

    // A zones file without sensors changes nothing and says why.
    const std::string empty = (Dir.path() + "/empty.xml").toStdString();
    std::ofstream(empty) << "<message type=\"zones\">\r\n</message>\r\n";
    const std::string before = DocumentText(*Box->Config);
    User->Files = {QString::fromStdString(empty)};
    ItemOf(TMenuCommand::ImportZones)->trigger();
    ASSERT_EQ(User->Informed.size(), 1u);
    EXPECT_EQ(User->Informed[0], Lang(ltZonesNoSensor));
    EXPECT_EQ(DocumentText(*Box->Config), before);
}

TEST_F(SafeConfigTest, NewConfigIsAStepAndSavingIsNone) {
    Connect();
    const std::string read = DocumentText(*Box->Config);
    Box->MainMenuClick(TMenuCommand::NewConfig, false); // "New config", confirmed
    ASSERT_EQ(Box->Count(), 0);
    User->Files = {Dir.path() + "/saved.xml"};
    Key(Qt::Key_F2);
    EXPECT_EQ(Box->SafeConfig->Undo().Steps().UndoCount(), 1u);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(DocumentText(*Box->Config), read);
    EXPECT_EQ(Box->Count(), 4);
    // With the controls off, no key command works, the undo keys included.
    Key(Qt::Key_Y, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    Box->ControlsEnabled = false;
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Box->Count(), 4);
}

// Saving stores the settings dialog's values first; that is no step of its own, and an undo
// within the same document leaves the dialog writing into it.
TEST_F(SafeConfigTest, SettingsStoredOnSaveSurviveAsNoStep) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    ASSERT_TRUE(Box->SettingsForm);
    Box->SettingsForm->DataIntervalEdit()->setText("123");
    Box->DeleteSelected();
    const QString first = Dir.path() + "/first.xml";
    User->Files = {first};
    Key(Qt::Key_F2);
    EXPECT_EQ(Box->SafeConfig->Undo().Steps().UndoCount(), 1u);
    EXPECT_NE(ReadAll(first.toStdString()).find("val=\"123\""), std::string::npos);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Box->Count(), 4);
    const QString second = Dir.path() + "/second.xml";
    User->Files = {second};
    Key(Qt::Key_F2);
    const std::string saved = ReadAll(second.toStdString());
    EXPECT_NE(saved.find("val=\"123\""), std::string::npos);
    EXPECT_NE(saved.find("Sensor 4"), std::string::npos);
}

TEST_F(SafeConfigTest, MenuItemsAtTheEndOfTheMainMenu) {
    SelectLanguage(LangEnglish);
    struct Row {
        std::uint8_t State;
        bool Editing;
        const char* Enabled; // History, Export, Import
    } rows[] = {{csNoConnection, true, "011"}, {csReady, true, "111"}, {csReady, false, "110"}};
    for (const Row& r : rows) {
        Box->ConnectionState = r.State;
        Box->Editing = r.Editing;
        const QList<QAction*> actions = Box->BuildMainMenu(-1)->actions();
        ASSERT_GE(actions.size(), 26);
        const int n = static_cast<int>(actions.size());
        EXPECT_TRUE(actions[n - 4]->isSeparator());
        const char* texts[] = {"History...", "Export zones...", "Import zones..."};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(actions[n - 3 + i]->text(), texts[i]);
            EXPECT_EQ(actions[n - 3 + i]->isEnabled(), r.Enabled[i] == '1') << texts[i];
        }
    }
    Box->ConnectionState = csNoConnection;
    SelectLanguage(LangRussian);
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangRussian);
}
