// kervola-cli record against the detector simulator: real pictures, real files, read back with
// ffprobe and ffmpeg.
#include "../sim/sim_harness.h"
#include "avi_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct TCliRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

class CliRecord : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("kervola-cli-rec-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    std::string File(const std::string& name) const { return (Dir / name).string(); }

    TCliRun Record(int port, const std::string& options) {
        const std::string err = File("stderr.txt");
        TCliRun run;
        run.Out =
            RunCommand(std::string(KERVOLA_CLI_PATH) + " record " + options +
                           " --host 127.0.0.1 --port " + std::to_string(port) + " 2>'" + err + "'",
                       &run.Status);
        run.Err = ReadWholeFile(err);
        return run;
    }
    // Pixels of the zone colours, which no camera picture holds exactly; uncompressed frames keep
    // them exact.
    static int ZonePixels(const std::vector<std::uint8_t>& rgb) {
        int n = 0;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
            const TRgb p{rgb[i], rgb[i + 1], rgb[i + 2]};
            n += Distance(p, {0, 255, 0}) == 0 || Distance(p, {255, 0, 0}) == 0;
        }
        return n;
    }

    fs::path Dir;
};

TEST_F(CliRecord, EveryCodecRecordsThePicturesAtTheirOwnSize) {
    SimProcess sim;
    ASSERT_GT(sim.port(), 0);
    const std::pair<const char*, const char*> codecs[] = {
        {"msvc", "msvc"}, {"iyuv", "iyuv"}, {"dib", "DIB "}, {"xvid", "XVID"}};
    for (const auto& [name, handler] : codecs) {
        const std::string file = File(std::string(name) + ".avi");
        const TCliRun run =
            Record(sim.port(), std::string("--codec ") + name + " --frames 5 -o '" + file + "'");
        EXPECT_EQ(run.Status, 0) << name << ": " << run.Err;
        EXPECT_EQ(run.Out, "5 frames written to " + file + "\n");
        EXPECT_EQ(StreamHandler(file), handler);
        const TProbe p = Probe(file);
        EXPECT_EQ(p.Frames, 5) << name;
        EXPECT_EQ(p.Width, 720);
        EXPECT_EQ(p.Height, 576);
        EXPECT_EQ(p.Rate, "25/1");
    }
}

TEST_F(CliRecord, ZonesAreDrawnAsInTheLiveViewUnlessTurnedOff) {
    SimProcess sim;
    ASSERT_GT(sim.port(), 0);
    const std::string with = File("with.avi"), without = File("without.avi");
    ASSERT_EQ(Record(sim.port(), "--codec dib --frames 2 -o '" + with + "'").Status, 0);
    ASSERT_EQ(Record(sim.port(), "--codec dib --frames 2 --no-zones -o '" + without + "'").Status,
              0);
    const auto zoned = DecodeFrame(with, 0, 720, 576);
    const auto bare = DecodeFrame(without, 0, 720, 576);
    ASSERT_FALSE(zoned.empty());
    ASSERT_FALSE(bare.empty());
    EXPECT_GT(ZonePixels(zoned), 500); // four zones and the info strip
    EXPECT_EQ(ZonePixels(bare), 0);
    // Upright: the detector's sky is at the top, its fields below.
    const TRgb sky = PixelAt(bare, 720, 380, 20);
    const TRgb field = PixelAt(bare, 720, 680, 500);
    EXPECT_GT(sky.B, 200);
    EXPECT_LT(field.B, 120);
}

TEST_F(CliRecord, StampMarksTheBottomRightCorner) {
    SimProcess sim;
    ASSERT_GT(sim.port(), 0);
    const std::string file = File("stamp.avi");
    ASSERT_EQ(
        Record(sim.port(), "--codec dib --frames 1 --no-zones --stamp -o '" + file + "'").Status,
        0);
    const auto frame = DecodeFrame(file, 0, 720, 576);
    ASSERT_FALSE(frame.empty());
    int black = 0;
    for (int x = 720 - 40; x < 720 - 8; ++x)
        black += Distance(PixelAt(frame, 720, x, 576 - 10), {0, 0, 0}) == 0;
    EXPECT_GT(black, 20);
}

TEST_F(CliRecord, UnreachableDetectorIsAFailure) {
    int port = 0;
    {
        SimProcess sim; // a port that was just free, and is again
        port = sim.port();
    }
    const std::string file = File("none.avi");
    const TCliRun run = Record(port, "--frames 3 -o '" + file + "'");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err,
              "kervola-cli: 127.0.0.1:" + std::to_string(port) + ": cannot connect or log in\n");
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(CliRecord, RecordingCutShortStillLeavesAPlayableFile) {
    // The fourth body of the connection stops half-way and the connection closes: the
    // configuration and two pictures arrive whole.
    SimProcess sim({"--close-mid-body"});
    ASSERT_GT(sim.port(), 0);
    const std::string file = File("cut.avi");
    const TCliRun run = Record(sim.port(), "--codec xvid --frames 10 -o '" + file + "'");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, "2 frames written to " + file + "\n");
    EXPECT_NE(run.Err.find("connection lost after 2 of 10 frames"), std::string::npos) << run.Err;
    const TProbe p = Probe(file);
    EXPECT_TRUE(p.Ok);
    EXPECT_EQ(p.Frames, 2);
}

TEST_F(CliRecord, UsageProblemsExitWithTwo) {
    const char* bad[] = {"--frames 3",                       // no output file
                         "-o x.avi",                         // no frame count
                         "--frames 0 -o x.avi",              // nothing to record
                         "--codec mjpg --frames 3 -o x.avi", // a codec we do not have
                         "--frames 3 -o x.avi --loud"};
    for (const char* options : bad)
        EXPECT_EQ(Record(1, options).Status, 2) << options;
}

} // namespace
