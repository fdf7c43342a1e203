// The line difference of two configuration files, as the program shows it before an upload.
#include "cli/Commands.h"
#include "safeconfig/LineDiff.h"

#include <iostream>

namespace {

// Exit codes as diff has them: 0 same, 1 different, 2 trouble.
constexpr int ExitSame = 0;
constexpr int ExitDifferent = 1;
constexpr int ExitTrouble = 2;

const char* const ConfigDiffHelp =
    "usage: kervola-cli config diff A B\n"
    "\n"
    "Prints the line difference from file A to file B in the unified style: \"--- A\",\n"
    "\"+++ B\", then hunks headed \"@@ -LINE,COUNT +LINE,COUNT @@\" whose lines start with '-'\n"
    "(only in A), '+' (only in B) or a blank (unchanged context, three lines around each\n"
    "change). Line ends (CR LF, LF, CR) are not part of the lines; files that differ only in\n"
    "them are reported in one line.\n"
    "Exit codes: 0 the files are the same, 1 they differ, 2 a file cannot be read or usage.\n";

int RunConfigDiff(std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << ConfigDiffHelp;
        return ExitOk;
    }
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(ConfigDiffHelp, "unknown option " + unknown);
    if (args.size() != 2)
        return Usage(ConfigDiffHelp, "config diff needs two files");
    std::string a, b;
    for (const auto& [path, bytes] : {std::pair{&args[0], &a}, std::pair{&args[1], &b}}) {
        if (!ReadWholeFile(*path, *bytes)) {
            Fail(*path, "cannot read the file");
            return ExitTrouble;
        }
    }
    if (a == b)
        return ExitSame;
    const std::string diff = UnifiedDiff(a, b, args[0], args[1]);
    WriteBytes(diff.empty() ? "Files " + args[0] + " and " + args[1] +
                                  " differ only in line ends\n"
                            : diff);
    return ExitDifferent;
}

} // namespace

void AddConfigDiffCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"config", "diff"},
                     "show the line difference of two configuration files",
                     ConfigDiffHelp, RunConfigDiff});
}
