// kervola-cli: the command-line companion for scripts, field laptops and checks of
// configuration files. This file only dispatches: each command group lives in a file of its own.
#include "cli/Commands.h"
#include "kervola_version.h"

#include <algorithm>
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::vector<TCliCommand> CommandTable() {
    std::vector<TCliCommand> table;
    AddDocumentCommands(table);
    AddAdminCommands(table);
    AddDataCommands(table);
    AddCleaningCommands(table);
#ifdef KERVOLA_CLI_RECORD
    AddRecordCommands(table);
#endif
    AddHistoryCommands(table);
    AddZonesCommands(table);
    AddConfigDiffCommands(table);
    AddHostsCommands(table);
    AddFleetCommands(table);
    AddCountCheckCommands(table);
    return table;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

std::string MainHelp(const std::vector<TCliCommand>& table) {
    std::string help = "usage: kervola-cli COMMAND [ARGS]\n"
                       "       kervola-cli --help | --version | --commands\n\ncommands:\n";
    for (const TCliCommand& c : table) {
        std::string words = "  " + Joined(c.Words);
        words.resize(std::max<size_t>(words.size() + 1, 24), ' ');
        help += words + c.Summary + (c.Json ? " [--json]" : "") + "\n";
    }
    help += "\nRun 'kervola-cli COMMAND --help' for a command's details.\n"
            "Commands marked [--json] answer with one JSON document on standard output when given\n"
            "--json; their help names its keys.\n"
            "Exit codes: 0 success, 1 failure (a document, file or detector), 2 usage error.\n";
    return help;
}

// The command whose words start the arguments; the longest match wins, so "config get" is a
// command while "config FILE" stays the document command.
const TCliCommand* FindCommand(const std::vector<TCliCommand>& table,
                               const std::vector<std::string>& args) {
    const TCliCommand* best = nullptr;
    for (const TCliCommand& c : table) {
        if (c.Words.size() > args.size() ||
            !std::equal(c.Words.begin(), c.Words.end(), args.begin()))
            continue;
        if (!best || c.Words.size() > best->Words.size())
            best = &c;
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    // Numbers are written with the user's decimal separator, as the program does.
    std::setlocale(LC_NUMERIC, "");
    const std::vector<TCliCommand> table = CommandTable();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage(MainHelp(table), "no command given");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        std::cout << MainHelp(table);
        return ExitOk;
    }
    if (first == "--version") {
        std::cout << "kervola-cli " KERVOLA_VERSION "\n";
        return ExitOk;
    }
    if (first == "--commands") {
        // For shell completion: the command words, one command a line.
        for (const TCliCommand& c : table)
            std::cout << Joined(c.Words) << "\n";
        return ExitOk;
    }
    const TCliCommand* command = FindCommand(table, args);
    if (!command) {
        // A group word alone ("time") lists the commands of its group.
        std::string group;
        for (const TCliCommand& c : table)
            if (c.Words.size() > 1 && c.Words[0] == first)
                group += "  " + Joined(c.Words) + "\n";
        if (!group.empty())
            return Usage("commands of '" + first + "':\n" + group, "incomplete command " + first);
        return Usage(MainHelp(table), "unknown command " + first);
    }
    std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(command->Words.size()),
                                  args.end());
    if (WantsHelp(rest)) {
        std::cout << command->Help;
        return ExitOk;
    }
    // Known before the command reads its arguments, so that even a usage error answers in JSON.
    SetJsonAnswers(command->Json && std::find(rest.begin(), rest.end(), "--json") != rest.end());
    return command->Run(rest);
}
