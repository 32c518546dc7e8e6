// `aerial sweep`: a study over any input parameters, one folder and one process per point
// under DIR/sweep/, then the measured feature of every point in DIR/sweep/results.csv.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/option_defaults.h"
#include "cli/measure_setup.h"
#include "cli/study.h"

namespace aerial_tool {

struct SweepOptions {
    std::string directory;
    std::vector<std::string> vary; // NAME=START:STOP:STEP or NAME=V1,V2,...
    std::string defocus;           // shorthand for --vary defocus=...
    std::vector<double> thresholds; // one Bossung curve each; empty: kDefaultThreshold
    CutOptions cut;
    std::string measure = "cd";     // cd, cd-y or area
    bool fit = false;               // fit each point's sample pitch to whole periods of its pattern
    bool printCsv = false;
    std::string format = "png"; // of the pictures
    StudyOptions study;
};

// Exit status: 0 every point ran and the feature was measured at every threshold, 1 a run
// failed, points were not run (--no-run) or the feature never prints at a threshold, 2
// usage or input errors.
int runSweep(const SweepOptions& options);

} // namespace aerial_tool
