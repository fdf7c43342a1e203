// The capture dialog recording a real frame view; the files are read back with ffprobe and ffmpeg.
#include "recording/videocontrol.h"
#include "../program/program_test_main.h"

#include "avi_probe.h"
#include "recorder_hooks.h"
#include "addressbook/Connection_manager.h"
#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "program/Unit1.h"
#include "program/zelmont_box.h"
#include "zones/TFImageHelper2.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr TRgb ZoneGreen{0, 255, 0};

class CaptureDialog : public ::testing::Test {
protected:
    void SetUp() override { Prepare(720, 576); }
    void Prepare(int width, int height) {
        Dialog.reset();
        Imager.reset();
        Form = std::make_unique<QWidget>();
        Form->resize(width, height);
        Imager = std::make_unique<TQuadImager>();
        Imager->Attach(Form.get(), Form.get());
        Form->show();
        QImage grey(width, height, QImage::Format_RGB32);
        grey.fill(QColor(128, 128, 128));
        Imager->SetFrameBitmap(&grey);
        Imager->AddSensorById("1");
        Imager->SetEditing(false); // live view: no zone selected
        Dialog = std::make_unique<TVideoControlForm>(Form.get());
        Dialog->SetView(Imager.get());
        Dialog->SetOutputFolder(Dir.path() + "/");
        Dialog->Inform = [this](QWidget*, const QString& text, QMessageBox::Icon icon) {
            Told.push_back({text, icon});
        };
        Dialog->show();
    }
    // Starts with the codec of that list index; frames wait for room so that none is repeated.
    void Start(int codecIndex = 2) {
        Dialog->CodecBox()->setCurrentIndex(codecIndex);
        Dialog->StartButton()->click();
        if (Dialog->Recorder())
            Dialog->Recorder()->Live = false;
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i)
            Dialog->FrameTick();
    }
    std::string File() const { return Dialog->OutputFile().toStdString(); }
    int CountPixels(const std::vector<std::uint8_t>& rgb, TRgb colour) const {
        int n = 0;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
            n += Distance({rgb[i], rgb[i + 1], rgb[i + 2]}, colour) == 0;
        return n;
    }

    struct TTold {
        QString Text;
        QMessageBox::Icon Icon;
    };
    std::vector<TTold> Told; // what the operator was told, in order

    QTemporaryDir Dir;
    std::unique_ptr<QWidget> Form;
    std::unique_ptr<TQuadImager> Imager;
    std::unique_ptr<TVideoControlForm> Dialog;
};

TEST_F(CaptureDialog, ShowingResetsTheTimeCodeAndTheButtons) {
    EXPECT_EQ(Dialog->windowTitle(), "00:00:00:00");
    EXPECT_TRUE(Dialog->StartButton()->isEnabled());
    EXPECT_FALSE(Dialog->StopButton()->isEnabled());
    EXPECT_TRUE(Dialog->SensorsBox()->isChecked());
    EXPECT_FALSE(Dialog->StampBox()->isChecked());
    EXPECT_EQ(Dialog->CodecBox()->count(), 4);
    EXPECT_EQ(Dialog->CodecBox()->currentIndex(), 0);
    EXPECT_EQ(Dialog->PathEdit()->text(), Dir.path() + "/output.avi");

    Start();
    Ticks(3);
    Dialog->StopButton()->click();
    Dialog->show();
    EXPECT_EQ(Dialog->windowTitle(), "00:00:00:00");
    EXPECT_EQ(Dialog->FrameCounter(), 0);
    EXPECT_TRUE(Dialog->StartButton()->isEnabled());
}

TEST_F(CaptureDialog, TwentyFiveTicksMakeOneSecondAndOneFrame) {
    Start();
    EXPECT_FALSE(Dialog->StartButton()->isEnabled());
    EXPECT_TRUE(Dialog->StopButton()->isEnabled());
    Ticks(25);
    EXPECT_EQ(Dialog->FrameCounter(), 26);
    EXPECT_EQ(Dialog->windowTitle(), "00:00:01:01");
    Dialog->StopButton()->click();
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->Recorder(), nullptr);

    const TProbe p = Probe(File());
    ASSERT_TRUE(p.Ok);
    EXPECT_EQ(p.Frames, 26); // the first frame at Start, one per tick
    EXPECT_EQ(p.Rate, "25/1");
    EXPECT_EQ(p.Width, 720);
    EXPECT_EQ(p.Height, 576);
    EXPECT_EQ(StreamHandler(File()), "DIB ");
}

