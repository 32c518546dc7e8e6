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
    bool anyText = false;                 // write a value the run does not read whole as a number too
};

// Each value must be text the run reads whole as a number of its cell's kind (a number,
// then optionally white space and a unit, as input files hold them), unless anyText.
// Exit status: 0 every cell changed, 2 an unknown name, a value the run would not read
// whole, a missing cell or an unreadable or unwritable file (the file is then unchanged).
int setInputCells(const SetOptions& options);

} // namespace aerial_tool
