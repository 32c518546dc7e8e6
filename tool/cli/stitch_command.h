// `aerial stitch DIR`: the tiles' cores as one image of the region.
#pragma once

#include <optional>
#include <string>

#include "analysis/option_defaults.h"

namespace aerial_tool {

struct StitchOptions {
    std::string directory;
    std::optional<double> pixel;
    double threshold = kDefaultThreshold;
    bool quiet = false;
};

// Exit status: 0 written, 2 nothing written (no tiling, tiles not done, a file not written).
int stitchTiledImage(const StitchOptions& options);

} // namespace aerial_tool