TEST_F(CaptureDialog, SensorsBoxDecidesWhetherZonesAreRecorded) {
    for (const bool zones : {true, false}) {
        Dialog->show();
        Dialog->SensorsBox()->setChecked(zones);
        Start();
        EXPECT_EQ(Imager->ShowZones, zones);
        Ticks(1);
        Dialog->StopButton()->click();
        EXPECT_TRUE(Imager->ShowZones) << "the view draws zones again after Stop";
        const auto frame = DecodeFrame(File(), 0, 720, 576);
        ASSERT_FALSE(frame.empty());
        EXPECT_EQ(CountPixels(frame, ZoneGreen) > 0, zones);
    }
}

TEST_F(CaptureDialog, StartAgainOverwritesTheFile) {
    Start();
    Ticks(5);
    Dialog->StopButton()->click();
    ASSERT_EQ(Probe(File()).Frames, 6);
    Dialog->show();
    Start();
    Ticks(1);
    Dialog->close(); // closing finishes the recording as Stop does
    EXPECT_EQ(Dialog->Recorder(), nullptr);
    EXPECT_EQ(Probe(File()).Frames, 2);
}

TEST_F(CaptureDialog, RecordingGoesToTheFileShownAndChosen) {
    const QString chosen = Dir.path() + "/chosen.avi";
    Dialog->AskFile = [&](QWidget*, const QString& folder, const QString& current) {
        EXPECT_EQ(folder, Dir.path() + "/");
        EXPECT_EQ(current, Dir.path() + "/output.avi");
        return chosen;
    };
    Dialog->BrowseButton()->click();
    EXPECT_EQ(Dialog->PathEdit()->text(), chosen);
    Dialog->AskFile = [](QWidget*, const QString&, const QString&) { return QString(); };
    Dialog->BrowseButton()->click(); // cancelled: the file stays
    EXPECT_EQ(Dialog->PathEdit()->text(), chosen);
    Start();
    Dialog->StopButton()->click();
    EXPECT_EQ(Probe(chosen.toStdString()).Frames, 1);
}

TEST_F(CaptureDialog, TimeStampIsBurnedIntoTheRecordedFrames) {
    Dialog->StampLabel = [] { return QStringLiteral("Post 7"); };
    Dialog->StampBox()->setChecked(true);
    Start();
    Ticks(1);
    Dialog->StopButton()->click();
    const auto frame = DecodeFrame(File(), 1, 720, 576);
    ASSERT_FALSE(frame.empty());
    // The box lies in the bottom-right corner, black with white text; the view is untouched.
    int black = 0, white = 0;
    for (int y = 576 - 30; y < 576 - TTimeStamp::Margin; ++y)
        for (int x = 720 - 60; x < 720 - TTimeStamp::Margin; ++x) {
            const TRgb p = PixelAt(frame, 720, x, y);
            black += Distance(p, {0, 0, 0}) == 0;
            white += Distance(p, {255, 255, 255}) < 40;
        }
    EXPECT_GT(black, 50);
    EXPECT_GT(white, 10);
    EXPECT_EQ(Imager->BackBuffer.pixelColor(720 - 20, 576 - 20), QColor(128, 128, 128));
    EXPECT_TRUE(TTimeStamp::Text(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)), "Post 7") ==
                "2026-03-04 05:06:07  Post 7");
}

// Microsoft Video 1, the first codec of the list, codes 4 x 4 blocks only; a freely resized view
// is recorded all the same, on a frame a few pixels larger.
TEST_F(CaptureDialog, AnyViewSizeRecordsWithTheFirstCodec) {
    Prepare(722, 577);
    Start(0);
    ASSERT_NE(Dialog->Recorder(), nullptr);
    EXPECT_TRUE(Dialog->isVisible());
    Ticks(2);
    Dialog->StopButton()->click();
    EXPECT_TRUE(Told.empty());
    const TProbe p = Probe(File());
    ASSERT_TRUE(p.Ok);
    EXPECT_EQ(p.Frames, 3);
    EXPECT_EQ(p.Width, 724);
    EXPECT_EQ(p.Height, 580);
    EXPECT_EQ(StreamHandler(File()), "msvc");
}

