// `aerial verify DIR`: the printed contours of a tiled region against its drawn layout.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/option_defaults.h"

namespace aerial_tool {

struct VerifyCommandOptions {
    std::string directory;
    double threshold = kDefaultThreshold;
    std::vector<double> foci;
    std::vector<double> doses;
    std::optional<double> epeLimit, minWidth, minSpace, siteSpacing;
    int jobs = 0;
    bool quiet = false;
};

// Exit status: 0 verified (hotspots or not: they are results), 2 nothing verified.
int verifyTiledLayout(const VerifyCommandOptions& options);

} // namespace aerial_tool
