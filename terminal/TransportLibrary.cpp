#include "terminal/TransportLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

namespace {

std::string ExecutableDir() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string full(path, static_cast<std::size_t>(n));
    return full.substr(0, full.rfind('/') + 1);
}

template <typename Fn> void Bind(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(::dlsym(handle, name));
}

} // namespace

bool LoadTransportLibrary(const std::string& fileName, TTransportLibrary& lib,
                          std::string* problem) {
    void* handle = nullptr;
    if (fileName.find('/') == std::string::npos) {
        const std::string dir = ExecutableDir();
        if (!dir.empty())
            handle = ::dlopen((dir + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle == nullptr)
        handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (problem != nullptr) {
            const char* reason = ::dlerror();
            *problem = reason ? reason : "cannot be loaded";
        }
        return false;
    }
    Bind(handle, "ZelmontInit", lib.ZelmontInit);
    Bind(handle, "ZelmontBegin", lib.ZelmontBegin);
    Bind(handle, "ZelmontEnd", lib.ZelmontEnd);
    Bind(handle, "ZelmontSend", lib.ZelmontSend);
    Bind(handle, "ZelmontData", lib.ZelmontData);
    Bind(handle, "ZelmontClean", lib.ZelmontClean);
    return true;
}
