#include "program/StartOptions.h"

#include "platform/TextHelpers.h"

namespace {

bool TakeLanguage(const std::string& value, TStartOptions& o) {
    const int code = LanguageCode(value);
    if (code < 0) {
        o.Action = TStartAction::Usage;
        o.Problem = "--lang takes ru or en, not '" + value + "'";
        return false;
    }
    o.Language = code;
    return true;
}

} // namespace

int LanguageCode(const std::string& name) {
    const std::string lower = AsciiLower(name);
    if (lower == "ru")
        return 0;
    if (lower == "en")
        return 1;
    return -1;
}

TStartOptions ParseStartOptions(const std::vector<std::string>& args, const char* envLanguage) {
    TStartOptions o;
    if (envLanguage && *envLanguage) {
        if (const int code = LanguageCode(envLanguage); code >= 0)
            o.Language = code;
        else
            o.Warning = std::string("KERVOLA_LANG=") + envLanguage +
                        " is neither ru nor en; Russian is used";
    }
    // Help and version answer at once, whatever else is on the line, as other tools do; a
    // refused --lang after them still counts, since the user asked for something impossible.
    bool help = false, version = false, paths = false;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options) {
            o.Rest.push_back(arg);
            continue;
        }
        if (arg == "--") {
            // Whatever follows is the program's, even an INI file whose name starts with "--".
            options = false;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--paths") {
            paths = true;
        } else if (arg == "--lang") {
            if (i + 1 >= args.size()) {
                o.Action = TStartAction::Usage;
                o.Problem = "--lang needs ru or en";
                return o;
            }
            if (!TakeLanguage(args[++i], o))
                return o;
        } else if (arg.starts_with("--lang=")) {
            if (!TakeLanguage(arg.substr(7), o))
                return o;
        } else {
            o.Rest.push_back(arg);
        }
    }
    if (help)
        o.Action = TStartAction::Help;
    else if (version)
        o.Action = TStartAction::Version;
    else if (paths)
        o.Action = TStartAction::Paths;
    return o;
}

std::string StartHelpText() {
    return "usage: Kervola2 [--lang ru|en] [INI-FILE]\n"
           "       Kervola2 --help | --version | --paths\n"
           "\n"
           "Configures Zelmont roadside video vehicle detectors: live picture with the detection\n"
           "zones, zone editing, configuration transfer, settings and administration.\n"
           "\n"
           "INI-FILE holds the start-up settings (automatic connection, window position). A bare\n"
           "name is looked up beside the executable, a relative path with a folder in the current\n"
           "folder; without it, kervola.ini in the data folder.\n"
           "\n"
           "options:\n"
           "  --lang ru|en   start with the Russian (the default) or the English texts\n"
           "  --paths        print the folders and the transport library in use, then exit\n"
           "                 (exit 1 when a document or the library is missing)\n"
           "  --help         print this help and exit\n"
           "  --version      print the version and exit\n"
           "\n"
           "environment:\n"
           "  KERVOLA_LANG      ru or en, as --lang (the option wins)\n"
           "  KERVOLA_DATA_DIR  the data folder (default $XDG_DATA_HOME/Dornbeck/Kervola/)\n"
           "  KERVOLA_DOC_DIR   the document folder (default ../share/kervola/ beside the\n"
           "                    executable)\n";
}
