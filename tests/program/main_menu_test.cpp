// The main menu, the keys and the transfers, with a scripted user in place of the modal dialogs
// and the detector simulator on loopback where a detector is needed.
#include "program/ConfigTransfer.h"
#include "program/zelmont_box.h"
#include "program_test_main.h"

#include "program_fixture.h"
#include "addressbook/Connection_manager.h"
#include "dialogs/SendingForm.h"
#include "dialogs/SensorIdForm.h"
#include "dialogs/progress_form.h"
#include "platform/Folders.h"
#include "dialogs/Prompts.h"
#include "lang/lang_res.h"
#include "zones/FramePicture.h"
#include "zones/mm_timer.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <clocale>
#include <fstream>
#include <iterator>

namespace {

class MenuTest : public ProgramTest<> {
protected:
    QMenu* Menu(int index) { return Box->BuildMainMenu(index); }
    QAction* ItemOf(QMenu* menu, TMenuCommand command) {
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->data().toInt() == static_cast<int>(command))
                return a;
        return nullptr;
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(Form.get(), &e);
    }
    // The simulator, the main connection logged in and its configuration read.
    void StartSim() {
        ProgramTest::StartSim();
        Connect(true);
        ASSERT_TRUE(WaitUntil([&] { return Box->Count() == 4; }));
    }
};

// The Tags are what the items are known by: each in its place, whatever the names say.
TEST_F(MenuTest, ItemsCarryTheirTagsInOrder) {
    std::vector<int> tags;
    for (QAction* a : Menu(-1)->actions())
        if (!a->isSeparator())
            tags.push_back(a->data().toInt());
    EXPECT_EQ(tags,
              (std::vector<int>{-1, 0, -2, 1, 2, 3, 4, 5, 6, 7, 8, 12, 9, 10, 11, 40, 41, 30, 31, 32}));
}

TEST_F(MenuTest, ItemsInEveryMode) {
    struct Row {
        const char* Mode;
        std::uint8_t State;
        bool Editing;
        int Index;
        // enabled flags in the order of `commands` below
        std::string Enabled;
    } rows[] = {
        {"idle editing, none selected", csNoConnection, true, -1, "1111000100101100"},
        {"idle editing, zone selected", csNoConnection, true, 0, "1111111100101100"},
        {"connected editing", csReady, true, 0, "1111111110111110"},
        {"connected live", csPictureBody, false, -1, "1100000011001111"},
        {"logging in, live", csLoggingIn, false, 1, "1100111000001100"},
    };
    using C = TMenuCommand;
    const C commands[] = {C::Connection,     C::EditMode,     C::NewConfig, C::CreateSensor,
                          C::ChangeId,       C::DeleteSensor, C::Copy,      C::Paste,
                          C::RefreshPicture, C::EnableVideo,  C::Settings,  C::LoadConfig,
                          C::About,          C::Help,         C::Cleaning,  C::CountCheck};
    for (const Row& r : rows) {
        Box->ConnectionState = r.State;
        Box->Editing = r.Editing;
        QMenu* menu = Menu(r.Index);
        EXPECT_EQ(menu->actions().size(), 30)
            << r.Mode; // with the four items of safe configuration work, the zone coordinates and
                       // the count check
        for (size_t i = 0; i < std::size(commands); ++i)
            EXPECT_EQ(ItemOf(menu, commands[i])->isEnabled(), r.Enabled[i] == '1')
                << r.Mode << " tag " << static_cast<int>(commands[i]);
        EXPECT_EQ(ItemOf(menu, C::EditMode)->isChecked(), r.Editing) << r.Mode;
    }
    Box->Editing = false;
    Box->SetVideoRate(25);
    EXPECT_TRUE(ItemOf(Menu(-1), TMenuCommand::EnableVideo)->isChecked());
    SelectLanguage(LangEnglish);
    EXPECT_EQ(ItemOf(Menu(-1), TMenuCommand::LoadConfig)->text(), "Load config");
    SelectLanguage(LangRussian);
    EXPECT_EQ(ItemOf(Menu(-1), TMenuCommand::Connection)->text(), Lang(ltConnection));
}

