// `aerial check`: what a run would read from the input file, and warnings where it would be
// meaningless or surprising.
#pragma once

#include <string>

namespace aerial_tool {

struct CheckOptions {
    std::string path = "."; // a folder holding the input file, or an input file of any name
    bool json = false;
};

// Exit status: 0 no warnings, 1 warnings, 2 the file cannot be read.
int printInputCheck(const CheckOptions& options);

} // namespace aerial_tool
