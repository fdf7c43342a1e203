#pragma once
// The listening side: one io_context, one acceptor, any number of sessions, and the frame clock
// that moves the scene and pushes zone states to the sessions that asked for them.

#include "detector.h"
#include "options.h"

#include <utility> // before Asio: its 1.74 headers use std::exchange without it
#include <boost/asio.hpp>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class Session;

// What the detectors of one process share: one log file and one numbering of the connections,
// so that the log of a fleet reads as one story.
struct SimShared {
    std::ofstream log;
    int next_id = 1;
};

class Server {
public:
    Server(boost::asio::io_context& io, Detector& detector, const SimOptions& options,
           SimShared& shared);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds, listens and starts accepting and ticking; false with a message on failure. The log
    // is the caller's to open.
    bool start(std::string& error);
    boost::asio::ip::tcp::endpoint endpoint() const;
    // Closes the acceptor and every session and stops the clock; io_context::run then returns.
    void stop();

    // A reboot: every connection is closed at once (`keep`'s after its reply has gone out)
    // and new ones are turned away for `refuse`.
    void reboot(const Session* keep, std::chrono::milliseconds refuse);
    void log(int session, const std::string& text);

private:
    void accept();
    void welcome(boost::asio::ip::tcp::socket socket);
    void schedule_tick();
    void tick();
    bool has_sessions();

    boost::asio::io_context& io_;
    Detector& detector_;
    SimOptions options_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer accept_retry_;
    boost::asio::steady_timer clock_;
    std::chrono::steady_clock::time_point next_tick_;
    std::chrono::steady_clock::time_point refuse_until_;
    std::vector<std::weak_ptr<Session>> sessions_;
    SimShared& shared_;
    bool stopped_ = false;
    bool clock_running_ = false;
};
