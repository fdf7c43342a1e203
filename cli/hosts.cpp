// The address book on the command line: hosts.ini read and written with the program's rules
// (its format, mode 0600, written whole through a temporary file, bytes of untouched entries
// kept, a damaged file kept beside the entries recovered from it).
#include "addressbook/HostRecords.h"
#include "addressbook/HostsImport.h"
#include "cli/AddressBook.h"
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "config/QuoteCheck.h"
#include "fleet/FleetReport.h"
#include "platform/FileReplace.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iostream>

namespace {

const std::string ListHelp = "usage: kervola-cli hosts list [--json]\n"
                             "\n"
                             "Prints the address book (hosts.ini in the data folder): label,\n"
                             "address, port and created, in aligned columns after a header line.\n"
                             "  --json   a JSON array, one object per entry: label, address, port\n"
                             "           and created (ISO 8601 with the offset; null when never\n"
                             "           set)\n";
const std::string AddHelp =
    "usage: kervola-cli hosts add LABEL ADDRESS [--port P] [--login L] [--password W |\n"
    "         --password-file FILE]\n"
    "\n"
    "Appends an entry to the address book; port 8080, login root and password kvtp when not\n"
    "given. ADDRESS must be a dotted IPv4 address. A label that is already listed is refused\n"
    "(import a table to change entries in place).\n"
    "The password is the first given of --password, the first line of FILE (kept out of ps\n"
    "and the shell's history) and the environment variable KERVOLA_PASSWORD. A password file\n"
    "that cannot be read fails (exit 1).\n";
const std::string RemoveHelp =
    "usage: kervola-cli hosts remove LABEL\n"
    "\n"
    "Removes the entries labelled LABEL. As in the program, the last entry cannot be removed.\n";
const std::string ImportHelp =
    "usage: kervola-cli hosts import FILE.csv [--skip-bad]\n"
    "\n"
    "Adds the rows of a comma-separated table to the address book. Its first line names the\n"
    "columns: label and address, and optionally port, login and password (any order and case;\n"
    "fields may be in double quotes). A label already listed updates that entry in its place.\n"
    "Empty port, login or password: 8080, root, kvtp.\n"
    "Prints one line per row: its line number in FILE (the header is line 1) and \"taken\",\n"
    "\"updated\" or \"refused\" with the reason (an empty label, a bad address, a port outside\n"
    "1-65535). When any row is refused nothing is written and the exit code is 1, unless\n"
    "--skip-bad is given: then the good rows are written and the exit code is 0.\n";

// The folder may not exist yet on a machine where the program never ran.
bool Save(const std::vector<THostRec>& records) {
    const std::string path = HostsPath();
    std::string error, ignored; // a folder that cannot be made shows when the file is written
    MakePrivateFolders(std::filesystem::path(path).parent_path().string(), ignored);
    if (SaveHostsFile(path, records, &error))
        return true;
    Fail(path, error);
    return false;
}

int RunList(std::vector<std::string>& args) {
    const bool json = TakeFlag(args, "--json");
    if (!args.empty())
        return Usage(ListHelp, "unexpected argument " + args[0]);
    std::vector<THostRec> records;
    bool missing = false;
    if (!LoadAddressBook(records, false, missing))
        return ExitFailure;
    if (missing)
        return Fail(HostsPath(), "not found");
    if (json) {
        TJsonWriter answer;
        answer.BeginArray();
        for (const THostRec& r : records) {
            answer.BeginObject().Key("label").String(r.Caption).Key("address").String(r.Address);
            answer.Key("port").Number(r.Port).Key("created");
            r.Created == 0 ? answer.Null() : answer.Time(r.Created);
            answer.EndObject();
        }
        answer.EndArray();
        WriteJson(answer);
        return ExitOk;
    }
    std::vector<std::vector<std::string>> rows{{"LABEL", "ADDRESS", "PORT", "CREATED"}};
    for (const THostRec& r : records)
        rows.push_back({r.Caption, r.Address, std::to_string(r.Port), FormatCreated(r.Created)});
    WriteBytes(AlignColumns(rows));
    return ExitOk;
}

int RunAdd(std::vector<std::string>& args) {
    std::string port, login = "root", password = "kvtp", problem;
    const bool hasPort = TakeOption(args, "--port", port, problem);
    TakeOption(args, "--login", login, problem);
    bool passwordOption = false;
    if (problem.empty())
        TakePassword(args, password, passwordOption, problem);
    if (!problem.empty())
        return Usage(AddHelp, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(AddHelp, "unknown option " + unknown);
    if (args.size() != 2)
        return Usage(AddHelp, "a label and an address are needed");
    const std::string& label = args[0];
    const std::string& address = args[1];
    if (label.empty())
        return Usage(AddHelp, "the label is empty");
    for (const auto& [field, value] : {std::pair<const char*, const std::string&>{"LABEL", label},
                                       {"--login", login},
                                       {"--password", password}})
        if (HoldsBothQuotes(value))
            return Usage(AddHelp, BothQuotesRefusal(field));
    if (!IsValidIpAddress(address))
        return Usage(AddHelp, "not a dotted IPv4 address: " + address);
    int portNumber = 8080;
    if (hasPort) {
        portNumber = PortFromText(port, -1);
        if (portNumber < 1 || portNumber > 65535)
            return Usage(AddHelp, "--port takes 1..65535, not " + port);
    }

    std::vector<THostRec> records;
    bool missing = false;
    if (!LoadAddressBook(records, true, missing))
        return ExitFailure;
    if (std::any_of(records.begin(), records.end(),
                    [&label](const THostRec& r) { return r.Caption == label; }))
        return Fail(HostsPath(), "an entry labelled \"" + label + "\" exists already");
    if (missing)
        std::cerr << "kervola-cli: " << HostsPath() << " not found; a new one is created\n";
    records.push_back({label, address, portNumber, login, password, std::time(nullptr)});
    return Save(records) ? ExitOk : ExitFailure;
}

int RunRemove(std::vector<std::string>& args) {
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(RemoveHelp, "unknown option " + unknown);
    if (args.size() != 1)
        return Usage(RemoveHelp, "one label is needed");
    const std::string& label = args[0];
    std::vector<THostRec> records;
    bool missing = false;
    if (!LoadAddressBook(records, true, missing))
        return ExitFailure;
    if (missing)
        return Fail(HostsPath(), "not found");
    const size_t before = records.size();
    std::erase_if(records, [&label](const THostRec& r) { return r.Caption == label; });
    if (records.size() == before)
        return Fail(HostsPath(), "no entry labelled \"" + label + "\"");
    // The file layer keeps a file with entries rather than write an empty list, so removing
    // the last entry would only seem to work.
    if (records.empty())
        return Fail(HostsPath(), "\"" + label + "\" is the last entry; the address book keeps one");
    if (!Save(records))
        return ExitFailure;
    std::cerr << "kervola-cli: removed " << before - records.size() << " entr"
              << (before - records.size() == 1 ? "y" : "ies") << " labelled \"" << label << "\"\n";
    return ExitOk;
}

int RunImport(std::vector<std::string>& args) {
    const bool skipBad = TakeFlag(args, "--skip-bad");
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(ImportHelp, "unknown option " + unknown);
    if (args.size() != 1)
        return Usage(ImportHelp, "one CSV file is needed");
    const std::string& file = args[0];
    std::string csv;
    if (!ReadWholeFile(file, csv))
        return Fail(file, "cannot read the file");

    std::vector<THostRec> records;
    bool missing = false;
    if (!LoadAddressBook(records, true, missing))
        return ExitFailure;
    const TImportResult result = ImportHostsCsv(csv, records, std::time(nullptr));
    if (!result.Problem.empty())
        return Fail(file, result.Problem);

    std::string report;
    for (const TImportRow& row : result.Rows) {
        report += "line " + std::to_string(row.Line) + ": ";
        switch (row.Outcome) {
        case TImportOutcome::Taken:
            report += "taken " + row.Label + "\n";
            break;
        case TImportOutcome::Updated:
            report += "updated " + row.Label + "\n";
            break;
        case TImportOutcome::Refused:
            report += "refused " + row.Label + ": " + row.Reason + "\n";
            break;
        }
    }
    WriteBytes(report);
    const int taken = result.Count(TImportOutcome::Taken);
    const int updated = result.Count(TImportOutcome::Updated);
    const int refused = result.Count(TImportOutcome::Refused);
    std::cerr << "kervola-cli: " << file << ": " << taken << " taken, " << updated << " updated, "
              << refused << " refused\n";
    if (refused > 0 && !skipBad)
        return Fail(HostsPath(), "not changed, since rows were refused (--skip-bad writes the "
                                 "others)");
    if (taken + updated == 0)
        return ExitOk;
    if (missing)
        std::cerr << "kervola-cli: " << HostsPath() << " not found; a new one is created\n";
    return Save(records) ? ExitOk : ExitFailure;
}

} // namespace

void AddHostsCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"hosts", "list"}, "list the address book", ListHelp, RunList, true});
    table.push_back({{"hosts", "add"}, "add a detector to the address book", AddHelp, RunAdd});
    table.push_back(
        {{"hosts", "remove"}, "remove a detector from the address book", RemoveHelp, RunRemove});
    table.push_back({{"hosts", "import"},
                     "add or update address-book entries from a CSV table",
                     ImportHelp,
                     RunImport});
}
