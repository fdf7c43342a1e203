// The settings dialog in the program, its commands carried out against the detector simulator,
// with what the simulator received read from its command log.
#include "settings/Settings_form.h"
#include "../program/program_test_main.h"

#include "../program/program_fixture.h"
#include "addressbook/Connection_manager.h"
#include "config/XMLConfig.h"
#include "dialogs/SendingForm.h"
#include "dialogs/show_text_form.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include <QFile>

#include <fstream>
#include <functional>
#include <optional>

namespace {

// The window is shown once the tests' language is chosen: the window's own start speaks Russian.
class SettingsTest : public ProgramTest<> {
protected:
    SettingsTest() : ProgramTest(TWindowAtStart::Hidden) {}
    void SetUp() override {
        ProgramTest::SetUp();
        SelectLanguage(LangEnglish);
        Dialog = Box->SettingsForm;
        Form->show();
    }
    void TearDown() override {
        ProgramTest::TearDown();
        SelectLanguage(LangRussian);
    }
    void Connect() {
        StartSim();
        ProgramTest::Connect(true);
        ASSERT_TRUE(WaitUntil([&] { return Box->Count() == 4; }));
    }
    int Fire(int code, std::string text = {}) {
        Box->ExecuteSettingsCommand(Dialog, code, text);
        LastText = text;
        return code;
    }

    TSettingsForm* Dialog = nullptr;
    std::string LastText;
};

TEST_F(SettingsTest, MenuOpensTheDialogOnTheDocument) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    ASSERT_TRUE(Dialog->isVisible());
    EXPECT_EQ(Dialog->windowTitle(), "Settings");
    EXPECT_EQ(Dialog->LabelEdit()->text(), "ZELMONT_SF");
    EXPECT_TRUE(Dialog->LabelEdit()->hasFocus() || !QApplication::focusWidget());
    EXPECT_EQ(Dialog->TerminalHost, "127.0.0.1");
    EXPECT_EQ(Dialog->TerminalPort, Sim->port());
    EXPECT_EQ(Dialog->TerminalLogin, "root");
    EXPECT_EQ(Dialog->TerminalPassword, "kvtp");
    EXPECT_FALSE(Dialog->Pages()->isTabVisible(TSettingsForm::pgAsync));
    EXPECT_EQ(Dialog->Pages()->tabText(TSettingsForm::pgTerminal), "Terminal");
    EXPECT_FALSE(Dialog->ResolutionCombo()->isVisibleTo(Dialog));
    EXPECT_TRUE(Dialog->AutoCheck()->isChecked());
    // Captions follow the language each time the dialog is shown.
    Dialog->close();
    SelectLanguage(LangRussian);
    Box->MainMenuClick(TMenuCommand::Settings, false);
    EXPECT_EQ(Dialog->windowTitle(), "Настройки");
    EXPECT_EQ(Dialog->ReadyButton()->text(), "Готово");
}

TEST_F(SettingsTest, ReadyStoresThenAsksForTheUpload) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->LabelEdit()->setText("North gate");
    Dialog->TriggerList()->setPlainText("1 & 2\n\n3");
    Dialog->ReadyClick();
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Box->Config->GetTarget(), "North gate");
    EXPECT_NE(Box->Config->AsText().find("val=\"1 & 2\""), std::string::npos);
    EXPECT_TRUE(Box->SendingForm->isVisible());
}

TEST_F(SettingsTest, WithoutADetectorOnlyTheXmlViewWorks) {
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->LabelEdit()->setText("changed");
    EXPECT_EQ(Fire(scReady), scReady); // stored, then "No connection"
    EXPECT_EQ(Box->Config->GetTarget(), "changed");
    for (int code : {scRequestTime, scSetTime, scApplyNetwork, scAskNetwork, scFastReboot,
                     scCompleteReboot, scFirmware, scDeleteData, scCleaning})
        EXPECT_EQ(Fire(code, "x"), code) << code;
    EXPECT_EQ(User->Informed.size(), 10u);
    EXPECT_EQ(User->Informed.back(), "No connection");
    EXPECT_TRUE(User->Asked.empty());

    Dialog->LabelEdit()->setText("in the viewer only");
    Fire(scViewXml);
    EXPECT_TRUE(Box->ShowTextForm->isVisible());
    EXPECT_NE(Box->ShowTextForm->Text().indexOf("to=\"in the viewer only\""), -1);
    EXPECT_TRUE(Box->ShowTextForm->Text().startsWith("<message"));
    EXPECT_EQ(Box->Config->GetTarget(), "changed");
}

