#include "fleet/FleetTasks.h"
#include "platform/FileReplace.h"

#include "channel/AdminText.h"
#include "channel/DetectorProtocol.h"
#include "config/XMLConfig.h"
#include "data/DataDownload.h"
#include "geometry/TFGeometry2.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double Now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// A detector may put lines of its own before an answer: a stray reply, or the tail of a body
// nobody asked for. They are not the answer, however much they look like one.
constexpr int MaxStrayLines = 16;
static_assert(MaxStrayLines > 0);

// The questions of one task on the open channel. The answer to a question is the first line
// that carries its two-letter code; bytes that came after a line are kept for the next question.
class TQuestions {
public:
    // False when no answer came within the channel's time-out.
    bool Ask(const std::string& command, std::string& reply) {
        if (!SyncSendText(command + "\r\n"))
            return false;
        const std::string code = command.substr(0, 2);
        const auto start = std::chrono::steady_clock::now();
        for (int line = 0; line <= MaxStrayLines; ++line) {
            if (SyncReadNextLine(Pending, reply) < 0)
                return false;
            if (reply.compare(0, 2, code) == 0)
                return true;
            if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(SyncTimeoutMs))
                break;
        }
        reply.clear();
        return false;
    }

private:
    std::string Pending;
};

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
    std::optional<std::tm> t =
        ParseDetectorTime(ParseTimeReply(reply.size() > 3 ? reply.substr(3) : std::string()));
    if (!t)
        return false;
    const std::time_t seconds = std::mktime(&*t);
    if (seconds == static_cast<std::time_t>(-1))
        return false;
    clock = seconds;
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

std::string FileNameForLabel(const std::string& label) {
    std::string name = label;
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 32 || c == 127)
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return name;
}

bool WritePrivateFile(const std::string& path, const std::string& bytes, std::string& error) {
    std::string reason;
    if (ReplaceFileContents(path, bytes, PrivateFile, reason))
        return true;
    error = "cannot write " + path + ": " + reason;
    return false;
}

TFleetResult FleetStatus(const TSyncTarget& target) {
    TFleetResult r;
    TChannelCloser closer;
    if (!Login(target, r))
        return r;
    TQuestions q;
    std::string reply;
    std::string firmware;
    if (!q.Ask("gv", reply))
        return r.Fail("no answer to gv");
    if (!FirmwareFromReply(reply, firmware))
        return r.Fail("unreadable answer to gv: " + reply);
    r.AddText("firmware", firmware);

    const double asked = Now();
    if (!q.Ask("gt", reply))
        return r.Fail("no answer to gt");
    const double answered = Now();
    std::time_t clock = 0;
    if (!DetectorClockFromReply(reply, clock))
        return r.Fail("unreadable answer to gt: " + reply);
    r.AddNumber("drift_s", DriftSeconds(clock, asked, answered));

    // A detector without a cleaning unit may answer anything: its level is unknown. Only
    // silence is a failure.
    if (!q.Ask("gg", reply)) {
        r.AddText("level", "unknown");
        return r.Fail("no answer to gg");
    }
    r.AddText("level", LevelFromReply(reply));
    r.Ok = true;
    return r;
}

TFleetResult FleetBackup(const TSyncTarget& target, const TConfigSaver& save) {
    TFleetResult r;
    TChannelCloser closer;
    if (!Login(target, r))
        return r;
    // Not value-initialised: the pages a small configuration never touches stay unmapped, so
    // memory grows with the configurations in hand, not with the buffer.
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(TransferBufferSize);
    long long announced = 0;
    const size_t got =
        SyncRequestBlock("gc\r\n", buffer.get(), TransferBufferSize,
                         [&announced](long long total, long long) { announced = total; });
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

    std::string file, error;
    if (!save(bytes, file, error))
        return r.Fail(error);
    r.AddText("file", file);
    r.AddNumber("bytes", static_cast<long long>(got));
    r.AddNumber("sensors", zones.Count());
    r.Ok = true;
    return r;
}

TConfigSaver SaveToFile(const std::string& file) {
    return [file](const std::string& bytes, std::string& where, std::string& error) {
        where = file;
        return WritePrivateFile(file, bytes, error);
    };
}

TFleetResult FleetTimeSync(const TSyncTarget& target, double maxDriftS) {
    TFleetResult r;
    TChannelCloser closer;
    if (!Login(target, r))
        return r;
    TQuestions q;
    std::string reply;
    const double asked = Now();
    if (!q.Ask("gt", reply))
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
    std::tm local{};
    localtime_r(&now, &local);
    if (!q.Ask("st t=" + FormatDetectorTime(local), reply)) {
        r.AddFlag("synced", false);
        return r.Fail("no answer to st");
    }
    r.AddFlag("synced", true);
    r.Ok = true;
    return r;
}

TFleetResult FleetDataDownload(const TSyncTarget& target, const std::string& start,
                               const std::string& base, bool raw) {
    TFleetResult r;
    std::string reply;
    {
        TChannelCloser closer;
        if (!Login(target, r))
            return r;
        if (!TQuestions().Ask("gv", reply))
            return r.Fail("no answer to gv");
    }
    const size_t eq = reply.find('=');
    if (eq == std::string::npos)
        return r.Fail("unreadable answer to gv: " + reply);

    TDownloadRequest request;
    request.Target = target;
    request.Firmware = FirmwareNumber(reply.substr(eq + 1));
    request.StartText = start;
    // Older firmware sends bytes no table can be made of; they are saved as what they are.
    request.File = base + (raw || request.Firmware < FirstRecordFirmware ? ".bin" : ".csv");
    const TDownloadOutcome outcome = DownloadDataFile(request);
    switch (outcome.Status) {
    case TDownloadStatus::Done:
        break;
    case TDownloadStatus::NoData:
        return r.Fail(outcome.Table ? "no data (" + request.File + " is left empty)" : "no data");
    case TDownloadStatus::WriteError:
        return r.Fail("cannot write " + request.File);
    default:
        return r.Fail(DescribeOutcome(outcome));
    }
    r.AddText("file", request.File);
    r.AddNumber("bytes", outcome.Bytes);
    if (outcome.RecordSize > 0)
        r.AddNumber("records", outcome.Records);
    else
        r.AddNull("records");
    r.Ok = true;
    return r;
}
