#include "io/library_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace aerial_tool {

namespace fs = std::filesystem;

// The build names the library by its soname and says where the installed library lies
// relative to the installed tool (lib, lib64 or lib/<multiarch>, by the install's rules).
#ifndef AERIAL_LIBRARY_FILE
#define AERIAL_LIBRARY_FILE "libaerial.so"
#endif
#ifndef AERIAL_LIBDIR_FROM_BINDIR
#define AERIAL_LIBDIR_FROM_BINDIR "../lib"
#endif

constexpr const char* kLibraryFile = AERIAL_LIBRARY_FILE;

std::string fileBesideTool(const std::string& fileName) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fileName;
    fs::path dir = self.parent_path();
    // Beside the tool in the build tree; in the library folder of an installed tree.
    for (const fs::path& candidate :
         {dir / fileName, dir / AERIAL_LIBDIR_FROM_BINDIR / fileName}) {
        if (fs::exists(candidate, ec)) return candidate.lexically_normal().string();
    }
    return (dir / fileName).string();
}

std::string defaultLibraryPath() { return fileBesideTool(kLibraryFile); }

bool loadLibrary(const std::string& path, LoadedLibrary& library, std::string& error) {
    // A bare file name would make dlopen search the system paths instead of this file.
    std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = "cannot load library " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    dlerror();
    void* symbol = dlsym(handle, "main4");
    if (symbol == nullptr) {
        error = "library " + path + " has no symbol main4";
        dlclose(handle);
        return false;
    }
    library.handle = handle;
    library.main4 = reinterpret_cast<EntryPoint>(symbol);
    library.path = path;
    return true;
}

} // namespace aerial_tool
