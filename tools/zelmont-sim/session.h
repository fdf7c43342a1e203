#pragma once
// One client connection: login, line and body framing of the commands, the reply queue with one
// write in flight, the injected faults, and a watchdog that bounds every wait.

#include "detector.h"
#include "options.h"

#include <utility> // before Asio: its 1.74 headers use std::exchange without it
#include <boost/asio.hpp>

#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <string>

class Server;

class Session : public std::enable_shared_from_this<Session> {
public:
    using Clock = std::chrono::steady_clock;

    // Limits that keep one misbehaving client from taking the simulator down.
    static constexpr size_t MaxLine = 65536;
    static constexpr size_t MaxQueuedBytes = 64u << 20;
    static constexpr size_t MaxQueuedItems = 65536;
    static constexpr auto LoginTimeout = std::chrono::seconds(10);
    static constexpr auto BodyTimeout = std::chrono::seconds(10);
    static constexpr auto WriteTimeout = std::chrono::seconds(10);
    static constexpr auto IdleTimeout = std::chrono::minutes(10);
    static_assert(MaxQueuedItems > 0 && MaxQueuedBytes > 0);

    Session(boost::asio::ip::tcp::socket socket, Server& server, Detector& detector,
            const SimOptions& options, int id);

    void start();
    void close();
    // Closes once everything queued so far has been written.
    void close_after_replies();
    // Zone states changed: a session in data mode gets a "gs" and a "ge" line.
    void push_states();
    bool closed() const { return closed_; }
    // In data mode and past its first zone-state request.
    bool watching() const { return data_mode_ && watching_ && !closed_; }

private:
    enum class Phase { Login, Password, Lines, Body, Done };

    struct Outgoing {
        std::string bytes;
        size_t offset = 0;
        Clock::time_point due;
        bool close_after = false;
    };

    void read();
    void process();
    void consume();
    void handle_line(const std::string& line);
    void take_body();
    void apply(SimOutcome outcome);
    void queue_reply(const SimReply& reply);
    void enqueue(std::string bytes, bool close_after = false);
    void write_next();
    void watch();

    boost::asio::ip::tcp::socket socket_;
    Server& server_;
    Detector& detector_;
    SimOptions options_;
    int id_;

    Phase phase_ = Phase::Login;
    std::array<char, 65536> chunk_{};
    std::string in_;
    size_t in_pos_ = 0; // start of the unconsumed input in in_
    std::string login_;

    BodyRequest body_;
    std::string body_line_;
    std::string body_bytes_;
    std::int64_t body_left_ = 0;
    std::uint32_t body_sum_ = 0;

    std::deque<Outgoing> out_;
    size_t queued_bytes_ = 0;
    bool writing_ = false;
    bool write_in_flight_ = false;
    Clock::time_point write_started_;
    boost::asio::steady_timer pause_;

    boost::asio::steady_timer watchdog_;
    Clock::time_point connected_at_;
    Clock::time_point last_read_;

    bool data_mode_ = false;
    bool watching_ = false;
    bool closed_ = false;
    unsigned gp_requests_ = 0;
    unsigned sc_uploads_ = 0;
    unsigned replies_ = 0;
    unsigned bodies_ = 0;
};