TEST_F(SettingsTest, TimeRequestedShownAndSet) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->RequestTimeClick();
    EXPECT_FALSE(Dialog->SetTimeButton()->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return Dialog->SetTimeButton()->isEnabled(); }));
    EXPECT_TRUE(WasSent("gt"));
    const QDateTime shown(Dialog->DatePicker()->date(), Dialog->TimePicker()->time());
    EXPECT_LT(std::abs(shown.secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_FALSE(Dialog->DriftLabel()->text().isEmpty());

    // "Auto" sends the PC's time whatever the pickers show.
    Dialog->DatePicker()->setDate(QDate(2001, 1, 1));
    Dialog->SetTimeClick();
    const std::string expected = "st t=" + Dialog->PickerTimeText();
    EXPECT_NE(Dialog->PickerTimeText().substr(0, 4), "2001");
    EXPECT_TRUE(WaitSent(expected));
    // Without "Auto" the pickers' own value goes, the date alone at midnight.
    Dialog->AutoCheck()->setChecked(false);
    Dialog->DatePicker()->setDate(QDate(2030, 2, 3));
    Dialog->TimePicker()->setTime(QTime(0, 0, 0));
    Dialog->SetTimeClick();
    EXPECT_TRUE(WaitSent("st t=2030-02-03"));
}

TEST_F(SettingsTest, RequestTimeWithoutConnectionShowsTheLastTime) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->DetectorTimeText = "garbage";
    Box->CloseConnection();
    Box->Client(); // the host is cleared on disconnect: the check stops the command
    Dialog->RequestTimeClick();
    EXPECT_EQ(User->Informed.back(), "No connection");
    Dialog->ShowDetectorTime();
    EXPECT_EQ(Dialog->DatePicker()->date(), QDate(1899, 12, 30));
    EXPECT_TRUE(Dialog->RequestTimeButton()->isEnabled());
}

TEST_F(SettingsTest, NetworkTabAsksAndApplies) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->Pages()->setCurrentIndex(TSettingsForm::pgNetwork);
    EXPECT_TRUE(WasSent("gn"));
    EXPECT_TRUE(WasSent("gn ntp"));
    EXPECT_EQ(Dialog->IpEdit()->text(), "192.168.0.100");
    EXPECT_EQ(Dialog->GatewayEdit()->text(), "192.168.0.1");
    EXPECT_EQ(Dialog->DnsEdit()->text(), "192.168.0.53");
    EXPECT_EQ(Dialog->NtpList()->toPlainText(), "0.pool.ntp.org\n1.pool.ntp.org");
    EXPECT_FALSE(Dialog->DnsAutoCheck()->isChecked());
    EXPECT_TRUE(Dialog->AskNetworkButton()->isEnabled());

    // An invalid address: the error, nothing sent, the dialog stays.
    Dialog->IpEdit()->setText("192.168.0.300");
    Dialog->ApplyClick();
    EXPECT_EQ(User->Informed.back(), "Incorrect network settings ");
    EXPECT_TRUE(Dialog->isVisible());
    // Cancelled warning: nothing sent, connection kept.
    Dialog->IpEdit()->setText("192.168.0.101");
    Dialog->PortEdit()->setText("8081");
    User->ConfirmAnswer = false;
    Dialog->ApplyClick();
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_EQ(Box->ConnectionState, csReady);
    // OK: the lines go on the main connection, which is then closed.
    User->ConfirmAnswer = true;
    Dialog->NtpCheck()->setChecked(true);
    Dialog->ApplyClick();
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(User->Informed.back(), "Please wait for one minute");
    EXPECT_EQ(Box->ConnectionState, csNoConnection);
    EXPECT_TRUE(WaitSent("sn 192.168.0.101,255.255.255.0,192.168.0.1,192.168.0.53"));
    EXPECT_TRUE(WasSent("sn ntp [0.pool.ntp.org,1.pool.ntp.org]"));
    EXPECT_TRUE(WasSent("sn port 8081"));
}

TEST_F(SettingsTest, AskThenApplySendsTheDetectorsDnsBack) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->AskNetworkClick();
    EXPECT_EQ(Dialog->DnsEdit()->text(), "192.168.0.53");
    Dialog->ApplyClick();
    EXPECT_TRUE(WaitSent("sn 192.168.0.100,255.255.255.0,192.168.0.1,192.168.0.53"));
}

