// Fleet commands: one detector command over the whole address book (or the entries --only
// selects), at most --jobs detectors at once, a report in address-book order.
#include "addressbook/HostRecords.h"
#include "cli/AddressBook.h"
#include "cli/Commands.h"
#include "data/DataDownload.h"
#include "fleet/FleetPool.h"
#include "fleet/FleetReport.h"
#include "fleet/FleetTasks.h"
#include "platform/FileReplace.h"
#include "platform/Folders.h"
#include "safeconfig/HistoryStore.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fnmatch.h>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <unistd.h>

namespace {

constexpr int DefaultJobs = 16;

const std::string CommonHelp =
    "Fleet options:\n"
    "  --only PATTERN   only the entries whose whole label matches PATTERN (shell wildcards\n"
    "                   * ? [...], case-sensitive)\n"
    "  --jobs N         at most N detectors at once (1..1024, default 16)\n"
    "  --json           a JSON array, one object per detector: label, address, port, ok,\n"
    "                   error (when not ok) and the command's keys; a run that cannot start\n"
    "                   answers {\"ok\": false, \"error\": ...}\n"
    "\n"
    "Progress goes to standard error, then one row per detector in address-book order to\n"
    "standard output: label, address, outcome and the command's figures (a failed row shows\n"
    "its error instead). Exit 0 when every detector succeeded, 1 when any failed; a failure\n"
    "never stops the others.\n";

const std::string StatusHelp =
    "usage: kervola-cli fleet status [--only PATTERN] [--jobs N] [--json]\n"
    "\n"
    "Per detector, over one connection: the firmware (\"gv\"), the clock drift against this\n"
    "machine (\"gt\"; positive: the detector is ahead) and the cleaning liquid level (\"gg\").\n"
    "Keys: firmware, drift_s, level (high, low or unknown).\n\n" +
    CommonHelp;
const std::string BackupHelp =
    "usage: kervola-cli fleet backup [-o DIR] [--only PATTERN] [--jobs N] [--json]\n"
    "\n"
    "Saves each detector's configuration (\"gc\") byte for byte as DIR/LABEL.xml (DIR is made\n"
    "when missing), mode 0600 since it holds the detector's login. A detector that fails\n"
    "leaves an older DIR/LABEL.xml as it was. \"/\" in a label becomes \"_\"; of two entries\n"
    "whose labels give the same file, only the first is saved.\n"
    "Without -o, each configuration joins the program's history of configurations (history/ in\n"
    "the data folder, one folder per address and port; see 'history list') as a read, unless\n"
    "it equals the newest one kept there. Keys: file, bytes, sensors.\n\n" +
    CommonHelp;
const std::string TimeSyncHelp =
    "usage: kervola-cli fleet time-sync [--max-drift S] [--only PATTERN] [--jobs N] [--json]\n"
    "\n"
    "Reads each detector's clock (\"gt\") and, only where it is more than S seconds (default 2)\n"
    "off this machine's, sets it to this machine's local time (\"st t=\"). Keys: drift_s (before\n"
    "setting), synced (true when set).\n\n" +
    CommonHelp;

const std::string DataDownloadHelp =
    "usage: kervola-cli fleet data-download [--days N] -o DIR [--raw] [--only PATTERN]\n"
    "                                       [--jobs N] [--json]\n"
    "\n"
    "Downloads each detector's buffered traffic data as the program does (\"gv\" for the\n"
    "firmware number, then \"gb stat\" and \"gb ltim=\", or \"gd\" below firmware 38) into\n"
    "DIR/LABEL.csv as the text table, or DIR/LABEL.bin with the bytes as received with --raw.\n"
    "Firmware below 38 sends no records a table can be made of: its bytes go to DIR/LABEL.bin.\n"
    "--days N (default 0: all data) asks for the last N days, counted back from now on this\n"
    "machine's clock (fractions allowed). DIR is made when missing. \"/\" in a label becomes\n"
    "\"_\"; of two entries whose labels give the same file, only the first is downloaded.\n"
    "Keys: file, bytes, records (null when the firmware sends no record size).\n\n" +
    CommonHelp;

struct TFleetRun {
    std::vector<THostRec> Hosts; // the selected entries, in address-book order
    int Jobs = DefaultJobs;
    bool Json = false;
};

// The common options and the selected entries; an exit code when the run cannot start, else -1.
int Prepare(std::vector<std::string>& args, const std::string& help, TFleetRun& run) {
    std::string only, jobs, problem;
    const bool hasOnly = TakeOption(args, "--only", only, problem);
    const bool hasJobs = TakeOption(args, "--jobs", jobs, problem);
    run.Json = TakeFlag(args, "--json");
    if (!problem.empty())
        return Usage(help, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(help, "unknown option " + unknown);
    if (!args.empty())
        return Usage(help, "unexpected argument " + args[0]);
    if (hasJobs) {
        run.Jobs = PortFromText(jobs, -1);
        if (run.Jobs < 1 || run.Jobs > MaxFleetJobs)
            return Usage(help, "--jobs takes 1.." + std::to_string(MaxFleetJobs) + ", not " + jobs);
    }
    std::vector<THostRec> all;
    bool missing = false;
    if (!LoadAddressBook(all, false, missing))
        return ExitFailure;
    if (missing || all.empty())
        return Fail(HostsPath(), missing ? "not found" : "no entries");
    for (const THostRec& r : all)
        if (!hasOnly || ::fnmatch(only.c_str(), r.Caption.c_str(), 0) == 0)
            run.Hosts.push_back(r);
    if (run.Hosts.empty())
        return Fail(HostsPath(), "no entry labelled to match \"" + only + "\"");
    return -1;
}

// Runs `task` over the selected entries and prints the report; the exit code.
int Execute(const std::string& name, const TFleetRun& run,
            const std::function<TFleetResult(size_t, const TSyncTarget&)>& task,
            const std::vector<std::string>& keys) {
    const size_t count = run.Hosts.size();
    std::vector<TFleetResult> results(count);
    // On a terminal the line is redrawn as detectors finish; a log gets the final line alone.
    const bool live = ::isatty(STDERR_FILENO) == 1;
    std::atomic<size_t> failed{0};
    auto line = [&](size_t done) {
        std::cerr << (live ? "\r" : "") << "fleet " << name << ": " << done << "/" << count
                  << " done, " << failed.load() << " failed" << std::flush;
    };
    RunBounded(
        count, run.Jobs,
        [&](size_t i) {
            const THostRec& h = run.Hosts[i];
            TFleetResult r = task(i, TSyncTarget{h.Address, h.Port, h.Login, h.Password});
            if (!r.Ok)
                ++failed;
            results[i] = std::move(r);
        },
        [&](size_t done) {
            if (live)
                line(done);
        });
    line(count);
    std::cerr << "\n";
    WriteBytes(run.Json ? FleetJson(run.Hosts, results) : FleetTable(run.Hosts, results, keys));
    return failed.load() == 0 ? ExitOk : ExitFailure;
}

// Makes `dir` when missing and names one file in it per selected entry. Two labels that give one
// file would overwrite each other's in whatever order they finish: the first in the address
// book keeps the name, the later ones get `clash` texts and are not contacted. An exit code when
// the folder cannot be made, else -1. Folders made for files that hold the detectors' passwords
// are `secret`: their user's alone.
int FilesInFolder(const TFleetRun& run, std::string dir, const std::string& extension, bool secret,
                  std::vector<std::string>& files, std::vector<std::string>& clash) {
    std::string reason;
    bool made = false;
    if (secret) {
        made = MakePrivateFolders(dir, reason);
    } else {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        made = std::filesystem::is_directory(dir, ec);
    }
    if (!made)
        return Fail(dir, "cannot make the folder" + (reason.empty() ? "" : ": " + reason));
    if (dir.back() != '/')
        dir += '/';
    files.assign(run.Hosts.size(), {});
    clash.assign(run.Hosts.size(), {});
    std::map<std::string, std::string> taken;
    for (size_t i = 0; i < run.Hosts.size(); ++i) {
        files[i] = dir + FileNameForLabel(run.Hosts[i].Caption) + extension;
        const auto [at, inserted] = taken.emplace(files[i], run.Hosts[i].Caption);
        if (!inserted)
            clash[i] = "same file as \"" + at->second + "\" before it: " + files[i];
    }
    return -1;
}

int RunStatus(std::vector<std::string>& args) {
    TFleetRun run;
    if (int code = Prepare(args, StatusHelp, run); code >= 0)
        return code;
    return Execute("status", run, [](size_t, const TSyncTarget& t) { return FleetStatus(t); },
                   {"firmware", "drift_s", "level"});
}

int RunBackup(std::vector<std::string>& args) {
    std::string dir, problem;
    const bool hasDir = TakeOption(args, "-o", dir, problem);
    if (!problem.empty())
        return Usage(BackupHelp, problem);
    if (hasDir && dir.empty())
        return Usage(BackupHelp, "-o needs a folder");
    TFleetRun run;
    if (int code = Prepare(args, BackupHelp, run); code >= 0)
        return code;
    const std::vector<std::string> keys{"file", "bytes", "sensors"};
    if (!hasDir) {
        // The program's history of configurations: each detector's folder, found by its address
        // and port, where the program's own reads and uploads are kept too.
        THistoryStore store(ComputeDataFolder() + "history/");
        std::mutex storeLock; // the store's label index is read and rewritten on every keep
        return Execute(
            "backup", run,
            [&](size_t i, const TSyncTarget& t) {
                const std::string label = run.Hosts[i].Caption;
                return FleetBackup(
                    t, [&, label](const std::string& bytes, std::string& file, std::string& error) {
                        std::lock_guard<std::mutex> hold(storeLock);
                        if (store.Keep(t.Host, t.Port, label, "read", bytes, error) ==
                            TKeepResult::Failed)
                            return false;
                        const auto kept = store.List(t.Host, t.Port, false);
                        file = kept.empty() ? store.FolderOf(t.Host, t.Port) : kept.back().Path;
                        return true;
                    });
            },
            keys);
    }
    std::vector<std::string> files, clash;
    if (int code = FilesInFolder(run, dir, ".xml", true, files, clash); code >= 0)
        return code;
    return Execute(
        "backup", run,
        [&](size_t i, const TSyncTarget& t) {
            if (!clash[i].empty()) {
                TFleetResult r;
                return r.Fail(clash[i]);
            }
            return FleetBackup(t, SaveToFile(files[i]));
        },
        keys);
}

// A plain decimal number, 0 or more, with "." whatever the user's locale, as scripts write it.
bool NonNegativeNumber(const std::string& text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value) &&
           value >= 0;
}

int RunDataDownload(std::vector<std::string>& args) {
    std::string daysText, dir, problem;
    const bool hasDays = TakeOption(args, "--days", daysText, problem);
    const bool hasDir = TakeOption(args, "-o", dir, problem);
    const bool raw = TakeFlag(args, "--raw");
    if (!problem.empty())
        return Usage(DataDownloadHelp, problem);
    double days = 0;
    if (hasDays && !NonNegativeNumber(daysText, days))
        return Usage(DataDownloadHelp,
                     "--days takes a number of days (0 or more), not " + daysText);
    if (!hasDir || dir.empty())
        return Usage(DataDownloadHelp, "-o DIR is needed");
    TFleetRun run;
    if (int code = Prepare(args, DataDownloadHelp, run); code >= 0)
        return code;
    std::vector<std::string> bases, clash;
    if (int code = FilesInFolder(run, dir, "", false, bases, clash); code >= 0)
        return code;
    // One start for the whole fleet, so every detector is asked for the same span.
    const std::string start = DownloadStartText(days, std::time(nullptr));
    return Execute("data-download", run,
                   [&](size_t i, const TSyncTarget& t) {
                       if (!clash[i].empty()) {
                           TFleetResult r;
                           return r.Fail(clash[i]);
                       }
                       return FleetDataDownload(t, start, bases[i], raw);
                   },
                   {"file", "bytes", "records"});
}

int RunTimeSync(std::vector<std::string>& args) {
    std::string limit, problem;
    const bool hasLimit = TakeOption(args, "--max-drift", limit, problem);
    if (!problem.empty())
        return Usage(TimeSyncHelp, problem);
    double maxDrift = 2;
    if (hasLimit && !NonNegativeNumber(limit, maxDrift))
        return Usage(TimeSyncHelp, "--max-drift takes seconds (0 or more), not " + limit);
    TFleetRun run;
    if (int code = Prepare(args, TimeSyncHelp, run); code >= 0)
        return code;
    return Execute("time-sync", run,
                   [maxDrift](size_t, const TSyncTarget& t) { return FleetTimeSync(t, maxDrift); },
                   {"drift_s", "synced"});
}

} // namespace

void AddFleetCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"fleet", "status"},
                     "firmware, clock drift and liquid level of every detector",
                     StatusHelp,
                     RunStatus,
                     true});
    table.push_back({{"fleet", "backup"},
                     "save the configuration of every detector",
                     BackupHelp,
                     RunBackup,
                     true});
    table.push_back(
        {{"fleet", "time-sync"}, "set the clocks that drifted", TimeSyncHelp, RunTimeSync, true});
    table.push_back({{"fleet", "data-download"},
                     "download the traffic data of every detector",
                     DataDownloadHelp,
                     RunDataDownload,
                     true});
}
