// The recorder against the real codecs: every file is read back by ffprobe and decoded by ffmpeg.
#include "avi_probe.h"
#include "recording/AviFromBitmaps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        Path = fs::temp_directory_path() /
               ("kervola-rec-" + std::to_string(::getpid()) + "-" + std::to_string(++Count));
        fs::create_directories(Path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    std::string File(const std::string& name) const { return (Path / name).string(); }

private:
    fs::path Path;
    static inline int Count = 0;
};

TBitmapView View32(const std::vector<std::uint8_t>& bits, int width, int height) {
    return {bits.data(), width, height, static_cast<std::size_t>(width) * 4,
            TPixelLayout::Bgrx32TopDown};
}

// The same picture as 24-bit rows, bottom row first, as the frame buffer holds frames.
std::vector<std::uint8_t> To24BottomUp(const std::vector<std::uint8_t>& bits32, int width,
                                       int height) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                out[(static_cast<std::size_t>(height - 1 - y) * width + x) * 3 + c] =
                    bits32[(static_cast<std::size_t>(y) * width + x) * 4 + c];
    return out;
}

void ExpectQuadrants(const std::vector<std::uint8_t>& rgb, int width, int height, int tolerance,
                     const std::string& what) {
    ASSERT_FALSE(rgb.empty()) << what << ": frame not decoded";
    const int xs[2] = {width / 4, width * 3 / 4};
    const int ys[2] = {height / 4, height * 3 / 4};
    for (int q = 0; q < 4; ++q) {
        const TRgb got = PixelAt(rgb, width, xs[q % 2], ys[q / 2]);
        EXPECT_LE(Distance(got, QuadrantColours[q]), tolerance)
            << what << ": quadrant " << q << " is " << got.R << "," << got.G << "," << got.B;
    }
}

struct CodecCase {
    const char* Name;
    std::uint32_t Code;
    const char* Handler;
    const char* Tag; // as ffprobe prints the frame format header's code
    int Width;
    int Height;
    int Tolerance; // per channel, after the codec's loss
    bool BottomUpSource;
};

void PrintTo(const CodecCase& c, std::ostream* os) {
    *os << c.Name;
}

class RecorderCodec : public ::testing::TestWithParam<CodecCase> {};

