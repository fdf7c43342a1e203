#include "session.h"

#include "server.h"

#include <algorithm>
#include <string_view>

namespace asio = boost::asio;
using boost::system::error_code;

using namespace std::string_view_literals;

namespace {

// Lines a confused or broken detector might emit: unknown codes, and body codes whose counts no
// reader can take. They rotate so that a long run meets each of them.
constexpr std::string_view Garbage[] = {
    "zq 17 garbage line\r\n"sv,
    "gp=12ab\r\n\x89PNG\x01\x02 not the announced body\r\n"sv,
    "gc s=\r\n"sv,
    "gd=-5\r\n\x00\x00\x00\x05\r\n"sv,
    "gb ltim=x1\r\n"sv,
    "\x01\x02\x7f binary junk\r\n"sv,
    "gp= 99\r\n<message>\r\n"sv,
    "xx\r\n"sv,
};

} // namespace

Session::Session(asio::ip::tcp::socket socket, Server& server, Detector& detector,
                 const SimOptions& options, int id)
    : socket_(std::move(socket)), server_(server), detector_(detector), options_(options), id_(id),
      pause_(socket_.get_executor()), watchdog_(socket_.get_executor()) {}

void Session::start() {
    connected_at_ = last_read_ = Clock::now();
    error_code ignored;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    read();
    watch();
}

void Session::close() {
    if (closed_)
        return;
    closed_ = true;
    phase_ = Phase::Done;
    error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    pause_.cancel();
    watchdog_.cancel();
}

void Session::close_after_replies() {
    phase_ = Phase::Done; // nothing more is read or answered
    if (out_.empty()) {
        close();
        return;
    }
    out_.back().close_after = true;
}

void Session::read() {
    if (closed_)
        return;
    socket_.async_read_some(
        asio::buffer(chunk_), [self = shared_from_this()](error_code ec, size_t n) {
            if (ec) {
                // operation_aborted: close() got here first; nothing left to do on purpose.
                if (!self->closed_)
                    self->server_.log(self->id_, ec == asio::error::eof ? "<closed by client>"
                                                                        : "<connection lost>");
                self->close();
                return;
            }
            self->last_read_ = Clock::now();
            if (self->phase_ == Phase::Done)
                return; // closing after the last reply: the rest of the input is not wanted
            self->in_.append(self->chunk_.data(), n);
            self->process();
            self->read();
        });
}

void Session::process() {
    // Consumed input is dropped once per chunk, not once per line, so a burst of short commands
    // costs linear time.
    in_pos_ = 0;
    consume();
    in_.erase(0, in_pos_);
    in_pos_ = 0;
}

void Session::consume() {
    while (!closed_ && phase_ != Phase::Done) {
        if (phase_ == Phase::Body) {
            if (in_pos_ == in_.size())
                return;
            take_body();
            continue;
        }
        // Commands end with CR LF; a bare LF is taken too, so a person can talk to it with nc.
        const size_t lf = in_.find('\n', in_pos_);
        if (lf == std::string::npos) {
            if (in_.size() - in_pos_ > MaxLine) {
                server_.log(id_, "<line too long, closing>");
                close();
            }
            return;
        }
        std::string line = in_.substr(in_pos_, lf - in_pos_);
        in_pos_ = lf + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        server_.log(id_, line);
        if (phase_ == Phase::Login) {
            login_ = std::move(line);
            phase_ = Phase::Password;
        } else if (phase_ == Phase::Password) {
            if (!detector_.login_ok(login_, line)) {
                server_.log(id_, "<login refused>");
                close();
                return;
            }
            phase_ = Phase::Lines;
            enqueue("OK\r\n");
        } else {
            handle_line(line);
        }
    }
}

void Session::handle_line(const std::string& line) {
    if (options_.mute)
        return; // fault: the login was taken, and then nothing is ever answered
    body_ = detector_.body_request(line);
    if (body_.kind != BodyRequest::None) {
        body_line_ = line;
        body_left_ = body_.size;
        body_bytes_.clear();
        body_sum_ = 0;
        phase_ = Phase::Body;
        if (body_left_ == 0)
            take_body();
        return;
    }
    if (line == "gp" && options_.drop_gp > 0 && ++gp_requests_ % options_.drop_gp == 0)
        return; // fault: this picture request stays unanswered
    if (data_mode_ && (line == "gs" || line == "ge"))
        watching_ = true;
    apply(detector_.handle(line));
}

void Session::take_body() {
    const size_t n = static_cast<size_t>(std::min<std::int64_t>(body_left_, in_.size() - in_pos_));
    if (body_.kind == BodyRequest::Config)
        body_bytes_.append(in_, in_pos_, n);
    else if (body_.kind == BodyRequest::Update)
        for (size_t i = in_pos_; i < in_pos_ + n; ++i)
            body_sum_ += static_cast<unsigned char>(in_[i]);
    in_pos_ += n;
    body_left_ -= static_cast<std::int64_t>(n);
    if (body_left_ > 0)
        return;
    phase_ = Phase::Lines;
    switch (body_.kind) {
    case BodyRequest::Config: {
        SimOutcome stored = detector_.config_received(std::move(body_bytes_));
        // fault: the document is taken, but its "sc" reply is lost
        if (options_.drop_sc <= 0 || ++sc_uploads_ % options_.drop_sc != 0)
            apply(std::move(stored));
        break;
    }
    case BodyRequest::Update:
        apply(detector_.update_received(body_, body_sum_ & 0xFFFF));
        break;
    default:
        apply(detector_.body_discarded(body_line_));
        break;
    }
    body_bytes_.clear();
}

