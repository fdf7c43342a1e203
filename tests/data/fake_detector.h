#pragma once
// A scripted detector on loopback for replies the simulator never gives: odd record sizes,
// blocks cut short. It answers the login, then each command line with the scripted bytes of the
// first key the line starts with, and can drop the connection right after a reply. Each
// connection is served on a thread of its own.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FakeReply {
    std::string Bytes;
    bool CloseAfter = false;
};

class FakeDetector {
public:
    explicit FakeDetector(std::map<std::string, FakeReply> replies);
    ~FakeDetector();
    FakeDetector(const FakeDetector&) = delete;
    FakeDetector& operator=(const FakeDetector&) = delete;

    int Port() const { return Port_; }
    // Every command line received after the login lines, in order.
    std::vector<std::string> Commands() const;

private:
    void Serve();
    void Talk(int fd);

    std::map<std::string, FakeReply> Replies;
    int Listener = -1;
    int Port_ = 0;
    std::atomic<bool> Stop{false};
    mutable std::mutex Lock;
    std::vector<std::string> Received;
    std::thread Worker;
    std::vector<std::thread> Talks; // used by Worker only
};