TEST_F(MenuTest, ZoneCommandsThroughTheMenu) {
    // Create sensor: the id dialog offers the next free id.
    QString offered;
    User->OnExec = [&](QDialog*) { offered = Box->SensorIdForm->IdEdit()->text(); };
    ItemOf(Menu(-1), TMenuCommand::CreateSensor)->trigger();
    ASSERT_EQ(Box->Count(), 1);
    EXPECT_EQ(offered, "1");
    EXPECT_EQ(Box->SensorIdForm->windowTitle(), Lang(ltSensor));
    ItemOf(Menu(0), TMenuCommand::CreateSensor)->trigger();
    EXPECT_EQ(Box->Quad(1)->Id, "2");

    // Change Id of the selected zone; it moves to the end.
    Box->SelectedIndex = 0;
    User->OnExec = [&](QDialog*) { Box->SensorIdForm->IdEdit()->setText("9"); };
    ItemOf(Menu(0), TMenuCommand::ChangeId)->trigger();
    EXPECT_EQ(Box->SensorIdForm->windowTitle(), Lang(ltSensor) + " [1]");
    EXPECT_EQ(Box->Quad(1)->Id, "9");

    // Copy, paste, delete.
    Box->SelectedIndex = 0;
    ItemOf(Menu(0), TMenuCommand::Copy)->trigger();
    ItemOf(Menu(0), TMenuCommand::Paste)->trigger();
    ASSERT_EQ(Box->Count(), 3);
    EXPECT_EQ(Box->Quad(2)->Id, "1");
    ItemOf(Menu(2), TMenuCommand::DeleteSensor)->trigger();
    EXPECT_EQ(Box->Count(), 2);

    // A cancelled dialog adds nothing; eight zones refuse a ninth without asking.
    User->OnExec = nullptr;
    User->ExecAnswer = false;
    ItemOf(Menu(-1), TMenuCommand::CreateSensor)->trigger();
    EXPECT_EQ(Box->Count(), 2);
    User->ExecAnswer = true;
    while (Box->Count() < 8)
        ASSERT_TRUE(Box->AddSensorById(std::to_string(Box->NextFreeId())));
    int asked = 0;
    User->OnExec = [&](QDialog*) { ++asked; };
    ItemOf(Menu(-1), TMenuCommand::CreateSensor)->trigger();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Box->Count(), 8);
}

TEST_F(MenuTest, NewConfigEditModeAboutAndHelp) {
    Box->AddSensorById("5");
    User->ConfirmAnswer = false;
    ItemOf(Menu(-1), TMenuCommand::NewConfig)->trigger();
    EXPECT_EQ(Box->Count(), 1);
    User->ConfirmAnswer = true;
    ItemOf(Menu(-1), TMenuCommand::NewConfig)->trigger();
    EXPECT_EQ(Box->Count(), 0);
    EXPECT_EQ(Box->Config->TopNode->Params.GetParam("from"), "KERVOLA2");

    ItemOf(Menu(-1), TMenuCommand::EditMode)->trigger(); // edit mode off
    EXPECT_FALSE(Box->Editing);
    Box->SetVideoRate(25);
    Box->ShowStrip = true;
    ItemOf(Menu(-1), TMenuCommand::EditMode)->trigger(); // and on again: video and strip go
    EXPECT_TRUE(Box->Editing);
    EXPECT_EQ(Box->VideoRate, 0);
    EXPECT_FALSE(Box->ShowStrip);

    Box->FirmwareVersion = "\"Zelmont SF 5.2 38\"";
    ItemOf(Menu(-1), TMenuCommand::About)->trigger();
    ASSERT_EQ(User->Informed.size(), 1u);
    EXPECT_TRUE(User->Informed[0].startsWith(Lang(ltAbout) + "5.01\r\n\r\n720 x 576\r\n\r\n"));
    EXPECT_TRUE(User->Informed[0].endsWith("\"Zelmont SF 5.2 38\""));

    ItemOf(Menu(-1), TMenuCommand::Help)->trigger();
    ASSERT_EQ(User->Opened.size(), 1u);
    EXPECT_EQ(User->Opened[0], QString::fromStdString(DocumentFolder()) + "help.pdf");
    User->OpenResult = false;
    Key(Qt::Key_F1);
    EXPECT_EQ(User->Informed.back(), "File help.pdf not found");
}

