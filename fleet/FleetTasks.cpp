#include "fleet/FleetTasks.h"

#include "config/XMLConfig.h"
#include "program/DetectorProtocol.h"
#include "zones/TFGeometry2.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double Now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// One question on the open channel and its answer line; false when none came.
bool Ask(const std::string& command, std::string& reply) {
    std::string rest;
    return SyncSendText(command + "\r\n") && SyncReadLine(reply, rest) >= 0;
}

// The channel is closed on every way out of a task.
struct TChannelCloser {
    ~TChannelCloser() { SyncClose(); }
};

bool Login(const TSyncTarget& target, TFleetResult& result) {
    if (SyncLogin(target))
        return true;
    result.Fail("cannot connect or log in");
    return false;
}

bool Digits(const std::string& s, size_t from, size_t count, int& value) {
    if (from + count > s.size())
        return false;
    value = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool FirmwareFromReply(const std::string& reply, std::string& firmware) {
    const size_t eq = reply.find('=');
    if (eq == std::string::npos)
        return false;
    firmware = reply.substr(eq + 1);
    if (!firmware.empty() && firmware.front() == '"')
        firmware.erase(0, 1);
    if (!firmware.empty() && firmware.back() == '"')
        firmware.pop_back();
    return true;
}

bool DetectorClockFromReply(const std::string& reply, std::time_t& clock) {
    // As the program reads "gt": the value after the "=" that follows the code.
    const std::string text = ParseTimeReply(reply.size() > 3 ? reply.substr(3) : std::string());
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day))
        return false;
    if (text.size() != 10 && (!Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) ||
                              !Digits(text, 17, 2, second)))
        return false;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    // mktime moves 31 April to 1 May; a date that does not come back as given is no date.
    if (t == static_cast<std::time_t>(-1) || tm.tm_mday != day || tm.tm_mon != month - 1 ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    clock = t;
    return true;
}

std::string LevelFromReply(const std::string& reply) {
    if (reply.size() < 4)
        return "unknown";
    switch (reply[3]) {
    case '0':
        return "high";
    case '1':
        return "low";
    default:
        return "unknown";
    }
}

long long DriftSeconds(std::time_t detector, double asked, double answered) {
    // The detector read its clock somewhere between question and answer and dropped the
    // fraction: the middle of its second against the middle of the exchange.
    return std::llround(static_cast<double>(detector) + 0.5 - (asked + answered) / 2);
}

std::string ClockText(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    if (tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                      tm.tm_mday);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string FileNameForLabel(const std::string& label) {
    std::string name = label;
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 32 || c == 127)
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return name;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data()); // mode 0600
    if (fd < 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

TFleetResult FleetStatus(const TSyncTarget& target) {
    TFleetResult r;
    TChannelCloser closer;
    if (!Login(target, r))
        return r;
    std::string reply;
    std::string firmware;
    if (!Ask("gv", reply))
        return r.Fail("no answer to gv");
    if (!FirmwareFromReply(reply, firmware))
        return r.Fail("unreadable answer to gv: " + reply);
    r.AddText("firmware", firmware);

    const double asked = Now();
    if (!Ask("gt", reply))
        return r.Fail("no answer to gt");
    const double answered = Now();
    std::time_t clock = 0;
    if (!DetectorClockFromReply(reply, clock))
        return r.Fail("unreadable answer to gt: " + reply);
    r.AddNumber("drift_s", DriftSeconds(clock, asked, answered));

    // A detector without a cleaning unit may answer anything: its level is unknown. Only
    // silence is a failure.
    if (!Ask("gg", reply)) {
        r.AddText("level", "unknown");
        return r.Fail("no answer to gg");
    }
    r.AddText("level", LevelFromReply(reply));
    r.Ok = true;
    return r;
}

TFleetResult FleetBackup(const TSyncTarget& target, const std::string& file) {
    TFleetResult r;
    TChannelCloser closer;
    if (!Login(target, r))
        return r;
    // Not value-initialised: the pages a small configuration never touches stay unmapped, so
    // memory grows with the configurations in hand, not with the buffer.
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(TransferBufferSize);
    long long announced = 0;
    const size_t got = SyncRequestBlock("gc\r\n", buffer.get(), TransferBufferSize,
                                        [&announced](long long total, long long) {
                                            announced = total;
                                        });
    if (got == 0)
        return r.Fail("no configuration received");
    if (static_cast<long long>(got) < announced)
        return r.Fail("configuration cut off after " + std::to_string(got) + " of " +
                      std::to_string(announced) + " bytes");
    const std::string bytes(reinterpret_cast<const char*>(buffer.get()), got);

    TXMLConfig config;
    if (!config.LoadFromText(bytes))
        return r.Fail("the configuration received does not parse (XML error " +
                      std::to_string(XMLErrorCode) + " at " + std::to_string(XMLErrorPos) + ")");
    TQuadList zones;
    config.ReadSensors(zones);

    std::string error;
    if (!WriteFileReplacing(file, bytes, error))
        return r.Fail(error);
    r.AddText("file", file);
    r.AddNumber("bytes", static_cast<long long>(got));
    r.AddNumber("sensors", zones.Count());
    r.Ok = true;
    return r;
}

TFleetResult FleetTimeSync(const TSyncTarget& target, double maxDriftS) {
    TFleetResult r;
    TChannelCloser closer;
    if (!Login(target, r))
        return r;
    std::string reply;
    const double asked = Now();
    if (!Ask("gt", reply))
        return r.Fail("no answer to gt");
    const double answered = Now();
    std::time_t clock = 0;
    if (!DetectorClockFromReply(reply, clock))
        return r.Fail("unreadable answer to gt: " + reply);
    const long long drift = DriftSeconds(clock, asked, answered);
    r.AddNumber("drift_s", drift);
    if (std::fabs(static_cast<double>(drift)) <= maxDriftS) {
        r.AddFlag("synced", false);
        r.Ok = true;
        return r;
    }
    // The nearest whole second: the detector takes it as the time of arrival.
    const auto now = static_cast<std::time_t>(std::floor(Now() + 0.5));
    if (!Ask("st t=" + ClockText(now), reply)) {
        r.AddFlag("synced", false);
        return r.Fail("no answer to st");
    }
    r.AddFlag("synced", true);
    r.Ok = true;
    return r;
}
