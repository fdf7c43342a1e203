#pragma once

#include "param.h"
#include "reply_parser.h"
#include "send_queue.h"

#include <boost/asio/deadline_timer.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zelmont {

// One TCP connection to a detector. It owns no thread: every handler runs on the io_context of
// its slot, whose single worker runs them one at a time. Only send(), clearWanted() and the
// posting of disconnect() come from the caller's thread once the worker runs.
class ZelmontClient {
public:
    static constexpr std::chrono::milliseconds LoginDelay{100};
    static constexpr std::chrono::seconds KeepAlivePeriod{29};
    static constexpr std::size_t ReadChunk = 1024;
    static constexpr std::size_t MaxPending = 67108864;
    // Waiting chunks taken in one turn of the loop before it sees to other work.
    static constexpr int InlineReceives = 64;

    explicit ZelmontClient(boost::asio::io_context& loop);
    virtual ~ZelmontClient();
    ZelmontClient(const ZelmontClient&) = delete;
    ZelmontClient& operator=(const ZelmontClient&) = delete;

    int32_t id() const { return id_; }
    void setId(int32_t id) { id_ = id; }
    void subscribe(Subscriber subscriber);
    // Told true before the events of a run of receives are reported and false once the run is
    // over, so a subscriber can hand on what it gathered in one go.
    void setReceiveRun(std::function<void(bool running)> told) { receiveRun_ = std::move(told); }
    void setLogin(const std::string& loginLine, const std::string& passwordLine);
    void setPolling(bool on) { polling_ = on; }
    void clearWanted() { wanted_ = false; }

    void connect(const std::string& host, int32_t port);
    // Tries each address in turn; used by the resolution and by tests that need a host with
    // several addresses on a machine whose resolver yields one.
    void connectEndpoints(std::vector<boost::asio::ip::tcp::endpoint> endpoints);
    bool send(std::string bytes);
    void disconnect();

    int32_t state() const { return parser_.state(); }
    // True while a name resolution has been started and has not completed.
    bool resolving() const { return resolving_; }
    std::chrono::milliseconds keepAlivePeriod() const { return keepAlivePeriod_; }
    void setKeepAlivePeriodForTesting(std::chrono::milliseconds period) {
        keepAlivePeriod_ = period;
    }

private:
    bool sendDirect(const std::string& bytes);
    void report(int32_t event, int32_t total = 0, const std::string& line = {});
    void reportError(const boost::system::error_code& error);
    void onResolved(const boost::system::error_code& error,
                    const boost::asio::ip::tcp::resolver::results_type& results);
    void tryEndpoint();
    void onConnected(const boost::system::error_code& error);
    void onLoginDelay(const boost::system::error_code& error);
    void startReceive();
    void onReceived(const boost::system::error_code& error, std::size_t received);
    void takeChunk(std::size_t received);
    void armKeepAlive();
    void onKeepAlive(const boost::system::error_code& error);
    void startWrite();
    void onWritten(const boost::system::error_code& error);
    bool closed() const { return parser_.state() == Closed; }

    int32_t id_ = 0;
    std::vector<Subscriber> subscribers_;
    Subscriber fanOut_; // hands one event to every subscriber; built once, not per chunk
    std::function<void(bool)> receiveRun_;
    boost::asio::io_context& loop_;
    boost::asio::ip::tcp::socket socket_;
    boost::asio::ip::tcp::resolver resolver_;
    std::array<char, ReadChunk> receiveBuffer_{};
    std::string host_;
    int32_t port_ = 0;
    std::string loginLine_;
    std::string passwordLine_;
    boost::asio::deadline_timer timer_;
    SendQueue sendQueue_;
    std::string pending_;
    ReplyParser parser_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> polling_{false};
    std::atomic<bool> wanted_{true};
    std::atomic<bool> resolving_{false};
    std::string current_;
    bool writing_ = false;
    std::vector<boost::asio::ip::tcp::endpoint> endpoints_;
    std::size_t nextEndpoint_ = 0;
    std::chrono::milliseconds keepAlivePeriod_{KeepAlivePeriod};
};

} // namespace zelmont
