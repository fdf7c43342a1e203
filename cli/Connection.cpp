#include "cli/Connection.h"

#include "addressbook/HostRecords.h"
#include "cli/Commands.h"
#include "platform/Folders.h"

#include <iostream>
#include <memory>

const char* const ConnectionHelp =
    "Connection options (anywhere after the command words):\n"
    "  --host H [--port P] [--login L] [--password W]\n"
    "                               the detector; port 8080, login root, password kvtp\n"
    "                               when not given\n"
    "  --detector NAME              the address-book entry (hosts.ini in the data folder)\n"
    "                               whose label is NAME\n";

bool TakeConnectionOptions(std::vector<std::string>& args, TSyncTarget& target,
                           std::string& problem) {
    std::string host, port, login, password, label;
    const bool hasHost = TakeOption(args, "--host", host, problem);
    const bool hasPort = TakeOption(args, "--port", port, problem);
    const bool hasLogin = TakeOption(args, "--login", login, problem);
    const bool hasPassword = TakeOption(args, "--password", password, problem);
    const bool hasDetector = TakeOption(args, "--detector", label, problem);
    if (!problem.empty())
        return false;
    if (hasDetector) {
        if (hasHost || hasPort || hasLogin || hasPassword) {
            problem = "--detector takes no --host, --port, --login or --password";
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
