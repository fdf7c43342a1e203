#include "server.h"

#include "session.h"

#include <algorithm>

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

Server::Server(asio::io_context& io, Detector& detector, const SimOptions& options,
               SimShared& shared)
    : io_(io), detector_(detector), options_(options), acceptor_(io), accept_retry_(io), clock_(io),
      shared_(shared) {}

Server::~Server() = default;

bool Server::start(std::string& error) {
    error_code ec;
    const auto address = asio::ip::make_address(options_.bind, ec);
    if (ec) {
        error = "bad bind address " + options_.bind;
        return false;
    }
    const tcp::endpoint at(address, static_cast<unsigned short>(options_.port));
    if (acceptor_.open(at.protocol(), ec) ||
        acceptor_.set_option(tcp::acceptor::reuse_address(true), ec) || acceptor_.bind(at, ec) ||
        acceptor_.listen(asio::socket_base::max_listen_connections, ec)) {
        error = "cannot listen on " + options_.bind + ":" + std::to_string(options_.port) + ": " +
                ec.message();
        return false;
    }
    accept();
    if (!options_.idle_clock) {
        next_tick_ = std::chrono::steady_clock::now();
        schedule_tick();
    }
    return true;
}

tcp::endpoint Server::endpoint() const {
    error_code ec;
    return acceptor_.local_endpoint(ec);
}

void Server::stop() {
    if (stopped_)
        return;
    stopped_ = true;
    error_code ignored;
    acceptor_.close(ignored);
    clock_.cancel();
    accept_retry_.cancel();
    for (auto& weak : sessions_)
        if (auto s = weak.lock())
            s->close();
    sessions_.clear();
}

void Server::accept() {
    acceptor_.async_accept([this](error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || stopped_)
            return; // the acceptor was closed by stop(); ignored on purpose
        if (ec) {
            // Transient failures (too many open files, a connection reset before accept) must
            // not stop the listener, nor turn it into a busy loop.
            accept_retry_.expires_after(std::chrono::milliseconds(100));
            accept_retry_.async_wait([this](error_code wait_ec) {
                if (!wait_ec && !stopped_) // operation_aborted from stop(): ignored on purpose
                    accept();
            });
            return;
        }
        welcome(std::move(socket));
        accept();
    });
}

void Server::welcome(tcp::socket socket) {
    const int id = shared_.next_id++;
    if (std::chrono::steady_clock::now() < refuse_until_) {
        // Rebooting: the connection is taken and dropped at once.
        log(id, "<rebooting, refused>");
        error_code ignored;
        socket.close(ignored);
        return;
    }
    auto session = std::make_shared<Session>(std::move(socket), *this, detector_, options_, id);
    std::erase_if(sessions_, [](const auto& w) { return w.expired(); });
    sessions_.push_back(session);
    log(id, options_.name.empty() ? "<connected>" : "<connected " + options_.name + ">");
    session->start();
    if (!clock_running_) {
        next_tick_ = std::chrono::steady_clock::now();
        schedule_tick();
    }
}

void Server::schedule_tick() {
    clock_running_ = true;
    const auto period =
        std::chrono::microseconds(1000000 / (options_.fps * std::max(1, options_.speed)));
    next_tick_ += period;
    const auto now = std::chrono::steady_clock::now();
    if (next_tick_ + std::chrono::seconds(1) < now)
        next_tick_ = now + period; // fell far behind (stopped in a debugger): do not race
    clock_.expires_at(next_tick_);
    clock_.async_wait([this](error_code ec) {
        if (ec || stopped_) {
            clock_running_ = false;
            return; // operation_aborted from stop(): ignored on purpose
        }
        tick();
        // Hundreds of idle detectors in one process would otherwise spend a core on frames
        // nobody sees; the clock starts again with the next connection.
        if (options_.idle_clock && !has_sessions()) {
            clock_running_ = false;
            return;
        }
        schedule_tick();
    });
}

void Server::tick() {
    // The truth counts only what some client watches: one that has data mode on and has read
    // the starting states, from which on it sees every change.
    bool watched = false;
    for (auto& weak : sessions_)
        if (auto s = weak.lock(); s && s->watching())
            watched = true;
    std::vector<std::string> notes;
    const bool changed = detector_.tick(watched ? &notes : nullptr);
    for (const auto& note : notes)
        log(0, note);
    if (!changed)
        return;
    for (auto& weak : sessions_)
        if (auto s = weak.lock())
            s->push_states();
}

bool Server::has_sessions() {
    std::erase_if(sessions_, [](const auto& w) {
        const auto s = w.lock();
        return !s || s->closed();
    });
    return !sessions_.empty();
}

void Server::reboot(const Session* keep, std::chrono::milliseconds refuse) {
    refuse_until_ = std::chrono::steady_clock::now() + refuse;
    for (auto& weak : sessions_)
        if (auto s = weak.lock(); s && s.get() != keep)
            s->close();
}

void Server::log(int session, const std::string& text) {
    if (!shared_.log.is_open())
        return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    shared_.log << ms << ' ' << session << ' ' << text << '\n' << std::flush;
}
