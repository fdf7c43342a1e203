#include "scripted_peer.h"
#include "zelmont_lib.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using zelmont::test::Clock;
using zelmont::test::ScriptedPeer;
using namespace std::chrono_literals;

static_assert(sizeof(DATA_RECORD) == 48);
static_assert(offsetof(DATA_RECORD, line) == 16 && offsetof(DATA_RECORD, lineSize) == 24);
static_assert(offsetof(DATA_RECORD, body) == 32 && offsetof(DATA_RECORD, bodySize) == 40);
static_assert(sizeof(ZELMONT_NOTICE) == 12);

constexpr uint32_t Message = 0x401;

// What the exports answered before ZelmontInit, checked in main before any test runs.
struct BeforeInit {
    int32_t begin = -1, end = -1, send = -1, data = -1, clean = -1;
    bool recordUntouched = false;
} beforeInit;

// The process-wide library state, as a program holds it: one pipe, one ZelmontInit.
struct Library {
    int readFd = -1;
    int writeFd = -1;
    int32_t firstInit = 0;
    std::optional<ZELMONT_NOTICE> initNotice;
};

std::optional<ZELMONT_NOTICE> readNoticeFrom(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
        return std::nullopt;
    }
    ZELMONT_NOTICE notice{};
    if (::read(fd, &notice, sizeof notice) != sizeof notice) {
        return std::nullopt;
    }
    return notice;
}

Library& library() {
    static Library lib = [] {
        Library l;
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            l.readFd = fds[0];
            l.writeFd = fds[1];
            // Room for every notice of the full-ring test without reading in between.
            ::fcntl(l.writeFd, F_SETPIPE_SZ, 1 << 20);
        }
        l.firstInit = ZelmontInit(l.writeFd, Message);
        l.initNotice = readNoticeFrom(l.readFd, 1000ms);
        return l;
    }();
    return lib;
}

std::optional<ZELMONT_NOTICE> readNotice(std::chrono::milliseconds timeout) {
    return readNoticeFrom(library().readFd, timeout);
}

// One event as the program receives it: the notice and what ZelmontData gave for it.
struct Received {
    ZELMONT_NOTICE notice{};
    int32_t code = 0;
    DATA_RECORD record{};
    std::string line;
    std::string body;
    bool lineEndsInZero = false;
    bool bodyEndsInZero = false;
};

std::optional<Received> nextFor(int32_t id, std::chrono::milliseconds timeout = 3000ms) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        const auto notice = readNotice(left);
        if (!notice) {
            return std::nullopt;
        }
        if (notice->wParam != id) {
            continue;
        }
        Received r;
        r.notice = *notice;
        r.code = ZelmontData(id, &r.record);
        if (r.record.line) {
            r.line.assign(r.record.line, r.record.lineSize - 1);
            r.lineEndsInZero = r.record.line[r.record.lineSize - 1] == '\0';
        }
        if (r.record.body) {
            r.body.assign(r.record.body, r.record.bodySize - 1);
            r.bodyEndsInZero = r.record.body[r.record.bodySize - 1] == '\0';
        }
        DATA_RECORD copy = r.record;
        EXPECT_EQ(ZelmontClean(&copy), 1);
        EXPECT_EQ(copy.line, nullptr);
        EXPECT_EQ(copy.body, nullptr);
        return r;
    }
}

// Nothing more is notified for this id within the window.
bool quietFor(int32_t id, std::chrono::milliseconds window) {
    const auto deadline = Clock::now() + window;
    while (Clock::now() < deadline) {
        const auto notice = readNotice(50ms);
        if (notice && notice->wParam == id) {
            return false;
        }
    }
    return true;
}

