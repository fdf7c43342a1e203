#include "reply_parser.h"
#include "send_queue.h"
#include "zelmont_lib.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace zelmont {
namespace {

struct LengthCase {
    std::string line;
    int32_t expected;
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

class BodyLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(BodyLengthTest, AnnouncesOnlyStrictLengthsOfBodyCodes) {
    EXPECT_EQ(ReplyParser::bodyLength(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BodyLengthTest,
    ::testing::Values(LengthCase{"gc s=1234", 1234}, LengthCase{"gp=5000", 5000},
                      LengthCase{"gb ltim=300", 300}, LengthCase{"gb lidx=7", 7},
                      LengthCase{"gb last=9", 9}, LengthCase{"gb stat=144,10", 0},
                      LengthCase{"gv=1.2", 0}, LengthCase{"gd=12ab", 0}, LengthCase{"gr x= 12", 0},
                      LengthCase{"gc", 0}, LengthCase{"gb ltim=4", 4}, LengthCase{"gx ltim=4", 0},
                      LengthCase{"gb stat=4", 0}, LengthCase{"gp=0", 0}, LengthCase{"gp=+7", 7},
                      LengthCase{"gp=-5", 0}, LengthCase{"gp=", 0}, LengthCase{"gp=+", 0},
                      LengthCase{"gp=2147483647", 2147483647}, LengthCase{"gp=2147483648", 0},
                      LengthCase{"gp=99999999999999999999", 0}, LengthCase{"gc s=12 ", 0},
                      LengthCase{"gp=5=6", 0}, LengthCase{"gd a=1 b=2", 0}, LengthCase{"", 0},
                      LengthCase{"g", 0}, LengthCase{"gb ltim", 0}, LengthCase{"GP=5", 0}));

// One framed event as the subscribers see it.
struct Seen {
    int32_t event;
    int32_t count;
    int32_t total;
    std::string line;
    std::string body;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
    *os << "{" << s.event << ", " << s.count << ", " << s.total << ", \"" << s.line << "\", "
        << s.body.size() << " body bytes}";
}

// Drives the parser as the client's receive step does, one chunk at a time.
class Framer {
public:
    Framer() { parser_.setState(LoginSent); }

    std::vector<Seen> feed(const std::string& chunk) {
        if (parser_.state() == LoginSent) {
            parser_.setState(FirstLine);
        }
        pending_ += chunk;
        std::vector<Seen> seen;
        frameReceived(parser_, pending_, 7,
                      [&](const PARAM& p, const std::string& line, const std::string& body) {
                          EXPECT_EQ(p.id, 7);
                          seen.push_back({p.event, p.count, p.total, line, body});
                      });
        return seen;
    }

    ReplyParser& parser() { return parser_; }

private:
    ReplyParser parser_;
    std::string pending_;
};

struct FramingCase {
    const char* name;
    std::vector<std::string> chunks;         // the first one always carries the login reply
    std::vector<std::vector<Seen>> expected; // events of each chunk
};

void PrintTo(const FramingCase& c, std::ostream* os) {
    *os << c.name;
}

class FramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingTest, ChunksProduceTheseEvents) {
    Framer framer;
    const FramingCase& c = GetParam();
    ASSERT_EQ(c.chunks.size(), c.expected.size());
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
        EXPECT_EQ(framer.feed(c.chunks[i]), c.expected[i]) << "chunk " << i;
    }
}

const std::string ZeroBody = std::string("a\0b\r\nc", 6);

INSTANTIATE_TEST_SUITE_P(
    Table, FramingTest,
    ::testing::Values(
        FramingCase{
            "BodyInOneChunk",
            {"OK\r\n", "gc=5\r\nabcde"},
            {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
             {{EV_STREAM_BEGIN, 5, 5, "gc=5", ""}, {EV_STREAM_END, 5, 5, "gc=5", "abcde"}}}},
        FramingCase{"BodyOverThreeChunks",
                    {"OK\r\n", "gc=5\r\nab", "cd", "e"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 2, 5, "gc=5", ""}},
                     {{EV_STREAM_PROGRESS, 4, 5, "", ""}},
                     {{EV_STREAM_END, 5, 5, "gc=5", "abcde"}}}},
        FramingCase{"LoginReplyNeverAnnouncesABody",
                    {"gp=10\r\n", "gs 1\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "gp=10", ""}}, {{EV_LINE, 0, 0, "gs 1", ""}}}},
        FramingCase{"LoginReplySplitWaitsForItsEnd",
                    {"Wel", "come\r\n"},
                    {{}, {{EV_LOGIN_REPLY, 0, 0, "Welcome", ""}}}},
        FramingCase{"ZeroLengthIsALine",
                    {"OK\r\n", "gp=0\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}}, {{EV_LINE, 0, 0, "gp=0", ""}}}},
        FramingCase{"NegativeLengthIsALine",
                    {"OK\r\n", "gp=-5\r\ngs\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_LINE, 0, 0, "gp=-5", ""}, {EV_LINE, 0, 0, "gs", ""}}}},
        FramingCase{
            "BodyKeepsItsLineEnds",
            {"OK\r\n", "gd=6\r\na\r\nb\r\n"},
            {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
             {{EV_STREAM_BEGIN, 6, 6, "gd=6", ""}, {EV_STREAM_END, 6, 6, "gd=6", "a\r\nb\r\n"}}}},
        FramingCase{
            "BodyWithZeroBytes",
            {"OK\r\n", "gc=6\r\n" + ZeroBody},
            {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
             {{EV_STREAM_BEGIN, 6, 6, "gc=6", ""}, {EV_STREAM_END, 6, 6, "gc=6", ZeroBody}}}},
        FramingCase{"LinesAfterABodyCarryNoNumbers",
                    {"OK\r\n", "gc=2\r\nxygs\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 6, 2, "gc=2", ""},
                      {EV_STREAM_END, 2, 2, "gc=2", "xy"},
                      {EV_LINE, 0, 0, "gs", ""}}}},
        FramingCase{"TwoLinesInOneChunk",
                    {"OK\r\nfirst\r\nsecond\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""},
                      {EV_LINE, 0, 0, "first", ""},
                      {EV_LINE, 0, 0, "second", ""}}}},
        FramingCase{"LineSplitAcrossChunks",
                    {"OK\r\n", "gs 1", " 2\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}}, {}, {{EV_LINE, 0, 0, "gs 1 2", ""}}}},
        FramingCase{"LineEndSplitBetweenCrAndLf",
                    {"OK\r\n", "gs 1\r", "\nnext\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {},
                     {{EV_LINE, 0, 0, "gs 1", ""}, {EV_LINE, 0, 0, "next", ""}}}},
        FramingCase{"LoneCrAndLfStayInTheLine",
                    {"OK\r\n", "a\nb\rc\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}}, {{EV_LINE, 0, 0, "a\nb\rc", ""}}}},
        FramingCase{"EmptyLine",
                    {"OK\r\n", "\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}}, {{EV_LINE, 0, 0, "", ""}}}},
        FramingCase{"KeyedBodyThenLineInLaterChunk",
                    {"OK\r\n", "gb ltim=4\r\n", "1234gs\r", "\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 0, 4, "gb ltim=4", ""}},
                     {{EV_STREAM_END, 4, 4, "gb ltim=4", "1234"}},
                     {{EV_LINE, 0, 0, "gs", ""}}}}),
    [](const ::testing::TestParamInfo<FramingCase>& info) { return info.param.name; });

TEST(ReplyParserTest, ConsumesNothingOutsideTheFramingStates) {
    for (int32_t state : {Idle, Closed, Connecting, LoginSent}) {
        ReplyParser parser;
        parser.setState(state);
        std::string pending = "line\r\n";
        EXPECT_FALSE(parser.step(pending)) << "state " << state;
        EXPECT_EQ(pending, "line\r\n");
    }
}

TEST(ReplyParserTest, ManySmallChunksOfOneLongLineEndInOneLine) {
    Framer framer;
    framer.feed("OK\r\n");
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string chunk(1024, static_cast<char>('a' + i % 26));
        expected += chunk;
        ASSERT_TRUE(framer.feed(chunk).empty());
    }
    const auto seen = framer.feed("\r\n");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].line, expected);
}

// The queue against a plain deque over pushes and pops that wrap the ring several times.
TEST(SendQueueTest, KeepsOrderAndRefusesTheSeventeenth) {
    SendQueue queue;
    std::deque<std::string> model;
    int next = 0;
    const std::vector<std::pair<int, int>> rounds = {{16, 0}, {1, 5}, {5, 3}, {10, 16},
                                                     {16, 9}, {3, 0}, {0, 20}};
    for (const auto& [pushes, pops] : rounds) {
        for (int i = 0; i < pushes; ++i) {
            const std::string text = "cmd" + std::to_string(next++);
            const bool room = model.size() < SendQueue::Capacity;
            EXPECT_EQ(queue.push(text), room) << text;
            if (room) {
                model.push_back(text);
            }
        }
        for (int i = 0; i < pops; ++i) {
            std::string out = "untouched";
            const bool any = !model.empty();
            ASSERT_EQ(queue.pop(out), any);
            if (any) {
                EXPECT_EQ(out, model.front());
                model.pop_front();
            } else {
                EXPECT_EQ(out, "untouched");
            }
        }
        EXPECT_EQ(queue.size(), model.size());
    }
}

} // namespace
} // namespace zelmont
