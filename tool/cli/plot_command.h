// `aerial plot`: pictures of the three tables, the chosen cutline and the source, beside
// the tables, in PNG, SVG or PDF.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/run_pictures.h"
#include "cli/measure_setup.h"

namespace aerial_tool {

// What `plot` and `report` draw, as given on the command line.
struct PictureOptions {
    std::vector<double> thresholds;
    CutOptions cut;
    bool linear = false;
    bool full = false;
    bool noMask = false;
};

PictureChoices pictureChoices(const PictureOptions& options);

struct PlotOptions {
    std::string directory = ".";
    PictureOptions pictures;
    std::string format = "png";
    bool quiet = false;
};

// Exit status: 0 all pictures written, 2 a table cannot be read, the cut lies outside the
// grid or a picture cannot be written.
int plotTables(const PlotOptions& options);

} // namespace aerial_tool
