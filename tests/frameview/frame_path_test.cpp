#include "frameview_fixture.h"

#include "zones/FramePicture.h"
#include "zones/mm_timer.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>

namespace {

// A frame in buffer layout whose four quadrants are blue, green, red and white (top-left first,
// as seen).
std::vector<std::uint8_t> QuadrantFrame(int w, int h) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(w) * h * 3);
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row; // buffer rows run bottom-up
        for (int x = 0; x < w; ++x) {
            const int q = (y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1);
            static const std::uint8_t bgr[4][3] = {
                {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            std::copy_n(bgr[q], 3, &frame[(static_cast<std::size_t>(row) * w + x) * 3]);
        }
    }
    return frame;
}

bool Close(TRGB a, TRGB b) {
    constexpr int tolerance = 40;
    return std::abs(a.R - b.R) <= tolerance && std::abs(a.G - b.G) <= tolerance &&
           std::abs(a.B - b.B) <= tolerance;
}

std::vector<std::uint8_t> Jpeg(int w, int h) {
    return EncodeJpeg(QuadrantFrame(w, h).data(), w, h, 90, false);
}

// Rewrites the size in the frame header without touching the rest.
std::vector<std::uint8_t> WithHeaderSize(std::vector<std::uint8_t> jpeg, int w, int h) {
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<std::uint8_t>(h >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(h);
            jpeg[i + 7] = static_cast<std::uint8_t>(w >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(w);
            break;
        }
    }
    return jpeg;
}

const TRGB Blue{0, 0, 255}, Green{0, 255, 0}, Red{255, 0, 0}, White{255, 255, 255};

QByteArray ReadAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(FrameView, StartsWithAFullPalFrame) {
    TQuadImager fresh;
    EXPECT_EQ(fresh.FrameBuffer.size(), 1244160u);
    EXPECT_EQ(fresh.FrameWidth, 720);
    EXPECT_EQ(fresh.FrameHeight, 576);
}

TEST_F(FrameView, NewFrameSizeReallocatesAndFillsTheWholeView) {
    Imager.ShowZones = false;
    const auto small = Jpeg(352, 288);
    ASSERT_TRUE(Imager.SetFrameJPEG(small.data(), small.size()));
    EXPECT_EQ(Imager.FrameWidth, 352);
    EXPECT_EQ(Imager.FrameHeight, 288);
    EXPECT_EQ(Imager.FrameBuffer.size(), 352u * 288 * 3);
    const std::uint8_t* storage = Imager.FrameBuffer.data();
    ASSERT_TRUE(Imager.SetFrameJPEG(small.data(), small.size()));
    ASSERT_TRUE(Imager.SetFrameJPEG(small.data(), small.size()));
    EXPECT_EQ(Imager.FrameBuffer.data(), storage) << "same size: no reallocation between frames";

    EXPECT_PRED2(Close, Pixel(5, 5), Blue);
    EXPECT_PRED2(Close, Pixel(ViewW - 5, 5), Green);
    EXPECT_PRED2(Close, Pixel(5, ViewH - 5), Red);
    EXPECT_PRED2(Close, Pixel(ViewW - 5, ViewH - 5), White);
}

TEST_F(FrameView, FrameWidthNotAMultipleOfFourShowsPixelForPixel) {
    Form.resize(641, 480);
    QApplication::processEvents();
    ASSERT_EQ(Imager.ViewWidth, 641);
    Imager.ShowZones = false;
    QImage picture(641, 480, QImage::Format_RGB888);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 641; ++x)
            picture.setPixelColor(x, y, QColor(x % 256, y % 256, (x * 7 + y) % 256));
    Imager.SetFrameBitmap(&picture);
    EXPECT_EQ(Imager.FrameBuffer.size(), 641u * 480 * 3);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 641; ++x)
            wrong += Imager.BackBuffer.pixel(x, y) != picture.pixel(x, y);
    EXPECT_EQ(wrong, 0);

    const auto jpeg = Jpeg(641, 480);
    ASSERT_TRUE(Imager.SetFrameJPEG(jpeg.data(), jpeg.size()));
    EXPECT_PRED2(Close, Pixel(10, 10), Blue);
    EXPECT_PRED2(Close, Pixel(630, 10), Green);
    EXPECT_PRED2(Close, Pixel(10, 470), Red);
    EXPECT_PRED2(Close, Pixel(630, 470), White);
}

