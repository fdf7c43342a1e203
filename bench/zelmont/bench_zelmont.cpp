// Bodies streamed from a loopback peer through the library's exports, against the same bytes read
// by a plain blocking recv loop with 1024-byte reads. The closing lines give the ratio: the median
// of the repetitions, and how far the repetitions lie apart.
#include "zelmont_lib.h"
#include "../bench_report.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int BodyBytes = 1 << 20;
constexpr int Bodies = 64; // 64 MiB per round
const std::string BodyLine = "gp=" + std::to_string(BodyBytes) + "\r\n";
constexpr std::size_t RoundBytes = static_cast<std::size_t>(Bodies) * BodyBytes;

// Serves one connection: answers the login, then sends a round of bodies for every "go" line.
class Peer {
public:
    Peer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }

    ~Peer() {
        thread_.join();
        ::close(listener_);
    }

    uint16_t port() const { return port_; }

private:
    void serve() {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        const std::string body(BodyBytes, 'j');
        std::string buffered;
        char chunk[256];
        bool answered = false;
        for (;;) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                break;
            }
            buffered.append(chunk, static_cast<std::size_t>(n));
            std::size_t eol;
            while ((eol = buffered.find("\r\n")) != std::string::npos) {
                const std::string line = buffered.substr(0, eol);
                buffered.erase(0, eol + 2);
                if (!answered) {
                    answered = true; // the login line; the library waits for no password reply
                    sendAll(fd, "OK\r\n");
                } else if (line == "go") {
                    for (int i = 0; i < Bodies; ++i) {
                        sendAll(fd, BodyLine);
                        sendAll(fd, body);
                    }
                }
            }
        }
        ::close(fd);
    }

    static void sendAll(int fd, const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(n);
        }
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

int notices[2] = {-1, -1};

void initLibrary() {
    static const bool ready = [] {
        ::pipe2(notices, O_NONBLOCK | O_CLOEXEC);
        ::fcntl(notices[1], F_SETPIPE_SZ, 1 << 20);
        ZelmontInit(notices[1], 0x401);
        return true;
    }();
    (void)ready;
}

// Handles notices as the program does (one ZelmontData per notice) until `code` has been seen
// `wanted` times. Returns the body bytes received with STREAM_END.
std::size_t consume(int32_t id, int32_t code, int wanted) {
    std::size_t bodyBytes = 0;
    int seen = 0;
    ZELMONT_NOTICE batch[512];
    while (seen < wanted) {
        // Read first and wait only when nothing is there: notices usually come in runs.
        ssize_t n = ::read(notices[0], batch, sizeof batch);
        if (n <= 0) {
            pollfd p{notices[0], POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) {
                break;
            }
            n = ::read(notices[0], batch, sizeof batch);
        }
        for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof(ZELMONT_NOTICE)); ++i) {
            if (batch[i].wParam != id) {
                continue;
            }
            DATA_RECORD record{};
            const int32_t event = ZelmontData(id, &record);
            if (event == EV_STREAM_END) {
                bodyBytes += static_cast<std::size_t>(record.bodySize - 1);
            }
            seen += event == code ? 1 : 0;
            ZelmontClean(&record);
        }
    }
    return bodyBytes;
}

// A connection through the library to a peer of its own, logged in and idle between rounds.
class LibraryLink {
public:
    LibraryLink() : id_(ZelmontBegin("127.0.0.1", peer_.port(), "bench\r\n", "bench\r\n", 0)) {
        ready_ = id_ != 0 && consume(id_, EV_LOGIN_REPLY, 1) == 0;
    }
    ~LibraryLink() {
        if (id_ != 0) {
            ZelmontEnd(id_);
        }
    }
    bool ready() const { return ready_; }

    // One round of bodies; the body bytes that arrived whole.
    std::size_t round() {
        ZelmontSend(id_, "go\r\n", 4);
        return consume(id_, EV_STREAM_END, Bodies);
    }

private:
    Peer peer_;
    int32_t id_ = 0;
    bool ready_ = false;
};

// The same bodies from a peer of its own, read by a plain blocking loop of 1024-byte receives.
class RawLink {
public:
    RawLink() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(peer_.port());
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            ::send(fd_, "login\r\n", 7, MSG_NOSIGNAL);
            ready_ = ::recv(fd_, buffer_, 4, MSG_WAITALL) == 4; // "OK\r\n"
        }
    }
    ~RawLink() { ::close(fd_); }
    bool ready() const { return ready_; }

    // One round of bodies; the body bytes read, the reply lines not counted.
    std::size_t round() {
        ::send(fd_, "go\r\n", 4, MSG_NOSIGNAL);
        const std::size_t roundWire = RoundBytes + Bodies * BodyLine.size();
        std::size_t got = 0;
        while (got < roundWire) {
            const ssize_t n = ::recv(fd_, buffer_, sizeof buffer_, 0);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        benchmark::DoNotOptimize(buffer_);
        return got < Bodies * BodyLine.size() ? 0 : got - Bodies * BodyLine.size();
    }

private:
    Peer peer_;
    int fd_ = -1;
    bool ready_ = false;
    char buffer_[1024];
};

