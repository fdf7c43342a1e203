#include "reply_parser.h"

#include "zelmont_lib.h"

#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <algorithm>

namespace zelmont {

namespace {

constexpr std::string_view LineEnd = "\r\n";

// The detector writes lengths as plain decimals; anything else (spaces, units, a fraction) means
// the line is not announcing a body and must not make us wait for one.
bool strictDecimal(std::string_view text, int32_t& value) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        digits.remove_prefix(1);
    }
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return boost::conversion::try_lexical_convert(text.data(), text.size(), value);
}

} // namespace

void ReplyParser::setState(int32_t state) {
    std::lock_guard guard(lock_);
    state_ = state;
}

int32_t ReplyParser::state() const {
    std::lock_guard guard(lock_);
    return state_;
}

void ReplyParser::setLine(std::string line) {
    std::lock_guard guard(lock_);
    line_ = std::move(line);
}

std::string ReplyParser::line() const {
    std::lock_guard guard(lock_);
    return line_;
}

void ReplyParser::setBody(std::string body) {
    std::lock_guard guard(lock_);
    body_ = std::move(body);
}

void ReplyParser::clearBody() {
    std::lock_guard guard(lock_);
    body_.clear();
}

std::string ReplyParser::body() const {
    std::lock_guard guard(lock_);
    return body_;
}

const std::string& ReplyParser::lastLine() const {
    return line_;
}

std::string& ReplyParser::lastBody() {
    return body_;
}

int32_t ReplyParser::length() const {
    std::lock_guard guard(lock_);
    return length_;
}

void ReplyParser::reset() {
    std::lock_guard guard(lock_);
    length_ = 0;
    line_.clear();
    body_.clear();
    scanned_ = 0;
}

void ReplyParser::pendingCleared() {
    std::lock_guard guard(lock_);
    scanned_ = 0;
}

bool ReplyParser::takeLine(std::string& pending) {
    if (scanned_ > pending.size()) {
        scanned_ = 0;
    }
    // A CR may be the last byte already searched, its LF the first new one.
    const std::size_t from = scanned_ > 0 ? scanned_ - 1 : 0;
    const std::size_t end = pending.find(LineEnd, from);
    if (end == std::string::npos) {
        scanned_ = pending.size();
        return false;
    }
    line_.assign(pending, 0, end);
    body_.clear();
    pending.erase(0, end + LineEnd.size());
    scanned_ = 0;
    return true;
}

bool ReplyParser::step(std::string& pending) {
    std::lock_guard guard(lock_);
    return stepLocked(pending);
}

bool ReplyParser::step(std::string& pending, int32_t& state, int32_t& length) {
    std::lock_guard guard(lock_);
    const bool consumed = stepLocked(pending);
    state = state_;
    length = length_;
    return consumed;
}

bool ReplyParser::stepLocked(std::string& pending) {
    switch (state_) {
    case FirstLine:
        // The login reply is free text; whatever it looks like, no body follows it.
        if (!takeLine(pending)) {
            return false;
        }
        state_ = AwaitLine;
        return true;
    case AwaitLine:
        if (!takeLine(pending)) {
            return false;
        }
        length_ = bodyLength(line_);
        if (length_ != 0) {
            state_ = AwaitBody;
        }
        return true;
    case AwaitBody: {
        const auto length = static_cast<std::size_t>(length_);
        if (pending.size() < length) {
            return false;
        }
        if (length >= HandOverFloor) {
            // A large body leaves in pending's own buffer instead of being copied out of it;
            // pending goes on in the body's previous buffer with what followed the body.
            body_.swap(pending);
            pending.assign(body_, length, std::string::npos);
            body_.resize(length);
        } else {
            body_.assign(pending, 0, length);
            pending.erase(0, length);
        }
        scanned_ = 0;
        state_ = AwaitLine;
        return true;
    }
    default:
        return false;
    }
}

int32_t ReplyParser::bodyLength(std::string_view line) {
    const std::string_view code = line.substr(0, 2);
    bool keyed = false;
    if (line.size() > 6) {
        const std::string_view key = line.substr(3, 4);
        if (key == "ltim" || key == "lidx" || key == "last") {
            keyed = code == "gb";
        }
    }
    if (!(code == "gc" || code == "gr" || code == "gp" || code == "gd" || keyed)) {
        return 0;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return 0;
    }
    int32_t value = 0;
    if (!strictDecimal(line.substr(equals + 1), value)) {
        return 0;
    }
    // A negative count can never be reached; waiting for it would swallow the rest of the
    // connection, so such a line stays an ordinary line.
    return value > 0 ? value : 0;
}

bool frameReceived(ReplyParser& parser, std::string& pending, int32_t id,
                   const Subscriber& report) {
    std::string none;
    PARAM p;
    p.id = id;
    bool loginReply = false;
    int32_t s = parser.state();
    int32_t t = s;
    int32_t length = 0;
    // One lock per step: this runs once for every 1 KiB received.
    while (parser.step(pending, t, length)) {
        const std::string& line = parser.lastLine();
        // Events that carry no numbers report 0, even after a stream event in the same pass.
        p.count = 0;
        p.total = 0;
        if (s == FirstLine) {
            p.event = EV_LOGIN_REPLY;
            report(p, line, none);
            loginReply = true;
        } else if (t == AwaitBody && s == AwaitLine) {
            p.event = EV_STREAM_BEGIN;
            p.count = static_cast<int32_t>(pending.size());
            p.total = length;
            report(p, line, none);
        } else if (t == AwaitLine && s == AwaitBody) {
            p.event = EV_STREAM_END;
            p.count = p.total = length;
            // The subscriber may take the body's bytes; the next body is framed afresh.
            report(p, line, parser.lastBody());
        } else if (s == AwaitLine) {
            p.event = EV_LINE;
            report(p, line, none);
        }
        s = t;
    }
    // The step that found too few bytes left the state as it was and said so.
    if (p.event == 0 && t == AwaitBody) {
        p.event = EV_STREAM_PROGRESS;
        p.count = static_cast<int32_t>(pending.size());
        p.total = length;
        report(p, none, none);
    }
    return loginReply;
}

} // namespace zelmont
