#include "cli/Connection.h"

#include "addressbook/HostRecords.h"
#include "cli/Commands.h"
#include "platform/Folders.h"

#include <cstdlib>
#include <iostream>
#include <memory>

const char* const ConnectionHelp =
    "Connection options (anywhere after the command words):\n"
    "  --host H [--port P] [--login L] [--password W | --password-file FILE]\n"
    "                               the detector; port 8080, login root, password kvtp\n"
    "                               when not given\n"
    "  --detector NAME              the address-book entry (hosts.ini in the data folder)\n"
    "                               whose label is NAME, with its own login and password\n"
    "  --password-file FILE         the password is FILE's first line, kept out of ps and\n"
    "                               the shell's history\n"
    "The password is the first given of --password, --password-file and the environment\n"
    "variable KERVOLA_PASSWORD. A password file that cannot be read fails (exit 1).\n";

bool TakePassword(std::vector<std::string>& args, std::string& password, bool& explicitly,
                  std::string& problem) {
    std::string file;
    const bool hasPassword = TakeOption(args, "--password", password, problem);
    const bool hasFile = TakeOption(args, "--password-file", file, problem);
    explicitly = hasPassword || hasFile;
    if (hasPassword || !problem.empty())
        return hasPassword;
    if (hasFile) {
        std::string bytes;
        if (!ReadWholeFile(file, bytes)) {
            // The one option failure that is no usage error: the command line was right, the
            // file is not. Answered here so that every command refuses it alike.
            Fail(file, "cannot read the password file");
            std::exit(ExitFailure);
        }
        password = bytes.substr(0, bytes.find('\n'));
        if (!password.empty() && password.back() == '\r')
            password.pop_back();
        return true;
    }
    if (const char* value = std::getenv("KERVOLA_PASSWORD"); value && *value) {
        password = value;
        return true;
    }
    return false;
}

bool TakeConnectionOptions(std::vector<std::string>& args, TSyncTarget& target,
                           std::string& problem) {
    std::string host, port, login, password, label;
    const bool hasHost = TakeOption(args, "--host", host, problem);
    const bool hasPort = TakeOption(args, "--port", port, problem);
    const bool hasLogin = TakeOption(args, "--login", login, problem);
    const bool hasDetector = TakeOption(args, "--detector", label, problem);
    bool passwordOption = false;
    const bool hasPassword =
        problem.empty() && TakePassword(args, password, passwordOption, problem);
    if (!problem.empty())
        return false;
    if (hasDetector) {
        // The entry's own password serves: the variable stands in for --password only.
        if (hasHost || hasPort || hasLogin || passwordOption) {
            problem = "--detector takes no --host, --port, --login, --password or --password-file";
            return false;
        }
        std::vector<THostRec> records;
        const std::string file = ComputeDataFolder() + "hosts.ini";
        LoadHostsFile(file, records);
        for (const THostRec& r : records) {
            if (r.Caption == label) {
                target = {r.Address, r.Port, r.Login, r.Password};
                return true;
            }
        }
        problem = "no detector labelled \"" + label + "\" in " + file;
        return false;
    }
    if (!hasHost || host.empty()) {
        problem = "a detector is needed: --host H or --detector NAME";
        return false;
    }
    int portNumber = 8080;
    if (hasPort) {
        portNumber = PortFromText(port, -1);
        if (portNumber < 1 || portNumber > 65535) {
            problem = "--port takes 1..65535, not " + port;
            return false;
        }
    }
    target = {host, portNumber, hasLogin ? login : "root", hasPassword ? password : "kvtp"};
    return true;
}

std::string TargetName(const TSyncTarget& target) {
    return target.Host + ":" + std::to_string(target.Port);
}

namespace {
bool ProgressShown = false;
}

TProgressProc ProgressLine(const std::string& label) {
    auto lastPercent = std::make_shared<long long>(-1);
    return [label, lastPercent](long long total, long long done) {
        const long long percent = total > 0 ? done * 100 / total : 0;
        if (percent == *lastPercent)
            return;
        *lastPercent = percent;
        std::cerr << "\r" << label << ": " << done << "/" << total << " bytes (" << percent
                  << "%)" << std::flush;
        ProgressShown = true;
    };
}

void EndProgressLine() {
    if (ProgressShown)
        std::cerr << "\n";
    ProgressShown = false;
}

bool OpenOneShot(const TSyncTarget& target) {
    if (SyncLogin(target))
        return true;
    SyncClose();
    return false;
}

bool Exchange(const TSyncTarget& target, const std::string& command, std::string& reply) {
    reply.clear();
    if (!OpenOneShot(target))
        return false;
    std::string rest;
    if (!SyncSendText(command + "\r\n") || SyncReadLine(reply, rest) < 0)
        reply.clear();
    SyncClose();
    return true;
}
