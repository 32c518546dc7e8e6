#include "analysis/tile_runs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "io/input_edit.h"
#include "aerial/engine.hpp"
#include "analysis/engine_pool.h"
#include "input/input_layout.h"
#include "io/input_writer.h"
#include "io/layout_file.h"
#include "io/study_points.h"
#include "io/table_files.h"

namespace aerial_tool {

namespace fs = std::filesystem;

std::string tileFault(const std::string& directory, const TileFrame& tile, int gridSize) {
    const fs::path folder = fs::path(directory) / tile.name;
    std::string why = tablesFault(folder.string(), gridSize);
    if (!why.empty()) return why;
    std::error_code ec;
    const auto manifestTime = fs::last_write_time(fs::path(directory) / kTileManifestFileName, ec);
    if (ec) return std::string(kTileManifestFileName) + " is missing";
    if (fs::last_write_time(folder / aerial::kImageIntensityFileName, ec) < manifestTime)
        return std::string(aerial::kImageIntensityFileName) + " is older than " + kTileManifestFileName;
    return "";
}

std::vector<TileFault> unfinishedTiles(const std::string& directory, const TileManifest& manifest) {
    std::vector<TileFault> faults;
    const std::vector<TileFrame>& tiles = manifest.tiling.tiles;
    for (size_t i = 0; i < tiles.size(); ++i) {
        std::string why = tileFault(directory, tiles[i], manifest.tiling.gridSize);
        if (!why.empty()) faults.push_back({i, why});
    }
    return faults;
}

std::string unfinishedTilesText(const TileManifest& manifest, const std::vector<TileFault>& faults) {
    std::string names;
    for (size_t k = 0; k < faults.size() && k < 8; ++k)
        names += (k ? "; " : "") + manifest.tiling.tiles[faults[k].index].name + ": " + faults[k].why;
    if (faults.size() > 8) names += "; ...";
    return std::to_string(faults.size()) + " of " + std::to_string(manifest.tiling.tiles.size()) +
           " tiles are not done (" + names + "): run them first (aerial run-tiles)";
}

bool readFinishedTiling(const std::string& directory, TileManifest& manifest, double& metres,
                        std::string& error) {
    if (!readManifest(directory, manifest, error)) return false;
    const std::vector<TileFault> faults = unfinishedTiles(directory, manifest);
    if (!faults.empty()) {
        error = unfinishedTilesText(manifest, faults);
        return false;
    }
    if (!unitMetres(manifest.unit, metres)) {
        error = std::string(kTileManifestFileName) + " names no known length unit";
        return false;
    }
    return true;
}

std::string layoutChange(const TileManifest& manifest) {
    LayoutFile layout;
    std::string error;
    if (!layout.open(manifest.layout, error)) return error;
    if (sha256Hex(layout.bytes()) != manifest.layoutSha256)
        return manifest.layout + " has changed since the tiles were cut from it (cut them again)";
    return "";
}

std::vector<size_t> sliceOfTiles(size_t tileCount, int slice, int slices) {
    std::vector<size_t> out;
    if (slices < 1 || slice < 0 || slice >= slices) return out;
    const size_t begin = tileCount * slice / slices, end = tileCount * (slice + 1) / slices;
    for (size_t i = begin; i < end; ++i) out.push_back(i);
    return out;
}

namespace {

bool writeAtomically(const fs::path& path, const std::string& bytes, std::string& error) {
    fs::path temporary = path;
    temporary += ".partial";
    {
        if (!writeFileBytes(temporary.string(), bytes, error)) {
            error = temporary.string() + ": cannot write: " + error;
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        error = path.string() + ": cannot write: " + ec.message();
        return false;
    }
    return true;
}

} // namespace

std::vector<TileRunFailure> runTilesInProcess(const std::string& directory, const TileManifest& manifest,
                                              const std::vector<size_t>& tiles, int jobs,
                                              const std::function<void(size_t done)>& progress) {
    std::vector<TileRunFailure> failures;
    // A few tiles at a time: an input holds 1000 rectangles, a tiling up to thousands of tiles.
    const size_t batch = 64;
    size_t done = 0;
    std::mutex lock;
    for (size_t start = 0; start < tiles.size(); start += batch) {
        const size_t end = std::min(tiles.size(), start + batch);
        std::vector<aerial::InputValues> inputs;
        std::vector<size_t> which;
        inputs.reserve(end - start);
        for (size_t k = start; k < end; ++k) {
            const TileFrame& tile = manifest.tiling.tiles[tiles[k]];
            try {
                inputs.push_back(aerial::readInputFile((fs::path(directory) / tile.name / aerial::kInputFileName).string()));
                which.push_back(tiles[k]);
            } catch (const std::exception& e) {
                failures.push_back({tiles[k], e.what()});
            }
        }
        const std::vector<PoolFailure> pool = runInParallel(
            inputs, jobs, [&](size_t index, const aerial::SimulationResult& result) {
                const fs::path folder = fs::path(directory) / manifest.tiling.tiles[which[index]].name;
                for (aerial::Table table :
                     {aerial::Table::kSpectrumAmplitude, aerial::Table::kSpectrumPhase, aerial::Table::kImageIntensity}) {
                    std::string error;
                    if (!writeAtomically(folder / aerial::tableFileName(table), aerial::formatTable(result, table), error))
                        throw std::runtime_error(error);
                }
                std::lock_guard<std::mutex> guard(lock);
                if (progress) progress(++done);
            });
        for (const PoolFailure& f : pool) failures.push_back({which[f.index], f.message});
    }
    return failures;
}

std::string slurmArrayScript(const std::string& tool, const std::string& directory, int tasks) {
    std::error_code ec;
    const std::string dir = fs::absolute(directory, ec).lexically_normal().string();
    std::string script = "#!/bin/sh\n";
    script += "# Runs the tiles of " + dir + " as an array job: task i runs slice i of " + std::to_string(tasks) +
              ".\n";
    script += "#SBATCH --job-name=aerial-tiles\n";
    script += "#SBATCH --array=0-" + std::to_string(tasks - 1) + "\n";
    script += "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=1\n";
    script += "#SBATCH --output=" + (fs::path(dir) / "slurm-%A_%a.out").string() + "\n";
    script += "exec " + commandLine({tool, "run-tiles", dir, "--jobs", "1", "--quiet", "--slice"}) +
              " \"$SLURM_ARRAY_TASK_ID/" + std::to_string(tasks) + "\"\n";
    return script;
}

} // namespace aerial_tool
