#include "addressbook/Connection_manager.h"
#include "platform/Folders.h"
#include "lang/lang_res.h"
#include "../program/threads_at_exit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

class ConnectManager : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(TConnect_manager::HostsFileName());
        fs::remove(TConnect_manager::HostsFileName() + ".bak");
        TConnect_manager::MessageHook = [this](const QString& text) { Messages << text; };
        Dialog.OnChoose = [this](QObject*, const THostRec* record) {
            ++Chosen;
            ChosenRecord = record ? std::optional<THostRec>(*record) : std::nullopt;
        };
    }
    void TearDown() override { TConnect_manager::MessageHook = nullptr; }

    static void WriteHosts(const std::string& text) {
        std::ofstream(TConnect_manager::HostsFileName(), std::ios::binary) << text;
    }
    static std::string ReadHosts() {
        std::ifstream in(TConnect_manager::HostsFileName(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Three entries A, B, C on disk and in the list.
    void LoadThree() {
        WriteHosts("<kervola>\r\n"
                   "<rec caption=\"A\" ip=\"10.0.0.1\" port=\"8001\" login=\"la\" pass=\"pa\"/>\r\n"
                   "<rec caption=\"B\" ip=\"10.0.0.2\" port=\"8002\"/>\r\n"
                   "<rec caption=\"C\" ip=\"10.0.0.3\" port=\"8003\"/>\r\n</kervola>\r\n");
        Dialog.LoadHosts();
        ASSERT_EQ(Dialog.Labels(), QStringList({"A", "B", "C"}));
    }

    TConnect_manager Dialog;
    QStringList Messages;
    int Chosen = 0;
    std::optional<THostRec> ChosenRecord;
};

TEST_F(ConnectManager, MissingFileIsReportedAndListKept) {
    LoadThree();
    fs::remove(TConnect_manager::HostsFileName());
    Dialog.LoadHosts();
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_EQ(Messages[0], QString::fromStdString("File " + DataFolder() + "hosts.ini" +
                                                  " not found.\r\nNew hosts.ini file will be "
                                                  "created."));
    EXPECT_EQ(Dialog.EntryCount(), 3);
    Dialog.SaveHosts();
    EXPECT_NE(ReadHosts().find("caption=\"C\""), std::string::npos);
}

TEST_F(ConnectManager, LoadSelectsFirstAndFillsEditsAndHint) {
    LoadThree();
    EXPECT_EQ(Dialog.SelectedIndex(), 0);
    EXPECT_EQ(Dialog.LabelEdit()->text(), "A");
    EXPECT_EQ(Dialog.AddressEdit()->text(), "10.0.0.1");
    EXPECT_EQ(Dialog.PortEdit()->text(), "8001");
    EXPECT_EQ(Dialog.LoginEdit()->text(), "la");
    EXPECT_EQ(Dialog.PasswordEdit()->text(), "pa");
    EXPECT_TRUE(Dialog.List()->toolTip().startsWith("A  10.0.0.1 : 8001  "));
    Dialog.SelectEntry(2);
    EXPECT_EQ(Dialog.LabelEdit()->text(), "C");
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(ConnectManager, AddingTwiceAppendsOnesAndFixesTheAddress) {
    LoadThree();
    Dialog.AddressEdit()->setText("not an address");
    Dialog.PortEdit()->setText("port");
    const std::time_t before = std::time(nullptr);
    Dialog.AddDetector();
    Dialog.AddressEdit()->setText("172.16.0.9");
    Dialog.AddDetector();
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "B", "C", "A1", "A11"}));
    EXPECT_EQ(Dialog.SelectedIndex(), 4);
    EXPECT_EQ(Dialog.Entry(3)->Address, "192.168.1.100");
    EXPECT_EQ(Dialog.Entry(3)->Port, 8080);
    EXPECT_EQ(Dialog.Entry(3)->Login, "la");
    EXPECT_GE(Dialog.Entry(3)->Created, before);
    EXPECT_EQ(Dialog.Entry(4)->Address, "172.16.0.9");
}

TEST_F(ConnectManager, DeleteThenUndoRestoresAtTheOldPlace) {
    LoadThree();
    EXPECT_FALSE(Dialog.UndoButton()->isEnabled());
    Dialog.SelectEntry(1);
    Dialog.DeleteDetector();
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "C"}));
    EXPECT_EQ(Dialog.SelectedIndex(), 1);
    EXPECT_TRUE(Dialog.UndoButton()->isEnabled());
    Dialog.UndoDelete();
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "B", "C"}));
    EXPECT_FALSE(Dialog.UndoButton()->isEnabled());

    // Reopening disables undo and the deletion stands once the list is saved.
    Dialog.SelectEntry(0);
    Dialog.DeleteDetector();
    Dialog.SaveHosts();
    Dialog.show();
    EXPECT_FALSE(Dialog.UndoButton()->isEnabled());
    Dialog.hide();
    Dialog.LoadHosts();
    EXPECT_EQ(Dialog.Labels(), QStringList({"B", "C"}));
}

