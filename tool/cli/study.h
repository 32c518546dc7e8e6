// What `sweep` and `window` share: the points of a study as folders under DIR/<name>/, set
// up from DIR's input, run one process each (or printed as commands), checked and read
// back. Messages go to stderr; the commands decide the exit status.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/feature_gauge.h"
#include "analysis/metrics.h"
#include "analysis/sweep_plan.h"
#include "input/parse_input.h"
#include "masks/mask_recipe.h"

namespace aerial_tool {

struct StudyOptions {
    int jobs = 0;               // runs at a time; 0: the number of cores
    std::string libraryPath;    // passed on to every run
    bool printCommands = false; // set up the folders and print the runs, run nothing
    bool noRun = false;         // set up nothing new, tabulate the runs already done
    bool clean = false;         // remove folders of an earlier study
    bool quiet = false;         // no progress line
    std::string commandLine;    // as typed, for the study's manifest
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
    std::optional<MaskRecipe> recipe; // DIR/mask.json, when DIR has one
    std::string recipeBytes;          // its bytes as read
    // Each point's sample pitch changed (never N) so that its grid holds whole periods of
    // its pattern, as `aerial mask --fit` does (only when mask parameters vary).
    bool fitSamplePitch = false;
};

// Whether the study draws its points' rectangles again from the recipe.
bool variesMask(const Study& study);

// The recipe with a point's values of the mask parameters; none without a recipe.
std::optional<MaskRecipe> pointRecipe(const Study& study, const std::vector<double>& values);

// Reads DIR's input and lays out the points under DIR/<name>/. Exit status 2 with a message
// when the input cannot be read, else 0.
int planStudy(const std::string& directory, const std::string& name, std::vector<SweepAxis> axes, Study& study);

// The absolute folder of a point.
std::string pointFolder(const Study& study, size_t point);

// The input of a point: the study's input with the varied cells changed and, when mask
// parameters vary, the rectangles drawn again from the recipe. warning, when given: why the
// grid does not hold whole periods of the point's pattern, or empty.
bool pointInput(const Study& study, const std::vector<double>& values, std::string& bytes, std::string& error,
                std::string* warning = nullptr);

// Sets up the folders and runs the points, or prints their commands. Returns -1 to go on
// tabulating; otherwise the exit status to end with (0 after printing the commands).
// `failed` holds the points whose run failed.
int runStudy(const Study& study, const StudyOptions& options, std::vector<bool>& failed);

// Runs one more point in `folder` with those values (the best focus of a window). Exit
// status of the run, or 2 when it cannot be set up.
int runExtraPoint(const Study& study, const StudyOptions& options, const std::string& folder,
                  const std::vector<double>& values);

// Runs more points at once, point k in folders[k] with values[k] (the foci that refine a
// window), as many at a time as the options allow. 0 when every one ran (with --no-run: every
// one holds a finished run of its input), 1 when a run failed or is missing, 2 when a point
// cannot be set up; messages printed.
int runExtraPoints(const Study& study, const StudyOptions& options, const std::vector<std::string>& folders,
                   const std::vector<std::vector<double>>& values);

// A point's image (its own input and table) made ready to measure the choice, with its
// pattern's periods; false with a message printed.
bool readPointGauge(const Study& study, const std::string& folder, const std::vector<double>& values,
                    const CutChoice& choice, FeatureGauge& gauge);

// Whether a point of a study over mask parameters is drawn on a grid that does not hold
// whole periods of its pattern: its image is not the periodic pattern's.
bool pointNotPeriodic(const Study& study, const std::vector<double>& values);

// Writes the study's manifest beside the files it wrote (names in the study folder): the
// command, the hashes of the input and recipe the points were made from, the varied
// parameters. False with the message printed.
bool recordStudy(const Study& study, const StudyOptions& options, const std::vector<std::string>& files);

// The jobs option as a number of processes.
int jobCount(int jobs);

} // namespace aerial_tool