// Opens a connection to the peer and completes its login.
int32_t openLoggedIn(ScriptedPeer& peer, const std::string& reply = "Welcome") {
    const int32_t id = ZelmontBegin("127.0.0.1", peer.port(), "user\r\n", "pass\r\n", 1);
    EXPECT_GT(id, 0);
    EXPECT_TRUE(peer.accept());
    const auto connected = nextFor(id);
    EXPECT_TRUE(connected && connected->code == EV_CONNECTED);
    EXPECT_TRUE(peer.readLine());
    EXPECT_TRUE(peer.readLine());
    EXPECT_TRUE(peer.write(reply + "\r\n"));
    const auto login = nextFor(id);
    EXPECT_TRUE(login && login->code == EV_LOGIN_REPLY);
    return id;
}

TEST(ZelmontExportsTest, EverythingButCleanRefusesBeforeInit) {
    EXPECT_EQ(beforeInit.begin, 0);
    EXPECT_EQ(beforeInit.end, 0);
    EXPECT_EQ(beforeInit.send, 0);
    EXPECT_EQ(beforeInit.data, 0);
    EXPECT_EQ(beforeInit.clean, 1);
    EXPECT_TRUE(beforeInit.recordUntouched);
}

TEST(ZelmontExportsTest, InitPostsOneNoticeAndOnlyOnce) {
    Library& lib = library();
    EXPECT_EQ(lib.firstInit, 1);
    ASSERT_TRUE(lib.initNotice);
    EXPECT_EQ(lib.initNotice->message, Message);
    EXPECT_EQ(lib.initNotice->wParam, 0);
    EXPECT_EQ(lib.initNotice->lParam, 0);
    EXPECT_EQ(ZelmontInit(lib.writeFd, Message + 1), 0);
    EXPECT_TRUE(quietFor(0, 200ms));
}

TEST(ZelmontExportsTest, IdsGrowByOneAndAreNeverReused) {
    library();
    int32_t previous = 0;
    for (int i = 0; i < 4; ++i) {
        const int32_t id = ZelmontBegin("127.0.0.1", 1, "", "", 0);
        ASSERT_GT(id, 0);
        if (previous != 0) {
            EXPECT_EQ(id, previous + 1);
        }
        EXPECT_EQ(ZelmontEnd(id), 1);
        EXPECT_EQ(ZelmontEnd(id), 0);
        previous = id;
    }
}

TEST(ZelmontExportsTest, RecordsCarryZeroTerminatedCopies) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer, "Hello");

    const std::string zeroBody("a\0b\r\nc", 6);
    ASSERT_TRUE(peer.write("gc=6\r\n" + zeroBody + "\r\nhello\r\n"));
    const auto begin = nextFor(id);
    const auto end = nextFor(id);
    const auto empty = nextFor(id);
    const auto line = nextFor(id);
    ASSERT_TRUE(begin && end && empty && line);

    EXPECT_EQ(begin->code, EV_STREAM_BEGIN);
    EXPECT_EQ(begin->record.total, 6);
    EXPECT_EQ(begin->record.bodySize, 0);
    EXPECT_EQ(begin->record.body, nullptr);

    EXPECT_EQ(end->code, EV_STREAM_END);
    EXPECT_EQ(end->notice.lParam, EV_STREAM_END);
    EXPECT_EQ(end->record.id, id);
    EXPECT_EQ(end->record.count, 6);
    EXPECT_EQ(end->record.bodySize, 7);
    EXPECT_EQ(end->body, zeroBody);
    EXPECT_TRUE(end->bodyEndsInZero);
    EXPECT_EQ(end->line, "gc=6");

    EXPECT_EQ(empty->code, EV_LINE);
    EXPECT_EQ(empty->record.line, nullptr);
    EXPECT_EQ(empty->record.lineSize, 0);

    EXPECT_EQ(line->code, EV_LINE);
    EXPECT_EQ(line->record.lineSize, 6);
    EXPECT_EQ(line->line, "hello");
    EXPECT_TRUE(line->lineEndsInZero);
    EXPECT_EQ(ZelmontEnd(id), 1);
}

// The events of one connection up to and including the `ends`-th stream end.
std::vector<Received> untilStreamEnds(int32_t id, int ends) {
    std::vector<Received> events;
    while (ends > 0) {
        auto next = nextFor(id);
        if (!next) {
            break;
        }
        ends -= next->code == EV_STREAM_END ? 1 : 0;
        events.push_back(std::move(*next));
    }
    return events;
}