TEST_F(ConnectManager, DeleteRefusedForLastEntryOrNoSelection) {
    WriteHosts("<kervola>\r\n<rec caption=\"Only\"/>\r\n</kervola>\r\n");
    Dialog.LoadHosts();
    Dialog.DeleteDetector();
    EXPECT_EQ(Dialog.Labels(), QStringList({"Only"}));
    EXPECT_FALSE(Dialog.UndoButton()->isEnabled());
    LoadThree();
    Dialog.List()->clearSelection();
    Dialog.DeleteDetector();
    EXPECT_EQ(Dialog.EntryCount(), 3);
}

TEST_F(ConnectManager, DropMovesPressedEntryToDropPlace) {
    LoadThree();
    Dialog.DropEntry(2, 0);
    EXPECT_EQ(Dialog.Labels(), QStringList({"C", "A", "B"}));
    EXPECT_EQ(Dialog.Entry(0)->Address, "10.0.0.3");
    EXPECT_EQ(Dialog.SelectedIndex(), 0);
    Dialog.DropEntry(0, 2);
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "B", "C"}));
    Dialog.DropEntry(-1, 0);
    Dialog.DropEntry(1, 3);
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "B", "C"}));

    Dialog.List()->clearSelection();
    Dialog.ListBox1EndDrag();
    EXPECT_FALSE(Dialog.ConnectButton()->isEnabled());
    Dialog.SelectEntry(0);
    EXPECT_TRUE(Dialog.ConnectButton()->isEnabled());
}

TEST_F(ConnectManager, ConnectFiresWithTheRecordAndCloses) {
    LoadThree();
    Dialog.show();
    Dialog.SelectEntry(1);
    Dialog.ConnectButton()->click();
    EXPECT_EQ(Chosen, 1);
    ASSERT_TRUE(ChosenRecord);
    EXPECT_EQ(ChosenRecord->Caption, "B");
    EXPECT_EQ(ChosenRecord->Port, 8002);
    EXPECT_EQ(Dialog.LastIndex, 1);
    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(Dialog.isVisible());

    // Shown again: the last choice is selected and the config box is checked again.
    Dialog.SelectEntry(0);
    Dialog.SetLoadCurrentConfig(false);
    Dialog.show();
    EXPECT_EQ(Dialog.SelectedIndex(), 1);
    EXPECT_TRUE(Dialog.LoadCurrentConfig());
}

TEST_F(ConnectManager, DisconnectFiresNullAndStaysOpen) {
    LoadThree();
    Dialog.show();
    Dialog.DisconnectButton()->click();
    EXPECT_EQ(Chosen, 1);
    EXPECT_FALSE(ChosenRecord);
    EXPECT_TRUE(Dialog.isVisible());
    Dialog.CloseButton()->click();
    EXPECT_EQ(Dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Chosen, 1);
}

TEST_F(ConnectManager, ConnectWithoutSelectionClosesSilently) {
    LoadThree();
    Dialog.show();
    Dialog.List()->clearSelection();
    Dialog.ChooseSelected(); // a double-click with nothing selected does nothing
    EXPECT_TRUE(Dialog.isVisible());
    Dialog.ConnectButton()->click();
    EXPECT_EQ(Chosen, 0);
    EXPECT_FALSE(Dialog.isVisible());
    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
}

TEST_F(ConnectManager, KeysInListAndEdits) {
    LoadThree();
    Dialog.show();
    Dialog.SelectEntry(2);
    // Enter in an edit stores the edits in the selected entry and stays open.
    Dialog.LabelEdit()->setText("Renamed");
    Dialog.PortEdit()->setText("99999x");
    QTest::keyClick(Dialog.LabelEdit(), Qt::Key_Return);
    QTest::keyClick(Dialog.PortEdit(), Qt::Key_Escape);
    EXPECT_TRUE(Dialog.isVisible());
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "B", "Renamed"}));
    EXPECT_EQ(Dialog.Entry(2)->Port, 8080);
    EXPECT_EQ(Chosen, 0);

    QTest::keyClick(Dialog.List(), Qt::Key_Return);
    EXPECT_EQ(Chosen, 1);
    EXPECT_EQ(ChosenRecord->Caption, "Renamed");
    EXPECT_FALSE(Dialog.isVisible());

    Dialog.show();
    QTest::keyClick(Dialog.List(), Qt::Key_Escape);
    EXPECT_FALSE(Dialog.isVisible());
    EXPECT_EQ(Dialog.result(), QDialog::Rejected);
}

