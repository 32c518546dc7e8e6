#include "cli/run_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "input/load_input.h"
#include "io/library_loader.h"
#include "io/table_files.h"
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

// Why a table is not this run's complete table, or nullptr when it is.
const char* tableFault(const char* table, fs::file_time_type since, int gridSize) {
    std::error_code ec;
    if (fs::is_directory(table, ec)) return "a folder has the table's name";
    if (!writtenSince(table, since)) {
        return access(".", W_OK) != 0 ? "table was not written: folder is not writable"
                                      : "table was not written";
    }
    if (!isCompleteTable(table, gridSize)) return "table is incomplete";
    return nullptr;
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
        const char* why = fs::exists(dir, ec) ? "not a folder" : "no such folder";
        std::fprintf(stderr, "aerial: %s: %s\n", dir.c_str(), why);
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

    // The tool reads the input again with the library's own reader to learn what ran.
    aerial::loadInput();
    int status = 0;
    for (const char* table : kTables) {
        if (const char* fault = tableFault(table, started, aerial::workspace.gridSize)) {
            std::fprintf(stderr, "aerial: %s: %s\n", (dir / table).c_str(), fault);
            status = 1;
        }
    }
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
