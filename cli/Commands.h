#pragma once
// The command table of kervola-cli and the small helpers every command shares: exit codes, usage
// and failure lines, whole-file reads and writes. Each command group lives in a file of its own
// and adds its rows through an Add...Commands function called from main.cpp.

#include "platform/JsonWriter.h"

#include <functional>
#include <string>
#include <vector>

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

struct TCliCommand {
    std::vector<std::string> Words; // "config", "get"
    std::string Summary;            // one line for the main help
    std::string Help;               // the text of "WORDS --help"
    // The arguments after the command words; the handler returns the exit code.
    std::function<int(std::vector<std::string>&)> Run;
    // Takes --json: answers with one JSON document on standard output (marked in the main help).
    bool Json = false;
};

void AddDocumentCommands(std::vector<TCliCommand>& table);
void AddAdminCommands(std::vector<TCliCommand>& table);
void AddDataCommands(std::vector<TCliCommand>& table);
void AddCleaningCommands(std::vector<TCliCommand>& table);
// Only in a build with the toolkit: it draws with Qt Gui.
void AddRecordCommands(std::vector<TCliCommand>& table);
void AddHistoryCommands(std::vector<TCliCommand>& table);
void AddZonesCommands(std::vector<TCliCommand>& table);
void AddConfigDiffCommands(std::vector<TCliCommand>& table);
void AddHostsCommands(std::vector<TCliCommand>& table);
void AddFleetCommands(std::vector<TCliCommand>& table);
void AddCountCheckCommands(std::vector<TCliCommand>& table);

// Set by the dispatcher when a command that takes --json was given it: from then on a failure
// also answers {"ok": false, "error": ...} on standard output, so a script that parses standard
// output always gets JSON.
void SetJsonAnswers(bool on);
// The command's one JSON answer on standard output.
void WriteJson(const TJsonWriter& json);
// Under --json, the failure object on standard output; nothing otherwise. Only the first answer
// of a run is written, so standard output never holds two documents.
void JsonFailure(const std::string& error);

// "kervola-cli: PROBLEM", a blank line and the help text on standard error; exit code 2.
int Usage(const std::string& help, const std::string& problem);
// "kervola-cli: WHO: WHAT" on standard error; exit code 1.
int Fail(const std::string& who, const std::string& what);
// True when the arguments ask for help ("--help" or "-h" anywhere).
bool WantsHelp(const std::vector<std::string>& args);
// Takes "--name VALUE" out of args; false when absent. A missing value is a usage problem.
bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value,
                std::string& problem);
// Takes the flag out of args; true when it was there.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);
// The first argument that starts with "-" (an option nobody took), else empty.
std::string UnknownOption(const std::vector<std::string>& args);

void WriteBytes(const std::string& bytes);
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes through a temporary file in the same folder and renames it into place, so a failed
// write never leaves half a file where an older one stood.
bool WriteFileAtomic(const std::string& path, const std::string& bytes);
