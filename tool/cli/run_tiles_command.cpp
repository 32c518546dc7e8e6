#include "cli/run_tiles_command.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "analysis/engine_pool.h"
#include "analysis/option_defaults.h"
#include "analysis/tile_runs.h"
#include "io/number_text.h"
#include "io/study_points.h"
#include "io/tile_manifest.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {


int fail(const std::string& message) {
    std::fprintf(stderr, "aerial run-tiles: %s\n", message.c_str());
    return 2;
}

bool parseSlice(const std::string& text, int& slice, int& slices) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%d/%d%c", &slice, &slices, &tail) == 2 && slices >= 1 && slice >= 0 &&
           slice < slices;
}

} // namespace

int runTiles(const RunTilesOptions& o) {
    if (o.submit && !o.slurm) return fail("--submit goes with --slurm");
    TileManifest manifest;
    std::string error;
    if (!readManifest(o.directory, manifest, error)) return fail(error);
    const size_t total = manifest.tiling.tiles.size();
    // The tiles' inputs are what runs; a layout changed since is worth a word, not a refusal.
    if (const std::string change = layoutChange(manifest); !change.empty())
        std::fprintf(stderr, "aerial run-tiles: warning: %s\n", change.c_str());

    if (o.slurm) {
        const int tasks = o.tasks > 0 ? std::min<int>(o.tasks, static_cast<int>(total))
                                      : std::min<int>(kDefaultSlurmTasks, static_cast<int>(total));
        const fs::path script = fs::path(o.directory) / kSlurmScriptFileName;
        if (!writeFileIfChanged(script.string(), slurmArrayScript(toolPath(), o.directory, tasks), error))
            return fail(error);
        if (!o.submit) {
            if (!o.quiet) std::printf("%s: %d array tasks over %zu tiles (sbatch %s)\n", script.string().c_str(), tasks,
                                      total, script.string().c_str());
            return 0;
        }
        const std::string command = commandLine({"sbatch", "--parsable", script.string()}) + " 2>&1";
        std::FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return fail("cannot start sbatch");
        std::string output;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        const int status = pclose(pipe);
        while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
        if (status != 0) return fail("sbatch failed: " + output);
        if (!o.quiet) std::printf("submitted job %s: %d array tasks over %zu tiles\n", output.c_str(), tasks, total);
        else std::printf("%s\n", output.c_str());
        return 0;
    }

    std::vector<size_t> wanted;
    if (!o.slice.empty()) {
        int slice = 0, slices = 0;
        if (!parseSlice(o.slice, slice, slices)) return fail("--slice wants I/K with 0 <= I < K, e.g. 0/4");
        wanted = sliceOfTiles(total, slice, slices);
    } else {
        for (size_t i = 0; i < total; ++i) wanted.push_back(i);
    }
    std::vector<size_t> todo;
    {
        std::vector<bool> inSlice(total, false);
        for (size_t i : wanted) inSlice[i] = true;
        for (const TileFault& f : unfinishedTiles(o.directory, manifest))
            if (inSlice[f.index]) todo.push_back(f.index);
    }

    if (o.printCommands) {
        const std::string tool = toolPath();
        for (size_t i : todo)
            std::printf("%s\n", commandLine(pointRunCommand(tool, (fs::path(o.directory) / manifest.tiling.tiles[i].name)
                                                                      .string(),
                                                            o.libraryPath))
                                    .c_str());
        return 0;
    }

    const auto start = std::chrono::steady_clock::now();
    const std::vector<TileRunFailure> failures = runTilesInProcess(o.directory, manifest, todo, o.jobs, nullptr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const TileRunFailure& f : failures)
        std::fprintf(stderr, "aerial run-tiles: %s: %s\n", manifest.tiling.tiles[f.index].name.c_str(), f.why.c_str());
    if (!o.quiet)
        std::printf("%s: ran %zu tiles (%zu of %zu already done) in %s s on %d threads%s\n", o.directory.c_str(),
                    todo.size() - failures.size(), wanted.size() - todo.size(), wanted.size(),
                    fixedText(seconds, 1).c_str(), poolThreadCount(o.jobs), failures.empty() ? "" : ", some failed");
    return failures.empty() ? 0 : 1;
}

} // namespace aerial_tool
