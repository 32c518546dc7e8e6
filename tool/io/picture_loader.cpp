#include "io/picture_loader.h"

#include <dlfcn.h>

#include "io/library_loader.h"

#ifndef AERIAL_PICTURE_MODULE_FILE
#define AERIAL_PICTURE_MODULE_FILE "libaerial_pictures.so"
#endif

namespace aerial_tool {

namespace {

struct LoadedModule {
    const PictureFunctions* functions = nullptr;
    std::string error;
};

LoadedModule loadModule() {
    LoadedModule module;
    const std::string path = fileBesideTool(AERIAL_PICTURE_MODULE_FILE);
    // Kept open for the rest of the process: the functions are called until it exits.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        module.error = "cannot load the picture module " + path + ": " + (why ? why : "unknown error");
        return module;
    }
    using Table = const PictureFunctions* (*)();
    auto table = reinterpret_cast<Table>(dlsym(handle, AERIAL_PICTURE_FUNCTIONS_SYMBOL));
    if (table == nullptr) {
        module.error = "picture module " + path + " has no symbol " AERIAL_PICTURE_FUNCTIONS_SYMBOL;
        dlclose(handle);
        return module;
    }
    module.functions = table();
    return module;
}

} // namespace

const PictureFunctions* loadPictureFunctions(std::string& error) {
    // Loaded once, by whichever thread asks first; the others wait for it.
    static const LoadedModule module = loadModule();
    if (module.functions == nullptr) error = module.error;
    return module.functions;
}

} // namespace aerial_tool
