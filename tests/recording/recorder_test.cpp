// The recorder against the real codecs: every file is read back by ffprobe and decoded by ffmpeg.
#include "avi_probe.h"
#include "recorder_hooks.h"
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
        recorder.Live = false;
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

struct SizeCase {
    const char* Name;
    std::uint32_t Code;
    int Width; // of the picture
    int Height;
    int FrameWidth; // of the film
    int FrameHeight;
    int Tolerance;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.Name;
}

class RecorderSize : public ::testing::TestWithParam<SizeCase> {};

// A panel resized freely has any size; each codec gets the frame it takes, the picture in its
// top-left corner and black where the picture does not reach.
TEST_P(RecorderSize, AnyPictureSizeRecordsWithEveryCodec) {
    const SizeCase& c = GetParam();
    TempFolder dir;
    const std::string file = dir.File("size.avi");
    // A black edge keeps the codec's blocks along the padding of one colour, so that the padding
    // itself must come out black.
    auto quadrants = Quadrants(c.Width, c.Height);
    constexpr int Edge = 4;
    for (int y = 0; y < c.Height; ++y)
        for (int x = 0; x < c.Width; ++x)
            if (x < Edge || y < Edge || x >= c.Width - Edge || y >= c.Height - Edge)
                std::fill_n(&quadrants[(static_cast<std::size_t>(y) * c.Width + x) * 4], 3, 0);
    {
        TAviFromBitmaps recorder(1, 25, c.Code, file);
        recorder.Live = false;
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(recorder.AddFrame(View32(quadrants, c.Width, c.Height)), S_OK)
                << recorder.LastError;
        EXPECT_EQ(recorder.FrameWidth(), c.FrameWidth);
        EXPECT_EQ(recorder.FrameHeight(), c.FrameHeight);
    }
    const TProbe p = Probe(file);
    ASSERT_TRUE(p.Ok) << c.Name;
    EXPECT_EQ(p.Width, c.FrameWidth);
    EXPECT_EQ(p.Height, c.FrameHeight);
    EXPECT_EQ(p.Frames, 3);
    const auto rgb = DecodeFrame(file, 2, c.FrameWidth, c.FrameHeight);
    ASSERT_FALSE(rgb.empty());
    // Each quadrant near its outer corner, where a shifted or stretched picture would show.
    // Clear of the edge, which the codecs' blocks and colour planes smear.
    const int xs[2] = {3 * Edge, std::min(c.Width, c.FrameWidth) - 3 * Edge - 1};
    const int ys[2] = {3 * Edge, std::min(c.Height, c.FrameHeight) - 3 * Edge - 1};
    for (int q = 0; q < 4; ++q) {
        const TRgb got = PixelAt(rgb, c.FrameWidth, xs[q % 2], ys[q / 2]);
        EXPECT_LE(Distance(got, QuadrantColours[q]), c.Tolerance) << "quadrant " << q;
    }
    for (int x = c.Width; x < c.FrameWidth; ++x)
        EXPECT_LE(Distance(PixelAt(rgb, c.FrameWidth, x, c.Height / 4), {}), c.Tolerance) << x;
    for (int y = c.Height; y < c.FrameHeight; ++y)
        EXPECT_LE(Distance(PixelAt(rgb, c.FrameWidth, c.Width / 4, y), {}), c.Tolerance) << y;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RecorderSize,
    ::testing::Values(SizeCase{"msvc_722x577", CodecMsvc, 722, 577, 724, 580, 8},
                      SizeCase{"msvc_333x201", CodecMsvc, 333, 201, 336, 204, 8},
                      SizeCase{"iyuv_722x577", CodecIyuv, 722, 577, 722, 577, 6},
                      SizeCase{"dib_722x577", CodecDib, 722, 577, 722, 577, 0},
                      SizeCase{"xvid_722x577", CodecXvid, 722, 577, 722, 577, 12},
                      // MPEG-4 takes at most 8191 pixels a side: one column is cut.
                      SizeCase{"xvid_widest", CodecXvid, TAviFromBitmaps::MaxSide, 48,
                               TAviFromBitmaps::MaxSide - 1, 48, 12}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Recorder, FrameOfANewSizeIsScaledToTheFirstFramesSize) {
    TempFolder dir;
    const std::string file = dir.File("resized.avi");
    const auto big = Quadrants(720, 576);
    const auto small = Quadrants(360, 288);
    {
        TAviFromBitmaps recorder(1, 25, CodecDib, file);
        recorder.Live = false;
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
    EXPECT_FALSE(fs::exists(file)) << "a recording that cannot start leaves no file";
}

TEST(Recorder, CodecThatCannotBeHadLeavesAnEarlierRecordingAlone) {
    TempFolder dir;
    const std::string file = dir.File("kept.avi");
    const auto bits = Quadrants(64, 64);
    {
        TAviFromBitmaps first(1, 25, CodecDib, file);
        ASSERT_EQ(first.AddFrame(View32(bits, 64, 64)), S_OK);
    }
    TAviFromBitmaps second(1, 25, FourCC("ABCD"), file);
    EXPECT_EQ(second.AddFrame(View32(bits, 64, 64)), E_FAIL);
    EXPECT_EQ(Probe(file).Frames, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RecorderFailure,
    ::testing::Values(FailureCase{"unknown_codec", FourCC("ABCD"), 64, 64, false,
                                  "Unable to Create Compressed Stream: Check your CODEC options"},
                      FailureCase{"too_wide", CodecDib, TAviFromBitmaps::MaxSide + 1, 4, false,
                                  "Unable to Allocate Memory on Heap"},
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

// The frame numbers of every frame of the file as a player shows them (a repeat shows the
// previous frame), read back from the bars; up to the last frame that is no repeat.
std::vector<int> MarkerNumbers(const std::string& file, int width, int height) {
    const std::string all = DecodeAt25(file);
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

// Frame k of the film shows the last picture placed at or before it.
std::vector<int> Expected(const std::vector<std::pair<int, int>>& placed, int frames) {
    std::vector<int> shown(static_cast<std::size_t>(frames), -1);
    for (const auto& [at, number] : placed)
        for (int i = at; i < frames; ++i)
            shown[static_cast<std::size_t>(i)] = number;
    return shown;
}

TEST(RecorderQueue, AFrameTheEncoderCannotTakeKeepsItsPlaceAsARepeat) {
    TempFolder dir;
    const std::string file = dir.File("busy.avi");
    constexpr int W = 320, H = 240, Offered = 60;
    constexpr long long Queued = TAviFromBitmaps::QueueLimit;
    TTestClock clock;
    TEncoderGate gate;
    gate.Hold();
    long long repeated = 0;
    {
        TAviFromBitmaps recorder(1, 25, CodecMsvc, file);
        recorder.Clock = clock.Function();
        recorder.BeforeEncode = [&] { gate.Pass(); };
        // All offered at one moment, faster than any tick: each still gets a frame of its own.
        for (int i = 0; i < Offered; ++i) {
            const auto f = Marked(W, H, i);
            ASSERT_EQ(recorder.AddFrame(View32(f, W, H)), S_OK);
            if (i == 0) {
                ASSERT_TRUE(gate.WaitEntered(1)); // the encoder holds the first picture
            }
        }
        EXPECT_EQ(recorder.FrameIndex, Offered);
        repeated = recorder.RepeatedFrames();
        gate.Release();
    }
    // The first picture in the encoder, a full queue behind it, the rest repeats of the last.
    EXPECT_EQ(repeated, Offered - 1 - Queued);
    const TProbe p = Probe(file);
    EXPECT_EQ(p.HeaderFrames, Offered);
    EXPECT_EQ(p.Duration, "2.400000");
    std::vector<int> numbers = MarkerNumbers(file, W, H);
    ASSERT_FALSE(numbers.empty());
    ASSERT_LE(numbers.size(), static_cast<std::size_t>(Offered));
    std::vector<std::pair<int, int>> placed;
    for (int i = 0; i <= Queued; ++i)
        placed.push_back({i, i});
    EXPECT_EQ(numbers, Expected(placed, static_cast<int>(numbers.size())));
    EXPECT_EQ(numbers.back(), Queued);
}

// Ticks late and the encoder slowed down: the film still lasts as long as the recording ran,
// every picture stands at its moment, and what could not be recorded repeats the frame before.
TEST(RecorderClock, LateTicksAndASlowEncoderKeepTheFilmsTime) {
    TempFolder dir;
    const std::string file = dir.File("late.avi");
    constexpr int W = 320, H = 240;
    constexpr int TickMs = 300; // instead of 40: a busy machine
    constexpr int StopMs = 10000;
    constexpr int Frames = StopMs / 40;
    const auto slot = [](int k) { return k * TickMs / 40; };
    TTestClock clock;
    TEncoderGate gate;
    gate.Hold();
    std::vector<std::pair<int, int>> placed; // frame, picture number
    long long repeated = 0, frames = 0;
    {
        TAviFromBitmaps recorder(1, 25, CodecMsvc, file);
        recorder.Clock = clock.Function();
        recorder.BeforeEncode = [&] { gate.Pass(); };
        const auto tick = [&](int k) {
            clock.At(static_cast<long long>(k) * TickMs);
            const auto f = Marked(W, H, k);
            ASSERT_EQ(recorder.AddFrame(View32(f, W, H)), S_OK);
            EXPECT_EQ(recorder.FrameIndex, slot(k) + 1) << "tick " << k;
        };
        tick(0);
        ASSERT_TRUE(gate.WaitEntered(1));
        // The encoder holds picture 0; a full queue gets in behind it, the later ones are late.
        const int held = static_cast<int>(TAviFromBitmaps::QueueLimit);
        for (int k = 1; k <= 2 * held; ++k)
            tick(k);
        for (int k = 0; k <= held; ++k)
            placed.push_back({slot(k), k});
        gate.Release();
        ASSERT_TRUE(gate.WaitEntered(held + 1)); // the queue is empty again
        for (int k = 2 * held + 1; k <= 3 * held; ++k) {
            tick(k);
            placed.push_back({slot(k), k});
        }
        // Stopped well after the last tick came.
        clock.At(StopMs);
        recorder.Close();
        frames = recorder.FrameIndex;
        repeated = recorder.RepeatedFrames();
        EXPECT_EQ(recorder.LastError, "Method Succeeded");
    }
    EXPECT_EQ(frames, Frames);
    EXPECT_EQ(repeated, Frames - static_cast<long long>(placed.size()));
    const TProbe p = Probe(file);
    ASSERT_TRUE(p.Ok);
    EXPECT_EQ(p.HeaderFrames, Frames);
    EXPECT_EQ(p.Duration, "10.000000");
    EXPECT_EQ(p.Rate, "25/1");
    const std::vector<int> numbers = MarkerNumbers(file, W, H);
    // Decoding ends with the last picture; the repeats after it only hold it on screen.
    ASSERT_EQ(numbers.size(), static_cast<std::size_t>(placed.back().first + 1));
    EXPECT_EQ(numbers, Expected(placed, static_cast<int>(numbers.size())));
    EXPECT_EQ(numbers.front(), 0);
    EXPECT_EQ(numbers.back(), placed.back().second);
}

// Every codec takes the repeats, and a stop long after the last frame still counts.
class RecorderRepeats : public ::testing::TestWithParam<CodecCase> {};

TEST_P(RecorderRepeats, PeriodsWithoutAFrameRepeatThePreviousOne) {
    const CodecCase& c = GetParam();
    TempFolder dir;
    const std::string file = dir.File("gaps.avi");
    TTestClock clock;
    {
        TAviFromBitmaps recorder(1, 25, c.Code, file);
        recorder.Clock = clock.Function();
        const auto first = Marked(c.Width, c.Height, 0), second = Marked(c.Width, c.Height, 1);
        ASSERT_EQ(recorder.AddFrame(View32(first, c.Width, c.Height)), S_OK);
        clock.At(239); // still frame 5 of the film
        ASSERT_EQ(recorder.AddFrame(View32(second, c.Width, c.Height)), S_OK);
        clock.At(400);
    }
    const TProbe p = Probe(file);
    ASSERT_TRUE(p.Ok) << c.Name;
    EXPECT_EQ(p.HeaderFrames, 10);
    EXPECT_EQ(p.Duration, "0.400000");
    EXPECT_EQ(p.Width, c.Width);
    EXPECT_EQ(MarkerNumbers(file, c.Width, c.Height), (std::vector<int>{0, 0, 0, 0, 0, 1}));
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, RecorderRepeats,
    ::testing::Values(CodecCase{"msvc", CodecMsvc, "msvc", "CRAM", 64, 48, 8, false},
                      CodecCase{"iyuv", CodecIyuv, "iyuv", "IYUV", 64, 48, 6, false},
                      CodecCase{"dib", CodecDib, "DIB ", "[0][0][0][0]", 64, 48, 0, false},
                      CodecCase{"xvid", CodecXvid, "XVID", "XVID", 64, 48, 12, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(RecorderQueue, WaitingForRoomWritesEveryFrameInOrder) {
    TempFolder dir;
    const std::string file = dir.File("all.avi");
    constexpr int W = 320, H = 240, Offered = 30;
    {
        TAviFromBitmaps recorder(1, 25, CodecMsvc, file);
        recorder.Live = false;
        for (int i = 0; i < Offered; ++i) {
            const auto f = Marked(W, H, i);
            ASSERT_EQ(recorder.AddFrame(View32(f, W, H)), S_OK);
        }
        EXPECT_EQ(recorder.RepeatedFrames(), 0);
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
        recorder.Live = false;
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
