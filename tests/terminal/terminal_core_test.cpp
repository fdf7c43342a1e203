// The console's data files, its reading of the library's records and the notification pipe.
#include "terminal/NotificationPipe.h"
#include "terminal/TerminalEvents.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct BodyFileCase {
    const char* Name;
    const char* Line;
    const char* File;
};

class BodyFile : public ::testing::TestWithParam<BodyFileCase> {};

// The file holds the body's own bytes, zero bytes inside included, replaces an older and longer
// one, and no temporary file stays behind.
TEST_P(BodyFile, WrittenWholeIntoTheDataFolder) {
    const BodyFileCase& c = GetParam();
    std::string dir = (fs::temp_directory_path() / "kervola-terminal-XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    dir += "/";
    std::ofstream(dir + c.File) << "an older and much longer file";
    const std::string body("\xff\xd8\0\x01 body \0", 11);
    const TTerminalReaction r =
        ReactToTerminalEvent({EV_STREAM_END, static_cast<int>(body.size()), c.Line, body}, dir);
    EXPECT_EQ(r.Lines,
              (std::vector<std::string>{"Stream end", c.Line, dir + c.File + " file written"}));
    std::ifstream in(dir + c.File, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), body);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Files, BodyFile,
                         ::testing::Values(BodyFileCase{"picture", "gp=11", "gp.jpg"},
                                           BodyFileCase{"data", "gd=11", "gd.txt"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BodyFileFailure, UnwritableFolderIsReportedNotClaimed) {
    const TTerminalReaction r =
        ReactToTerminalEvent({EV_STREAM_END, 3, "gp=3", "abc"}, "/nonexistent-kervola/");
    ASSERT_EQ(r.Lines.size(), 3u);
    EXPECT_EQ(r.Lines[2].rfind("Error: /nonexistent-kervola/gp.jpg not written: ", 0), 0u)
        << r.Lines[2];
}

// After a lost notice the item and the notice name different events: the item is believed.
TEST(EventFromRecord, TheItemsOwnKindWins) {
    char line[] = "gd=3";
    char body[] = {'a', '\0', 'b', '\0'};
    const DATA_RECORD record{7, EV_STREAM_END, 3, 3, line, 5, body, 4};
    const TTerminalEvent ev = TerminalEventFrom(EV_STREAM_END, EV_LINE, record);
    EXPECT_EQ(ev.Code, EV_STREAM_END);
    EXPECT_EQ(ev.Line, "gd=3");
    EXPECT_EQ(ev.Body, std::string("a\0b", 3));
}

TEST(NotificationPipe, RecordsSplitAcrossWritesComeOutWhole) {
    TNotificationPipe pipe;
    ASSERT_TRUE(pipe.Open());
    const ZELMONT_NOTICE sent[2] = {{WM_TERMINAL, 1, EV_CONNECTED}, {WM_TERMINAL, 1, EV_LINE}};
    const char* bytes = reinterpret_cast<const char*>(sent);
    ASSERT_EQ(::write(pipe.WriteEnd(), bytes, 17), 17);
    std::vector<ZELMONT_NOTICE> got = pipe.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].lParam, EV_CONNECTED);
    EXPECT_TRUE(pipe.Take().empty()); // half a record waits, and reading does not block
    ASSERT_EQ(::write(pipe.WriteEnd(), bytes + 17, sizeof sent - 17),
              static_cast<ssize_t>(sizeof sent - 17));
    got = pipe.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, 1);
    EXPECT_EQ(got[0].lParam, EV_LINE);
}

} // namespace
