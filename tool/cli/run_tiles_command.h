// `aerial run-tiles DIR`: the tiles of a tiling run in this process, through GNU parallel
// (--print-commands) or as a Slurm array job (--slurm, --submit).
#pragma once

#include <string>

namespace aerial_tool {

struct RunTilesOptions {
    std::string directory;
    int jobs = 0; // 0: the cores
    bool printCommands = false;
    bool slurm = false;
    bool submit = false;
    int tasks = 0; // 0: one per tile, at most kDefaultSlurmTasks
    std::string slice; // I/K
    std::string libraryPath;
    bool quiet = false;
};

// Exit status: 0 every tile asked for is done (or the commands or the script written),
// 1 tiles failed (named on stderr), 2 nothing run (bad options, no tiling).
int runTiles(const RunTilesOptions& options);

} // namespace aerial_tool
