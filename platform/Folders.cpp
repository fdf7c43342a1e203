#include "platform/Folders.h"
#include "platform/FileReplace.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace {

std::string Data;
std::string Documents;
std::string Start;
bool Initialised = false;

// Relative names from the environment are taken from the starting folder: the program leaves it
// for the data folder right away.
std::string Absolute(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::string WithSlash(std::string path) {
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

std::string ComputeDocumentFolder() {
    if (std::string dir = Env("KERVOLA_DOC_DIR"); !dir.empty())
        return WithSlash(Absolute(dir));
    const std::string exe = ExecutableFolder();
    if (exe.empty())
        return {};
    const std::filesystem::path doc =
        (std::filesystem::path(exe) / "../share/kervola/").lexically_normal();
    return WithSlash(doc.string());
}

} // namespace

std::string ComputeDataFolder() {
    if (std::string dir = Env("KERVOLA_DATA_DIR"); !dir.empty())
        return WithSlash(Absolute(dir));
    // The XDG rules ignore a relative XDG_DATA_HOME.
    std::string base = Env("XDG_DATA_HOME");
    if (base.empty() || base.front() != '/')
        base = HomeFolder() + "/.local/share";
    return WithSlash(std::move(base)) + "Dornbeck/Kervola/";
}

void InitFolders() {
    if (Initialised)
        return;
    Initialised = true;
    std::error_code here;
    const std::filesystem::path current = std::filesystem::current_path(here);
    if (!here)
        Start = WithSlash(current.string());
    Data = ComputeDataFolder();
    Documents = ComputeDocumentFolder();
    // A folder that cannot be made shows up later, when the address book is written.
    std::string ignored;
    MakePrivateFolders(Data, ignored);
    // The current folder only serves relative names; not being able to enter it is no error.
    [[maybe_unused]] const int changed = ::chdir(Data.c_str());
}

std::string ExpectedDataFolder() {
    return ComputeDataFolder();
}

std::string ExpectedDocumentFolder() {
    return ComputeDocumentFolder();
}

const std::string& DataFolder() {
    return Data;
}

const std::string& DocumentFolder() {
    return Documents;
}

const std::string& StartFolder() {
    return Start;
}

std::string ExecutableFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return {};
    return WithSlash(exe.parent_path().string());
}