// Large bodies travel in buffers that the caller's thread hands back to the worker once it has
// copied them out; every body must come out exactly as sent, whatever buffer carried it before.
TEST(ZelmontExportsTest, BodiesInReusedBuffersArriveIntact) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer);
    const std::vector<std::size_t> sizes = {6000, 5000, 9000, 4096, 4095, 20000, 6000, 1, 7000};
    auto body = [](std::size_t size, std::size_t seed) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 13 + seed * 101) % 256);
        }
        return bytes;
    };
    // First one body at a time, so each buffer is back before the next bodies arrive; then all
    // of them in one write.
    std::string burst;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        const std::string bytes = "gd=" + std::to_string(sizes[k]) + "\r\n" + body(sizes[k], k);
        ASSERT_TRUE(peer.write(bytes + "gs\r\n"));
        burst += bytes;
        const auto events = untilStreamEnds(id, 1);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().body, body(sizes[k], k)) << "body " << k;
        EXPECT_EQ(events.back().record.bodySize, static_cast<int32_t>(sizes[k] + 1));
        EXPECT_TRUE(events.back().bodyEndsInZero);
        const auto line = nextFor(id);
        ASSERT_TRUE(line && line->code == EV_LINE && line->line == "gs");
    }
    ASSERT_TRUE(peer.write(burst));
    const auto events = untilStreamEnds(id, static_cast<int>(sizes.size()));
    std::size_t k = 0;
    for (const Received& e : events) {
        if (e.code == EV_STREAM_END) {
            ASSERT_LT(k, sizes.size());
            EXPECT_EQ(e.body, body(sizes[k], k)) << "burst body " << k;
            ++k;
        }
    }
    EXPECT_EQ(k, sizes.size());
    EXPECT_EQ(ZelmontEnd(id), 1);
}

// Thousands of short lines arrive in runs of many receives whose notices are written together:
// still exactly one notice per line, in order, and the line's item already queued for it.
TEST(ZelmontExportsTest, EveryEventOfARunHasItsNoticeAndItsItem) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer);
    constexpr int Lines = 10000;
    std::string burst;
    for (int i = 0; i < Lines; ++i) {
        burst += std::to_string(i) + "\r\n";
    }
    ASSERT_TRUE(peer.write(burst));
    for (int i = 0; i < Lines; ++i) {
        const auto line = nextFor(id);
        ASSERT_TRUE(line) << "line " << i;
        ASSERT_EQ(line->notice.lParam, EV_LINE) << "line " << i;
        ASSERT_EQ(line->code, EV_LINE) << "line " << i;
        ASSERT_EQ(line->line, std::to_string(i));
    }
    EXPECT_TRUE(quietFor(id, 200ms));
    EXPECT_EQ(ZelmontEnd(id), 1);
}

TEST(ZelmontExportsTest, DataOnAnEmptyRingLeavesTheRecordUntouched) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer);
    DATA_RECORD record;
    std::memset(&record, 0x5a, sizeof record);
    DATA_RECORD before = record;
    EXPECT_EQ(ZelmontData(id, &record), 0);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
    EXPECT_EQ(ZelmontData(id, nullptr), 0);
    EXPECT_EQ(ZelmontData(id + 1000, &record), 0);
    EXPECT_EQ(ZelmontEnd(id), 1);
}

TEST(ZelmontExportsTest, SendsBeforeTheLoginReplyAreAcceptedButNotSent) {
    library();
    ScriptedPeer peer;
    const int32_t id = ZelmontBegin("127.0.0.1", peer.port(), "user\r\n", "pass\r\n", 0);
    ASSERT_TRUE(peer.accept());
    const auto connected = nextFor(id);
    ASSERT_TRUE(connected && connected->code == EV_CONNECTED);
    EXPECT_EQ(ZelmontSend(id, "early\r\n", 7), 1);
    ASSERT_TRUE(peer.readLine());
    ASSERT_TRUE(peer.readLine());
    EXPECT_EQ(peer.drain(200ms), "");
    ASSERT_TRUE(peer.write("OK\r\n"));
    ASSERT_TRUE(nextFor(id));
    EXPECT_EQ(ZelmontSend(id, "gs\r\n", 4), 1);
    const auto sent = peer.readLine();
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->text, "gs");
    EXPECT_EQ(ZelmontEnd(id), 1);
}