TEST_P(RecorderCodec, RecordsAPlayableUprightFile) {
    const CodecCase& c = GetParam();
    TempFolder dir;
    const std::string file = dir.File("out.avi");
    const auto quadrants = Quadrants(c.Width, c.Height);
    const auto bottomUp = To24BottomUp(quadrants, c.Width, c.Height);
    const TBitmapView frame = c.BottomUpSource ? TBitmapView{bottomUp.data(), c.Width, c.Height,
                                                             static_cast<std::size_t>(c.Width) * 3,
                                                             TPixelLayout::Bgr24BottomUp}
                                               : View32(quadrants, c.Width, c.Height);
    constexpr int Frames = 10;
    {
        TAviFromBitmaps recorder(1, 25, c.Code, file);
        recorder.DropWhenBusy = false;
        EXPECT_EQ(recorder.State, 1);
        for (int i = 0; i < Frames; ++i)
            ASSERT_EQ(recorder.AddFrame(frame), S_OK) << recorder.LastError;
        EXPECT_EQ(recorder.State, 2);
        EXPECT_EQ(recorder.FrameIndex, Frames);
        EXPECT_EQ(recorder.LastError, "Method Succeeded");
    } // destroying the recorder finishes the file

    EXPECT_EQ(StreamHandler(file), c.Handler);
    const TProbe p = Probe(file);
    ASSERT_TRUE(p.Ok) << "ffprobe cannot read " << c.Name;
    EXPECT_EQ(p.CodecTag, c.Tag);
    EXPECT_EQ(p.Width, c.Width);
    EXPECT_EQ(p.Height, c.Height);
    EXPECT_EQ(p.Rate, "25/1");
    EXPECT_EQ(p.Frames, Frames);
    ExpectQuadrants(DecodeFrame(file, 0, c.Width, c.Height), c.Width, c.Height, c.Tolerance,
                    c.Name);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, RecorderCodec,
    ::testing::Values(CodecCase{"msvc", CodecMsvc, "msvc", "CRAM", 720, 576, 8, false},
                      CodecCase{"iyuv", CodecIyuv, "iyuv", "IYUV", 720, 576, 6, false},
                      CodecCase{"iyuv_odd", CodecIyuv, "iyuv", "IYUV", 333, 201, 6, false},
                      CodecCase{"dib", CodecDib, "DIB ", "[0][0][0][0]", 720, 576, 0, false},
                      // Rows of 999 bytes are padded to 1000 in the file, as bitmaps are.
                      CodecCase{"dib_odd_bottom_up", CodecDib, "DIB ", "[0][0][0][0]", 333, 201, 0,
                                true},
                      CodecCase{"xvid", CodecXvid, "XVID", "XVID", 720, 576, 12, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Recorder, FrameOfANewSizeIsScaledToTheFirstFramesSize) {
    TempFolder dir;
    const std::string file = dir.File("resized.avi");
    const auto big = Quadrants(720, 576);
    const auto small = Quadrants(360, 288);
    {
        TAviFromBitmaps recorder(1, 25, CodecDib, file);
        recorder.DropWhenBusy = false;
        ASSERT_EQ(recorder.AddFrame(View32(big, 720, 576)), S_OK);
        ASSERT_EQ(recorder.AddFrame(View32(small, 360, 288)), S_OK);
        EXPECT_EQ(recorder.FrameWidth(), 720);
        EXPECT_EQ(recorder.FrameHeight(), 576);
    }
    EXPECT_EQ(Probe(file).Frames, 2);
    ExpectQuadrants(DecodeFrame(file, 1, 720, 576), 720, 576, 0, "scaled frame");
}

struct FailureCase {
    const char* Name;
    std::uint32_t Code;
    int Width;
    int Height;
    bool MissingFolder;
    const char* Message;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.Name;
}

class RecorderFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(RecorderFailure, FailsWithItsMessageAndStaysClosed) {
    const FailureCase& c = GetParam();
    TempFolder dir;
    const std::string file = c.MissingFolder ? dir.File("no/such/folder/x.avi") : dir.File("x.avi");
    const auto bits = Quadrants(std::max(c.Width, 1), std::max(c.Height, 1));
    TAviFromBitmaps recorder(1, 25, c.Code, file);
    EXPECT_EQ(recorder.AddFrame(View32(bits, c.Width, c.Height)), E_FAIL);
    EXPECT_EQ(recorder.LastError, c.Message);
    EXPECT_EQ(recorder.State, 0);
    // A closed recorder refuses every later frame at once.
    EXPECT_EQ(recorder.AddFrame(View32(bits, c.Width, c.Height)), E_FAIL);
}

TEST(Recorder, CodecThatCannotBeHadLeavesAnEarlierRecordingAlone) {
    TempFolder dir;
    const std::string file = dir.File("kept.avi");
    const auto bits = Quadrants(64, 64);
    {
        TAviFromBitmaps first(1, 25, CodecDib, file);
        ASSERT_EQ(first.AddFrame(View32(bits, 64, 64)), S_OK);
    }
    TAviFromBitmaps second(1, 25, CodecMsvc, file);
    EXPECT_EQ(second.AddFrame(View32(bits, 62, 64)), E_FAIL);
    EXPECT_EQ(Probe(file).Frames, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RecorderFailure,
    ::testing::Values(FailureCase{"unknown_codec", FourCC("ABCD"), 64, 64, false,
                                  "Unable to Create Compressed Stream: Check your CODEC options"},
                      // Microsoft Video 1 codes 4 x 4 blocks only.
                      FailureCase{"msvc_refuses_size", CodecMsvc, 722, 576, false,
                                  "Unable to Create Compressed Stream: Check your CODEC options"},
                      FailureCase{"file_not_creatable", CodecDib, 64, 64, true,
                                  "Unable to Create the Movie File"},
                      FailureCase{"empty_picture", CodecDib, 0, 0, false,
                                  "Unable to Allocate Memory on Heap"}),
    [](const auto& info) { return std::string(info.param.Name); });

// A black picture with a white bar whose position tells the frame's number.
std::vector<std::uint8_t> Marked(int width, int height, int number) {
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(width) * height * 4, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 8 * number; x < 8 * number + 8 && x < width; ++x)
            for (int c = 0; c < 3; ++c)
                bits[(static_cast<std::size_t>(y) * width + x) * 4 + c] = 255;
    return bits;
}

// The frame numbers of every frame of the file, read back from the bars.
std::vector<int> MarkerNumbers(const std::string& file, int width, int height) {
    const std::string all =
        RunCommand("ffmpeg -v error -i '" + file + "' -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 3;
    std::vector<int> numbers;
    for (std::size_t at = 0; at + frameBytes <= all.size(); at += frameBytes) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(all.data() + at) +
                          static_cast<std::size_t>(height / 2) * width * 3;
        int found = -1;
        for (int x = 0; x < width && found < 0; ++x)
            if (row[3 * x] > 128)
                found = x / 8;
        numbers.push_back(found);
    }
    return numbers;
}

TEST(RecorderQueue, AFullQueueDropsFramesAndKeepsTheOrder) {
    TempFolder dir;
    const std::string file = dir.File("busy.avi");
    constexpr int W = 720, H = 576, Offered = 60;
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < Offered; ++i)
        frames.push_back(Marked(W, H, i));
    long long written = 0, dropped = 0;
    {
        TAviFromBitmaps recorder(1, 25, CodecMsvc, file);
        for (const auto& f : frames)
            ASSERT_EQ(recorder.AddFrame(View32(f, W, H)), S_OK);
        written = recorder.FrameIndex;
        dropped = recorder.DroppedFrames();
    }
    // Offered far faster than Microsoft Video 1 codes them: the queue must have run full.
    EXPECT_GT(dropped, 0);
    EXPECT_EQ(written + dropped, Offered);
    const std::vector<int> numbers = MarkerNumbers(file, W, H);
    ASSERT_EQ(static_cast<long long>(numbers.size()), written);
    EXPECT_EQ(numbers.front(), 0);
    for (std::size_t i = 1; i < numbers.size(); ++i)
        EXPECT_GT(numbers[i], numbers[i - 1]) << "frame " << i << " out of order";
}

TEST(RecorderQueue, WaitingForRoomWritesEveryFrameInOrder) {
    TempFolder dir;
    const std::string file = dir.File("all.avi");
    constexpr int W = 320, H = 240, Offered = 30;
    {
        TAviFromBitmaps recorder(1, 25, CodecMsvc, file);
        recorder.DropWhenBusy = false;
        for (int i = 0; i < Offered; ++i) {
            const auto f = Marked(W, H, i);
            ASSERT_EQ(recorder.AddFrame(View32(f, W, H)), S_OK);
        }
        EXPECT_EQ(recorder.DroppedFrames(), 0);
    }
    const std::vector<int> numbers = MarkerNumbers(file, W, H);
    ASSERT_EQ(numbers.size(), static_cast<std::size_t>(Offered));
    for (int i = 0; i < Offered; ++i)
        EXPECT_EQ(numbers[i], i);
}

// Past the RIFF limit the file goes on in AVIX chunks with OpenDML indexes; a small limit stands
// in for the gigabyte here.
TEST(RecorderOpenDml, LongRecordingContinuesInExtendedRiffs) {
    TempFolder dir;
    const std::string file = dir.File("long.avi");
    constexpr int W = 320, H = 240, Frames = 40; // 230 KB a frame, about 4 frames a RIFF
    {
        TAviFromBitmaps recorder(1, 25, CodecDib, file);
        recorder.DropWhenBusy = false;
        recorder.RiffLimit = 1 << 20;
        for (int i = 0; i < Frames; ++i) {
            const auto f = Marked(W, H, i);
            ASSERT_EQ(recorder.AddFrame(View32(f, W, H)), S_OK);
        }
    }
    const std::string bytes = ReadWholeFile(file);
    EXPECT_NE(bytes.find("AVIX"), std::string::npos);
    EXPECT_NE(bytes.find("indx"), std::string::npos);
    EXPECT_NE(bytes.find("ix00"), std::string::npos);
    const TProbe p = Probe(file);
    EXPECT_EQ(p.Frames, Frames);
    const std::vector<int> numbers = MarkerNumbers(file, W, H);
    ASSERT_EQ(numbers.size(), static_cast<std::size_t>(Frames));
    for (int i = 0; i < Frames; ++i)
        EXPECT_EQ(numbers[i], i);
}

TEST(Recorder, TimeCodesAndCodecChoices) {
    const std::pair<long long, const char*> codes[] = {
        {0, "00:00:00:00"},    {24, "00:00:00:24"},    {26, "00:00:01:01"},
        {1500, "00:01:00:00"}, {89999, "00:59:59:24"}, {90000, "01:00:00:00"}};
    for (const auto& [counter, text] : codes)
        EXPECT_EQ(VideoTimeCode(counter), text) << counter;
    EXPECT_EQ(CodecOfIndex(0), FourCC("msvc"));
    EXPECT_EQ(CodecOfIndex(1), FourCC("iyuv"));
    EXPECT_EQ(CodecOfIndex(2), FourCC("DIB "));
    EXPECT_EQ(CodecOfIndex(3), FourCC("XVID"));
    EXPECT_EQ(CodecOfIndex(7), FourCC("DIB "));
    EXPECT_EQ(CodecOfIndex(-1), FourCC("DIB "));
    EXPECT_EQ(FourCC("msvc"), 0x6376736du); // the first character in the lowest byte
}

} // namespace
