// `aerial set`: changes named value cells of an input file in place, for scripts and for
// users who would rather not count lines.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

struct SetOptions {
    std::string path;                     // a folder holding the input, or an input file
    std::vector<std::string> assignments; // NAME=VALUE
    bool list = false;                    // print the names, their cells and the file names
};

// Exit status: 0 every cell changed, 2 an unknown name, a missing cell or an unreadable or
// unwritable file (the file is then unchanged).
int setInputCells(const SetOptions& options);

} // namespace aerial_tool