struct SendCase {
    const char* name;
    bool knownId;
    const char* data;
    int32_t length;
    int32_t expected;
};

void PrintTo(const SendCase& c, std::ostream* os) {
    *os << c.name;
}

class ZelmontSendTest : public ::testing::TestWithParam<SendCase> {};

TEST_P(ZelmontSendTest, RejectsWhatCannotBeRead) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer);
    const SendCase& c = GetParam();
    EXPECT_EQ(ZelmontSend(c.knownId ? id : id + 1000, c.data, c.length), c.expected);
    EXPECT_EQ(ZelmontEnd(id), 1);
}

INSTANTIATE_TEST_SUITE_P(Table, ZelmontSendTest,
                         ::testing::Values(SendCase{"Ordinary", true, "gs\r\n", 4, 1},
                                           SendCase{"Empty", true, "", 0, 1},
                                           SendCase{"NullEmpty", true, nullptr, 0, 1},
                                           SendCase{"NegativeLength", true, "gs\r\n", -1, 0},
                                           SendCase{"NullData", true, nullptr, 4, 0},
                                           SendCase{"UnknownId", false, "gs\r\n", 4, 0}),
                         [](const auto& info) { return info.param.name; });

TEST(ZelmontExportsTest, EndOnALiveConnectionNotifiesOnceButKeepsNoItem) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer);
    const auto started = Clock::now();
    EXPECT_EQ(ZelmontEnd(id), 1);
    EXPECT_LT(Clock::now() - started, 1000ms);
    const auto notice = readNotice(1000ms);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->wParam, id);
    EXPECT_EQ(notice->lParam, EV_DISCONNECTED);
    DATA_RECORD record{};
    EXPECT_EQ(ZelmontData(id, &record), 0);
    EXPECT_TRUE(quietFor(id, 200ms));
    EXPECT_EQ(peer.drain(200ms), ""); // closed, nothing more written
}

TEST(ZelmontExportsTest, EndAfterALostConnectionIsSilent) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer);
    peer.close();
    const auto lost = nextFor(id);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->code, EV_DISCONNECTED);
    EXPECT_EQ(lost->record.total, 1);
    EXPECT_EQ(ZelmontSend(id, "gs\r\n", 4), 1); // the slot stays until ended
    EXPECT_EQ(ZelmontEnd(id), 1);
    EXPECT_TRUE(quietFor(id, 200ms));
}

struct FailingTarget {
    const char* name;
    const char* host;
    int32_t port;
};

void PrintTo(const FailingTarget& c, std::ostream* os) {
    *os << c.name;
}

class FailingTargetTest : public ::testing::TestWithParam<FailingTarget> {};

TEST_P(FailingTargetTest, OneErrorThenASilentEnd) {
    library();
    const FailingTarget& c = GetParam();
    const int32_t id = ZelmontBegin(c.host, c.port, "user\r\n", "pass\r\n", 1);
    ASSERT_GT(id, 0);
    const auto error = nextFor(id, 8000ms);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, EV_ERROR);
    EXPECT_FALSE(error->line.empty());
    EXPECT_TRUE(quietFor(id, 200ms));
    EXPECT_EQ(ZelmontEnd(id), 1);
    EXPECT_TRUE(quietFor(id, 200ms));
}