// A recording that cannot start closes the dialog as Stop does, says why in one message and
// leaves no file.
TEST_F(CaptureDialog, StartThatFailsSaysWhyOnceAndLeavesNoFile) {
    struct {
        const char* Name;
        int Width;
        QString Folder;
        QString Message;
    } const rows[] = {
        {"file_not_creatable", 720, Dir.path() + "/missing/",
         "Cannot record: the file " + Dir.path() + "/missing/output.avi cannot be created."},
        {"view_too_wide", TAviFromBitmaps::MaxSide + 1, Dir.path() + "/",
         QStringLiteral("Cannot record: no memory for a picture of %1 x 576 pixels.")
             .arg(TAviFromBitmaps::MaxSide + 1)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        Prepare(row.Width, 576);
        ASSERT_EQ(Imager->BackBuffer.width(), row.Width);
        Told.clear();
        Dialog->SetOutputFolder(row.Folder);
        Start(0);
        EXPECT_EQ(Dialog->Recorder(), nullptr);
        EXPECT_FALSE(Dialog->isVisible());
        EXPECT_TRUE(Imager->ShowZones);
        ASSERT_EQ(Told.size(), 1u);
        EXPECT_EQ(Told[0].Text, row.Message);
        EXPECT_EQ(Told[0].Icon, QMessageBox::Warning);
        EXPECT_FALSE(std::filesystem::exists(File()));
    }
}

// Ticks late and the encoder slowed down: the time code and the film keep the clock's time, and
// Stop tells how many frames repeat the one before.
TEST_F(CaptureDialog, LateTicksAndASlowEncoderKeepTheFilmsTime) {
    TTestClock clock;
    TEncoderGate gate;
    gate.Hold();
    Dialog->PrepareRecorder = [&](TAviFromBitmaps& avi) {
        avi.Clock = clock.Function();
        avi.BeforeEncode = [&] { gate.Pass(); };
    };
    Dialog->CodecBox()->setCurrentIndex(0);
    Dialog->StartButton()->click();
    ASSERT_NE(Dialog->Recorder(), nullptr);
    ASSERT_TRUE(gate.WaitEntered(1));
    constexpr int TickMs = 300, Ticked = 33, StopMs = 10000;
    for (int k = 1; k <= Ticked; ++k) {
        clock.At(k * TickMs);
        Dialog->FrameTick();
    }
    // At 9.9 seconds the film holds 248 frames, however few ticks came.
    EXPECT_EQ(Dialog->FrameCounter(), 248);
    EXPECT_EQ(Dialog->windowTitle(), "00:00:09:23");
    gate.Release();
    clock.At(StopMs);
    Dialog->StopButton()->click();

    // The first picture in the encoder and a full queue behind it; all else repeats.
    const long long pictures = 1 + TAviFromBitmaps::QueueLimit;
    ASSERT_EQ(Told.size(), 1u);
    EXPECT_EQ(Told[0].Text, QStringLiteral("Repeats of the previous frame: %1 of 250 (the computer "
                                           "could not record these frames in time).")
                                .arg(250 - pictures));
    EXPECT_EQ(Told[0].Icon, QMessageBox::Information);
    const TProbe p = Probe(File());
    ASSERT_TRUE(p.Ok);
    EXPECT_EQ(p.HeaderFrames, 250);
    EXPECT_EQ(p.Duration, "10.000000");
    EXPECT_EQ(p.Frames, pictures);
}

TEST_F(CaptureDialog, WithoutAViewStartDoesNothing) {
    Dialog->SetView(nullptr);
    Dialog->StartButton()->click();
    EXPECT_EQ(Dialog->Recorder(), nullptr);
    EXPECT_TRUE(Dialog->StartButton()->isEnabled());
    Dialog->FrameTick();
    EXPECT_EQ(Dialog->windowTitle(), "00:00:00:00");
}

// The main window: the start-up points the dialog at the data folder, F12 opens it modally, and
// the frame timer drives it while it is visible.
TEST(CaptureWiring, MainWindowOpensAndDrivesTheDialog) {
    TForm1 form;
    auto* video = new TVideoControlForm(&form);
    video->Inform = [](QWidget*, const QString&, QMessageBox::Icon) {};
    form.SetVideoForm(video);
    form.show();
    form.Startup();
    EXPECT_EQ(video->PathEdit()->text(), QString::fromStdString(DataFolder()) + "output.avi");
    EXPECT_EQ(video->FrameView(), form.Controller());

    bool wasModal = false;
    long long counted = 0;
    // Ticks of the controller's timer reach the dialog while it is up: Stop once three frames
    // are counted, or when the bound is reached so that a fault fails instead of hanging.
    QTimer watch;
    QElapsedTimer waited;
    QObject::connect(&watch, &QTimer::timeout, video, [&] {
        if (video->FrameCounter() <= 2 && !waited.hasExpired(5000))
            return;
        watch.stop();
        counted = video->FrameCounter();
        video->StopButton()->click();
    });
    QTimer::singleShot(0, video, [&] {
        wasModal = video->isVisible() && video->isModal();
        video->CodecBox()->setCurrentIndex(2);
        video->StartButton()->click();
        waited.start();
        watch.start(10);
    });
    QKeyEvent f12(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier);
    QApplication::sendEvent(&form, &f12);
    EXPECT_TRUE(wasModal);
    EXPECT_GT(counted, 2);
    EXPECT_GE(Probe(DataFolder() + "output.avi").Frames, 2);
}

} // namespace

int main(int argc, char** argv) {
    return RunProgramTests(argc, argv, LangEnglish);
}
