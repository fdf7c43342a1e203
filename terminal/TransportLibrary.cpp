#include "terminal/TransportLibrary.h"

#include "platform/RuntimeLibrary.h"

#include <dlfcn.h>

namespace {

template <typename Fn> void Bind(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(::dlsym(handle, name));
}

} // namespace

bool LoadTransportLibrary(const std::string& fileName, TTransportLibrary& lib,
                          std::string* problem) {
    std::string error;
    void* handle = OpenProgramLibrary(fileName, error);
    if (handle == nullptr) {
        if (problem != nullptr)
            *problem = error;
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
