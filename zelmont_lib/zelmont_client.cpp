#include "zelmont_client.h"

#include "zelmont_lib.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>

#include <cerrno>

#include <sys/socket.h>

namespace zelmont {

namespace asio = boost::asio;
using boost::system::error_code;
using tcp = asio::ip::tcp;

namespace {

boost::posix_time::time_duration toPosix(std::chrono::milliseconds period) {
    return boost::posix_time::milliseconds(period.count());
}

const std::string KeepAlivePoll = "gs\r\n";

} // namespace

ZelmontClient::ZelmontClient(asio::io_context& loop)
    : loop_(loop), socket_(loop), resolver_(loop), timer_(loop) {
    fanOut_ = [this](const PARAM& p, const std::string& line, std::string& body) {
        const std::size_t last = subscribers_.size();
        for (std::size_t i = 0; i < last; ++i) {
            if (i + 1 == last) {
                subscribers_[i](p, line, body);
            } else {
                std::string own = body;
                subscribers_[i](p, line, own);
            }
        }
    };
}

ZelmontClient::~ZelmontClient() = default;

void ZelmontClient::subscribe(Subscriber subscriber) {
    subscribers_.push_back(std::move(subscriber));
}

void ZelmontClient::setLogin(const std::string& loginLine, const std::string& passwordLine) {
    if (!loginLine.empty()) {
        loginLine_ = loginLine;
    }
    if (!passwordLine.empty()) {
        passwordLine_ = passwordLine;
    }
}

void ZelmontClient::report(int32_t event, int32_t total, const std::string& line) {
    std::string none;
    PARAM p;
    p.id = id_;
    p.event = event;
    p.total = total;
    fanOut_(p, line, none);
}

void ZelmontClient::reportError(const error_code& error) {
    report(EV_ERROR, 0, error.message());
}

void ZelmontClient::connect(const std::string& host, int32_t port) {
    wanted_ = true;
    if (connected_) {
        return;
    }
    pending_.clear();
    parser_.reset();
    parser_.setState(Connecting);
    if (!host.empty()) {
        host_ = host;
    }
    if (port > 0) {
        port_ = port;
    }
    // Reported from the worker like a failed resolution, so the caller sees one path for both.
    if (host_.empty() || port_ < 1 || port_ > 65535) {
        const error_code error = host_.empty() ? error_code(asio::error::host_not_found)
                                               : error_code(asio::error::service_not_found);
        asio::post(loop_, [this, error] {
            if (!closed()) {
                reportError(error);
            }
        });
        return;
    }
    resolving_ = true;
    resolver_.async_resolve(
        host_, std::to_string(port_),
        tcp::resolver::address_configured | tcp::resolver::numeric_service,
        [this](const error_code& error, const tcp::resolver::results_type& results) {
            onResolved(error, results);
        });
}

void ZelmontClient::onResolved(const error_code& error,
                               const tcp::resolver::results_type& results) {
    resolving_ = false;
    // Ended while resolving: the attempt is abandoned without a word.
    if (closed()) {
        return;
    }
    if (error) {
        reportError(error);
        return;
    }
    std::vector<tcp::endpoint> endpoints;
    for (const auto& entry : results) {
        endpoints.push_back(entry.endpoint());
    }
    connectEndpoints(std::move(endpoints));
}

void ZelmontClient::connectEndpoints(std::vector<tcp::endpoint> endpoints) {
    endpoints_ = std::move(endpoints);
    nextEndpoint_ = 0;
    if (endpoints_.empty()) {
        reportError(asio::error::host_not_found);
        return;
    }
    tryEndpoint();
}

void ZelmontClient::tryEndpoint() {
    socket_.async_connect(endpoints_[nextEndpoint_],
                          [this](const error_code& error) { onConnected(error); });
}

void ZelmontClient::onConnected(const error_code& error) {
    if (closed()) {
        return;
    }
    if (error) {
        error_code ignored;
        socket_.close(ignored);
        if (++nextEndpoint_ < endpoints_.size()) {
            tryEndpoint();
            return;
        }
        reportError(error);
        return;
    }
    connected_ = true;
    report(EV_CONNECTED);
    parser_.setState(LoginSent);
    if (!sendDirect(loginLine_)) {
        disconnect();
        return;
    }
    timer_.expires_from_now(toPosix(LoginDelay));
    timer_.async_wait([this](const error_code& e) { onLoginDelay(e); });
}

void ZelmontClient::onLoginDelay(const error_code& error) {
    // Cancelled, or the connection ended while the expiry was already queued.
    if (error || closed()) {
        return;
    }
    if (!sendDirect(passwordLine_)) {
        disconnect();
        return;
    }
    startReceive();
    // Idle until the login reply or a completed write arms the keep-alive.
    timer_.expires_at(boost::posix_time::pos_infin);
    timer_.async_wait([this](const error_code& e) { onKeepAlive(e); });
}

void ZelmontClient::startReceive() {
    socket_.async_read_some(asio::buffer(receiveBuffer_),
                            [this](const error_code& e, std::size_t n) { onReceived(e, n); });
}

void ZelmontClient::onReceived(const error_code& error, std::size_t received) {
    if (error) {
        disconnect();
        return;
    }
    if (closed()) {
        return;
    }
    if (receiveRun_) {
        receiveRun_(true);
    }
    takeChunk(received);
    // Chunks that are already waiting are taken right here instead of through another turn of
    // the loop's reactor: same 1 KiB receives and the same events, one system call fewer each.
    // The bound lets a posted disconnect, write or timer in between.
    for (int i = 0; i < InlineReceives && !closed(); ++i) {
        const ssize_t n =
            ::recv(socket_.native_handle(), receiveBuffer_.data(), ReadChunk, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            break;
        }
        if (n <= 0) {
            // The peer closed or the connection failed; the asynchronous receive started below
            // reports it on its own, so the usual path handles it.
            break;
        }
        takeChunk(static_cast<std::size_t>(n));
    }
    if (receiveRun_) {
        receiveRun_(false);
    }
    if (!closed()) {
        startReceive();
    }
}

void ZelmontClient::takeChunk(std::size_t received) {
    if (parser_.state() == LoginSent) {
        parser_.setState(FirstLine);
    }
    if (pending_.size() + received > MaxPending) {
        pending_.clear();
        parser_.pendingCleared();
    }
    pending_.append(receiveBuffer_.data(), received);
    if (frameReceived(parser_, pending_, id_, fanOut_)) {
        armKeepAlive();
    }
}

void ZelmontClient::armKeepAlive() {
    timer_.expires_from_now(toPosix(keepAlivePeriod_));
    timer_.async_wait([this](const error_code& e) { onKeepAlive(e); });
}

void ZelmontClient::onKeepAlive(const error_code& error) {
    // operation_aborted: cancelled by disconnect or re-armed by a later event; both are expected.
    if (error || closed()) {
        return;
    }
    // A queued write still in flight is traffic of its own, and a poll written now could land in
    // the middle of its bytes; its completion re-arms the timer.
    if (polling_ && !writing_ && !sendDirect(KeepAlivePoll)) {
        disconnect();
        return;
    }
    armKeepAlive();
}

bool ZelmontClient::send(std::string bytes) {
    if (parser_.state() < FirstLine) {
        return false;
    }
    if (!sendQueue_.push(std::move(bytes))) {
        return false;
    }
    // The socket belongs to the worker; writes start there so only one is ever in flight.
    asio::post(loop_, [this] { startWrite(); });
    return true;
}

void ZelmontClient::startWrite() {
    if (writing_ || closed() || !sendQueue_.pop(current_)) {
        return;
    }
    writing_ = true;
    asio::async_write(socket_, asio::buffer(current_),
                      [this](const error_code& e, std::size_t) { onWritten(e); });
}

void ZelmontClient::onWritten(const error_code& error) {
    writing_ = false;
    if (error) {
        disconnect();
        return;
    }
    if (closed()) {
        return;
    }
    startWrite();
    armKeepAlive();
}

bool ZelmontClient::sendDirect(const std::string& bytes) {
    if (loop_.stopped()) {
        return false;
    }
    error_code error;
    asio::write(socket_, asio::buffer(bytes), error);
    return !error;
}

void ZelmontClient::disconnect() {
    parser_.setState(Closed);
    polling_ = false;
    error_code ignored;
    // Exactly one disconnection is reported per connection: the aborted receive and write that
    // the close below causes come back here and find nothing left to do.
    if (!connected_.exchange(false)) {
        // Still resolving or connecting: abandon the attempt so the loop runs dry. The caller
        // ended a connection that never existed, so nothing is reported.
        resolver_.cancel();
        timer_.cancel(ignored);
        socket_.close(ignored);
        return;
    }
    timer_.cancel(ignored);
    // A peer that reset the connection leaves nothing to shut down; the loss is reported anyway.
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    report(EV_DISCONNECTED, wanted_ ? 1 : 0);
    socket_.close(ignored);
}

} // namespace zelmont
