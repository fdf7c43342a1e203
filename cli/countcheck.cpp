// The count check from the command line: "watch" logs a detector's zone events, "count-check"
// matches event logs against each other.
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/LiveFeed.h"
#include "config/XMLConfig.h"
#include "countcheck/CountLog.h"
#include "fleet/FleetReport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

namespace {

const std::string WatchHelp =
    "usage: kervola-cli watch [connection options] [--seconds N] -o FILE\n"
    "\n"
    "Logs in, switches data mode on (\"sm data=on\", then \"gs\" and \"ge\", as the program\n"
    "does) and writes every zone event of the detector to FILE as an event log: a CSV file\n"
    "with the header time,zone,source,state; time is Unix time in seconds with three\n"
    "decimals (the arrival of the reply on this machine), source is \"detector\", state \"on\"\n"
    "or \"off\". The first states after the start are the starting point, not events.\n"
    "Runs for N seconds, or until interrupted (Ctrl+C, SIGTERM); either way FILE is complete.\n"
    "Standard error shows the vehicles (\"on\" events) so far per zone.\n"
    "Exit codes: 0 done, 1 the detector cannot be reached or the connection was lost (what was\n"
    "logged is kept), 2 usage error.\n"
    "\n";
const std::string CheckHelp =
    "usage: kervola-cli count-check FILE... [--window S] [--json]\n"
    "\n"
    "Reads one or more event logs (from 'watch', the program's count check, a hand count, the\n"
    "simulator's --truth) and matches, per zone, the detector's \"on\" events against the\n"
    "reference events (every source other than \"detector\"): both sorted by time and walked\n"
    "together, a pair at most S seconds apart (default 1.0) is one vehicle seen by both.\n"
    "Prints a row per zone and a total row: detector and reference counts, matched, missed\n"
    "(reference - matched), false (detector - matched), recall (matched / reference),\n"
    "precision (matched / detector) and the count error (detector - reference) / reference in\n"
    "percent; a ratio whose divisor is 0 is left empty.\n"
    "  --json   an object: window_s; zones, an array of objects with zone, detector,\n"
    "           reference, matched, missed, false, recall, precision, error_pct (null where\n"
    "           empty); total, with the same keys (zone \"total\")\n"
    "A malformed row is an error naming the file and its line (the header is line 1); rows\n"
    "need not be in time order.\n";

std::atomic<bool> Stop{false};

void OnStopSignal(int) {
    Stop = true;
}

double NowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A number of seconds with a point or the desktop's comma; false for anything else.
bool ParseSeconds(std::string text, double& value) {
    std::replace(text.begin(), text.end(), ',', '.');
    std::vector<TCountEvent> probe;
    int line = 0;
    std::string problem;
    if (!ParseEventLog(std::string(EventLogHeader) + "\n" + text + ",1,x,on\n", probe, line,
                       problem))
        return false;
    value = probe.front().Time;
    return true;
}

void ShowProgress(const std::map<std::string, int>& vehicles) {
    std::string text = "\rwatch:";
    for (const auto& [zone, n] : vehicles)
        text += "  " + zone + ": " + std::to_string(n);
    std::cerr << text << std::flush;
}

class TWatch {
public:
    TWatch(std::ofstream& out, std::vector<std::string> zones)
        : Out(out), Zones(std::move(zones)) {}