TEST_F(FrameView, UndecodableJpegKeepsThePreviousFrame) {
    const auto good = Jpeg(320, 240);
    ASSERT_TRUE(Imager.SetFrameJPEG(good.data(), good.size()));
    const std::vector<std::uint8_t> before = Imager.FrameBuffer;

    std::vector<std::uint8_t> garbage(5000);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<std::uint8_t>(i * 131 + 7);
    const auto other = Jpeg(640, 480);
    const std::vector<std::uint8_t> truncated(other.begin(), other.begin() + other.size() / 2);
    const std::vector<std::uint8_t> headerOnly(other.begin(), other.begin() + 200);
    const auto huge = WithHeaderSize(other, 9000, 9000);
    const auto zeroWide = WithHeaderSize(other, 0, 480);
    const std::vector<std::uint8_t>* cases[] = {&garbage, &truncated, &headerOnly, &huge,
                                                &zeroWide};
    for (const auto* data : cases) {
        EXPECT_FALSE(Imager.SetFrameJPEG(data->data(), data->size()));
        EXPECT_EQ(Imager.FrameWidth, 320);
        EXPECT_EQ(Imager.FrameHeight, 240);
        EXPECT_TRUE(Imager.FrameBuffer == before);
    }
    EXPECT_FALSE(Imager.SetFrameJPEG(nullptr, 0));
    EXPECT_FALSE(Imager.SetFrameJPEG(good.data(), 0));
}

TEST_F(FrameView, SavedJpegIsProgressiveAtQualityFifty) {
    QTemporaryDir dir;
    const auto frame = QuadrantFrame(720, 576);
    for (const char* name : {"a.jpeg", "b.jpg", "c.JPG"}) {
        const QString path = dir.filePath(name);
        ASSERT_TRUE(Imager.SaveFrame(path, frame)) << name;
        const QByteArray bytes = ReadAll(path);
        ASSERT_GT(bytes.size(), 100);
        tjhandle handle = tjInitDecompress();
        int w = 0, h = 0, sub = 0, space = 0;
        EXPECT_EQ(tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(bytes.data()),
                                      bytes.size(), &w, &h, &sub, &space),
                  0);
        tjDestroy(handle);
        EXPECT_EQ(w, 720);
        EXPECT_EQ(h, 576);
        EXPECT_TRUE(bytes.contains(QByteArray("\xFF\xC2", 2))) << "progressive frame header";
        EXPECT_FALSE(bytes.contains(QByteArray("\xFF\xC0", 2)));
        // At quality 50 the luminance table is the standard one unscaled: 16 11 12 14 ... (zigzag).
        const qsizetype dqt = bytes.indexOf(QByteArray("\xFF\xDB", 2));
        ASSERT_GE(dqt, 0);
        EXPECT_EQ(bytes.mid(dqt + 4, 9), QByteArray("\x00\x10\x0B\x0C\x0E\x0C\x0A\x10\x0E", 9))
            << name;
    }
}

TEST_F(FrameView, BmpRoundTripAndOtherExtensionsWriteNothing) {
    QTemporaryDir dir;
    QImage odd(641, 3, QImage::Format_RGB888);
    for (int x = 0; x < 641; ++x)
        for (int y = 0; y < 3; ++y)
            odd.setPixelColor(x, y, QColor(x % 256, 40 * y, 255 - x % 256));
    Imager.SetFrameBitmap(&odd);
    const std::vector<std::uint8_t> original = Imager.FrameBuffer;
    ASSERT_TRUE(Imager.SaveFrame(dir.filePath("f.bmp"), original));
    const QByteArray bmp = ReadAll(dir.filePath("f.bmp"));
    ASSERT_EQ(bmp.size(), 54 + 1924 * 3) << "rows padded to 4 bytes";
    EXPECT_EQ(bmp[28], 24) << "24 bits per pixel";

    Imager.ShowTextFrame("x");
    ASSERT_TRUE(Imager.LoadFrame(dir.filePath("f.bmp")));
    EXPECT_EQ(Imager.FrameWidth, 641);
    EXPECT_EQ(Imager.FrameHeight, 3);
    EXPECT_TRUE(Imager.FrameBuffer == original);

    EXPECT_FALSE(Imager.SaveFrame(dir.filePath("f.png"), original));
    EXPECT_FALSE(QFile::exists(dir.filePath("f.png")));
    EXPECT_FALSE(Imager.SaveFrame(dir.filePath("noext"), original));
    EXPECT_FALSE(Imager.SaveFrame(dir.filePath("missing/f.jpg"), original)) << "file error";
    EXPECT_FALSE(Imager.SaveFrame(dir.filePath("short.bmp"), {1, 2, 3})) << "buffer too small";
    EXPECT_FALSE(QFile::exists(dir.filePath("short.bmp")));
}

