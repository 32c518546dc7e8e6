#include "io/picture_loader.h"

#include <dlfcn.h>

#include "io/library_loader.h"

#ifndef AERIAL_PICTURE_MODULE_FILE
#define AERIAL_PICTURE_MODULE_FILE "libaerial_pictures.so"
#endif

namespace aerial_tool {

const PictureFunctions* loadPictureFunctions(std::string& error) {
    static const PictureFunctions* loaded = nullptr;
    if (loaded != nullptr) return loaded;
    const std::string path = fileBesideTool(AERIAL_PICTURE_MODULE_FILE);
    // Kept open for the rest of the process: the functions are called until it exits.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = "cannot load the picture module " + path + ": " + (why ? why : "unknown error");
        return nullptr;
    }
    using Table = const PictureFunctions* (*)();
    auto table = reinterpret_cast<Table>(dlsym(handle, AERIAL_PICTURE_FUNCTIONS_SYMBOL));
    if (table == nullptr) {
        error = "picture module " + path + " has no symbol " AERIAL_PICTURE_FUNCTIONS_SYMBOL;
        dlclose(handle);
        return nullptr;
    }
    loaded = table();
    return loaded;
}

} // namespace aerial_tool