INSTANTIATE_TEST_SUITE_P(Table, FailingTargetTest,
                         ::testing::Values(FailingTarget{"Unresolvable", "nosuchhost.invalid",
                                                         4000},
                                           FailingTarget{"Refused", "127.0.0.1", 1},
                                           FailingTarget{"EmptyHost", "", 4000},
                                           FailingTarget{"NullHost", nullptr, 4000},
                                           FailingTarget{"PortOutOfRange", "127.0.0.1", 70000}),
                         [](const auto& info) { return info.param.name; });

// A listener whose accept queue is full drops further SYNs, so a connection to it stays in its
// connecting phase for as long as a test needs.
struct Blackhole {
    ScriptedPeer listener{2, 0};
    std::vector<int> fillers;

    bool fill() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(listener.port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < 8; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            fillers.push_back(fd);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 300) == 0) {
                return true; // this one hangs: the queue is full
            }
        }
        return false;
    }

    ~Blackhole() {
        for (int fd : fillers) {
            ::close(fd);
        }
    }
};

TEST(ZelmontExportsTest, EndWhileStillConnectingReturnsPromptlyAndSilently) {
    library();
    Blackhole hole;
    if (!hole.fill()) {
        GTEST_SKIP() << "the loopback stack here never leaves a connect pending";
    }
    const int32_t id = ZelmontBegin("127.0.0.1", hole.listener.port(), "u\r\n", "p\r\n", 1);
    ASSERT_GT(id, 0);
    if (!quietFor(id, 300ms)) {
        ZelmontEnd(id);
        GTEST_SKIP() << "the pending connect completed after all";
    }
    const auto started = Clock::now();
    EXPECT_EQ(ZelmontEnd(id), 1);
    EXPECT_LT(Clock::now() - started, 1000ms);
    EXPECT_TRUE(quietFor(id, 300ms));
}

TEST(ZelmontExportsTest, FullRingDropsTheNewestItemsButNotTheirNotices) {
    library();
    ScriptedPeer peer;
    const int32_t id = openLoggedIn(peer);
    constexpr int Capacity = 16384;
    constexpr int Lines = Capacity + 100;
    std::string burst;
    for (int i = 0; i < Lines; ++i) {
        burst += "l" + std::to_string(i) + "\r\n";
    }
    ASSERT_TRUE(peer.write(burst));
    int notices = 0;
    while (notices < Lines) {
        const auto notice = readNotice(5000ms);
        ASSERT_TRUE(notice) << "after " << notices << " notices";
        notices += notice->wParam == id ? 1 : 0;
    }
    DATA_RECORD record{};
    int items = 0;
    std::string first;
    std::string last;
    while (ZelmontData(id, &record) == EV_LINE) {
        (items == 0 ? first : last) = record.line;
        ZelmontClean(&record);
        ++items;
    }
    EXPECT_EQ(items, Capacity);
    EXPECT_EQ(first, "l0");
    EXPECT_EQ(last, "l" + std::to_string(Capacity - 1));
    EXPECT_EQ(ZelmontEnd(id), 1);
}

TEST(ZelmontExportsTest, CleanLeavesAnEmptyRecordAlone) {
    DATA_RECORD record{};
    record.id = 3;
    record.event = EV_LINE;
    EXPECT_EQ(ZelmontClean(&record), 1);
    EXPECT_EQ(record.id, 3);
    EXPECT_EQ(record.event, EV_LINE);
    EXPECT_EQ(ZelmontClean(nullptr), 0);
}

} // namespace

int main(int argc, char** argv) {
    // Must run before anything initialises the library in this process.
    DATA_RECORD record;
    std::memset(&record, 0x33, sizeof record);
    record.line = nullptr;
    record.body = nullptr;
    DATA_RECORD before = record;
    beforeInit.begin = ZelmontBegin("127.0.0.1", 4000, "u\r\n", "p\r\n", 1);
    beforeInit.end = ZelmontEnd(1);
    beforeInit.send = ZelmontSend(1, "gs\r\n", 4);
    beforeInit.data = ZelmontData(1, &record);
    beforeInit.recordUntouched = std::memcmp(&record, &before, sizeof record) == 0;
    beforeInit.clean = ZelmontClean(&record);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
