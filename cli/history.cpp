// The configuration history the program keeps per detector, listed for scripts.
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "platform/Folders.h"
#include "safeconfig/HistoryStore.h"

#include <ctime>
#include <iostream>

namespace {

const std::string HistoryListHelp =
    std::string(
        "usage: kervola-cli history list [--json] CONNECTION\n"
        "\n"
        "Prints one line per configuration the program kept for the detector (every one\n"
        "read from it and every upload it confirmed), oldest first: local time, \"read\" or\n"
        "\"sent\", size in bytes, number of sensors and the file, separated by tabs. The\n"
        "files lie in history/ in the data folder; nothing is sent to the detector.\n"
        "  --json                       a JSON array, one object per configuration: time\n"
        "                               (ISO 8601 with the offset), kind, bytes, sensors\n"
        "                               and file\n"
        "\n") +
    ConnectionHelp;

int RunHistoryList(std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << HistoryListHelp;
        return ExitOk;
    }
    const bool json = TakeFlag(args, "--json");
    TSyncTarget target;
    std::string problem;
    if (!TakeConnectionOptions(args, target, problem))
        return Usage(HistoryListHelp, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(HistoryListHelp, "unknown option " + unknown);
    if (!args.empty())
        return Usage(HistoryListHelp, "unexpected argument " + args[0]);
    const THistoryStore store(ComputeDataFolder() + "history/");
    const std::vector<THistoryEntry> entries = store.List(target.Host, target.Port);
    if (json) {
        TJsonWriter answer;
        answer.BeginArray();
        for (const THistoryEntry& e : entries) {
            answer.BeginObject().Key("time").Time(static_cast<std::time_t>(e.TimeMs / 1000));
            answer.Key("kind").String(e.Kind).Key("bytes").Number(e.Size);
            answer.Key("sensors").Number(e.Sensors).Key("file").String(e.Path).EndObject();
        }
        answer.EndArray();
        WriteJson(answer);
        return ExitOk;
    }
    std::string lines;
    for (const THistoryEntry& e : entries)
        lines += HistoryTimeText(e.TimeMs) + "\t" + e.Kind + "\t" + std::to_string(e.Size) + "\t" +
                 std::to_string(e.Sensors) + "\t" + e.Path + "\n";
    WriteBytes(lines);
    return ExitOk;
}

} // namespace

void AddHistoryCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"history", "list"},
                     "list the configurations kept for a detector (read and sent)",
                     HistoryListHelp,
                     RunHistoryList,
                     true});
}