TEST_F(ConnectManager, UneditedTextsKeepTheirBytes) {
    // A file from elsewhere may hold texts that are not UTF-8.
    WriteHosts("<kervola>\r\n<rec caption=\"A\" pass=\"\xC0\xE1\"/>\r\n</kervola>\r\n");
    Dialog.LoadHosts();
    Dialog.LoginEdit()->setText("new");
    Dialog.CommitEdits();
    EXPECT_EQ(Dialog.Entry(0)->Login, "new");
    EXPECT_EQ(Dialog.Entry(0)->Password, "\xC0\xE1");
    Dialog.AddDetector();
    EXPECT_EQ(Dialog.Entry(1)->Password, "\xC0\xE1");
}

TEST_F(ConnectManager, TypedValueWithBothQuoteKindsIsRefused) {
    LoadThree();
    const QString both = QStringLiteral("a'b\"c");
    auto refusal = [](const char* field) {
        return QStringLiteral("The field \"%1\" holds both ' and \" quotes and cannot be "
                              "stored. Remove one kind of quote.")
            .arg(QLatin1String(field));
    };
    Dialog.PasswordEdit()->setText(both);
    Dialog.LoginEdit()->setText("it's");
    Dialog.CommitEdits();
    EXPECT_EQ(Messages, QStringList{refusal("Password")});
    EXPECT_EQ(Dialog.Entry(0)->Password, "pa");
    EXPECT_EQ(Dialog.PasswordEdit()->text(), "pa");
    EXPECT_EQ(Dialog.Entry(0)->Login, "it's"); // one kind alone is taken as typed

    Dialog.LabelEdit()->setText(both);
    Dialog.AddDetector(); // the label gets its "1", still holding both kinds
    ASSERT_EQ(Dialog.EntryCount(), 4);
    EXPECT_EQ(Messages, QStringList({refusal("Password"), refusal("Detector's label")}));
    EXPECT_EQ(Dialog.Entry(3)->Caption, "A");

    Dialog.SaveHosts();
    EXPECT_EQ(ReadHosts().find("a'b"), std::string::npos);
}

TEST_F(ConnectManager, BothQuoteKindsFromTheFileAreNoTyping) {
    // Doubled quotes stay inside a value: such an entry is shown and kept, not refused.
    WriteHosts("<kervola>\r\n<rec caption=\"A\" pass=\"a'b\"\"c\"/>\r\n</kervola>\r\n");
    Dialog.LoadHosts();
    ASSERT_EQ(Dialog.PasswordEdit()->text(), "a'b\"\"c");
    Dialog.CommitEdits();
    EXPECT_TRUE(Messages.isEmpty());
    EXPECT_EQ(Dialog.Entry(0)->Password, "a'b\"\"c");
}

TEST_F(ConnectManager, DamagedFileKeepsReadableEntriesAndABackup) {
    const std::string damaged = "<kervola>\r\n<rec caption=\"A\" created=\"never\"/>\r\n"
                                "<rec caption=\"B\"/>\r\n<rec caption=\"C\" ip=\"1.";
    WriteHosts(damaged);
    Dialog.LoadHosts();
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "B", "C"}));
    EXPECT_EQ(Dialog.Entry(0)->Created, 0);
    std::ifstream in(TConnect_manager::HostsFileName() + ".bak", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), damaged);
    Dialog.SaveHosts();
    Dialog.LoadHosts();
    EXPECT_EQ(Dialog.Labels(), QStringList({"A", "B", "C"}));
}

TEST_F(ConnectManager, FailedWriteIsReportedAndListKept) {
    LoadThree();
    fs::remove(TConnect_manager::HostsFileName());
    fs::create_directory(TConnect_manager::HostsFileName());
    Dialog.SaveHosts();
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].contains(QString::fromStdString(TConnect_manager::HostsFileName())));
    EXPECT_EQ(Dialog.EntryCount(), 3);
}

TEST_F(ConnectManager, CaptionsFollowTheTextTable) {
    SelectLanguage(LangRussian);
    Dialog.show();
    EXPECT_EQ(Dialog.windowTitle(), "Подключение");
    EXPECT_EQ(Dialog.ConnectButton()->text(), "Подключиться");
    const QRect add = Dialog.AddButton()->geometry();
    EXPECT_EQ(Dialog.DeleteButton()->geometry().left(), add.right() + 1 + 10);
    EXPECT_EQ(add.width(),
              Dialog.AddButton()->fontMetrics().horizontalAdvance(Dialog.AddButton()->text()) + 40);
    Dialog.hide();
    SelectLanguage(LangEnglish);
    Dialog.show();
    EXPECT_EQ(Dialog.LoadConfigBox()->text(), "Load current config");
}

} // namespace

int main(int argc, char** argv) {
    // Test discovery runs the binary outside ctest's environment; it never needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("KERVOLA_DATA_DIR", data.path().toUtf8());
    InitFolders();
    SelectLanguage(LangEnglish);
    TThreadsGoneAtExit threads;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
