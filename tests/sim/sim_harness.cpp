#include "sim_harness.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace {

pid_t spawn(const std::vector<std::string>& args, int& out_fd) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        // A test that dies without its destructors must not leave simulators behind.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(pipe_fds[1], STDOUT_FILENO);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ZELMONT_SIM_PATH));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ZELMONT_SIM_PATH, argv.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    out_fd = pipe_fds[0];
    return pid;
}

// waitpid with a deadline; the exit status, or -1 for a signal or a time-out.
int wait_exit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0)
            return -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace

SimProcess::SimProcess(const std::vector<std::string>& extra) {
    std::vector<std::string> args{"--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    int out = -1;
    pid_ = spawn(args, out);
    if (pid_ < 0)
        throw std::runtime_error("cannot start the simulator");
    // One line per detector says where it listens.
    size_t detectors = 1;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--detectors")
            detectors = std::stoul(args[i + 1]);
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    auto lines = [&text] {
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    };
    while (lines() < detectors && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[256];
        const ssize_t n = read(out, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(out);
    const std::string prefix = "listening on 127.0.0.1:";
    if (text.rfind(prefix, 0) != 0) {
        stop();
        throw std::runtime_error("simulator did not start: " + text);
    }
    for (size_t at = 0; at < text.size() && ports_.size() < detectors;) {
        if (text.compare(at, prefix.size(), prefix) != 0)
            break;
        ports_.push_back(std::stoi(text.substr(at + prefix.size())));
        at = text.find('\n', at);
        at = at == std::string::npos ? text.size() : at + 1;
    }
    if (ports_.size() != detectors) {
        stop();
        throw std::runtime_error("simulator announced too few ports: " + text);
    }
    port_ = ports_.front();
}

SimProcess::~SimProcess() {
    stop();
}

bool SimProcess::alive() {
    if (pid_ < 0)
        return false;
    return waitpid(pid_, nullptr, WNOHANG) == 0;
}

int SimProcess::stop() {
    if (pid_ < 0)
        return -1;
    kill(pid_, SIGTERM);
    const int status = wait_exit(pid_, 3s);
    pid_ = -1;
    return status;
}

int run_sim_to_exit(const std::vector<std::string>& args) {
    int out = -1;
    const pid_t pid = spawn(args, out);
    if (pid < 0)
        return -1;
    const int status = wait_exit(pid, 5s);
    close(out);
    return status;
}

SimClient::SimClient(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd_);
        fd_ = -1;
        return;
    }
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

SimClient::~SimClient() {
    if (fd_ >= 0)
        close(fd_);
}

bool SimClient::login(const std::string& login, const std::string& password) {
    send(login + "\r\n");
    send(password + "\r\n");
    return line() == "OK";
}

void SimClient::send(const std::string& bytes) {
    size_t at = 0;
    while (fd_ >= 0 && at < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        at += static_cast<size_t>(n);
    }
}

bool SimClient::fill(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (fd_ < 0 || left.count() <= 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
        return false;
    char buf[65536];
    const ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0)
        return false;
    buffer_.append(buf, static_cast<size_t>(n));
    return true;
}

std::optional<std::string> SimClient::line(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const size_t end = buffer_.find("\r\n");
        if (end != std::string::npos) {
            std::string l = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            return l;
        }
        if (!fill(deadline))
            return std::nullopt;
    }
}

std::optional<std::string> SimClient::bytes(size_t n, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (buffer_.size() < n)
        if (!fill(deadline))
            return std::nullopt;
    std::string b = buffer_.substr(0, n);
    buffer_.erase(0, n);
    return b;
}

std::optional<std::string> SimClient::command(const std::string& cmd) {
    send(cmd + "\r\n");
    return line();
}

std::optional<std::pair<std::string, std::string>> SimClient::block(const std::string& cmd) {
    auto l = command(cmd);
    if (!l)
        return std::nullopt;
    const size_t eq = l->find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    const long n = std::stol(l->substr(eq + 1));
    if (n == 0)
        return std::make_pair(*l, std::string());
    auto b = bytes(static_cast<size_t>(n));
    if (!b)
        return std::nullopt;
    return std::make_pair(*l, *b);
}

bool SimClient::closed_by_peer(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fd_ >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char buf[65536];
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 0)
            return true;
    }
    return false;
}
