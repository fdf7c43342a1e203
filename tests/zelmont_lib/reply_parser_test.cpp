#include "reply_parser.h"
#include "send_queue.h"
#include "zelmont_lib.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace zelmont {
namespace {

constexpr std::size_t ReadChunk = 1024; // the client's receive size

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

// Drives the parser as the client's receive step does, one chunk at a time. A taking framer
// moves each body out, as the library's queue does, and leaves a used buffer in its place.
class Framer {
public:
    explicit Framer(bool taking = false) : taking_(taking) { parser_.setState(LoginSent); }

    std::vector<Seen> feed(const std::string& chunk) {
        if (parser_.state() == LoginSent) {
            parser_.setState(FirstLine);
        }
        pending_ += chunk;
        std::vector<Seen> seen;
        frameReceived(parser_, pending_, 7,
                      [&](const PARAM& p, const std::string& line, std::string& body) {
                          EXPECT_EQ(p.id, 7);
                          seen.push_back({p.event, p.count, p.total, line, body});
                          if (taking_ && p.event == EV_STREAM_END) {
                              const std::string taken = std::move(body);
                              body = std::string(6000, '#');
                          }
                      });
        return seen;
    }

    ReplyParser& parser() { return parser_; }

private:
    bool taking_;
    ReplyParser parser_;
    std::string pending_;
};

// Bytes numbered from `seed`, zero bytes and CR LF pairs included, so a body that lost, doubled
// or moved a single byte shows.
std::string numbered(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(seed)) % 256);
    }
    return bytes;
}

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
        FramingCase{"OneByteBody",
                    {"OK\r\n", "gp=1\r\nzgs\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 5, 1, "gp=1", ""},
                      {EV_STREAM_END, 1, 1, "gp=1", "z"},
                      {EV_LINE, 0, 0, "gs", ""}}}},
        FramingCase{"TwoBodiesInOneReceive",
                    {"OK\r\n", "gc=2\r\nabgd=3\r\nxyz"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 11, 2, "gc=2", ""},
                      {EV_STREAM_END, 2, 2, "gc=2", "ab"},
                      {EV_STREAM_BEGIN, 3, 3, "gd=3", ""},
                      {EV_STREAM_END, 3, 3, "gd=3", "xyz"}}}},
        FramingCase{"BodyFillsOneReceiveExactly",
                    {"OK\r\n", "gp=1015\r\n" + numbered(1015, 1), "gs\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 1015, 1015, "gp=1015", ""},
                      {EV_STREAM_END, 1015, 1015, "gp=1015", numbered(1015, 1)}},
                     {{EV_LINE, 0, 0, "gs", ""}}}},
        // Past the size from which bodies are handed over rather than copied; nothing follows
        // the body in its last receive.
        FramingCase{"LargeBodyEndsWithItsReceive",
                    {"OK\r\n", "gp=5000\r\n" + numbered(5000, 2).substr(0, 1015),
                     numbered(5000, 2).substr(1015, 1024), numbered(5000, 2).substr(2039, 1024),
                     numbered(5000, 2).substr(3063, 1024), numbered(5000, 2).substr(4087),
                     "gs\r\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 1015, 5000, "gp=5000", ""}},
                     {{EV_STREAM_PROGRESS, 2039, 5000, "", ""}},
                     {{EV_STREAM_PROGRESS, 3063, 5000, "", ""}},
                     {{EV_STREAM_PROGRESS, 4087, 5000, "", ""}},
                     {{EV_STREAM_END, 5000, 5000, "gp=5000", numbered(5000, 2)}},
                     {{EV_LINE, 0, 0, "gs", ""}}}},
        FramingCase{"KeyedBodyThenLineInLaterChunk",
                    {"OK\r\n", "gb ltim=4\r\n", "1234gs\r", "\n"},
                    {{{EV_LOGIN_REPLY, 0, 0, "OK", ""}},
                     {{EV_STREAM_BEGIN, 0, 4, "gb ltim=4", ""}},
                     {{EV_STREAM_END, 4, 4, "gb ltim=4", "1234"}},
                     {{EV_LINE, 0, 0, "gs", ""}}}}),
    [](const ::testing::TestParamInfo<FramingCase>& info) { return info.param.name; });

// One reply of a stream: a line, and the body it announces (empty when it announces none).
struct Piece {
    std::string line;
    std::string body;
};

