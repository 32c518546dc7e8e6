// `aerial metrics`: the numbers lithographers judge an image by, from the image table of DIR.
#pragma once

#include <optional>
#include <string>

namespace aerial_tool {

struct MetricsOptions {
    std::string directory = ".";
    std::optional<double> threshold;
    std::string axis = "x"; // "x": a cut along X (a table row); "y": along Y (a column)
    double at = 0;          // offset of the cut from the grid centre, in the length unit
    std::optional<double> featureAt; // the measured run contains it (default: the cut's centre)
    bool json = false;
};

// Exit status: 0 printed, 2 the table cannot be read or the cut lies off the grid.
int printMetrics(const MetricsOptions& options);

} // namespace aerial_tool
