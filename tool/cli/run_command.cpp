#include "cli/run_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "analysis/input_check.h"
#include "input/input_layout.h"
#include "input/parse_input.h"
#include "output/table_layout.h"
#include "io/input_folder.h"
#include "io/library_loader.h"
#include "io/number_text.h"
#include "io/table_files.h"
#include "io/file_reason.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

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

bool printCheckWarnings(const InputReport& report, const std::string& directory) {
    for (const Finding& f : report.warnings) {
        if (f.line >= 0)
            std::fprintf(stderr, "aerial: warning: line %d: %s\n", f.line, showText(f.message).c_str());
        else
            std::fprintf(stderr, "aerial: warning: %s\n", showText(f.message).c_str());
    }
    if (report.warnings.empty()) return false;
    std::fprintf(stderr, "aerial: `aerial check %s` gives the whole report\n", showText(directory).c_str());
    return true;
}

bool refuseInput(const InputReport& report, const std::string& input) {
    const Finding* refusing = refusingWarning(report);
    if (refusing == nullptr) return false;
    std::fprintf(stderr, "aerial: %s: not run: %s\n", showText(input).c_str(), showText(refusing->message).c_str());
    return true;
}

int runSimulation(const RunOptions& options, bool& finiteTables) {
    finiteTables = false;
    std::error_code ec;
    fs::path dir = options.directory;
    if (!fs::is_directory(dir, ec)) {
        if (fs::is_regular_file(dir, ec)) {
            const fs::path parent = dir.parent_path().empty() ? fs::path(".") : dir.parent_path();
            std::fprintf(stderr, "aerial: %s: a file; run takes the folder that holds %s (aerial run %s)\n",
                         dir.c_str(), aerial::kInputFileName, parent.c_str());
            return 2;
        }
        const char* why = fs::exists(dir, ec) ? "not a folder" : "no such folder";
        std::fprintf(stderr, "aerial: %s: %s\n", dir.c_str(), why);
        return 2;
    }
    fs::path input = dir / aerial::kInputFileName;
    std::unique_ptr<aerial::InputCells> cells;
    if (isReadableFile(input)) cells = scanInput(input.string());
    if (!cells) {
        std::fprintf(stderr, "aerial: %s: %s\n", input.c_str(), notReadable(input.string()).c_str());
        return 2;
    }
    // What the run will read: the same scan and parse as main4's, so the check cannot
    // disagree with it, and the grid size the tables must have.
    int gridSize = 0;
    int rectCount = 0;
    if (options.check) {
        const InputReport report = checkInputCells(*cells);
        gridSize = report.gridSize;
        rectCount = report.rectCount;
        const bool warned = printCheckWarnings(report, options.directory);
        if (refuseInput(report, input.string())) {
            std::fprintf(stderr, "aerial: --no-check runs it as it is\n");
            return 2;
        }
        if (warned && options.strict) {
            std::fprintf(stderr, "aerial: --strict: not run because of the warnings above\n");
            return 2;
        }
    } else {
        auto values = std::make_unique<aerial::InputValues>();
        aerial::parseInput(*cells, *values);
        gridSize = values->gridSize;
        rectCount = values->rectCount;
    }
    cells.reset();

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
    for (const char* table : aerial::kResultTableFileNames) {
        if (const char* fault = tableFault(table, started, gridSize)) {
            std::fprintf(stderr, "aerial: %s: %s\n", (dir / table).c_str(), fault);
            status = 1;
        }
    }
    // Tables of NaN or infinities are written in full, but they are no result: said, never
    // summed up as one.
    std::string nonFinite;
    for (const char* table : aerial::kResultTableFileNames) {
        if (status != 0 || !nonFinite.empty()) break;
        if (const std::optional<TableCellPlace> cell = firstNonFiniteInTable(table))
            nonFinite = nonFiniteText((dir / table).string(), *cell);
    }
    if (!previous.empty()) fs::current_path(previous, ec);
    finiteTables = status == 0 && nonFinite.empty();
    if (!nonFinite.empty()) {
        std::fprintf(stderr, "aerial: grid %d x %d, %d rectangles: the tables hold non-finite values; %s\n", gridSize,
                     gridSize, rectCount, nonFinite.c_str());
        // Without the check the run did what it was told; with it, the check missed a cause.
        return options.check ? 1 : 0;
    }

    if (status == 0 && !options.quiet) {
        double seconds = std::chrono::duration<double>(wallEnd - wallStart).count();
        std::printf("grid %d x %d, %d rectangles, %s s, tables in %s\n", gridSize, gridSize, rectCount,
                    fixedText(seconds, 3).c_str(), fs::absolute(dir, ec).lexically_normal().c_str());
    }
    return status;
}

} // namespace aerial_tool
