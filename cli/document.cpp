// Configuration documents read and written exactly as the program does.
#include "cli/Commands.h"
#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const XmlHelp =
    "usage: kervola-cli xml FILE\n"
    "\n"
    "Reads FILE (line ends CR, LF or CR LF) and writes the parsed tree to standard output in\n"
    "the writer's layout: one space of indentation per level, CR LF after every item.\n"
    "A file that does not parse prints 'XML error CODE at POS' and exits with 1.\n";

const char* const ConfigHelp =
    "usage: kervola-cli config FILE [--out OUT] [--json]\n"
    "       kervola-cli config --default [--from TEXT] [--to TEXT]\n"
    "\n"
    "With FILE: loads the configuration, reads its sensor zones and prints one line per zone:\n"
    "the id, a blank and the eight corner numbers. With --out, saves the document (with the\n"
    "corners as in use) to OUT.\n"
    "  --json   the zones as a JSON array, one object per zone: id (the document's text) and\n"
    "           corners, four [x, y] pairs of numbers with \".\" whatever the locale\n"
    "With --default: writes the default document (from \"Kervola 5.01\", to \"ZELMONT_SF\"\n"
    "unless given) to standard output.\n";

int DocumentError() {
    const std::string error =
        "XML error " + std::to_string(XMLErrorCode) + " at " + std::to_string(XMLErrorPos);
    std::cerr << error << "\n";
    JsonFailure(error);
    return ExitFailure;
}

// A failure line of this file's own form, "kervola-cli: WHAT".
int Failure(const std::string& what) {
    std::cerr << "kervola-cli: " << what << "\n";
    JsonFailure(what);
    return ExitFailure;
}

void WriteZonesJson(const TQuadList& zones) {
    TJsonWriter answer;
    answer.BeginArray();
    for (int i = 0; i < zones.Count(); ++i) {
        answer.BeginObject().Key("id").String(zones.Quad(i)->Id).Key("corners").BeginArray();
        for (const TFloatPoint& p : zones.Quad(i)->Points)
            answer.BeginArray()
                .Number(StoredCoordinate(p.X))
                .Number(StoredCoordinate(p.Y))
                .EndArray();
        answer.EndArray().EndObject();
    }
    answer.EndArray();
    WriteJson(answer);
}

int RunXml(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << XmlHelp;
        return ExitOk;
    }
    if (args.size() != 1 || args[0].starts_with("--"))
        return Usage(XmlHelp, "xml needs exactly one FILE");
    std::FILE* probe = std::fopen(args[0].c_str(), "rb");
    if (!probe) {
        std::cerr << "kervola-cli: cannot open " << args[0] << "\n";
        return ExitFailure;
    }
    std::fclose(probe);
    const auto node = LoadXMLFile(args[0]);
    if (!node)
        return DocumentError();
    WriteBytes(node->AsXML());
    return ExitOk;
}

int RunConfig(const std::vector<std::string>& args) {
    std::string file, out, from = "Kervola 5.01", to = "ZELMONT_SF";
    bool makeDefault = false, hasOut = false, hasFromTo = false, json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            std::cout << ConfigHelp;
            return ExitOk;
        } else if (a == "--default") {
            makeDefault = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--out" || a == "--from" || a == "--to") {
            if (!hasValue)
                return Usage(ConfigHelp, a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--out") {
                out = v;
                hasOut = true;
            } else {
                (a == "--from" ? from : to) = v;
                hasFromTo = true;
            }
        } else if (a.starts_with("--")) {
            return Usage(ConfigHelp, "unknown option " + a);
        } else if (file.empty()) {
            file = a;
        } else {
            return Usage(ConfigHelp, "more than one FILE");
        }
    }
    if (makeDefault) {
        if (!file.empty() || hasOut)
            return Usage(ConfigHelp, "--default takes no FILE and no --out");
        if (json)
            return Usage(ConfigHelp, "--json goes with FILE: --default writes a document");
        TXMLConfig config;
        config.CreateDefault(from, to);
        WriteBytes(config.AsText());
        return ExitOk;
    }
    if (file.empty())
        return Usage(ConfigHelp, "config needs a FILE or --default");
    if (hasFromTo)
        return Usage(ConfigHelp, "--from and --to go with --default");
    TXMLConfig config;
    if (!config.LoadFromFile(file)) {
        if (XMLErrorCode == 0)
            return Failure("cannot open " + file);
        return DocumentError();
    }
    TQuadList zones;
    config.ReadSensors(zones);
    if (json) {
        // Saved first: a script gets the zones only when the saved file holds them too.
        if (hasOut && !config.SaveToFile(out))
            return Failure("cannot write " + out);
        WriteZonesJson(zones);
        return ExitOk;
    }
    std::string listing;
    for (int i = 0; i < zones.Count(); ++i)
        listing += zones.Quad(i)->Id + " " + QuadToText(zones.Quad(i)->Points) + "\n";
    WriteBytes(listing);
    if (hasOut && !config.SaveToFile(out)) {
        std::cerr << "kervola-cli: cannot write " << out << "\n";
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

void AddDocumentCommands(std::vector<TCliCommand>& table) {
    table.push_back({{"xml"}, "read FILE as the program does and write the tree back", XmlHelp,
                     [](std::vector<std::string>& args) { return RunXml(args); }});
    table.push_back({{"config"},
                     "list the sensor zones of a configuration file, or write the default one",
                     ConfigHelp,
                     [](std::vector<std::string>& args) { return RunConfig(args); },
                     true});
}
