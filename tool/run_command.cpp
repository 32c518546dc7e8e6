#include "run_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "input/load_input.h"
#include "library_loader.h"
#include "state/simulation_state.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTables[] = {"OUT_MR.xls", "OUT_MI.xls", "OUT_M.xls"};

bool isReadableFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    return access(path.c_str(), R_OK) == 0;
}

// True when the file exists and was modified at or after `since`. File times have the
// kernel's coarse clock resolution, so `since` is taken from the same clock.
bool writtenSince(const fs::path& path, fs::file_time_type since) {
    std::error_code ec;
    fs::file_time_type written = fs::last_write_time(path, ec);
    return !ec && written >= since;
}

fs::file_time_type coarseNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    auto sinceEpoch = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    auto systemTime = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceEpoch));
    return fs::file_time_type::clock::from_sys(systemTime);
}

} // namespace

int runSimulation(const RunOptions& options) {
    std::error_code ec;
    fs::path dir = options.directory;
    if (!fs::is_directory(dir, ec)) {
        std::fprintf(stderr, "aerial: %s: no such folder\n", dir.c_str());
        return 2;
    }
    fs::path input = dir / "IN_FM.txt";
    if (!isReadableFile(input)) {
        std::fprintf(stderr, "aerial: %s: not a readable file\n", input.c_str());
        return 2;
    }

    aerial_tool::LoadedLibrary library;
    std::string error;
    std::string libraryPath =
        options.libraryPath.empty() ? defaultLibraryPath() : options.libraryPath;
    if (!loadLibrary(libraryPath, library, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }

    fs::path previous = fs::current_path(ec);
    if (chdir(dir.c_str()) != 0) {
        std::fprintf(stderr, "aerial: %s: cannot change into folder\n", dir.c_str());
        return 2;
    }
    fs::file_time_type started = coarseNow();
    auto wallStart = std::chrono::steady_clock::now();
    library.main4();
    auto wallEnd = std::chrono::steady_clock::now();

    int status = 0;
    for (const char* table : kTables) {
        if (!writtenSince(table, started)) {
            std::fprintf(stderr, "aerial: %s: table was not written\n", (dir / table).c_str());
            status = 1;
        }
    }

    // The tool reads the input again with the library's own reader to report what ran.
    aerial::loadInput();
    if (!previous.empty()) fs::current_path(previous, ec);

    if (status == 0 && !options.quiet) {
        double seconds = std::chrono::duration<double>(wallEnd - wallStart).count();
        std::printf("grid %d x %d, %d rectangles, %.3f s, tables in %s\n",
                    aerial::workspace.gridSize, aerial::workspace.gridSize,
                    aerial::workspace.rectCount, seconds,
                    fs::absolute(dir, ec).lexically_normal().c_str());
    }
    return status;
}

} // namespace aerial_tool
