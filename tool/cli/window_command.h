// `aerial window`: the focus-exposure matrix of the measured feature in the threshold
// model, its process windows (exposure latitude against depth of focus), best focus and
// dose to size, under DIR/window/.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/option_defaults.h"

#include "cli/measure_setup.h"
#include "cli/study.h"

namespace aerial_tool {

struct WindowOptions {
    std::string directory;
    std::string defocus; // START:STOP:STEP
    double targetCd = 0;
    double tolerance = kDefaultTolerance;
    double t0 = kDefaultThreshold;
    std::vector<double> doses; // of fem.csv and the pictures, each above 0; empty: bracketing the window
    CutOptions cut;
    std::string measure = "cd"; // cd, cd-y or area: the figure the target and tolerance are of
    bool sampled = false;       // the sampled foci only: no runs to refine the window's focus edges
    bool json = false;
    std::string format = "png"; // of the pictures
    StudyOptions study;
};

// Exit status: 0 the window was found, 1 a run failed or was not done (--no-run), or the
// target CD is in tolerance at no focus; 2 usage or input errors.
int runWindow(const WindowOptions& options);

} // namespace aerial_tool