double secondsOf(const std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The machine's speed drifts within seconds, so the library's rounds and the raw loop's rounds
// take turns within one run, each timed on its own: the ratio then compares the two under the
// same conditions. The iteration time is the library's rounds only; the raw loop's rate comes
// along as a counter.
void BM_LibraryStream(benchmark::State& state) {
    initLibrary();
    LibraryLink library;
    RawLink raw;
    if (!library.ready() || !raw.ready()) {
        state.SkipWithError("no connection");
        return;
    }
    std::size_t total = 0;
    std::size_t rawTotal = 0;
    double rawSeconds = 0;
    bool libraryFirst = true;
    for (auto _ : state) {
        // Whichever runs second finds the other's leftovers (a socket buffer to shrink, a cache
        // to refill); taking turns at going first shares them out.
        double librarySeconds = 0;
        double rawRound = 0;
        std::size_t got = 0;
        std::size_t rawGot = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = std::chrono::steady_clock::now();
            if ((turn == 0) == libraryFirst) {
                got = library.round();
                librarySeconds = secondsOf(start);
            } else {
                rawGot = raw.round();
                rawRound = secondsOf(start);
            }
        }
        libraryFirst = !libraryFirst;
        if (got != RoundBytes || rawGot != RoundBytes) {
            state.SkipWithError("bodies lost");
            break;
        }
        state.SetIterationTime(librarySeconds);
        total += got;
        rawTotal += rawGot;
        rawSeconds += rawRound;
    }
    state.SetBytesProcessed(static_cast<int64_t>(total));
    if (rawSeconds > 0) {
        // Shown in the same binary units as the library's own bytes_per_second beside it.
        state.counters["raw_bytes_per_second"] =
            benchmark::Counter(static_cast<double>(rawTotal) / rawSeconds,
                               benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
    }
}

// The raw loop on its own, for its absolute rate.
void BM_RawRecv1024(benchmark::State& state) {
    RawLink raw;
    if (!raw.ready()) {
        state.SkipWithError("no connection");
        return;
    }
    std::size_t total = 0;
    for (auto _ : state) {
        total += raw.round();
    }
    state.SetBytesProcessed(static_cast<int64_t>(total));
}

BENCHMARK(BM_LibraryStream)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(16.0);
BENCHMARK(BM_RawRecv1024)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The ratio of each repetition, the library's n-th against the raw loop's n-th, for the spread of
// a repeated run: one median hides how far single runs stray on a busy machine.
std::vector<double> repetitionRatios(const TBenchReport& report) {
    std::vector<double> ratios;
    for (const auto& library : report.FindRepetitions("BM_LibraryStream")) {
        if (library.BytesPerSecond > 0 && library.RawBytesPerSecond > 0) {
            ratios.push_back(library.BytesPerSecond / library.RawBytesPerSecond);
        }
    }
    return ratios;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TBenchReport report;
    benchmark::RunSpecifiedBenchmarks(&report);
    const auto* library = report.Find("BM_LibraryStream");
    const auto* raw = report.Find("BM_RawRecv1024");
    if (library && library->BytesPerSecond > 0 && library->RawBytesPerSecond > 0) {
        const double libraryRate = library->BytesPerSecond;
        const double rawRate = library->RawBytesPerSecond;
        std::printf("zelmont_lib %.0f MiB/s, raw recv(1024) in turn with it %.0f MiB/s",
                    libraryRate / (1 << 20), rawRate / (1 << 20));
        if (raw && raw->BytesPerSecond > 0) {
            std::printf(" (alone %.0f MiB/s)", raw->BytesPerSecond / (1 << 20));
        }
        std::printf(", ratio %.2f (goal >= 0.45)\n", libraryRate / rawRate);
    }
    const std::vector<double> ratios = repetitionRatios(report);
    if (ratios.size() > 1) {
        std::string each;
        for (const double ratio : ratios) {
            char text[16];
            std::snprintf(text, sizeof text, " %.2f", ratio);
            each += text;
        }
        const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
        std::printf("ratios of %zu repetitions:%s; median %.2f, spread %.2f (goal < 0.05)\n",
                    ratios.size(), each.c_str(), median(ratios), *high - *low);
    }
    benchmark::Shutdown();
    return 0;
}
