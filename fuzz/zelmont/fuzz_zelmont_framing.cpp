// Frames arbitrary detector output split into arbitrary receives and checks that nothing is
// lost, invented or reordered: the events, written back out, must rebuild the consumed bytes.
#include "reply_parser.h"
#include "zelmont_lib.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes choose the receive sizes; like the client, no receive exceeds 1 KiB.
    const std::size_t stride = 1 + (data[0] | (data[1] << 8)) % 1024;
    const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);

    zelmont::ReplyParser parser;
    parser.setState(zelmont::FirstLine);
    std::string pending;
    std::string rebuilt;
    int32_t awaiting = 0; // announced body not yet ended
    const zelmont::Subscriber report = [&](const zelmont::PARAM& p, const std::string& line,
                                           const std::string& body) {
        check(p.id == 5);
        check(line.find("\r\n") == std::string::npos);
        switch (p.event) {
        case EV_LOGIN_REPLY:
        case EV_LINE:
            check(awaiting == 0 && body.empty() && p.count == 0 && p.total == 0);
            rebuilt += line + "\r\n";
            break;
        case EV_STREAM_BEGIN:
            check(awaiting == 0 && p.total > 0 && p.count >= 0 && body.empty());
            check(zelmont::ReplyParser::bodyLength(line) == p.total);
            awaiting = p.total;
            rebuilt += line + "\r\n";
            break;
        case EV_STREAM_PROGRESS:
            check(awaiting == p.total && p.count >= 0 && p.count < p.total && line.empty());
            break;
        case EV_STREAM_END:
            check(awaiting == p.total && p.count == p.total);
            check(body.size() == static_cast<std::size_t>(p.total));
            awaiting = 0;
            rebuilt += body;
            break;
        default:
            check(false);
        }
    };
    for (std::size_t at = 0; at < input.size(); at += stride) {
        pending.append(input, at, stride);
        zelmont::frameReceived(parser, pending, 5, report);
    }
    check(rebuilt + pending == input);
    return 0;
}
