// Sensor zones copied between configuration files: the same zones files as the program's
// "Export zones..." and "Import zones...".
#include "cli/Commands.h"
#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"
#include "safeconfig/ZoneTransfer.h"

#include <iostream>

namespace {

const char* const ZonesExportHelp =
    "usage: kervola-cli zones export CONFIG [-o ZONES]\n"
    "\n"
    "Writes the sensor objects of the configuration file CONFIG, whole (with every param they\n"
    "carry), as a zones file to ZONES or to standard output.\n";

const char* const ZonesImportHelp =
    "usage: kervola-cli zones import CONFIG ZONES [--out OUT]\n"
    "\n"
    "Replaces the sensor objects of the configuration file CONFIG by those of the zones file\n"
    "ZONES (or of any configuration file) and keeps every other object. The zones are checked\n"
    "as the program checks zones it reads: corners that make no valid zone become the default\n"
    "zone for their place. The result goes to OUT, or back into CONFIG through a temporary file.\n"
    "A zones file that does not parse or holds no sensor changes nothing (exit 1).\n";

bool LoadConfig(const std::string& file, TXMLConfig& config, std::string& problem) {
    std::string bytes;
    if (!ReadWholeFile(file, bytes)) {
        problem = "cannot read the file";
        return false;
    }
    if (!config.LoadFromFile(file)) {
        problem = "XML error " + std::to_string(XMLErrorCode) + " at " +
                  std::to_string(XMLErrorPos);
        return false;
    }
    return true;
}

int RunZonesExport(std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << ZonesExportHelp;
        return ExitOk;
    }
    std::string out, problem;
    bool toFile = TakeOption(args, "-o", out, problem);
    if (!problem.empty())
        return Usage(ZonesExportHelp, problem);
    if (!toFile)
        toFile = TakeOption(args, "--out", out, problem);
    if (!problem.empty())
        return Usage(ZonesExportHelp, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(ZonesExportHelp, "unknown option " + unknown);
    if (args.size() != 1)
        return Usage(ZonesExportHelp, "zones export needs exactly one CONFIG");
    TXMLConfig config;
    if (!LoadConfig(args[0], config, problem))
        return Fail(args[0], problem);
    const std::string zones = ExportZonesText(config);
    if (!toFile) {
        WriteBytes(zones);
        return ExitOk;
    }
    if (!WriteFileAtomic(out, zones))
        return Fail(out, "cannot write the file");
    return ExitOk;
}

int RunZonesImport(std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::cout << ZonesImportHelp;
        return ExitOk;
    }
    std::string out, problem;
    const bool toOther = TakeOption(args, "--out", out, problem);
    if (!problem.empty())
        return Usage(ZonesImportHelp, problem);
    if (std::string unknown = UnknownOption(args); !unknown.empty())
        return Usage(ZonesImportHelp, "unknown option " + unknown);
    if (args.size() != 2)
        return Usage(ZonesImportHelp, "zones import needs CONFIG and ZONES");
    const std::string& configFile = args[0];
    const std::string& zonesFile = args[1];
    TXMLConfig config;
    if (!LoadConfig(configFile, config, problem))
        return Fail(configFile, problem);
    TQuadList zones;
    std::string why;
    switch (ImportZonesFile(config, zones, zonesFile, why)) {
    case TImportResult::NotParsed:
    case TImportResult::NoSensor:
        return Fail(zonesFile, why + "; nothing was changed");
    case TImportResult::Imported:
        break;
    }
    const std::string target = toOther ? out : configFile;
    if (!WriteFileAtomic(target, config.AsText()))
        return Fail(target, "cannot write the file");
    std::cerr << "kervola-cli: " << zones.Count() << " zones into " << target << "\n";
    return ExitOk;
}

} // namespace

void AddZonesCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"zones", "export"},
                     "write the sensor zones of a configuration file as a zones file",
                     ZonesExportHelp, RunZonesExport});
    table.push_back({{"zones", "import"},
                     "put the zones of a zones file into a configuration file",
                     ZonesImportHelp, RunZonesImport});
}
