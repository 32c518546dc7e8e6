// `aerial tile LAYOUT DIR`: a region of a layout cut into tiles, one input folder each.
#pragma once

#include <optional>
#include <string>

namespace aerial_tool {

struct TileCommandOptions {
    std::string layout;
    std::string directory;
    std::string cell;
    std::string layer;  // L/D or L
    std::string region; // X0,Y0,X1,Y1 in the layout's user units
    std::optional<double> core;
    std::optional<double> halo;
    std::optional<double> samplePitch;
    std::string templatePath;
    std::string unit;
    bool dark = false;
    bool quiet = false;
};

// Exit status: 0 written, 2 nothing written (a refusal, with its reason).
int cutLayoutTiles(const TileCommandOptions& options);

} // namespace aerial_tool
