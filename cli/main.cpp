// kervola-cli: the command-line companion for scripts and field checks of configuration files.
#include "config/GXmlUtils.h"
#include "config/XMLConfig.h"

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitDocument = 1;
constexpr int ExitUsage = 2;

const char* const MainHelp =
    "usage: kervola-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  xml FILE                     read FILE as the program does and write the tree back\n"
    "  config FILE [--out OUT]      list the sensor zones of a configuration file\n"
    "  config --default [--from TEXT] [--to TEXT]\n"
    "                               write the default configuration document\n"
    "\n"
    "Run 'kervola-cli COMMAND --help' for a command's details.\n"
    "Exit codes: 0 success, 1 document error, 2 usage error.\n";

const char* const XmlHelp =
    "usage: kervola-cli xml FILE\n"
    "\n"
    "Reads FILE (line ends CR, LF or CR LF) and writes the parsed tree to standard output in\n"
    "the writer's layout: one space of indentation per level, CR LF after every item.\n"
    "A file that does not parse prints 'XML error CODE at POS' and exits with 1.\n";

const char* const ConfigHelp =
    "usage: kervola-cli config FILE [--out OUT]\n"
    "       kervola-cli config --default [--from TEXT] [--to TEXT]\n"
    "\n"
    "With FILE: loads the configuration, reads its sensor zones and prints one line per zone:\n"
    "the id, a blank and the eight corner numbers. With --out, saves the document (with the\n"
    "corners as in use) to OUT.\n"
    "With --default: writes the default document (from \"Kervola 5.01\", to \"ZELMONT_SF\"\n"
    "unless given) to standard output.\n";

int Usage(const char* help, const std::string& problem) {
    std::cerr << "kervola-cli: " << problem << "\n\n" << help;
    return ExitUsage;
}

int DocumentError() {
    std::cerr << "XML error " << XMLErrorCode << " at " << XMLErrorPos << "\n";
    return ExitDocument;
}

void WriteBytes(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
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
        return ExitDocument;
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
    bool makeDefault = false, hasOut = false, hasFromTo = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            std::cout << ConfigHelp;
            return ExitOk;
        } else if (a == "--default") {
            makeDefault = true;
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
        if (XMLErrorCode == 0) {
            std::cerr << "kervola-cli: cannot open " << file << "\n";
            return ExitDocument;
        }
        return DocumentError();
    }
    TQuadList zones;
    config.ReadSensors(zones);
    std::string listing;
    for (int i = 0; i < zones.Count(); ++i)
        listing += zones.Quad(i)->Id + " " + QuadToText(zones.Quad(i)->Points) + "\n";
    WriteBytes(listing);
    if (hasOut && !config.SaveToFile(out)) {
        std::cerr << "kervola-cli: cannot write " << out << "\n";
        return ExitDocument;
    }
    return ExitOk;
}

} // namespace

int main(int argc, char** argv) {
    // Numbers are written with the user's decimal separator, as the program does.
    std::setlocale(LC_NUMERIC, "");
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage(MainHelp, "no command given");
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << MainHelp;
        return ExitOk;
    }
    if (command == "xml")
        return RunXml(rest);
    if (command == "config")
        return RunConfig(rest);
    return Usage(MainHelp, "unknown command " + command);
}
