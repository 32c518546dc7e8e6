// `aerial run`: one simulation in a folder holding IN_FM.txt.
#pragma once

#include <string>

namespace aerial_tool {

struct RunOptions {
    std::string directory = ".";
    std::string libraryPath; // empty: the library beside the tool
    bool quiet = false;
};

// Exit status: 0 success, 1 a table was not written or is incomplete, 2 bad folder/input
// or library.
int runSimulation(const RunOptions& options);

} // namespace aerial_tool
