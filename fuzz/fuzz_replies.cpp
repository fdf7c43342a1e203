// Fuzzes the reading of the main connection's replies as the controller reads them: the input
// arrives in pieces, is split into lines and the bodies that "gc" and "gp" lines announce, and
// every line goes to the reader of its code. What was taken must rebuild the input exactly.
#include "channel/AdminText.h"
#include "channel/DataReplies.h"
#include "channel/DetectorProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

void ReadLine(const std::string& line) {
    if (line.size() < 2)
        return;
    const std::string code = line.substr(0, 2);
    const std::string rest = line.size() > 3 ? line.substr(3) : std::string();
    long long n = 0;
    if (code == "gs") {
        ParseZoneStates(rest);
    } else if (code == "ge") {
        ParseZoneEvents(rest);
    } else if (code == "gf") {
        ParseRateReply(rest, 25);
    } else if (code == "gt") {
        const std::string value = ParseTimeReply(rest);
        if (const auto t = ParseDetectorTime(value)) {
            if (t->tm_mon < 0 || t->tm_mon > 11 || t->tm_mday < 1 || t->tm_mday > 31 ||
                t->tm_hour > 23 || t->tm_min > 59 || t->tm_sec > 59)
                std::abort();
            ClockDriftSeconds(value, 1'800'000'000);
            // Written back as the command line sets the clock, it reads as the same moment.
            std::string text = FormatDetectorTime(*t);
            if (text.size() == 10)
                text += " 00:00:00";
            const auto again = ParseDetectorTime(text);
            if (!again || again->tm_year != t->tm_year || again->tm_mon != t->tm_mon ||
                again->tm_mday != t->tm_mday || again->tm_hour != t->tm_hour ||
                again->tm_min != t->tm_min || again->tm_sec != t->tm_sec)
                std::abort();
        }
    } else if (code == "gn") {
        ParseNetworkReply(line);
        ParseNtpReply(line);
    } else if (code == "sc") {
        AnnouncedCount(line, n);
    } else if (code == "gb") {
        // The "gb stat" reply names the record size every later download is cut into.
        StatRecordSize(line);
    } else if (code == "gv" || code == "gg") {
        StrToIntDef(rest, -1);
        FirmwareNumber(rest);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte sets the size of the pieces in which the bytes arrive.
    const size_t piece = 1 + data[0] % 64;
    const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string buffer, rebuilt;
    long long awaited = -1;
    size_t fed = 0;
    while (fed < all.size()) {
        const size_t n = std::min(piece, all.size() - fed);
        buffer.append(all, fed, n);
        fed += n;
        size_t consumed = 0;
        for (;;) {
            std::string item;
            const TReplyStep step = NextReply(buffer, consumed, awaited, item);
            if (consumed > buffer.size())
                std::abort();
            if (step == TReplyStep::NeedMore || step == TReplyStep::Faulty)
                break;
            if (step == TReplyStep::Body) {
                if (static_cast<long long>(item.size()) != awaited)
                    std::abort();
                rebuilt += item;
                awaited = -1;
                continue;
            }
            if (item.find("\r\n") != std::string::npos)
                std::abort();
            rebuilt += item + "\r\n";
            ReadLine(item);
            const std::string code = item.substr(0, 2);
            if (code == "gc" || code == "gp") {
                const long long body = BodyAnnounced(item);
                if (body < 0)
                    return 0; // a faulty peer is dropped with its input
                if (body > 0)
                    awaited = body;
            }
        }
        buffer.erase(0, consumed);
    }
    if (rebuilt + buffer != all)
        std::abort();
    return 0;
}
