// `aerial sweep`: a focus series, one folder and one process per defocus value.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

struct SweepOptions {
    std::string directory;
    std::string defocus;            // START:STOP:STEP
    int jobs = 0;                   // runs at a time; 0: the number of cores
    std::vector<double> thresholds; // one Bossung curve each; empty: 0.3
    std::string libraryPath;        // passed on to every run
    bool printCommands = false;     // set up the folders and print the runs, run nothing
    bool noRun = false;             // set up nothing new, tabulate the runs already done
};

// Exit status: 0 all members ran and were measured, 1 some run failed, 2 bad input.
int runSweep(const SweepOptions& options);

} // namespace aerial_tool