TEST_F(SettingsTest, DnsBoxFollowsTheReplyWithoutTakingTheGateway) {
    struct Row {
        const char* Name;
        bool CheckedBefore;
        const char* DnsBefore;
        std::optional<std::string> Reported;
        const char* Dns;
        bool Checked;
    } rows[] = {
        {"reported, box unchecked", false, "", "10.0.0.53", "10.0.0.53", false},
        {"reported, box checked", true, "", "10.0.0.53", "10.0.0.53", false},
        {"not reported, edit kept", false, "10.0.0.9", std::nullopt, "10.0.0.9", false},
        {"not reported, edit empty", false, "", std::nullopt, "", true},
        {"not reported, box checked", true, "", std::nullopt, "", true},
    };
    for (const Row& r : rows) {
        Dialog->GatewayEdit()->setText("10.0.0.250");
        Dialog->DnsAutoCheck()->setChecked(r.CheckedBefore);
        Dialog->DnsEdit()->setText(r.DnsBefore);
        TNetworkFields fields;
        fields.Gateway = "10.0.0.1";
        fields.Dns = r.Reported;
        Dialog->SetNetworkFields(fields);
        EXPECT_EQ(Dialog->DnsEdit()->text(), r.Dns) << r.Name;
        EXPECT_EQ(Dialog->DnsAutoCheck()->isChecked(), r.Checked) << r.Name;
        EXPECT_EQ(Dialog->DnsEdit()->isEnabled(), !r.Checked) << r.Name;
    }
    // The user's own toggle still copies the gateway.
    Dialog->DnsAutoCheck()->setChecked(false);
    EXPECT_EQ(Dialog->DnsEdit()->text(), "10.0.0.1");
}

TEST_F(SettingsTest, DnsAndNtpBoxes) {
    Dialog->GatewayEdit()->setText("10.1.1.1");
    Dialog->DnsAutoCheck()->setChecked(true);
    EXPECT_TRUE(Dialog->DnsEdit()->text().isEmpty());
    EXPECT_FALSE(Dialog->DnsEdit()->isEnabled());
    Dialog->DnsAutoCheck()->setChecked(false);
    EXPECT_EQ(Dialog->DnsEdit()->text(), "10.1.1.1");
    EXPECT_FALSE(Dialog->NtpList()->isEnabled());
    Dialog->NtpCheck()->setChecked(true);
    EXPECT_TRUE(Dialog->NtpList()->isEnabled());
}

TEST_F(SettingsTest, QuestionsGuardRebootsAndDeletion) {
    struct Row {
        int Code;
        const char* Command;
        bool Closes;
    } rows[] = {{scDeleteData, "gb dele", false},
                {scFastReboot, "rb app", true},
                {scCompleteReboot, "rb sys", true}};
    for (const Row& r : rows) {
        // A reboot takes the simulator away for a while: each command gets one of its own.
        if (Sim)
            Sim->stop();
        Connect();
        Box->MainMenuClick(TMenuCommand::Settings, false);
        User->ConfirmAnswer = false;
        Dialog->CommandClick(r.Code, r.Command, r.Closes);
        EXPECT_FALSE(WasSent(r.Command)) << r.Command;
        EXPECT_TRUE(Dialog->isVisible());
        User->ConfirmAnswer = true;
        Dialog->CommandClick(r.Code, r.Command, r.Closes);
        EXPECT_TRUE(WaitSent(r.Command)) << r.Command;
        EXPECT_EQ(Dialog->isVisible(), !r.Closes) << r.Command;
    }
    EXPECT_EQ(User->Asked.size(), 6u);
}

TEST_F(SettingsTest, CleaningAndFirmware) {
    Connect();
    EXPECT_EQ(Fire(scCleaning, "cl"), scDone);
    EXPECT_TRUE(WaitSent("cl"));
    EXPECT_TRUE(User->Asked.empty());

    const QString firmware = Dir.path() + "/fw.bin";
    { std::ofstream(firmware.toStdString(), std::ios::binary) << "firmware bytes"; }
    User->Files = {firmware};
    EXPECT_EQ(Fire(scFirmware), 1);
    EXPECT_EQ(User->Informed.back(), "File uploaded successfully");
    EXPECT_TRUE(WaitSent("ud 14,1444,./update/fw.bin"));

    // Larger than the transfer buffer: refused whole, nothing announced.
    const QString huge = Dir.path() + "/huge.bin";
    {
        std::ofstream out(huge.toStdString(), std::ios::binary);
        out.seekp(static_cast<std::streamoff>(TransferBufferSize));
        out.put('x');
    }
    User->Files = {huge};
    EXPECT_EQ(Fire(scFirmware), 0);
    EXPECT_EQ(User->Informed.back(), "File upload error");
    for (const std::string& line : Received())
        EXPECT_EQ(line.find("huge.bin"), std::string::npos);
    User->Files.clear();
    const size_t before = User->Informed.size();
    EXPECT_EQ(Fire(scFirmware), -1); // cancelled: no message
    EXPECT_EQ(User->Informed.size(), before);
}

