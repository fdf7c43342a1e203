#include "platform/RuntimeLibrary.h"

#include "platform/Folders.h"

#include <dlfcn.h>
#include <link.h>

void* OpenProgramLibrary(const std::string& fileName, std::string& error) {
    const std::string beside = ExecutableFolder() + fileName;
    if (void* handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL))
        return handle;
    if (void* handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL))
        return handle;
    const char* reason = ::dlerror();
    error = reason ? reason : "not found";
    return nullptr;
}

std::string LoadedLibraryPath(void* handle) {
    link_map* map = nullptr;
    if (!handle || ::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return {};
    return map->l_name;
}