TEST_F(MenuTest, KeyTable) {
    Box->Config->TopNode.reset();
    // F7 twice returns to the starting mode; live view asks for the timer's rate.
    Key(Qt::Key_F7);
    EXPECT_FALSE(Box->Editing);
    EXPECT_EQ(Box->VideoRate, 25);
    EXPECT_TRUE(Box->ShowStrip);
    EXPECT_TRUE(Box->DataMode);
    Key(Qt::Key_F7);
    EXPECT_TRUE(Box->Editing);
    EXPECT_EQ(Box->VideoRate, 0);
    EXPECT_FALSE(Box->ShowStrip);
    EXPECT_FALSE(Box->DataMode);

    // Window sizes, a maximised window restored first.
    Form->showMaximized();
    Key(Qt::Key_3, Qt::AltModifier);
    EXPECT_FALSE(Form->isMaximized());
    EXPECT_EQ(Form->Panel1()->size(), QSize(720, 576));
    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(Form->Panel1()->size(), QSize(320, 240));
    Key(Qt::Key_F3, Qt::AltModifier);
    EXPECT_EQ(Form->Panel1()->size(), QSize(720, 576));
    Key(Qt::Key_F2, Qt::AltModifier);
    EXPECT_EQ(Form->Panel1()->size(), QSize(320, 240));

    Key(Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_TRUE(Box->ShowStrip);

    // Alt+F7: editing, and the document made for the settings.
    Key(Qt::Key_F7, Qt::AltModifier);
    EXPECT_TRUE(Box->Editing);
    ASSERT_NE(Box->Config->TopNode, nullptr);
    EXPECT_EQ(Box->Config->TopNode->Params.GetParam("from"), "KERVOLA");

    // Controls off: nothing works.
    Box->ControlsEnabled = false;
    Key(Qt::Key_F7);
    Key(Qt::Key_1, Qt::AltModifier);
    EXPECT_TRUE(Box->Editing);
    EXPECT_EQ(Form->Panel1()->size(), QSize(320, 240));
    const QPointer<QMenu> before = Box->MainMenu;
    Box->ShowMainMenu(-1);
    EXPECT_EQ(Box->MainMenu, before);
    EXPECT_TRUE(Form->close()); // and no question on closing
}

TEST_F(MenuTest, ConfigFilesSaveAndOpen) {
    const QString file = Dir.path() + "/site.xml";
    Box->AddSensorById("3");
    User->Files = {file};
    Key(Qt::Key_F2);
    ASSERT_EQ(User->FileQuestions.size(), 1u);
    EXPECT_EQ(User->FileQuestions[0].Title, Lang(ltSaveConfigToFile));
    EXPECT_EQ(User->FileQuestions[0].DefaultSuffix, "xml");
    EXPECT_EQ(User->FileQuestions[0].Folder.toStdString(), DataFolder());
    const std::string saved = Box->Config->AsText();

    Box->Config->CreateDefault("x", "y");
    Box->Config->ReadSensors(*Box);
    Box->SetEditing(false);
    User->Files = {Dir.path() + "/missing.xml"};
    Key(Qt::Key_F3);
    EXPECT_EQ(Box->Count(), 0); // nothing changes
    EXPECT_EQ(Box->Config->TopNode->Params.GetParam("from"), "x");
    User->Files = {file};
    Key(Qt::Key_F3);
    EXPECT_EQ(User->FileQuestions.back().Title, Lang(ltLoadConfigFromFile));
    EXPECT_EQ(Box->Config->AsText(), saved);
    EXPECT_EQ(Box->Count(), 1);
    EXPECT_TRUE(Box->Editing);
}

TEST_F(MenuTest, PicturesSaveLoadAndANewSize) {
    const QString bare = Dir.path() + "/bare.jpeg";
    const QString shown = Dir.path() + "/shown.bmp";
    User->Files = {bare};
    Key(Qt::Key_F5);
    EXPECT_EQ(User->FileQuestions.back().Title, Lang(ltSaveVideoFrame));
    EXPECT_TRUE(QFile::exists(bare));
    User->Files = {shown};
    Key(Qt::Key_F5, Qt::AltModifier);
    EXPECT_GT(QFile(shown).size(), 720 * 576 * 3);

    // A 640 x 480 picture after the 720 x 576 one.
    std::vector<std::uint8_t> small(640 * 480 * 3, 90);
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(small.data(), 640, 480, 80, false);
    ASSERT_TRUE(Box->SetFrameJPEG(jpeg.data(), jpeg.size()));
    EXPECT_EQ(Box->FrameWidth, 640);
    EXPECT_EQ(Box->FrameBuffer.size(), 921600u);

    User->Files = {bare};
    Key(Qt::Key_F6);
    EXPECT_EQ(User->FileQuestions.back().Title, Lang(ltLoadVideoFrame));
    EXPECT_EQ(Box->FrameWidth, 720);
    EXPECT_EQ(Box->FrameHeight, 576);
}

// A picture that cannot be saved or loaded is told in a box naming the file and the reason, and
// leaves no file behind and the frame as it was.
TEST_F(MenuTest, PictureFileFailuresAreToldWithTheFileAndTheReason) {
    const QString notFolder = Dir.path() + "/plain";
    QFile plain(notFolder);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not a folder");
    plain.close();
    const QString garbage = Dir.path() + "/garbage.jpg";
    QFile bad(garbage);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture at all");
    bad.close();
    ASSERT_TRUE(QFile::copy(garbage, Dir.path() + "/garbage.bmp"));

    struct Row {
        const char* Name;
        int Key;
        Qt::KeyboardModifiers Mods;
        QString File;
        int Lead;
        int Reason; // 0: the system's words
    } rows[] = {
        {"save into a file, not a folder", Qt::Key_F5, Qt::NoModifier, notFolder + "/f.jpg",
         ltPictureNotSaved, 0},
        {"save into a missing folder", Qt::Key_F5, Qt::AltModifier, Dir.path() + "/none/f.bmp",
         ltPictureNotSaved, 0},
        {"save as png", Qt::Key_F5, Qt::NoModifier, Dir.path() + "/f.png", ltPictureNotSaved,
         ltPictureWrongExtension},
        {"save without an extension", Qt::Key_F5, Qt::AltModifier, Dir.path() + "/f",
         ltPictureNotSaved, ltPictureWrongExtension},
        {"load a missing file", Qt::Key_F6, Qt::NoModifier, Dir.path() + "/absent.jpg",
         ltPictureNotLoaded, 0},
        {"load garbage as jpeg", Qt::Key_F6, Qt::NoModifier, garbage, ltPictureNotLoaded,
         ltPictureNotReadable},
        {"load garbage as bitmap", Qt::Key_F6, Qt::NoModifier, Dir.path() + "/garbage.bmp",
         ltPictureNotLoaded, ltPictureNotReadable},
        {"load a png", Qt::Key_F6, Qt::NoModifier, notFolder + ".png", ltPictureNotLoaded,
         ltPictureWrongExtension},
    };
    const std::vector<std::uint8_t> frame = Box->FrameBuffer;
    for (const Row& r : rows) {
        User->Informed.clear();
        User->Files = {r.File};
        Key(r.Key, r.Mods);
        ASSERT_EQ(User->Informed.size(), 1u) << r.Name;
        const QString lead = Lang(r.Lead).arg(r.File) + " ";
        const QString& told = User->Informed[0];
        EXPECT_TRUE(told.startsWith(lead)) << r.Name << ": " << told.toStdString();
        if (r.Reason)
            EXPECT_EQ(told, lead + Lang(r.Reason)) << r.Name;
        else
            EXPECT_GT(told.size(), lead.size()) << r.Name << ": no reason given";
        EXPECT_TRUE(r.Key == Qt::Key_F6 || !QFile::exists(r.File)) << r.Name;
        EXPECT_TRUE(Box->FrameBuffer == frame) << r.Name;
    }

    // Good files are saved and loaded without a word.
    User->Informed.clear();
    User->Files = {Dir.path() + "/good.jpg", Dir.path() + "/good.jpg"};
    Key(Qt::Key_F5);
    Key(Qt::Key_F6);
    EXPECT_TRUE(User->Informed.empty());
}

TEST_F(MenuTest, UploadReplyIsCheckedAgainstItsOwnDocument) {
    StartSim();
    Box->Config->CreateDefault("Kervola 5.01", "ZELMONT_SF");
    // Pad the document to exactly 5,321 bytes.
    TXMLNode* pad = Box->Config->TopNode->AddChild("");
    pad->Text = std::string(5321 - Box->Config->AsText().size(), 'p');
    ASSERT_EQ(Box->Config->AsText().size(), 5321u);

    Box->AskConfigUpload();
    EXPECT_EQ(Box->SendingForm->windowTitle(), Lang(ltLoadConfig) + " [ZELMONT_SF]");
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltUploadConfigQuestion));
    Box->UploadConfig();
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltSendInProgress));
    EXPECT_FALSE(Box->SendingForm->OkButton()->isEnabled());
    ASSERT_TRUE(Box->Transfer->UploadInFlight.has_value());
    EXPECT_EQ(Box->Transfer->UploadInFlight->Text.size(), 5321u);

    // An edit before the reply arrives must not turn the good upload into an error.
    pad->Text += "edited meanwhile";
    ASSERT_TRUE(
        WaitUntil([&] { return Box->SendingForm->TextLine()->text() != Lang(ltSendInProgress); }));
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), Lang(ltConfigUploaded) + "5321");
    EXPECT_EQ(Box->SendingForm->CancelButton()->text(), "Готово");
    EXPECT_FALSE(Box->Transfer->UploadInFlight.has_value());

    Box->Transfer->UploadInFlight = TConfigTransfer::TUploadWait{std::string(5321, 'x')};
    Box->HandleUploadReply("sc s=5320");
    EXPECT_EQ(Box->SendingForm->TextLine()->text(), "ОШИБКА: Не удалось загрузить конфигурацию");

    // Nothing goes out without a connection, so nothing is waited for.
    Box->CloseConnection();
    Box->UploadConfig();
    EXPECT_FALSE(Box->Transfer->UploadInFlight.has_value());
}