    void Take(const std::string& line) {
        std::vector<std::pair<std::string, bool>> states;
        if (!ReadZoneStateReply(line, states))
            return;
        // Ids that name no zone of the detector's configuration are passed over, as the
        // program does.
        if (!Zones.empty())
            std::erase_if(states, [this](const auto& s) {
                return std::find(Zones.begin(), Zones.end(), s.first) == Zones.end();
            });
        std::vector<TCountEvent> events;
        Edges.Update(states, NowSeconds(), events);
        for (const TCountEvent& e : events) {
            Out << FormatEventRow(e) << std::flush;
            if (e.On)
                ++Vehicles[e.Zone];
        }
        if (!events.empty())
            ShowProgress(Vehicles);
    }
    bool Written() const { return static_cast<bool>(Out); }

private:
    std::ofstream& Out;
    std::vector<std::string> Zones;
    TDetectorEdges Edges;
    std::map<std::string, int> Vehicles;
};

std::vector<std::string> DetectorZones(TLiveFeed& feed) {
    std::string line, body;
    if (!feed.Send("gc") || !feed.Await("gc", line, body))
        return {};
    TXMLConfig config;
    TQuadList zones;
    if (!config.LoadFromText(body))
        return {};
    config.ReadSensors(zones);
    std::vector<std::string> ids;
    for (int i = 0; i < zones.Count(); ++i)
        ids.push_back(zones.Quad(i)->Id);
    return ids;
}

int RunWatch(std::vector<std::string>& args) {
    const std::string help = WatchHelp + ConnectionHelp;
    TSyncTarget target;
    std::string problem, seconds, file;
    const bool timed = TakeOption(args, "--seconds", seconds, problem);
    TakeOption(args, "-o", file, problem);
    if (problem.empty())
        TakeConnectionOptions(args, target, problem);
    if (!problem.empty())
        return Usage(help, problem);
    if (!args.empty())
        return Usage(help, "unexpected argument " + args[0]);
    if (file.empty())
        return Usage(help, "no output file (-o FILE)");
    double limit = 0;
    if (timed && (!ParseSeconds(seconds, limit) || limit <= 0))
        return Usage(help, "bad --seconds " + seconds);

    std::ofstream out(file, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!(out << EventLogHeader << "\n" << std::flush))
        return Fail(file, "cannot write");
    TLiveFeed feed;
    if (!feed.Open(target))
        return Fail(TargetName(target), "cannot connect");
    TWatch watch(out, DetectorZones(feed));
    feed.OnOtherLine = [&watch](const std::string& line) { watch.Take(line); };

    struct sigaction action {};
    action.sa_handler = OnStopSignal; // no SA_RESTART: a waiting poll returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // Some detectors say nothing while no vehicle passes: a state request now and then tells
    // a quiet road from a lost connection within the channel's time-out.
    constexpr double KeepAlive = 2.0;
    const double start = NowSeconds();
    double lastLine = start;
    bool lost = !feed.Send("sm data=on") || !feed.Send("gs") || !feed.Send("ge");
    while (!lost && !Stop && (!timed || NowSeconds() - start < limit)) {
        std::string line;
        const int got = feed.Poll(line, 100);
        if (got < 0) {
            lost = true;
            break;
        }
        const double now = NowSeconds();
        if (got > 0) {
            lastLine = now;
            watch.Take(line);
        } else if (now - lastLine > KeepAlive) {
            lastLine = now;
            lost = !feed.Send("gs");
        }
    }
    if (!lost) {
        // Data mode off, then the replies still on their way up to the version's answer, which
        // comes after them: the log then holds every change the detector sent while watched.
        std::string line, body;
        lost = !feed.Send("sm data=off") || !feed.Send("gv") || !feed.Await("gv", line, body);
    }
    feed.Close();
    std::cerr << "\n";
    if (!watch.Written())
        return Fail(file, "cannot write");
    if (lost)
        return Fail(TargetName(target), "connection lost");
    return ExitOk;
}

// Numbers as the desktop writes them: with its decimal separator.
std::string LocalRatio(const std::optional<double>& value, int decimals) {
    std::string text = FormatRatio(value, decimals);
    const char* point = std::localeconv()->decimal_point;
    if (point && *point && *point != '.')
        std::replace(text.begin(), text.end(), '.', *point);
    return text;
}

void JsonCount(TJsonWriter& json, const TZoneCount& c) {
    auto ratio = [&json](const std::optional<double>& v) { v ? json.Number(*v) : json.Null(); };
    json.BeginObject().Key("zone").String(c.Zone);
    json.Key("detector").Number(c.Detector).Key("reference").Number(c.Reference);
    json.Key("matched").Number(c.Matched).Key("missed").Number(c.Missed);
    json.Key("false").Number(c.False);
    json.Key("recall");
    ratio(c.Recall());
    json.Key("precision");
    ratio(c.Precision());
    json.Key("error_pct");
    ratio(c.ErrorPercent());
    json.EndObject();
}

int RunCheck(std::vector<std::string>& args) {
    std::string problem, windowText;
    const bool json = TakeFlag(args, "--json");
    const bool hasWindow = TakeOption(args, "--window", windowText, problem);
    if (!problem.empty())
        return Usage(CheckHelp, problem);
    if (const std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(CheckHelp, "unknown option " + unknown);
    if (args.empty())
        return Usage(CheckHelp, "no event log given");
    double window = DefaultMatchWindow;
    if (hasWindow && (!ParseSeconds(windowText, window) || window <= 0))
        return Usage(CheckHelp, "bad --window " + windowText);

    std::vector<TCountEvent> events;
    for (const std::string& file : args) {
        std::string text;
        if (!ReadWholeFile(file, text)) {
            JsonFailure(file + ": cannot read");
            return Fail(file, "cannot read");
        }
        int line = 0;
        if (!ParseEventLog(text, events, line, problem)) {
            const std::string where = file + ":" + std::to_string(line);
            JsonFailure(where + ": " + problem);
            return Fail(where, problem);
        }
    }
    const std::vector<TZoneCount> zones = MatchEvents(events, window);
    const TZoneCount total = TotalCount(zones);
    if (json) {
        TJsonWriter answer;
        answer.BeginObject().Key("window_s").Number(window).Key("zones").BeginArray();
        for (const TZoneCount& z : zones)
            JsonCount(answer, z);
        answer.EndArray().Key("total");
        JsonCount(answer, total);
        answer.EndObject();
        WriteJson(answer);
        return ExitOk;
    }
    std::vector<std::vector<std::string>> rows{{"ZONE", "DETECTOR", "REFERENCE", "MATCHED",
                                                "MISSED", "FALSE", "RECALL", "PRECISION",
                                                "ERROR%"}};
    for (const TZoneCount& z : zones) {
        rows.push_back({z.Zone, std::to_string(z.Detector), std::to_string(z.Reference),
                        std::to_string(z.Matched), std::to_string(z.Missed),
                        std::to_string(z.False), LocalRatio(z.Recall(), 3),
                        LocalRatio(z.Precision(), 3), LocalRatio(z.ErrorPercent(), 1)});
    }
    rows.push_back({"total", std::to_string(total.Detector), std::to_string(total.Reference),
                    std::to_string(total.Matched), std::to_string(total.Missed),
                    std::to_string(total.False), LocalRatio(total.Recall(), 3),
                    LocalRatio(total.Precision(), 3), LocalRatio(total.ErrorPercent(), 1)});
    WriteBytes(AlignColumns(rows));
    return ExitOk;
}

} // namespace

void AddCountCheckCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"watch"},
                     "log a detector's zone events to an event log",
                     WatchHelp + ConnectionHelp,
                     RunWatch});
    table.push_back({{"count-check"},
                     "match event logs: detector counts against a reference count",
                     CheckHelp,
                     RunCheck,
                     true});
}
