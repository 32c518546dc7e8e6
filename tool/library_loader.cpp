#include "library_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace aerial_tool {

namespace fs = std::filesystem;

constexpr const char* kLibraryFile = "libaerial.so";

std::string defaultLibraryPath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return kLibraryFile;
    fs::path dir = self.parent_path();
    for (const fs::path& candidate : {dir / kLibraryFile, dir / ".." / "lib" / kLibraryFile}) {
        if (fs::exists(candidate, ec)) return candidate.lexically_normal().string();
    }
    return (dir / kLibraryFile).string();
}

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
