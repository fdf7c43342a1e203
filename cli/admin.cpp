// The detector's administration on the command line: clock, network, reboots, buffered data,
// firmware, the configuration and the settings dialog's view of a configuration file. Every
// exchange is the program's own one-shot exchange.
#include "addressbook/HostRecords.h"
#include "channel/AdminText.h"
#include "channel/DetectorProtocol.h"
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "config/GXmlUtils.h"
#include "config/QuoteCheck.h"
#include "config/XMLConfig.h"
#include "platform/Folders.h"
#include "safeconfig/HistoryStore.h"
#include "settings/SettingsValues.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>

namespace {

std::string WithConnection(const std::string& usage, const std::string& text) {
    return usage + "\n" + text + "\n" + ConnectionHelp;
}

const std::string TimeGetHelp = WithConnection(
    "usage: kervola-cli time get [--json] CONNECTION",
    "Sends \"gt\" and prints the detector's time as the program reads it from the reply.\n"
    "  --json                       one JSON object: time (the detector's clock read as this\n"
    "                               machine's local time, ISO 8601 with its offset; null when\n"
    "                               the reply holds no valid time) and text (the time as sent)\n");
const std::string TimeSetHelp = WithConnection(
    "usage: kervola-cli time set (TEXT | --now) CONNECTION",
    "Sends \"st t=TEXT\" (with --now: the PC's local time as \"yyyy-MM-dd hh:mm:ss\", the date\n"
    "alone at midnight) and prints the reply line.");
const std::string NetworkGetHelp = WithConnection(
    "usage: kervola-cli network get [--json] CONNECTION",
    "Sends \"gn\" and \"gn ntp\" and prints \"address A\", \"netmask M\", \"gateway G\", "
    "\"dns D\"\n"
    "(those the detector reports), then \"ntp S1,S2,...\".\n"
    "  --json                       one JSON object: address, netmask, gateway, dns (null when\n"
    "                               the detector reports none) and ntp (an array of servers)\n");
const std::string RebootHelp = WithConnection(
    "usage: kervola-cli reboot (app | sys) CONNECTION",
    "Sends \"rb app\" (fast reboot) or \"rb sys\" (complete reboot). The connection to the\n"
    "detector ends; wait a few seconds (app) or a minute (sys) before reconnecting.");
const std::string DataDeleteHelp = WithConnection(
    "usage: kervola-cli data delete --yes CONNECTION",
    "Sends \"gb dele\": all buffered traffic data of the detector is lost. Without --yes\n"
    "nothing is sent.");
const std::string FirmwareHelp = WithConnection(
    "usage: kervola-cli firmware FILE CONNECTION",
    "Sends the firmware update FILE (at most 32 MiB) with its \"ud\" line; progress on standard\n"
    "error. Exit 0 when every byte was sent.");
const std::string ConfigGetHelp = WithConnection(
    "usage: kervola-cli config get [-o FILE] [--no-history] CONNECTION",
    "Reads the detector's configuration (\"gc\") and writes it byte for byte to standard output\n"
    "or to FILE (written whole or not at all). As the program does, a configuration that parses\n"
    "is kept as \"read\" in the detector's history (history/ in the data folder); a history that\n"
    "cannot be written is told on standard error and does not fail the command.\n"
    "  --no-history                 keep nothing in the history\n");
const std::string ConfigPutHelp = WithConnection(
    "usage: kervola-cli config put FILE [--no-history] CONNECTION",
    "Uploads FILE as the detector's configuration (\"sc s=N\" and the N bytes). Exit 0 when the\n"
    "detector reports that it received all N bytes; the upload is then kept as \"sent\" in the\n"
    "detector's history (history/ in the data folder), as the program does. A history that\n"
    "cannot be written is told on standard error and does not fail the command.\n"
    "  --no-history                 keep nothing in the history\n");
const std::string SettingsHelp =
    "usage: kervola-cli settings FILE [--json]\n"
    "       kervola-cli settings FILE --set KEY=VALUE ... [--out OUT]\n"
    "\n"
    "Without --set: prints the settings dialog's view of the configuration FILE, one key=value\n"
    "line per control (label, datainterval, jpegquality, miles, tcpport, login, pass, backup,\n"
    "classes, device, resolution, jpegrate, serial.port, serial.address, serial.baudrate,\n"
    "serial.proto), then one trigger=... line per trigger: what the dialog writes back.\n"
    "With --set: changes those keys as the dialog would (resolution: low, mid, high, full;\n"
    "jpegrate: low, mid, high; miles: 0 or 1; classes must pass the dialog's check; one or more\n"
    "trigger=TEXT replace the trigger list in order) and writes the document to OUT, or back to\n"
    "FILE through a temporary file. A value holding both ' and \" quotes or a line break is\n"
    "refused: the file could not store it as given. Nothing is sent to a detector.\n"
    "  --json   the listing as one JSON object with the keys above, \".\" made \"_\"\n"
    "           (serial_port, ...): datainterval, jpegquality, tcpport, backup and\n"
    "           serial_baudrate are numbers (null when the text stored is no whole number or\n"
    "           is missing), miles is true or false, the others are texts (null when missing),\n"
    "           and triggers is an array of the trigger texts.\n";

// Takes the connection options; a usage exit code when they are wrong, else -1.
int TakeTarget(std::vector<std::string>& args, const std::string& help, TSyncTarget& target) {
    std::string problem;
    if (!TakeConnectionOptions(args, target, problem))
        return Usage(help, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(help, "unknown option " + unknown);
    return -1;
}

int Unreachable(const TSyncTarget& target) {
    return Fail(TargetName(target), "cannot reach the detector");
}

// A command whose reply is only needed as a sign of life.
int SendCommand(const TSyncTarget& target, const std::string& command) {
    std::string reply;
    if (!Exchange(target, command, reply))
        return Unreachable(target);
    return ExitOk;
}

int SimpleCommand(std::vector<std::string>& args, const std::string& help,
                  const std::string& command) {
    TSyncTarget target;
    if (int usage = TakeTarget(args, help, target); usage >= 0)
        return usage;
    if (!args.empty())
        return Usage(help, "unexpected argument " + args[0]);
    return SendCommand(target, command);
}

// The detector's clock text as this machine's local time, the way the program compares the two
// clocks; a date alone is midnight, as the detector writes it then.
std::optional<std::time_t> DetectorClock(std::string text) {
    if (text.size() == 10)
        text += " 00:00:00";
    std::optional<std::tm> t = ParseDetectorTime(text);
    if (!t)
        return std::nullopt;
    const std::time_t seconds = std::mktime(&*t);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return seconds;
}

int RunTimeGet(std::vector<std::string>& args) {
    const bool json = TakeFlag(args, "--json");
    TSyncTarget target;
    if (int usage = TakeTarget(args, TimeGetHelp, target); usage >= 0)
        return usage;
    if (!args.empty())
        return Usage(TimeGetHelp, "unexpected argument " + args[0]);
    std::string reply;
    if (!Exchange(target, "gt", reply))
        return Unreachable(target);
    if (reply.empty())
        return Fail(TargetName(target), "no answer to \"gt\"");
    const std::string text = ParseTimeReply(reply);
    if (!json) {
        std::cout << text << "\n";
        return ExitOk;
    }
    TJsonWriter answer;
    answer.BeginObject().Key("time");
    if (const std::optional<std::time_t> clock = DetectorClock(text))
        answer.Time(*clock);
    else
        answer.Null();
    answer.Key("text").String(text).EndObject();
    WriteJson(answer);
    return ExitOk;
}

int RunTimeSet(std::vector<std::string>& args) {
    const bool now = TakeFlag(args, "--now");
    TSyncTarget target;
    if (int usage = TakeTarget(args, TimeSetHelp, target); usage >= 0)
        return usage;
    if (now == !args.empty() || args.size() > 1)
        return Usage(TimeSetHelp, "time set needs either TEXT or --now");
    std::string text;
    if (now) {
        const std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        text = FormatDetectorTime(local);
    } else {
        text = args[0];
    }
    std::string reply;
    if (!Exchange(target, "st t=" + text, reply))
        return Unreachable(target);
    if (reply.empty())
        return Fail(TargetName(target), "no answer to \"st\"");
    std::cout << reply << "\n";
    return ExitOk;
}

void OptionalText(TJsonWriter& json, const std::string& key,
                  const std::optional<std::string>& value) {
    json.Key(key);
    value ? json.String(*value) : json.Null();
}

int RunNetworkGet(std::vector<std::string>& args) {
    const bool json = TakeFlag(args, "--json");
    TSyncTarget target;
    if (int usage = TakeTarget(args, NetworkGetHelp, target); usage >= 0)
        return usage;
    if (!args.empty())
        return Usage(NetworkGetHelp, "unexpected argument " + args[0]);
    std::string network, ntp;
    if (!Exchange(target, "gn", network) || !Exchange(target, "gn ntp", ntp))
        return Unreachable(target);
    if (network.empty())
        return Fail(TargetName(target), "no answer to \"gn\"");
    const TNetworkFields fields = ParseNetworkReply(network);
    if (json) {
        TJsonWriter answer;
        answer.BeginObject();
        OptionalText(answer, "address", fields.Address);
        OptionalText(answer, "netmask", fields.Netmask);
        OptionalText(answer, "gateway", fields.Gateway);
        OptionalText(answer, "dns", fields.Dns);
        answer.Key("ntp").BeginArray();
        for (const std::string& s : ParseNtpReply(ntp))
            answer.String(s);
        answer.EndArray().EndObject();
        WriteJson(answer);
        return ExitOk;
    }
    std::string out;
    if (fields.Address)
        out += "address " + *fields.Address + "\n";
    if (fields.Netmask)
        out += "netmask " + *fields.Netmask + "\n";
    if (fields.Gateway)
        out += "gateway " + *fields.Gateway + "\n";
    if (fields.Dns)
        out += "dns " + *fields.Dns + "\n";
    std::string servers;
    for (const std::string& s : ParseNtpReply(ntp))
        servers += (servers.empty() ? "" : ",") + s;
    out += "ntp " + servers + "\n";
    WriteBytes(out);
    return ExitOk;
}

int RunDataDelete(std::vector<std::string>& args) {
    const bool yes = TakeFlag(args, "--yes");
    TSyncTarget target;
    if (int usage = TakeTarget(args, DataDeleteHelp, target); usage >= 0)
        return usage;
    if (!args.empty())
        return Usage(DataDeleteHelp, "unexpected argument " + args[0]);
    if (!yes)
        return Usage(DataDeleteHelp, "all buffered data would be lost: confirm with --yes");
    return SendCommand(target, "gb dele");
}

int RunFirmware(std::vector<std::string>& args) {
    TSyncTarget target;
    if (int usage = TakeTarget(args, FirmwareHelp, target); usage >= 0)
        return usage;
    if (args.size() != 1)
        return Usage(FirmwareHelp, "firmware needs exactly one FILE");
    const std::string& file = args[0];
    std::string problem;
    if (!CheckUpdateFile(file, &problem))
        return Fail(file, problem);
    if (!OpenOneShot(target))
        return Unreachable(target);
    const bool sent = SendUpdateFile(file, ProgressLine("firmware"));
    SyncClose();
    EndProgressLine();
    if (!sent)
        return Fail(TargetName(target), "firmware update not sent whole");
    return ExitOk;
}

// Keeps a configuration in the detector's history as the program does; a failure to keep it
// is told but never undoes the transfer.
void KeepInHistory(const TSyncTarget& target, const std::string& kind, const std::string& text) {
    THistoryStore store(ComputeDataFolder() + "history/");
    // The program labels a detector with its address-book entry; a detector the book does not
    // hold keeps the label it has.
    std::string label = store.LabelOf(target.Host, target.Port);
    std::vector<THostRec> book;
    LoadHostsFile(ComputeDataFolder() + "hosts.ini", book);
    for (const THostRec& r : book) {
        if (r.Address == target.Host && r.Port == target.Port) {
            label = r.Caption;
            break;
        }
    }
    std::string problem;
    if (store.Keep(target.Host, target.Port, label, kind, text, problem) == TKeepResult::Failed)
        std::cerr << "kervola-cli: " << TargetName(target) << ": history not written: " << problem
                  << "\n";
}

int RunConfigGet(std::vector<std::string>& args) {
    std::string out, problem;
    const bool noHistory = TakeFlag(args, "--no-history");
    const bool hasOut = TakeOption(args, "-o", out, problem);
    if (!problem.empty())
        return Usage(ConfigGetHelp, problem);
    TSyncTarget target;
    if (int usage = TakeTarget(args, ConfigGetHelp, target); usage >= 0)
        return usage;
    if (!args.empty())
        return Usage(ConfigGetHelp, "unexpected argument " + args[0]);
    if (!OpenOneShot(target))
        return Unreachable(target);
    std::vector<std::uint8_t> buffer(TransferBufferSize);
    // The channel's progress carries the announced size: a body cut short is no configuration.
    long long announced = 0;
    const size_t n = SyncRequestBlock("gc\r\n", buffer.data(), buffer.size(),
                                      [&announced](long long total, long long) { announced = total; });
    SyncClose();
    if (n == 0)
        return Fail(TargetName(target), "no configuration received");
    if (static_cast<long long>(n) < announced)
        return Fail(TargetName(target), "configuration cut short: " + std::to_string(n) + " of " +
                                            std::to_string(announced) + " bytes received");
    const std::string body(reinterpret_cast<const char*>(buffer.data()), n);
    if (!hasOut) {
        WriteBytes(body);
    } else if (!WriteFileAtomic(out, body)) {
        return Fail(out, "cannot write the file");
    }
    // Only a document is history: the program keeps what it could read as one.
    if (!noHistory && TXMLConfig().LoadFromText(body))
        KeepInHistory(target, "read", body);
    return ExitOk;
}

int RunConfigPut(std::vector<std::string>& args) {
    const bool noHistory = TakeFlag(args, "--no-history");
    TSyncTarget target;
    if (int usage = TakeTarget(args, ConfigPutHelp, target); usage >= 0)
        return usage;
    if (args.size() != 1)
        return Usage(ConfigPutHelp, "config put needs exactly one FILE");
    std::string bytes;
    if (!ReadWholeFile(args[0], bytes))
        return Fail(args[0], "cannot read the file");
    if (bytes.size() > TransferBufferSize)
        return Fail(args[0], "larger than the detector's 32 MiB transfer buffer");
    if (!OpenOneShot(target))
        return Unreachable(target);
    std::string reply, rest;
    const bool sent = SyncSendText("sc s=" + std::to_string(bytes.size()) + "\r\n") &&
                      SyncSendText(bytes) && SyncReadLine(reply, rest) >= 0;
    SyncClose();
    long long received = 0;
    if (!sent || !AnnouncedCount(reply, received))
        received = 0;
    if (received != static_cast<long long>(bytes.size()))
        return Fail(TargetName(target), "upload check failed: sent " +
                                            std::to_string(bytes.size()) +
                                            ", detector received " + std::to_string(received));
    if (!noHistory)
        KeepInHistory(target, "sent", bytes);
    return ExitOk;
}

// A whole number as scripts and the detector write it; nothing else around it.
bool WholeNumber(const std::string& text, long long& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

void WriteSettingsJson(const TXMLNode* top) {
    TJsonWriter answer;
    answer.BeginObject();
    for (const TSettingsRow& row : SettingsRows(top)) {
        std::string key = row.Key;
        std::replace(key.begin(), key.end(), '.', '_');
        answer.Key(key);
        if (!row.Value) {
            answer.Null();
        } else if (row.Kind == TSettingKind::Flag) {
            answer.Bool(*row.Value == "1");
        } else if (row.Kind == TSettingKind::WholeNumber) {
            long long number = 0;
            WholeNumber(*row.Value, number) ? answer.Number(number) : answer.Null();
        } else {
            answer.String(*row.Value);
        }
    }
    answer.Key("triggers").BeginArray();
    for (const std::string& trigger : SettingsTriggers(top))
        answer.String(trigger);
    answer.EndArray().EndObject();
    WriteJson(answer);
}

int RunSettings(std::vector<std::string>& args) {
    const bool json = TakeFlag(args, "--json");
    std::string out, problem;
    const bool hasOut = TakeOption(args, "--out", out, problem);
    std::vector<std::pair<std::string, std::string>> sets;
    for (std::string set; TakeOption(args, "--set", set, problem);) {
        const size_t eq = set.find('=');
        if (eq == std::string::npos)
            return Usage(SettingsHelp, "--set takes KEY=VALUE, not " + set);
        sets.emplace_back(set.substr(0, eq), set.substr(eq + 1));
    }
    if (!problem.empty())
        return Usage(SettingsHelp, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(SettingsHelp, "unknown option " + unknown);
    if (args.size() != 1)
        return Usage(SettingsHelp, "settings needs exactly one FILE");
    if (hasOut && sets.empty())
        return Usage(SettingsHelp, "--out goes with --set");
    if (json && !sets.empty())
        return Usage(SettingsHelp, "--json goes with the listing, not with --set");
    const std::string& file = args[0];
    TXMLConfig config;
    if (!config.LoadFromFile(file)) {
        if (XMLErrorCode == 0)
            return Fail(file, "cannot read the file");
        return Fail(file, "XML error " + std::to_string(XMLErrorCode) + " at " +
                              std::to_string(XMLErrorPos));
    }
    TSettingsValues values;
    LoadFromDocument(values, config.TopNode.get());
    bool triggersSet = false;
    for (const auto& [key, value] : sets) {
        if (key == "trigger") {
            if (HoldsBothQuotes(value))
                return Usage(SettingsHelp, BothQuotesRefusal(key));
            if (HoldsLineEnd(value))
                return Usage(SettingsHelp, LineEndRefusal(key));
            if (!triggersSet)
                values.Triggers.clear();
            triggersSet = true;
            values.Triggers.push_back(value);
            continue;
        }
        if (std::string refused = ApplySetting(values, key, value); !refused.empty())
            return Usage(SettingsHelp, refused);
    }
    StoreToDocument(values, config.TopNode.get());
    if (json) {
        WriteSettingsJson(config.TopNode.get());
        return ExitOk;
    }
    if (sets.empty()) {
        WriteBytes(SettingsListing(config.TopNode.get()));
        return ExitOk;
    }
    const std::string target = hasOut ? out : file;
    if (!WriteFileAtomic(target, config.AsText()))
        return Fail(target, "cannot write the file");
    return ExitOk;
}

} // namespace

void AddAdminCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"time", "get"}, "read the detector's clock", TimeGetHelp, RunTimeGet, true});
    table.push_back({{"time", "set"}, "set the detector's clock", TimeSetHelp, RunTimeSet});
    table.push_back({{"network", "get"},
                     "read the detector's network settings",
                     NetworkGetHelp,
                     RunNetworkGet,
                     true});
    table.push_back({{"reboot", "app"}, "fast reboot of the detector", RebootHelp,
                     [](std::vector<std::string>& a) { return SimpleCommand(a, RebootHelp, "rb app"); }});
    table.push_back({{"reboot", "sys"}, "complete reboot of the detector", RebootHelp,
                     [](std::vector<std::string>& a) { return SimpleCommand(a, RebootHelp, "rb sys"); }});
    table.push_back({{"data", "delete"}, "delete the detector's buffered traffic data",
                     DataDeleteHelp, RunDataDelete});
    table.push_back({{"firmware"}, "update the detector's firmware", FirmwareHelp, RunFirmware});
    table.push_back({{"config", "get"}, "read the detector's configuration", ConfigGetHelp,
                     RunConfigGet});
    table.push_back({{"config", "put"}, "upload a configuration into the detector", ConfigPutHelp,
                     RunConfigPut});
    table.push_back({{"settings"},
                     "the settings dialog's view of a configuration file, or change it",
                     SettingsHelp,
                     RunSettings,
                     true});
}
