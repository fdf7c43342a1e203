// The cleaning unit on the command line: the liquid level and a cleaning run with the pump and
// brush timings, each over the program's own one-shot exchange.
#include "cleaning/CleaningSchedule.h"
#include "cli/Commands.h"
#include "cli/Connection.h"

#include <iostream>

namespace {

std::string WithConnection(const std::string& usage, const std::string& text) {
    return usage + "\n" + text + "\n" + ConnectionHelp;
}

const std::string LevelHelp = WithConnection(
    "usage: kervola-cli cleaning level [--json] CONNECTION",
    "Sends \"gg\" and prints the cleaning liquid's level: \"high\", \"low\", or \"unknown\" when\n"
    "the detector gives no level. Exit 1 when the detector cannot be reached.\n"
    "  --json                       one JSON object: level (high, low or unknown)\n");
const std::string RunHelp = WithConnection(
    "usage: kervola-cli cleaning run A B C D CONNECTION",
    "Starts a cleaning run: sends \"cl A,B,C,D\" with A the pump start delay, B the brush start\n"
    "delay, C the pump run time and D the brush run time. Each is corrected as the cleaning\n"
    "dialog corrects it (an integer clamped to 0..30, 1 when it is none). Prints the line sent.");

// The connection options out of args; a usage exit code when they are wrong, else -1. Only
// "--" starts an option here: a timing may be a negative number.
int TakeTarget(std::vector<std::string>& args, const std::string& help, TSyncTarget& target) {
    std::string problem;
    if (!TakeConnectionOptions(args, target, problem))
        return Usage(help, problem);
    for (const std::string& a : args)
        if (a.starts_with("--"))
            return Usage(help, "unknown option " + a);
    return -1;
}

int RunLevel(std::vector<std::string>& args) {
    const bool json = TakeFlag(args, "--json");
    TSyncTarget target;
    if (int usage = TakeTarget(args, LevelHelp, target); usage >= 0)
        return usage;
    if (!args.empty())
        return Usage(LevelHelp, "unexpected argument " + args[0]);
    std::string reply;
    if (!Exchange(target, "gg", reply))
        return Fail(TargetName(target), "cannot reach the detector");
    const std::string level = CleaningLevel(CleaningStateFromReply(reply)).Word;
    if (!json) {
        std::cout << level << "\n";
        return ExitOk;
    }
    TJsonWriter answer;
    answer.BeginObject().Key("level").String(level).EndObject();
    WriteJson(answer);
    return ExitOk;
}

int RunCleaning(std::vector<std::string>& args) {
    TSyncTarget target;
    if (int usage = TakeTarget(args, RunHelp, target); usage >= 0)
        return usage;
    if (args.size() != CleaningTimingCount)
        return Usage(RunHelp, "cleaning run needs the four timings A B C D");
    TCleaningValues values;
    for (int i = 0; i < CleaningTimingCount; ++i)
        values.Timings[static_cast<size_t>(i)] =
            CorrectCleaningTiming(args[static_cast<size_t>(i)]);
    const std::string command = CleaningCommand(values);
    std::string reply; // not checked: the detector's answer to "cl" carries nothing
    if (!Exchange(target, command, reply))
        return Fail(TargetName(target), "cannot reach the detector");
    std::cout << command << "\n";
    return ExitOk;
}

} // namespace

void AddCleaningCommands(std::vector<TCliCommand>& table) {
    table.push_back(
        {{"cleaning", "level"}, "read the cleaning liquid's level", LevelHelp, RunLevel, true});
    table.push_back({{"cleaning", "run"},
                     "start a cleaning run with pump and brush timings",
                     RunHelp,
                     RunCleaning});
}
