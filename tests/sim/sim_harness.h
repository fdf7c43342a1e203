#pragma once
// Runs the simulator binary on an ephemeral port and talks to it over TCP. Every wait is bounded
// so that a broken simulator fails a test instead of hanging the suite.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    int port() const { return port_; }
    // One port per detector with --detectors N, in the order of their names.
    const std::vector<int>& ports() const { return ports_; }
    bool alive();
    // SIGTERM and the exit status (-1 when it had to be killed or died of a signal).
    int stop();

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::vector<int> ports_;
};

// Runs the binary to completion (bounded) and returns its exit status.
int run_sim_to_exit(const std::vector<std::string>& args);

class SimClient {
public:
    explicit SimClient(int port);
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    // Sends the two login lines and reads the answer line; false when the connection closes.
    bool login(const std::string& login = "root", const std::string& password = "kvtp");
    void send(const std::string& bytes);
    std::optional<std::string> line(std::chrono::milliseconds timeout = 3s);
    std::optional<std::string> bytes(size_t n, std::chrono::milliseconds timeout = 3s);
    // Sends a command, returns its reply line.
    std::optional<std::string> command(const std::string& cmd);
    // Sends a command whose reply line announces a body after "="; returns line and body.
    std::optional<std::pair<std::string, std::string>> block(const std::string& cmd);
    // True when the peer closed the connection within the timeout (pending data is dropped).
    bool closed_by_peer(std::chrono::milliseconds timeout = 3s);

private:
    bool fill(std::chrono::steady_clock::time_point deadline);
    int fd_ = -1;
    std::string buffer_;
};
