// Finding, loading and calling the shared library the way any host does: by file name
// and by the symbol name main4.
#pragma once

#include <string>

namespace aerial_tool {

using EntryPoint = void (*)();

struct LoadedLibrary {
    void* handle = nullptr;
    EntryPoint main4 = nullptr;
    std::string path;
};

// A file built or installed with this executable: the same folder first, then the
// installed library folder as seen from the installed tool's folder (../lib by default).
std::string fileBesideTool(const std::string& fileName);

// The library built or installed with this executable: the same folder first, then the
// installed library folder as seen from the installed tool's folder (../lib by default).
std::string defaultLibraryPath();

// Loads the library and looks up main4. On failure returns false and sets error to a
// one-line explanation.
bool loadLibrary(const std::string& path, LoadedLibrary& library, std::string& error);

} // namespace aerial_tool
