// The download procedure's rules, and the download against a scripted detector for the replies
// the simulator never gives (the simulator's own downloads run through the program and the
// command line). Real files in a temporary folder of this process.
#include "data/DataDownload.h"

#include "../sim/sim_harness.h"
#include "fake_detector.h"
#include "tz_guard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

namespace fs = std::filesystem;

namespace {

TEST(DownloadRules, FirmwareNumberIsTheLastTokenOfTheVersionText) {
    const struct {
        const char* Text;
        int Number;
    } rows[] = {
        {"\"Zelmont SF 5.2 38\"", 38},
        {"\"Zelmont SF 5.2 37\"", 37},
        {"Zelmont 40", 40},
        {"\"x 39", 39},
        {"x 39\"", 39},
        {"38", 0},
        {"\"38\"", 0},
        {"x 38 ", 0},
        {"x 5.2", 0},
        {"x 39\"\"", 0},
        {"", 0},
        {"a -1", -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FirmwareNumber(row.Text), row.Number) << row.Text;
}

TEST(DownloadRules, RecordSizeLiesBetweenFirstEqualsAndLastComma) {
    const struct {
        const char* Line;
        int Size;
    } rows[] = {
        {"gb stat=136,500", 136}, {"gb stat=288,0", 288}, {"gb stat= 144,3", 144},
        {"gb stat=136,5,7", 0},   {"gb stat=136", 0},     {"gb stat", 0},
        {"gb stat=,5", 0},        {"a,b=136", 0},         {"gb stat=x,5", 0},
        {"gb stat=-4,1", -4},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StatRecordSize(row.Line), row.Size) << row.Line;
}

TEST(DownloadRules, BinaryFilesByExtensionInAnyCase) {
    for (const char* raw : {"d.bin", "d.Bin", "/x/D.BIN", "a.csv.bin"})
        EXPECT_TRUE(IsBinaryFileName(raw)) << raw;
    for (const char* table : {"d.csv", "d.bin.csv", "d.binx", "bin", "/x.bin/data", "d.txt"})
        EXPECT_FALSE(IsBinaryFileName(table)) << table;
}

TEST(DownloadRules, StartTextGoesBackOnTheLocalWallClock) {
    TzGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::time_t noonAfterSpringChange = 1711879200; // 2024-03-31 12:00:00 CEST
    const struct {
        double Days;
        const char* Text;
    } rows[] = {
        {0, "0"},
        {std::nan(""), "0"},
        {HUGE_VAL, "0"},
        {1, "2024-03-30 12:00:00"}, // 23 hours of elapsed time: the clock moved on that night
        {0.5, "2024-03-31 00:00:00"},
        {3, "2024-03-28 12:00:00"},
        {-1, "2024-04-01 12:00:00"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DownloadStartText(row.Days, noonAfterSpringChange), row.Text) << row.Days;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("kervola-data-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }

    static TSyncTarget Target(int port) { return {"127.0.0.1", port, "root", "kvtp"}; }
    TDownloadRequest Request(int port, const std::string& name, int firmware = 38) {
        TDownloadRequest r;
        r.Target = Target(port);
        r.Firmware = firmware;
        r.File = (Dir / name).string();
        return r;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Nothing but the named files: no temporary file is ever left behind.
    size_t FileCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(Dir), {}));
    }
    fs::path Dir;
};

TEST_F(DownloadTest, SeveralDetectorsAtOnceOnTheirOwnThreads) {
    SimProcess a({"--record-size", "136", "--records", "300"});
    SimProcess b({"--record-size", "288", "--records", "300"});
    auto run = [this](int port, const char* name) {
        return std::async(std::launch::async,
                          [r = Request(port, name)] { return DownloadDataFile(r); });
    };
    auto first = run(a.port(), "a.csv");
    auto second = run(b.port(), "b.csv");
    const TDownloadOutcome x = first.get(), y = second.get();
    EXPECT_EQ(x.Status, TDownloadStatus::Done);
    EXPECT_EQ(y.Status, TDownloadStatus::Done);
    EXPECT_EQ(x.Bytes, 300 * 136);
    EXPECT_EQ(y.Bytes, 300 * 288);
}

std::string Block(const std::string& head, size_t announced, size_t sent) {
    return head + std::to_string(announced) + "\r\n" + std::string(sent, '\x01');
}

TEST_F(DownloadTest, RepliesTheSimulatorNeverGives) {
    const struct {
        const char* Name;
        std::string Stat;
        std::string Block;
        const char* File;
        TDownloadStatus Status;
        bool Written;
    } rows[] = {
        {"unknown size as table", "gb stat=200,2\r\n", Block("gb ltim=", 400, 400), "u.csv",
         TDownloadStatus::UnknownRecordSize, false},
        {"unknown size as bytes", "gb stat=200,2\r\n", Block("gb ltim=", 400, 400), "u.bin",
         TDownloadStatus::Done, true},
        {"not whole records", "gb stat=136,2\r\n", Block("gb ltim=", 300, 300), "w.csv",
         TDownloadStatus::NotWholeRecords, false},
        {"size 0", "gb stat=0,2\r\n", Block("gb ltim=", 272, 272), "z.csv",
         TDownloadStatus::NoRecordSize, false},
        {"no size", "gb stat\r\n", Block("gb ltim=", 272, 272), "n.bin",
         TDownloadStatus::NoRecordSize, false},
        {"block cut short", "gb stat=136,2\r\n", Block("gb ltim=", 272, 136), "s.csv",
         TDownloadStatus::ShortTransfer, false},
        {"cut before any byte", "gb stat=136,2\r\n", Block("gb ltim=", 272, 0), "c.csv",
         TDownloadStatus::ShortTransfer, false},
        {"more than the buffer", "gb stat=136,2\r\n", Block("gb ltim=", 33554433, 0), "m.csv",
         TDownloadStatus::NoData, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        FakeDetector fake({{"gb stat", {row.Stat, false}}, {"gb ltim=", {row.Block, true}}});
        const TDownloadOutcome o = DownloadDataFile(Request(fake.Port(), row.File));
        EXPECT_EQ(o.Status, row.Status);
        EXPECT_EQ(fs::exists(Dir / row.File), row.Written);
        const std::vector<std::string> commands = fake.Commands();
        // Without a record size nothing more is asked.
        EXPECT_EQ(commands.size(), row.Status == TDownloadStatus::NoRecordSize ? 1u : 2u);
    }
    FakeDetector old({{"gd", {Block("gd=", 1000, 500), true}}});
    EXPECT_EQ(DownloadDataFile(Request(old.Port(), "gd.csv", 0)).Status,
              TDownloadStatus::ShortTransfer);
    EXPECT_FALSE(fs::exists(Dir / "gd.csv"));
    EXPECT_EQ(FileCount(), 2u);
}

TEST_F(DownloadTest, NoDetectorAndUnwritableFiles) {
    int closedPort;
    {
        FakeDetector gone({});
        closedPort = gone.Port();
    }
    EXPECT_EQ(DownloadDataFile(Request(closedPort, "x.csv")).Status, TDownloadStatus::NoConnection);

    SimProcess sim({"--records", "3"});
    TDownloadRequest r = Request(sim.port(), "missing-folder/x.csv");
    EXPECT_EQ(DownloadDataFile(r).Status, TDownloadStatus::WriteError);
    fs::create_directories(Dir / "taken.csv" / "inside");
    EXPECT_EQ(DownloadDataFile(Request(sim.port(), "taken.csv")).Status,
              TDownloadStatus::WriteError);
    EXPECT_EQ(FileCount(), 1u); // the folder, and no temporary file beside it
}

TEST_F(DownloadTest, ReplacingAFileKeepsTheOlderOneUntilTheNewOneIsWhole) {
    const std::string path = (Dir / "f.csv").string();
    Write(path, "older");
    ASSERT_TRUE(WriteFileReplacing(path, "newer"));
    EXPECT_EQ(Read(path), "newer");
    ASSERT_TRUE(WriteFileReplacing(path, ""));
    EXPECT_EQ(Read(path), "");
    EXPECT_FALSE(WriteFileReplacing("", "x"));
    EXPECT_EQ(FileCount(), 1u);
}

} // namespace