// Frames the login reply and the pieces received in chunks that end at `cuts` (ascending, the
// last one the stream's end), and checks every event against where it stands in the stream: a
// stream begin counts the bytes after its line received so far, a progress the body bytes so far.
void expectFramedWhole(const std::vector<Piece>& pieces, const std::vector<std::size_t>& cuts,
                       bool taking) {
    std::string stream = "OK\r\n";
    std::vector<std::size_t> bodyStart;
    for (const Piece& piece : pieces) {
        stream += piece.line + "\r\n";
        bodyStart.push_back(stream.size());
        stream += piece.body;
    }
    ASSERT_EQ(cuts.back(), stream.size());
    Framer framer(taking);
    bool loggedIn = false;
    bool inBody = false;
    std::size_t next = 0;
    std::size_t from = 0;
    for (const std::size_t to : cuts) {
        const std::vector<Seen> seen = framer.feed(stream.substr(from, to - from));
        from = to;
        // A receive inside a body always says something, if only how far the body has come.
        if (inBody) {
            ASSERT_FALSE(seen.empty()) << "receive ending at " << to;
        }
        for (const Seen& e : seen) {
            if (!loggedIn) {
                ASSERT_EQ(e, (Seen{EV_LOGIN_REPLY, 0, 0, "OK", ""}));
                loggedIn = true;
                continue;
            }
            ASSERT_LT(next, pieces.size()) << "receive ending at " << to;
            const Piece& piece = pieces[next];
            const auto total = static_cast<int32_t>(piece.body.size());
            const auto held = static_cast<int32_t>(to - bodyStart[next]);
            if (piece.body.empty()) {
                ASSERT_EQ(e, (Seen{EV_LINE, 0, 0, piece.line, ""})) << "receive ending at " << to;
                ++next;
            } else if (!inBody) {
                ASSERT_EQ(e, (Seen{EV_STREAM_BEGIN, held, total, piece.line, ""}))
                    << "receive ending at " << to;
                inBody = true;
            } else if (e.event == EV_STREAM_PROGRESS) {
                ASSERT_EQ(seen.size(), 1u) << "receive ending at " << to;
                ASSERT_EQ(e, (Seen{EV_STREAM_PROGRESS, held, total, "", ""}))
                    << "receive ending at " << to;
            } else {
                ASSERT_EQ(e, (Seen{EV_STREAM_END, total, total, piece.line, piece.body}))
                    << "receive ending at " << to;
                inBody = false;
                ++next;
            }
        }
    }
    EXPECT_EQ(next, pieces.size());
}

// Short bodies of 1 to 4 bytes, one holding CR LF pairs, a zero length, and lines between.
const std::vector<Piece> ShortReplies = {{"gs 1", ""},   {"gp=1", "z"},
                                         {"gp=0", ""},   {"gc=3", "a\r\n"},
                                         {"gd=2", "xy"}, {"gb ltim=4", "\r\n\r\n"},
                                         {"last", ""}};

class SplitTest : public ::testing::TestWithParam<bool> {};

// Two or three receives, cut at every place: inside the login reply, inside a "gp=N" line,
// between its CR and LF, inside and right at the end of each body.
TEST_P(SplitTest, ShortRepliesCutAnywhere) {
    std::size_t size = 4;
    for (const Piece& piece : ShortReplies) {
        size += piece.line.size() + 2 + piece.body.size();
    }
    for (std::size_t first = 1; first < size; ++first) {
        expectFramedWhole(ShortReplies, {first, size}, GetParam());
        for (std::size_t second = first + 1; second < size; ++second) {
            expectFramedWhole(ShortReplies, {first, second, size}, GetParam());
        }
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Bodies on both sides of the size from which they are handed over rather than copied, received
// 1 KiB at a time as the client reads, after a first receive of every length up to 1 KiB: each
// body ends once at every place of a receive, exactly at its end included.
TEST_P(SplitTest, LargeBodiesIn1KiBReceives) {
    const std::size_t floor = ReplyParser::HandOverFloor;
    const std::vector<Piece> replies = {{"gp=5000", numbered(5000, 1)},
                                        {"gd=" + std::to_string(floor), numbered(floor, 2)},
                                        {"gc=" + std::to_string(floor - 1), numbered(floor - 1, 3)},
                                        {"gs", ""},
                                        {"gp=1", "q"},
                                        {"gr=3000", numbered(3000, 4)}};
    std::size_t size = 4;
    for (const Piece& piece : replies) {
        size += piece.line.size() + 2 + piece.body.size();
    }
    for (std::size_t first = 1; first <= ReadChunk; ++first) {
        std::vector<std::size_t> cuts;
        for (std::size_t to = first; to < size; to += ReadChunk) {
            cuts.push_back(to);
        }
        cuts.push_back(size);
        expectFramedWhole(replies, cuts, GetParam());
        if (HasFatalFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CopiedOrTaken, SplitTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "BodiesTaken" : "BodiesCopied";
                         });

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
