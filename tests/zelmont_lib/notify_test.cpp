#include "notify.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace zelmont {
namespace {

struct HeldCase {
    const char* name;
    std::size_t room;    // records the pipe still takes
    std::size_t count;   // records handed over at once
    std::size_t arrives; // records that must come out, the first ones, whole
};

void PrintTo(const HeldCase& c, std::ostream* os) {
    *os << c.name;
}

class PostNoticesTest : public ::testing::TestWithParam<HeldCase> {};

// Notices held back together must come out as the same whole records, oldest first, and a pipe
// too full for all of them must still take as many as single notices would have fitted.
TEST_P(PostNoticesTest, WholeRecordsInOrderAsFarAsThePipeTakesThem) {
    const HeldCase& c = GetParam();
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    const int size = ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
    ASSERT_GE(size, 4096);
    // Fill up to the room wanted, so the pipe holds only `room` more records.
    const std::size_t filler = static_cast<std::size_t>(size) - c.room * sizeof(ZELMONT_NOTICE);
    const std::string fill(filler, 'f');
    if (c.room * sizeof(ZELMONT_NOTICE) < static_cast<std::size_t>(size)) {
        ASSERT_EQ(::write(fds[1], fill.data(), fill.size()), static_cast<ssize_t>(fill.size()));
    }
    std::vector<ZELMONT_NOTICE> notices;
    for (std::size_t i = 0; i < c.count; ++i) {
        notices.push_back({0x401, static_cast<int32_t>(i + 1), static_cast<int32_t>(i % 8)});
    }
    postNotices(fds[1], notices.data(), notices.size());
    ::close(fds[1]);

    std::string out;
    char buffer[8192];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    const std::size_t skipped =
        c.room * sizeof(ZELMONT_NOTICE) < static_cast<std::size_t>(size) ? filler : 0;
    ASSERT_EQ(out.size(), skipped + c.arrives * sizeof(ZELMONT_NOTICE));
    for (std::size_t i = 0; i < c.arrives; ++i) {
        ZELMONT_NOTICE got{};
        std::memcpy(&got, out.data() + skipped + i * sizeof got, sizeof got);
        EXPECT_EQ(got.message, 0x401u) << "record " << i;
        EXPECT_EQ(got.wParam, notices[i].wParam) << "record " << i;
        EXPECT_EQ(got.lParam, notices[i].lParam) << "record " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PostNoticesTest,
                         ::testing::Values(HeldCase{"RoomForAll", 300, 256, 256},
                                           HeldCase{"RoomForSome", 5, 20, 5},
                                           HeldCase{"RoomForExactlyAll", 20, 20, 20},
                                           HeldCase{"Full", 0, 20, 0}, HeldCase{"One", 1, 1, 1},
                                           HeldCase{"None", 10, 0, 0}),
                         [](const auto& info) { return info.param.name; });

// A posted message is one write of its own, held back or not: a packet socket keeps the writes
// apart, so every read must give exactly one record.
TEST(PostNotices, EveryNoticeIsAWriteOfItsOwn) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
    std::vector<ZELMONT_NOTICE> notices;
    for (int i = 0; i < 40; ++i) {
        notices.push_back({0x401, i + 1, i % 8});
    }
    postNotices(fds[1], notices.data(), notices.size());
    ::close(fds[1]);
    char buffer[4096];
    std::vector<ZELMONT_NOTICE> got;
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        ASSERT_EQ(n, static_cast<ssize_t>(sizeof(ZELMONT_NOTICE))) << "read " << got.size();
        ZELMONT_NOTICE notice{};
        std::memcpy(&notice, buffer, sizeof notice);
        got.push_back(notice);
    }
    ::close(fds[0]);
    ASSERT_EQ(got.size(), notices.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].wParam, notices[i].wParam);
    }
}

} // namespace
} // namespace zelmont
