// `aerial mask KIND DIR`: an input file for a test pattern (lines, line, space, contacts),
// with its recipe beside it.
#pragma once

#include <optional>
#include <string>

#include "masks/pattern_generator.h"

namespace aerial_tool {

struct MaskOptions {
    std::string kind;
    std::string directory;
    std::string templatePath; // parameters from this input; else the bundled example's
    std::string unit;         // the length unit (default: the template's, or um)
    std::optional<int> grid;
    std::optional<double> samplePitch, wavelength, na, sigma, defocus;
    std::optional<double> pitch, cd, pitchX, pitchY, size, sizeX, sizeY;
    double bias = 0;
    std::string tone, orientation = "x", phaseShift = "none";
    std::optional<Transmission> transmission, field; // of the feature and of the field, |t| at most 1
    bool fit = false;
    bool quiet = false;
};

// Exit status: 0 written, 1 written with a warning (the grid does not hold whole
// periods), 2 nothing written (a pattern that cannot be drawn, bad options, a template
// that cannot be read, a folder that cannot be written).
int writeMask(const MaskOptions& options);

} // namespace aerial_tool
