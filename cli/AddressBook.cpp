#include "cli/AddressBook.h"

#include "cli/Commands.h"
#include "platform/Folders.h"

#include <iostream>

std::string HostsPath() {
    return ComputeDataFolder() + "hosts.ini";
}

bool LoadAddressBook(std::vector<THostRec>& records, bool forWriting, bool& missing) {
    const std::string path = HostsPath();
    std::string error;
    records.clear();
    missing = false;
    switch (LoadHostsFile(path, records, &error)) {
    case THostsLoad::Missing:
        missing = true;
        return true;
    case THostsLoad::Unreadable:
        Fail(path, error);
        return false;
    case THostsLoad::Recovered:
        if (!forWriting) {
            std::cerr << "kervola-cli: " << path
                      << ": damaged; the entries that could be read follow\n";
        } else if (const std::string kept = KeepDamagedHostsFile(path); !kept.empty()) {
            std::cerr << "kervola-cli: " << path << ": damaged; kept as " << kept
                      << ", the entries that could be read are written back\n";
        } else {
            Fail(path, "damaged, and no copy of it could be kept; nothing is written");
            return false;
        }
        return true;
    case THostsLoad::Loaded:
        return true;
    }
    return true;
}
