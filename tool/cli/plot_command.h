// `aerial plot`: PNG pictures of the three tables, and of the intensity along the centre
// row and column, beside the tables.
#pragma once

#include <optional>
#include <string>

namespace aerial_tool {

struct PlotOptions {
    std::string directory = ".";
    std::optional<double> threshold; // drawn on the cutline picture
    bool quiet = false;
};

// Exit status: 0 all pictures written, 2 a table cannot be read or a picture written.
int plotTables(const PlotOptions& options);

} // namespace aerial_tool
