#include "cli/Commands.h"

#include "data/DataDownload.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool JsonMode = false;
bool Answered = false;

} // namespace

void SetJsonAnswers(bool on) {
    JsonMode = on;
}

void WriteJson(const TJsonWriter& json) {
    if (Answered)
        return;
    Answered = true;
    WriteBytes(json.Text());
}

void JsonFailure(const std::string& error) {
    if (!JsonMode)
        return;
    TJsonWriter json;
    json.BeginObject().Key("ok").Bool(false).Key("error").String(error).EndObject();
    WriteJson(json);
}

int Usage(const std::string& help, const std::string& problem) {
    std::cerr << "kervola-cli: " << problem << "\n\n" << help;
    JsonFailure(problem);
    return ExitUsage;
}

int Fail(const std::string& who, const std::string& what) {
    std::cerr << "kervola-cli: " << who << ": " << what << "\n";
    JsonFailure(who + ": " + what);
    return ExitFailure;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value,
                std::string& problem) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != name)
            continue;
        if (i + 1 >= args.size()) {
            problem = name + " needs a value";
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            return false;
        }
        value = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return true;
    }
    return false;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == name) {
            args.erase(it);
            return true;
        }
    }
    return false;
}

std::string UnknownOption(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a.size() > 1 && a.front() == '-')
            return a;
    return {};
}

void WriteBytes(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes) {
    return WriteFileReplacing(path, bytes);
}
