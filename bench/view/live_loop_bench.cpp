// The whole live loop: the controller asks an in-process loopback peer for pictures as fast as
// its pacing allows (at most two in flight), and every answer is parsed, decoded and painted.
// Reported: pictures per second of wall time, and the GUI thread's CPU time per picture.

#include "program/zelmont_box.h"
#include "zones/FramePicture.h"
#include "zones/mm_timer.h"

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string PictureReply() {
    constexpr int W = 720, H = 576;
    std::vector<std::uint8_t> frame(static_cast<size_t>(W) * H * 3);
    unsigned noise = 7;
    for (size_t i = 0; i < frame.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        frame[i] = static_cast<std::uint8_t>((i / 3 % W) / 4 + ((noise >> 16) & 15));
    }
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(frame.data(), W, H, 70, false);
    return "gp=" + std::to_string(jpeg.size()) + "\r\n" + std::string(jpeg.begin(), jpeg.end());
}

// Accepts one client, answers its login with "OK" and every "gp" with the same picture at once.
class LoopbackPeer {
public:
    LoopbackPeer() : Reply(PictureReply()) {
        Listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(Listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(Listener, 1);
        socklen_t len = sizeof a;
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&a), &len);
        Port = ntohs(a.sin_port);
        Worker = std::thread([this] { Serve(); });
    }
    ~LoopbackPeer() {
        ::shutdown(Listener, SHUT_RDWR);
        ::close(Listener);
        if (Client >= 0)
            ::shutdown(Client, SHUT_RDWR);
        Worker.join();
        if (Client >= 0)
            ::close(Client);
    }
    int Port = 0;

private:
    void Serve() {
        Client = ::accept(Listener, nullptr, nullptr);
        if (Client < 0)
            return;
        const int one = 1;
        ::setsockopt(Client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::string in;
        int lines = 0;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(Client, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            in.append(buf, static_cast<size_t>(n));
            size_t crlf;
            while ((crlf = in.find("\r\n")) != std::string::npos) {
                const std::string line = in.substr(0, crlf);
                in.erase(0, crlf + 2);
                ++lines;
                if (lines == 2)
                    Send("OK\r\n");
                else if (lines > 2 && line == "gp")
                    Send(Reply);
            }
        }
    }
    void Send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(Client, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }
    const std::string Reply;
    int Listener = -1;
    std::atomic<int> Client{-1};
    std::thread Worker;
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_LiveLoop(benchmark::State& state) {
    LoopbackPeer peer;
    QWidget form;
    form.resize(720, 576);
    auto* panel = new QWidget(&form);
    panel->resize(720, 576);
    form.show();
    TZelmont_box box(&form, panel);
    box.OpenConnection("127.0.0.1", peer.Port, false, "kvtp", "root");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (box.ConnectionState != csReady && std::chrono::steady_clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    if (box.ConnectionState != csReady) {
        state.SkipWithError("no connection to the loopback peer");
        return;
    }
    box.StartupCountdown = 0;
    box.SetEditing(false);
    box.ShowStrip = true;
    box.SetVideoRate(25);

    const long long first = box.PicturesReceived;
    const double cpu0 = ThreadCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const long long target = box.PicturesReceived + 1;
        while (box.PicturesReceived < target && box.ConnectionState >= csReady) {
            box.HandleTimerTick(box.Timer());
            // Sleeps until the socket (or the idle timer) has something: no busy spinning, so
            // the CPU time is the work a picture costs.
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double pictures = static_cast<double>(box.PicturesReceived - first);
    if (pictures > 0) {
        state.counters["pictures_per_s"] = pictures / wall;
        state.counters["gui_cpu_ms_per_picture"] = (ThreadCpuSeconds() - cpu0) * 1000 / pictures;
    }
    box.CloseConnection();
}
BENCHMARK(BM_LiveLoop)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

} // namespace
