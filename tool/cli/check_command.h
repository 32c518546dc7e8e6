// `aerial check`: what a run would read from IN_FM.txt, and warnings where it would be
// meaningless or surprising.
#pragma once

#include <string>

namespace aerial_tool {

struct CheckOptions {
    std::string path = "."; // a folder holding IN_FM.txt, or an input file of any name
    bool json = false;
};

// Exit status: 0 no warnings, 1 warnings, 2 the file cannot be read.
int printInputCheck(const CheckOptions& options);

} // namespace aerial_tool
