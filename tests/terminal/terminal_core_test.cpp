// The console's reading of the library's events, its file writing, the notification pipe and the
// run-time binding.
#include "terminal/NotificationPipe.h"
#include "terminal/TerminalEvents.h"
#include "terminal/TransportLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "kervola-terminal-XXXXXX").string();
        Path = ::mkdtemp(pattern.data()) ? pattern + "/" : std::string();
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    std::string Path;
};

struct ReactionCase {
    const char* Name;
    TTerminalEvent Event;
    std::vector<std::string> Lines;
    bool AddDot, EndConnection, ShowInput;
};

class Reaction : public ::testing::TestWithParam<ReactionCase> {};

TEST_P(Reaction, LinesAndConnection) {
    const ReactionCase& c = GetParam();
    TempFolder dir;
    const TTerminalReaction r = ReactToTerminalEvent(c.Event, dir.Path);
    EXPECT_EQ(r.Lines, c.Lines);
    EXPECT_EQ(r.AddDot, c.AddDot);
    EXPECT_EQ(r.EndConnection, c.EndConnection);
    EXPECT_EQ(r.ShowInput, c.ShowInput);
    // Only "gp" and "gd" bodies become files.
    EXPECT_TRUE(fs::is_empty(dir.Path));
}

INSTANTIATE_TEST_SUITE_P(
    Events, Reaction,
    ::testing::Values(
        ReactionCase{"connected", {EV_CONNECTED, 0, "", ""},
                     {"Open connection... Sending login/password..."}, false, false, false},
        ReactionCase{"lost", {EV_DISCONNECTED, 1, "", ""},
                     {"Disconnected by remote host.\r\n"}, false, true, false},
        ReactionCase{"ended_here", {EV_DISCONNECTED, 0, "", ""},
                     {"Disconnected by local host.\r\n"}, false, true, false},
        ReactionCase{"login_reply", {EV_LOGIN_REPLY, 0, "OK", ""}, {"OK"}, false, false, true},
        ReactionCase{"line", {EV_LINE, 0, "gv=\"Zelmont\"", ""}, {"gv=\"Zelmont\""}, false,
                     false, false},
        ReactionCase{"stream_begin", {EV_STREAM_BEGIN, 10, "gp=10", ""}, {"Stream begin ..."},
                     false, false, false},
        ReactionCase{"progress", {EV_STREAM_PROGRESS, 10, "", ""}, {}, true, false, false},
        ReactionCase{"config_body", {EV_STREAM_END, 5, "gc s=5", "<a/>\n"},
                     {"Stream end", "gc s=5", "<a/>\n"}, false, false, false},
        ReactionCase{"other_body", {EV_STREAM_END, 3, "gb ltim=3", "abc"},
                     {"Stream end", "gb ltim=3"}, false, false, false},
        ReactionCase{"error", {EV_ERROR, 0, "Connection refused", ""},
                     {"Error: Connection refused"}, false, true, false},
        ReactionCase{"init_notice", {0, 0, "", ""}, {}, false, false, false}),
    [](const auto& info) { return std::string(info.param.Name); });

struct BodyFileCase {
    const char* Name;
    const char* Line;
    const char* File;
};

class BodyFile : public ::testing::TestWithParam<BodyFileCase> {};

// The file holds the body's own bytes, zero bytes inside included, and replaces an older one.
TEST_P(BodyFile, WrittenWholeIntoTheDataFolder) {
    const BodyFileCase& c = GetParam();
    TempFolder dir;
    std::ofstream(dir.Path + c.File) << "an older and much longer file";
    const std::string body("\xff\xd8\0\x01 body \0", 11);
    const TTerminalReaction r = ReactToTerminalEvent(
        {EV_STREAM_END, static_cast<int>(body.size()), c.Line, body}, dir.Path);
    EXPECT_EQ(r.Lines, (std::vector<std::string>{"Stream end", c.Line,
                                                 dir.Path + c.File + " file written"}));
    EXPECT_EQ(ReadFile(dir.Path + c.File), body);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
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

TEST(EventFromRecord, TakesTheItemAndDropsTheTerminatingZero) {
    char line[] = "gd=3";
    char body[] = {'a', '\0', 'b', '\0'};
    DATA_RECORD record{7, EV_STREAM_END, 3, 3, line, 5, body, 4};
    const TTerminalEvent ev = TerminalEventFrom(EV_STREAM_END, EV_LINE, record);
    EXPECT_EQ(ev.Code, EV_STREAM_END); // the item's own kind, not the notice's
    EXPECT_EQ(ev.Total, 3);
    EXPECT_EQ(ev.Line, "gd=3");
    EXPECT_EQ(ev.Body, std::string("a\0b", 3));
}

TEST(EventFromRecord, NoItemKeepsTheNoticeCodeAndReadsNothing) {
    char line[] = "stale";
    DATA_RECORD record{1, EV_LINE, 9, 9, line, 6, nullptr, 0};
    const TTerminalEvent ev = TerminalEventFrom(0, EV_DISCONNECTED, record);
    EXPECT_EQ(ev.Code, EV_DISCONNECTED);
    EXPECT_EQ(ev.Total, 0);
    EXPECT_TRUE(ev.Line.empty());
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
    EXPECT_TRUE(pipe.Take().empty()); // a half record waits, and reading does not block
    ASSERT_EQ(::write(pipe.WriteEnd(), bytes + 17, sizeof sent - 17),
              static_cast<ssize_t>(sizeof sent - 17));
    got = pipe.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, WM_TERMINAL);
    EXPECT_EQ(got[0].wParam, 1);
    EXPECT_EQ(got[0].lParam, EV_LINE);
}

TEST(TransportLibrary, MissingLibraryLeavesEveryExportUnset) {
    TTransportLibrary lib;
    std::string problem;
    EXPECT_FALSE(LoadTransportLibrary("libzelmont_nowhere.so", lib, &problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_EQ(lib.ZelmontInit, nullptr);
    EXPECT_EQ(lib.ZelmontBegin, nullptr);
    EXPECT_EQ(lib.ZelmontClean, nullptr);
}

TEST(TransportLibrary, BindsAllSixExports) {
    TTransportLibrary lib;
    ASSERT_TRUE(LoadTransportLibrary(ZELMONT_LIB_PATH, lib));
    EXPECT_NE(lib.ZelmontInit, nullptr);
    EXPECT_NE(lib.ZelmontBegin, nullptr);
    EXPECT_NE(lib.ZelmontEnd, nullptr);
    EXPECT_NE(lib.ZelmontSend, nullptr);
    EXPECT_NE(lib.ZelmontData, nullptr);
    EXPECT_NE(lib.ZelmontClean, nullptr);
    // Bound but never started: a connection before ZelmontInit is refused.
    EXPECT_EQ(lib.ZelmontBegin("127.0.0.1", 1, "a\r\n", "b\r\n", 0), 0);
}

} // namespace
