// Traffic data on the command line: the download the program's "Receive data file" does, and the
// conversion of a file of records into the text table. Both run the program's own code.
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "data/DataDownload.h"
#include "data/velt_data.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <iostream>

namespace {

const std::string ConvertHelp =
    "usage: kervola-cli data convert --record-size 136|144|288 IN [-o OUT]\n"
    "\n"
    "Converts the records of IN (bytes as a detector sends them) into the text table: one line\n"
    "per record, columns separated by \",\", every line ended by CR LF, times in local standard\n"
    "time. The table goes to standard output, or to OUT (written whole or not at all). A file\n"
    "that is not a whole number of records is refused and nothing is written.\n";

const std::string DownloadHelp =
    "usage: kervola-cli data download [--days N] -o FILE CONNECTION\n"
    "\n"
    "Downloads the detector's buffered traffic data as the program does: \"gv\" for the firmware\n"
    "number, then \"gd\" below 38, or \"gb stat\" and \"gb ltim=START,0\" from 38 on. FILE gets\n"
    "the bytes as received when it ends in .bin (any case) or the firmware is below 38, else\n"
    "the text table. --days N (default 0: all data) asks for the last N days only, counted back\n"
    "from now on the local clock; fractions are allowed. Prints the byte and record counts;\n"
    "progress on standard error. An empty answer fails (exit 1) and leaves an empty table.\n"
    "\n" +
    std::string(ConnectionHelp);

int RunConvert(std::vector<std::string>& args) {
    std::string sizeText, out, problem;
    const bool hasSize = TakeOption(args, "--record-size", sizeText, problem);
    const bool hasOut = TakeOption(args, "-o", out, problem);
    if (!problem.empty())
        return Usage(ConvertHelp, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(ConvertHelp, "unknown option " + unknown);
    if (!hasSize)
        return Usage(ConvertHelp, "--record-size is needed");
    int size = 0;
    const auto [end, error] =
        std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
    if (error != std::errc() || end != sizeText.data() + sizeText.size() ||
        !IsKnownRecordSize(size))
        return Usage(ConvertHelp, "--record-size takes 136, 144 or 288, not " + sizeText);
    if (args.size() != 1)
        return Usage(ConvertHelp, args.empty() ? "IN is needed" : "more than one IN");
    const std::string& in = args[0];
    std::string bytes;
    if (!ReadWholeFile(in, bytes))
        return Fail(in, "cannot read the file");
    std::string table;
    if (!RecordsToText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), size,
                       StandardBiasMinutes(), table))
        return Fail(in, std::to_string(bytes.size()) + " bytes are not a whole number of " +
                            sizeText + "-byte records");
    if (!hasOut) {
        WriteBytes(table);
        return ExitOk;
    }
    if (!WriteFileAtomic(out, table))
        return Fail(out, "cannot write the file");
    return ExitOk;
}

// A plain decimal number of days, the same in every locale, so scripts read alike everywhere.
bool DaysFromText(const std::string& text, double& days) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(days) &&
           days >= 0;
}

int RunDownload(std::vector<std::string>& args) {
    std::string daysText, file, problem;
    const bool hasDays = TakeOption(args, "--days", daysText, problem);
    const bool hasFile = TakeOption(args, "-o", file, problem);
    TSyncTarget target;
    if (!problem.empty() || !TakeConnectionOptions(args, target, problem))
        return Usage(DownloadHelp, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(DownloadHelp, "unknown option " + unknown);
    if (!args.empty())
        return Usage(DownloadHelp, "unexpected argument " + args[0]);
    if (!hasFile || file.empty())
        return Usage(DownloadHelp, "-o FILE is needed");
    double days = 0;
    if (hasDays && !DaysFromText(daysText, days))
        return Usage(DownloadHelp, "--days takes a number of days (0 or more), not " + daysText);

    std::string reply;
    if (!Exchange(target, "gv", reply))
        return Fail(TargetName(target), "cannot reach the detector");
    // The firmware text is what follows the "=" of the reply, as on the main connection.
    const std::size_t equal = reply.find('=');
    const std::string version =
        equal == std::string::npos ? std::string() : reply.substr(equal + 1);

    TDownloadRequest request;
    request.Target = target;
    request.Firmware = FirmwareNumber(version);
    request.StartText = DownloadStartText(days, std::time(nullptr));
    request.File = file;
    request.Progress = ProgressLine("download");
    const TDownloadOutcome outcome = DownloadDataFile(request);
    EndProgressLine();
    switch (outcome.Status) {
    case TDownloadStatus::Done:
        std::cout << DescribeOutcome(outcome) << "\n";
        return ExitOk;
    case TDownloadStatus::WriteError:
        return Fail(file, "cannot write the file");
    case TDownloadStatus::NoData:
        if (outcome.Table)
            return Fail(TargetName(target), "no data (" + file + " is left empty)");
        return Fail(TargetName(target), "no data");
    default:
        return Fail(TargetName(target), DescribeOutcome(outcome));
    }
}

} // namespace

void AddDataCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"data", "convert"},
                     "a file of traffic data records as the text table",
                     ConvertHelp,
                     RunConvert});
    table.push_back({{"data", "download"},
                     "download the detector's traffic data (bytes or text table)",
                     DownloadHelp,
                     RunDownload});
}
