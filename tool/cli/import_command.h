// `aerial import LAYOUT DIR`: an input file from a clip of a GDSII layout.
#pragma once

#include <optional>
#include <string>

namespace aerial_tool {

struct ImportCommandOptions {
    std::string layout;
    std::string directory;
    std::string cell;
    std::string layer;  // L/D or L
    std::string window; // X0,Y0,X1,Y1 in the layout's user units
    std::optional<double> samplePitch;
    std::string templatePath;
    std::string unit;
    bool dark = false;
    bool manhattanize = false;
    bool quiet = false;
};

// Exit status: 0 written, 2 nothing written (a layout that cannot be read or clipped as
// asked, bad options, a folder that cannot be written).
int importLayoutClip(const ImportCommandOptions& options);

} // namespace aerial_tool
