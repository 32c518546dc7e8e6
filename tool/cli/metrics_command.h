// `aerial metrics`: the numbers lithographers judge an image by, from the image table of DIR.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/measure_setup.h"

namespace aerial_tool {

struct MetricsOptions {
    std::string directory = ".";
    std::optional<double> threshold;
    CutOptions cut;
    std::vector<std::string> measures; // "cd", "cd-y", "area": figures besides the cut's own CD
    bool json = false;
};

// Exit status: 0 printed, 2 the table cannot be read, the cut lies off the grid, or a
// figure is asked for without a threshold.
int printMetrics(const MetricsOptions& options);

} // namespace aerial_tool
