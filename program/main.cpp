// Kervola2: the configuration tool for Zelmont roadside video detectors.
#include "kervola_version.h"
#include "platform/Folders.h"
#include "platform/RuntimeLibrary.h"
#include "program/StartOptions.h"
#include "program/Unit1.h"
#include "recording/videocontrol.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Where an installed or unpacked program looks for its files; the engineer's first question
// when help or the terminal does not open. Nothing is created.
int ReportPaths() {
    bool complete = true;
    std::cout << "data folder: " << ExpectedDataFolder() << "\n";
    const std::string docs = ExpectedDocumentFolder();
    std::cout << "document folder: " << docs << "\n";
    for (const char* name : {"help.pdf", "triggers.pdf"}) {
        const std::string path = docs + name;
        std::error_code ec;
        const bool found = std::filesystem::is_regular_file(path, ec);
        std::cout << name << ": " << path << (found ? "" : " (missing)") << "\n";
        complete = complete && found;
    }
    std::string error;
    if (void* lib = OpenProgramLibrary("libzelmont_lib.so", error)) {
        std::cout << "transport library: "
                  << std::filesystem::path(LoadedLibraryPath(lib)).lexically_normal().string()
                  << "\n";
    } else {
        std::cout << "transport library: not found (" << error << ")\n";
        complete = false;
    }
    if (!complete)
        std::cerr << "Kervola2: the installation is incomplete\n";
    return complete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const TStartOptions options = ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc),
                                                    std::getenv("KERVOLA_LANG"));
    switch (options.Action) {
    case TStartAction::Usage:
        std::cerr << "Kervola2: " << options.Problem << "\n\n" << StartHelpText();
        return 2;
    case TStartAction::Help:
        std::cout << StartHelpText();
        return 0;
    case TStartAction::Version:
        std::cout << "Kervola2 " KERVOLA_VERSION "\n";
        return 0;
    case TStartAction::Paths:
        return ReportPaths();
    case TStartAction::Run:
        break;
    }
    if (!options.Warning.empty())
        std::cerr << "Kervola2: " << options.Warning << "\n";

    // The toolkit keeps argc and argv for its whole life: both live until main returns.
    std::vector<std::string> kept{argv[0]};
    kept.insert(kept.end(), options.Rest.begin(), options.Rest.end());
    std::vector<char*> keptArgv;
    for (std::string& arg : kept)
        keptArgv.push_back(arg.data());
    keptArgv.push_back(nullptr);
    int keptArgc = static_cast<int>(kept.size());

    QApplication app(keptArgc, keptArgv.data());
    // Lets the desktop match the window to kervola.desktop and its icon.
    QGuiApplication::setDesktopFileName("kervola");
    InitFolders();
    TForm1 form(app.arguments().mid(1), options.Language);
    form.SetVideoForm(new TVideoControlForm(&form));
    form.show();
    return app.exec();
}