TEST_F(MenuTest, EditedSavedReopenedAndUploadedArrivesByteForByte) {
    StartSim();
    // Drag zone 1 with the mouse: move the whole zone 40 pixels right.
    Box->SelectedIndex = 0;
    const TPixelQuad px =
        QuadToPixels(Box->Quad(0)->Points, Box->ViewWidth - 1, Box->ViewHeight - 1);
    const QPoint inside((px[0].X + px[2].X) / 2, (px[0].Y + px[2].Y) / 2);
    QWidget* panel = Box->Panel();
    QMouseEvent press(QEvent::MouseButtonPress, inside, panel->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &press);
    const QPoint to = inside + QPoint(40, 0);
    QMouseEvent move(QEvent::MouseMove, to, panel->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(panel, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, panel->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &release);
    const std::string edited = Box->Config->AsText();

    const QString file = Dir.path() + "/edited.xml";
    User->Files = {file, file};
    Key(Qt::Key_F2);
    Box->Config->CreateDefault("", "");
    Key(Qt::Key_F3);
    ASSERT_EQ(Box->Config->AsText(), edited);

    ItemOf(Menu(0), TMenuCommand::LoadConfig)->trigger();
    Box->SendingForm->OkButton()->click();
    ASSERT_TRUE(
        WaitUntil([&] { return Box->SendingForm->TextLine()->text() != Lang(ltSendInProgress); }));
    EXPECT_EQ(Box->SendingForm->TextLine()->text(),
              Lang(ltConfigUploaded) + QString::number(edited.size()));

    SimClient peer(Sim->port());
    ASSERT_TRUE(peer.login());
    const auto stored = peer.block("gc");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->second, edited);
}

