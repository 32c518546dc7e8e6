// What `sweep` and `window` share: the points of a study as folders under DIR/<name>/, set
// up from DIR's input and run in this process on a pool of engines (or printed as commands
// for machines elsewhere), each point's image made ready to measure. Messages go to stderr;
// the commands decide the exit status.
#pragma once

#include <map>
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
    int jobs = 0;               // runs at a time (threads); 0: the number of cores
    std::string libraryPath;    // passed on to every printed run command
    bool printCommands = false; // set up the folders and print the runs, run nothing
    bool noRun = false;         // set up nothing new, tabulate the runs already done
    bool clean = false;         // remove folders of an earlier study
    bool quiet = false;         // no progress line
    std::string commandLine;    // as typed, for the study's manifest
    // Every point's folder gets its input and its three tables (main4's bytes); else only
    // the points the command lists do.
    bool writeTables = true;
};

// The points run in this process, ready to measure, by their absolute folder: the gauge of
// each image (its values rounded to the tables' printed digits), or why it has none.
struct PointGauge {
    FeatureGauge gauge;
    std::string error; // empty when the gauge is ready
    std::string notFinite; // when the image holds NaN or an infinity: where (as error says it)
};
struct StudyGauges {
    std::map<std::string, PointGauge> byFolder;
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

// Sets up the folders and runs the points in this process, or prints their commands.
// Returns -1 to go on measuring; otherwise the exit status to end with (0 after printing
// the commands). `failed` holds the points whose run failed; `gauges` the image of every
// point run, made ready to measure the choice.
int runStudy(const Study& study, const StudyOptions& options, const CutChoice& choice, StudyGauges& gauges,
             std::vector<bool>& failed);

// Runs more points at once, point k in folders[k] with values[k] (the foci that refine a
// window, its best focus), as many at a time as the options allow, into `gauges`; their
// folders get their input and tables when keepTables. 0 when every one ran (with --no-run:
// every one holds a finished run of its input), 1 when a run failed or is missing, 2 when a
// point cannot be set up; messages printed.
int runExtraPoints(const Study& study, const StudyOptions& options, const CutChoice& choice,
                   const std::vector<std::string>& folders, const std::vector<std::vector<double>>& values,
                   bool keepTables, StudyGauges& gauges);

// A point's image made ready to measure the choice, with its pattern's periods: the one run
// in this process, else the point's own input and table (after --no-run); false with a
// message printed. An image holding NaN or an infinity is not measured: with notFinite
// given, false with the first such cell named there and nothing printed.
bool readPointGauge(const Study& study, const StudyGauges& gauges, const std::string& folder,
                    const std::vector<double>& values, const CutChoice& choice, FeatureGauge& gauge,
                    std::string* notFinite = nullptr);

// Whether a point of a study over mask parameters is drawn on a grid that does not hold
// whole periods of its pattern: its image is not the periodic pattern's.
bool pointNotPeriodic(const Study& study, const std::vector<double>& values);

// Writes the study's manifest beside the files it wrote (names in the study folder): the
// command, the hashes of the input and recipe the points were made from, the varied
// parameters. False with the message printed.
bool recordStudy(const Study& study, const StudyOptions& options, const std::vector<std::string>& files);


} // namespace aerial_tool
