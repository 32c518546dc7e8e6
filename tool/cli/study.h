// What `sweep` and `window` share: the points of a study as folders under DIR/<name>/, set
// up from DIR's input, run one process each (or printed as commands), checked and read
// back. Messages go to stderr; the commands decide the exit status.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "analysis/metrics.h"
#include "analysis/sweep_plan.h"
#include "input/parse_input.h"

namespace aerial_tool {

struct StudyOptions {
    int jobs = 0;               // runs at a time; 0: the number of cores
    std::string libraryPath;    // passed on to every run
    bool printCommands = false; // set up the folders and print the runs, run nothing
    bool noRun = false;         // set up nothing new, tabulate the runs already done
    bool clean = false;         // remove folders of an earlier study
    bool quiet = false;         // no progress line
};

struct Study {
    std::string directory;     // DIR
    std::string folder;        // DIR/<name>, absolute
    std::string input;         // the bytes of DIR's input
    std::unique_ptr<aerial::InputValues> values; // as the run reads them
    std::vector<SweepAxis> axes;
    std::vector<SweepPoint> points;
    size_t nominal = 0; // the point whose values are the input's own, else the first
    std::vector<std::string> ownFolders; // further folders of the study, never stale
};

// Reads DIR's input and lays out the points under DIR/<name>/. Exit status 2 with a message
// when the input cannot be read, else 0.
int planStudy(const std::string& directory, const std::string& name, std::vector<SweepAxis> axes, Study& study);

// The absolute folder of a point.
std::string pointFolder(const Study& study, size_t point);

// The input of a point: the study's input with the varied cells changed.
bool pointInput(const Study& study, const std::vector<double>& values, std::string& bytes, std::string& error);

// Sets up the folders and runs the points, or prints their commands. Returns -1 to go on
// tabulating; otherwise the exit status to end with (0 after printing the commands).
// `failed` holds the points whose run failed.
int runStudy(const Study& study, const StudyOptions& options, std::vector<bool>& failed);

// Runs one more point in `folder` with those values (the best focus of a window). Exit
// status of the run, or 2 when it cannot be set up.
int runExtraPoint(const Study& study, const StudyOptions& options, const std::string& folder,
                  const std::vector<double>& values);

// The cut along X through the grid centre of a point's image; false with a message printed.
bool readPointCut(const std::string& folder, Profile& profile);

// The jobs option as a number of processes.
int jobCount(int jobs);

} // namespace aerial_tool
