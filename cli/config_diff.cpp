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
    "usage: kervola-cli config diff A B [--json]\n"
    "\n"
    "Prints the line difference from file A to file B in the unified style: \"--- A\",\n"
    "\"+++ B\", then hunks headed \"@@ -LINE,COUNT +LINE,COUNT @@\" whose lines start with '-'\n"
    "(only in A), '+' (only in B) or a blank (unchanged context, three lines around each\n"
    "change). Line ends (CR LF, LF, CR) are not part of the lines; files that differ only in\n"
    "them are reported in one line.\n"
    "  --json   one JSON object: a and b (the files), same, line_ends_only, and hunks, an\n"
    "           array of objects with old_start, old_count, new_start, new_count and lines,\n"
    "           each line an object with kind (context, removed or added), old_line and\n"
    "           new_line (1-based; null on the side the line is not in) and text\n"
    "Exit codes: 0 the files are the same, 1 they differ, 2 a file cannot be read or usage.\n";

const char* KindWord(char kind) {
    switch (kind) {
    case '-':
        return "removed";
    case '+':
        return "added";
    default:
        return "context";
    }
}

int WriteDiffJson(const std::string& nameA, const std::string& nameB, const std::string& a,
                  const std::string& b) {
    const std::vector<TDiffHunk> hunks = DiffHunks(DiffLines(TextLines(a), TextLines(b)));
    TJsonWriter answer;
    answer.BeginObject().Key("a").String(nameA).Key("b").String(nameB);
    answer.Key("same").Bool(a == b).Key("line_ends_only").Bool(a != b && hunks.empty());
    answer.Key("hunks").BeginArray();
    for (const TDiffHunk& h : hunks) {
        answer.BeginObject()
            .Key("old_start")
            .Number(h.OldStart)
            .Key("old_count")
            .Number(h.OldCount);
        answer.Key("new_start").Number(h.NewStart).Key("new_count").Number(h.NewCount);
        answer.Key("lines").BeginArray();
        for (const TDiffLine& line : h.Lines) {
            answer.BeginObject().Key("kind").String(KindWord(line.Kind)).Key("old_line");
            line.Kind == '+' ? answer.Null() : answer.Number(line.OldBefore + 1);
            answer.Key("new_line");
            line.Kind == '-' ? answer.Null() : answer.Number(line.NewBefore + 1);
            answer.Key("text").String(line.Text).EndObject();
        }
        answer.EndArray().EndObject();
    }
    answer.EndArray().EndObject();
    WriteJson(answer);
    return a == b ? ExitSame : ExitDifferent;
}

int RunConfigDiff(std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << ConfigDiffHelp;
        return ExitOk;
    }
    const bool json = TakeFlag(args, "--json");
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
    if (json)
        return WriteDiffJson(args[0], args[1], a, b);
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
                     ConfigDiffHelp,
                     RunConfigDiff,
                     true});
}