void Session::apply(SimOutcome outcome) {
    for (const auto& r : outcome.replies)
        queue_reply(r);
    switch (outcome.action) {
    case SimAction::DataOn:
        data_mode_ = true;
        watching_ = false; // a fresh start: its first state request comes next
        break;
    case SimAction::DataOff:
        data_mode_ = false;
        watching_ = false;
        break;
    case SimAction::RebootApp:
        server_.reboot(this, std::chrono::seconds(2));
        close_after_replies();
        break;
    case SimAction::RebootSys:
        server_.reboot(this, std::chrono::seconds(10));
        close_after_replies();
        break;
    case SimAction::Close:
        close_after_replies();
        break;
    case SimAction::None:
        break;
    }
}

void Session::push_states() {
    if (!data_mode_ || closed_ || phase_ == Phase::Done)
        return;
    queue_reply({detector_.states_line(), {}, false});
    queue_reply({detector_.events_line(), {}, false});
}

void Session::queue_reply(const SimReply& reply) {
    if (options_.garbage && ++replies_ % 3 == 0) {
        const auto& g = Garbage[(replies_ / 3) % std::size(Garbage)];
        enqueue(std::string(g));
    }
    std::string line = reply.line;
    if (!reply.has_body) {
        enqueue(line + "\r\n");
        return;
    }
    ++bodies_;
    const unsigned closeEvery =
        options_.body_fault_every > 0 ? static_cast<unsigned>(options_.body_fault_every) : 4;
    const unsigned hugeEvery =
        options_.body_fault_every > 0 ? static_cast<unsigned>(options_.body_fault_every) : 5;
    if (options_.close_mid_body && bodies_ % closeEvery == 0) {
        enqueue(line + "\r\n" + reply.body.substr(0, reply.body.size() / 2), true);
        phase_ = Phase::Done;
        return;
    }
    if (options_.huge_announce && bodies_ % hugeEvery == 0) {
        // The announced length no reader should try to hold; only a little of it follows.
        line = line.substr(0, line.find('=') + 1) + "2000000000";
        enqueue(line + "\r\n" + reply.body.substr(0, 1000));
        return;
    }
    enqueue(line + "\r\n" + reply.body);
}

void Session::enqueue(std::string bytes, bool close_after) {
    if (closed_)
        return;
    if (out_.size() >= MaxQueuedItems || queued_bytes_ + bytes.size() > MaxQueuedBytes) {
        server_.log(id_, "<client does not read, closing>");
        close();
        return;
    }
    queued_bytes_ += bytes.size();
    out_.push_back({std::move(bytes), 0, Clock::now() + std::chrono::milliseconds(options_.slow_ms),
                    close_after});
    write_next();
}

void Session::write_next() {
    if (writing_ || closed_ || out_.empty())
        return;
    writing_ = true;
    Outgoing& item = out_.front();
    if (item.offset == 0 && item.due > Clock::now()) {
        pause_.expires_at(item.due);
        pause_.async_wait([self = shared_from_this()](error_code ec) {
            self->writing_ = false;
            if (!ec) // operation_aborted: the session is closing; ignored on purpose
                self->write_next();
        });
        return;
    }
    size_t piece = item.bytes.size() - item.offset;
    if (options_.split > 0)
        piece = std::min(piece, static_cast<size_t>(options_.split));
    write_in_flight_ = true;
    write_started_ = Clock::now();
    asio::async_write(socket_, asio::buffer(item.bytes.data() + item.offset, piece),
                      [self = shared_from_this()](error_code ec, size_t n) {
                          self->write_in_flight_ = false;
                          self->writing_ = false;
                          if (ec) {
                              self->close(); // includes operation_aborted after close(): harmless
                              return;
                          }
                          Outgoing& done = self->out_.front();
                          done.offset += n;
                          if (done.offset < done.bytes.size()) {
                              // Split replies leave a short gap between pieces so they arrive
                              // apart.
                              self->writing_ = true;
                              self->pause_.expires_after(std::chrono::milliseconds(1));
                              self->pause_.async_wait([self](error_code wait_ec) {
                                  self->writing_ = false;
                                  if (!wait_ec)
                                      self->write_next();
                              });
                              return;
                          }
                          const bool close_after = done.close_after;
                          self->queued_bytes_ -= done.bytes.size();
                          self->out_.pop_front();
                          if (close_after) {
                              self->close();
                              return;
                          }
                          self->write_next();
                      });
}

void Session::watch() {
    watchdog_.expires_after(std::chrono::seconds(1));
    watchdog_.async_wait([self = shared_from_this()](error_code ec) {
        if (ec || self->closed_)
            return; // operation_aborted: closed meanwhile, ignored on purpose
        const auto now = Clock::now();
        const char* reason = nullptr;
        if ((self->phase_ == Phase::Login || self->phase_ == Phase::Password) &&
            now - self->connected_at_ > LoginTimeout)
            reason = "<no login, closing>";
        else if (self->phase_ == Phase::Body && now - self->last_read_ > BodyTimeout)
            reason = "<body stalled, closing>";
        else if (self->write_in_flight_ && now - self->write_started_ > WriteTimeout)
            reason = "<write stalled, closing>";
        else if (now - self->last_read_ > IdleTimeout)
            reason = "<idle, closing>";
        if (reason) {
            self->server_.log(self->id_, reason);
            self->close();
            return;
        }
        self->watch();
    });
}