// As on a Russian desktop: Qt took the user's locale at start, so LC_NUMERIC has a decimal comma.
TEST_F(MenuTest, RussianDesktopSavesAndUploadsZonesThatReadBack) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "ru_RU.UTF-8"), nullptr)
        << "the ru_RU.UTF-8 locale is missing: run scripts/install-deps.sh";
    struct Restore {
        std::string Locale;
        ~Restore() { std::setlocale(LC_ALL, Locale.c_str()); }
    } restore{saved};

    StartSim();
    Box->Config->ReadSensors(*Box); // the canonical text, as this desktop writes it
    const QRegularExpression coordinates(R"(^-?\d+,\d{3}( -?\d+,\d{3}){7}$)");
    auto expectCommaCoordinates = [&](const std::string& text) {
        TXMLConfig doc;
        ASSERT_TRUE(doc.LoadFromText(text));
        TQuadList zones;
        doc.ReadSensors(zones);
        ASSERT_EQ(zones.Count(), Box->Count());
        for (int i = 0; i < zones.Count(); ++i) {
            const TXMLNode* sensor = doc.TopNode->GetNode(zones.Quad(i)->NodeIndex);
            const QString val = QString::fromStdString(sensor->GetNode(0)->Params.GetParam("val"));
            EXPECT_TRUE(coordinates.match(val).hasMatch()) << val.toStdString();
            for (size_t c = 0; c < 4; ++c) {
                EXPECT_NEAR(zones.Quad(i)->Points[c].X, Box->Quad(i)->Points[c].X, 0.0005);
                EXPECT_NEAR(zones.Quad(i)->Points[c].Y, Box->Quad(i)->Points[c].Y, 0.0005);
            }
        }
    };

    const QString file = Dir.path() + "/ru.xml";
    User->Files = {file};
    Key(Qt::Key_F2);
    std::ifstream in(file.toStdString(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    expectCommaCoordinates(bytes);

    ItemOf(Menu(0), TMenuCommand::LoadConfig)->trigger();
    Box->SendingForm->OkButton()->click();
    ASSERT_TRUE(
        WaitUntil([&] { return Box->SendingForm->TextLine()->text() != Lang(ltSendInProgress); }));
    SimClient peer(Sim->port());
    ASSERT_TRUE(peer.login());
    const auto stored = peer.block("gc");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->second, bytes);
    expectCommaCoordinates(stored->second);
}