TEST_F(SettingsTest, SaveStoresOnlyValuesReadFromThatDocument) {
    Connect();
    const std::string file = Dir.path().toStdString() + "/saved.xml";
    // Never opened: the dialog's blank controls must not reach the file.
    User->Files = {QString::fromStdString(file)};
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    Box->HandleKeyDown(&f2);
    TXMLConfig saved;
    ASSERT_TRUE(saved.LoadFromFile(file));
    EXPECT_EQ(saved.GetTarget(), "ZELMONT_SF");
    EXPECT_NE(saved.AsText().find("name=\"pass\" type=\"string\" val=\"kvtp\""), std::string::npos);
    // Opened and edited: F2 carries the edit.
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->LabelEdit()->setText("edited");
    User->Files = {QString::fromStdString(file)};
    Box->HandleKeyDown(&f2);
    ASSERT_TRUE(saved.LoadFromFile(file));
    EXPECT_EQ(saved.GetTarget(), "edited");
}

TEST_F(SettingsTest, ClassCheckWhenTheFieldIsLeft) {
    QStringList errors;
    Dialog->OnError = [&](const QString& e) { errors << e; };
    Dialog->ClassesEdit()->setText("1 2 3 4 5");
    Dialog->CheckClassesField();
    EXPECT_EQ(errors, QStringList{"Wrong classes quantity"});
    EXPECT_EQ(Dialog->ClassesEdit()->text(), DefaultClasses);
    Dialog->ClassesEdit()->setText("1 2 3 4 5 6");
    Dialog->CheckClassesField();
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(SettingsTest, ClassCheckWhenTheFieldIsLeftUnchanged) {
    QStringList errors;
    Dialog->OnError = [&](const QString& e) { errors << e; };
    // A bad list from a document: shown, never typed, so the edit holds no change of its own.
    Box->Config->CreateDefault("Kervola 5.01", "ZELMONT_SF");
    TSettingsValues values;
    LoadFromDocument(values, Box->Config->TopNode.get());
    values.Classes = "1 2 3";
    StoreToDocument(values, Box->Config->TopNode.get());
    Box->MainMenuClick(TMenuCommand::Settings, false);
    ASSERT_EQ(Dialog->ClassesEdit()->text(), "1 2 3");
    Dialog->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return Dialog->isActiveWindow(); }));
    Dialog->ClassesEdit()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return Dialog->ClassesEdit()->hasFocus(); }));
    Dialog->LoginEdit()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return Dialog->LoginEdit()->hasFocus(); }));
    EXPECT_EQ(errors, QStringList{"Wrong classes quantity"});
    EXPECT_EQ(Dialog->ClassesEdit()->text(), DefaultClasses);
    // Left again with a good list: no error.
    Dialog->ClassesEdit()->setFocus(Qt::TabFocusReason);
    Dialog->LoginEdit()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(SettingsTest, ReadyKeepsTheValuesOutOfAConfigurationLoadedMeanwhile) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    Dialog->LabelEdit()->setText("First gate");
    Dialog->PasswordEdit()->setText("first secret");
    // Another detector's configuration arrives while the dialog stays open.
    TXMLConfig other;
    other.CreateDefault("Kervola 5.01", "Second gate");
    TSettingsValues values;
    LoadFromDocument(values, other.TopNode.get());
    values.Password = "second secret";
    StoreToDocument(values, other.TopNode.get());
    const std::string file = Dir.path().toStdString() + "/second.xml";
    ASSERT_TRUE(other.SaveToFile(file));
    ASSERT_TRUE(Box->LoadConfigFile(file));
    Box->SendingForm->hide();

    Dialog->ReadyClick();
    EXPECT_EQ(User->Informed, std::vector<QString>{Lang(ltSettingsOfOtherConfig)});
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_FALSE(Box->SendingForm->isVisible()); // nothing offered for upload
    EXPECT_EQ(Box->Config->GetTarget(), "Second gate");
    EXPECT_NE(Box->Config->AsText().find("val=\"second secret\""), std::string::npos);
    EXPECT_EQ(Dialog->LabelEdit()->text(), "Second gate");
    EXPECT_EQ(Dialog->PasswordEdit()->text(), "second secret");
    // Now read from this document, the dialog's values go into it.
    Dialog->LabelEdit()->setText("Second gate, edited");
    Dialog->ReadyClick();
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Box->Config->GetTarget(), "Second gate, edited");
    EXPECT_TRUE(Box->SendingForm->isVisible());
}