TEST_F(FrameView, LoadFrameFailuresLeaveTheFrame) {
    QTemporaryDir dir;
    QFile bad(dir.filePath("bad.jpg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture at all");
    bad.close();
    QFile::copy(dir.filePath("bad.jpg"), dir.filePath("bad.bmp"));
    const std::vector<std::uint8_t> before = Imager.FrameBuffer;
    for (const char* name : {"bad.jpg", "bad.bmp", "absent.jpeg", "bad.png"})
        EXPECT_FALSE(Imager.LoadFrame(dir.filePath(name))) << name;
    EXPECT_TRUE(Imager.FrameBuffer == before);

    const auto jpeg = Jpeg(352, 288);
    QFile good(dir.filePath("good.JPEG"));
    ASSERT_TRUE(good.open(QIODevice::WriteOnly));
    good.write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
    good.close();
    ASSERT_TRUE(Imager.LoadFrame(dir.filePath("good.JPEG")));
    EXPECT_EQ(Imager.FrameWidth, 352);
    Imager.ShowZones = false;
    Imager.PaintView();
    EXPECT_PRED2(Close, Pixel(ViewW - 5, ViewH - 5), White);
}

TEST_F(FrameView, CaptureViewIsThePictureAsShownAtFrameSize) {
    Imager.AddSensorById("1");
    QImage picture(200, 100, QImage::Format_RGB888);
    picture.fill(QColor(10, 20, 30));
    Imager.SetFrameBitmap(&picture);
    std::vector<std::uint8_t> captured;
    Imager.CaptureView(captured);
    ASSERT_EQ(captured.size(), 200u * 100 * 3);
    // Buffer row 0 is the bottom of the picture; its first pixel is plain frame.
    EXPECT_EQ(captured[0], 30);
    EXPECT_EQ(captured[1], 20);
    EXPECT_EQ(captured[2], 10);
    int selected = 0;
    for (std::size_t i = 0; i + 2 < captured.size(); i += 3)
        selected += captured[i] == 96 && captured[i + 1] == 0 && captured[i + 2] == 255;
    EXPECT_GT(selected, 20) << "the zones are part of the capture";
}

TEST_F(FrameView, TextFrameKeepsTheFrameSize) {
    QImage picture(352, 288, QImage::Format_RGB888);
    picture.fill(Qt::white);
    Imager.SetFrameBitmap(&picture);
    Imager.ShowTextFrame("<Right click for main menu access>");
    EXPECT_EQ(Imager.FrameWidth, 352);
    const std::uint8_t* corner = Imager.FrameBuffer.data();
    EXPECT_EQ(corner[0], 64);
    int teal = 0;
    for (std::size_t i = 0; i + 2 < Imager.FrameBuffer.size(); i += 3)
        teal += Imager.FrameBuffer[i + 1] > 100 && Imager.FrameBuffer[i + 2] < 40;
    EXPECT_GT(teal, 50);
}

TEST_F(FrameView, ResizeFollowsTheParent) {
    Form.resize(500, 350);
    QApplication::processEvents();
    EXPECT_EQ(Imager.ViewWidth, 500);
    EXPECT_EQ(Imager.ViewHeight, 350);
    EXPECT_EQ(Imager.BackBuffer.size(), QSize(500, 350));
}

TEST(MMTimer, RateIntervalAndTicks) {
    QObject window;
    TMMTimer timer(&window, 40);
    EXPECT_EQ(timer.TimerRate(), 25u);
    timer.SetInterval(30);
    EXPECT_EQ(timer.TimerRate(), 33u);
    timer.SetInterval(5);
    QSignalSpy ticks(&timer, &TMMTimer::Tick);
    ASSERT_TRUE(ticks.wait(1000));
    EXPECT_EQ(ticks.first().first().value<TMMTimer*>(), &timer);
    timer.SetInterval(0);
    EXPECT_FALSE(timer.IsActive());
    EXPECT_EQ(timer.TimerRate(), 0u) << "no division by a zero period";
}