TEST_F(MenuTest, FirmwareUploadWithProgress) {
    StartSim();
    EXPECT_EQ(Box->UploadFirmware(), -1); // cancelled: no message
    EXPECT_TRUE(User->Informed.empty());
    User->Files = {Dir.path() + "/no-such-firmware.bin"};
    EXPECT_EQ(Box->UploadFirmware(), 0); // never reported as sent
    const std::string file = (Dir.path() + "/fw.bin").toStdString();
    std::string bytes(4096, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 13);
    std::ofstream(file, std::ios::binary) << bytes;
    User->Files = {QString::fromStdString(file)};
    EXPECT_EQ(Box->UploadFirmware(), 1);
    EXPECT_EQ(Box->ProgressForm->windowTitle(), Lang(ltFirmwareUpdate));
    EXPECT_EQ(Box->ProgressForm->Bar()->value(), 100);
    EXPECT_TRUE(Box->ProgressForm->OkButton()->isVisible());
    Box->ShowTransferProgress(4096, 1536);
    EXPECT_EQ(Box->ProgressForm->Bar()->value(), 37);
    EXPECT_EQ(Box->ProgressForm->CountText()->text(), "1 kBytes");
    Box->ShowTransferProgress(0, 0); // an empty file: no division
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangRussian);
}