TEST_F(SettingsTest, ValueWithBothQuoteKindsIsRefusedNeverChanged) {
    struct Row {
        QString Field;
        std::function<void(const QString&)> Type;
    } rows[] = {
        {"Change Password", [&](const QString& t) { Dialog->PasswordEdit()->setText(t); }},
        {"Change Login", [&](const QString& t) { Dialog->LoginEdit()->setText(t); }},
        {"Detector's label", [&](const QString& t) { Dialog->LabelEdit()->setText(t); }},
        {"Logic triggers",
         [&](const QString& t) { Dialog->TriggerList()->setPlainText("1\n" + t); }},
    };
    for (const Row& r : rows) {
        Box->MainMenuClick(TMenuCommand::Settings, false);
        const std::string before = Box->Config->AsText();
        r.Type("a'b\"c");
        User->Informed.clear();
        Dialog->ReadyClick();
        ASSERT_EQ(User->Informed.size(), 1u) << r.Field.toStdString();
        EXPECT_EQ(User->Informed.back(), "The field \"" + r.Field +
                                             "\" holds both ' and \" quotes and cannot be "
                                             "stored. Remove one kind of quote.")
            << r.Field.toStdString();
        EXPECT_TRUE(Dialog->isVisible()) << r.Field.toStdString();
        EXPECT_EQ(Box->Config->AsText(), before) << r.Field.toStdString();
        // Saving the document to a file is refused the same way.
        const QString file = Dir.path() + "/refused.xml";
        User->Files = {file};
        QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
        Box->HandleKeyDown(&f2);
        EXPECT_FALSE(QFile::exists(file)) << r.Field.toStdString();
        // One kind alone is stored as typed.
        r.Type("a\"b");
        Dialog->ReadyClick();
        EXPECT_FALSE(Dialog->isVisible()) << r.Field.toStdString();
        EXPECT_NE(Box->Config->AsText().find("'a\"b'"), std::string::npos) << r.Field.toStdString();
    }
}

TEST_F(SettingsTest, WindowsOfItsCommandsBelongToTheDialog) {
    Connect();
    Box->MainMenuClick(TMenuCommand::Settings, false);
    struct Row {
        const char* Name;
        std::function<void()> Run;
        size_t Windows;
    } rows[] = {
        {"receive data: save dialog and write error",
         [&] {
             User->Files = {Dir.path() + "/nowhere/x.csv"};
             Fire(scReceiveData);
         },
         2},
        {"firmware file dialog", [&] { Fire(scFirmware); }, 1},
        {"triggers.pdf not found",
         [&] {
             User->OpenResult = false;
             Dialog->AboutTriggersClick();
         },
         1},
    };
    for (const Row& r : rows) {
        User->Parents.clear();
        r.Run();
        EXPECT_EQ(User->Parents.size(), r.Windows) << r.Name;
        for (const QWidget* parent : User->Parents)
            EXPECT_EQ(parent, Dialog) << r.Name;
    }
    ASSERT_FALSE(User->Informed.empty());
    EXPECT_EQ(User->Informed.back(), "File triggers.pdf not found");
    // The main menu's own windows stay with the main window.
    User->Parents.clear();
    Box->MainMenuClick(TMenuCommand::Help, false);
    ASSERT_EQ(User->Parents.size(), 1u);
    EXPECT_EQ(User->Parents[0], Form.get());
}

TEST_F(SettingsTest, SliderDisplayAndDriftTexts) {
    EXPECT_EQ(Dialog->QualityDisplay()->text(), "0");
    Dialog->QualitySlider()->setValue(35);
    EXPECT_EQ(Dialog->QualityDisplay()->text(), "35");
    EXPECT_EQ(TSettingsForm::ClockDriftText(-12), "Detector clock: 12 s behind the PC");
    EXPECT_EQ(TSettingsForm::ClockDriftText(120), "Detector clock: 120 s ahead of the PC");
    EXPECT_EQ(TSettingsForm::ClockDriftText(-600), "Detector clock: 10 min behind the PC");
    EXPECT_EQ(TSettingsForm::ClockDriftText(0), "Detector clock: same as the PC");
    SelectLanguage(LangRussian);
    EXPECT_EQ(TSettingsForm::ClockDriftText(-12), "Часы детектора отстают от ПК на 12 с");
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangRussian);
}
