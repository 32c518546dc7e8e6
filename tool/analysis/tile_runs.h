// Running the tiles of a tiling: which are done, which not and why, running them in this
// process, and the words of a batch job that runs them elsewhere. Every way writes the
// tables main4 writes for the tile's input, byte for byte.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "io/tile_manifest.h"

namespace aerial_tool {

// Why a tile's tables are not a finished run of its input and of the tiling: missing, cut
// short, older than its input or than tiles.json; empty when they are.
std::string tileFault(const std::string& directory, const TileFrame& tile, int gridSize);

// The indices of the tiles whose tables are not finished, with why, in tile order.
struct TileFault {
    size_t index;
    std::string why;
};
std::vector<TileFault> unfinishedTiles(const std::string& directory, const TileManifest& manifest);

// The refusal of a command that needs every tile done: how many are not, the first few by
// name with why, and what to run.
std::string unfinishedTilesText(const TileManifest& manifest, const std::vector<TileFault>& faults);

// The manifest of a tiling whose tiles are all done, and its length unit in metres. False
// with the refusal otherwise (no manifest, tiles not done, an unknown unit).
bool readFinishedTiling(const std::string& directory, TileManifest& manifest, double& unitMetres,
                        std::string& error);

// Empty when the layout tiles.json names still holds the bytes it was cut from, else why not
// (changed since, or unreadable).
std::string layoutChange(const TileManifest& manifest);

// The tiles of slice `slice` of `slices` (0-based): a run of consecutive tiles, the slices
// together covering each tile once.
std::vector<size_t> sliceOfTiles(size_t tileCount, int slice, int slices);

struct TileRunFailure {
    size_t index;
    std::string why;
};

// Runs the tiles on the engine, on `jobs` threads, writing each tile's three tables (each
// first to a temporary name, then renamed, so that a run cut short leaves no table that
// looks finished). progress(done) after each tile.
std::vector<TileRunFailure> runTilesInProcess(const std::string& directory, const TileManifest& manifest,
                                              const std::vector<size_t>& tiles, int jobs,
                                              const std::function<void(size_t done)>& progress);

// The text of an sbatch script: an array of `tasks` tasks, task i running slice i of the
// tiles through `tool run-tiles DIR --slice i/tasks --jobs 1`, its log beside tiles.json.
std::string slurmArrayScript(const std::string& tool, const std::string& directory, int tasks);

inline constexpr const char* kSlurmScriptFileName = "run-tiles.sbatch";

} // namespace aerial_tool
