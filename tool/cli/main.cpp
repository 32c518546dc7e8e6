// aerial: the command-line host of the aerial-image library. Every subcommand's options
// are defined here, the only file that includes CLI11: Debian 12's CLI11 (2.1) is
// header-only and costs each file that includes it 5 to 8 s of compiling.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "analysis/feature_gauge.h"
#include "analysis/input_check.h"
#include "analysis/option_defaults.h"
#include "analysis/option_values.h"
#include "analysis/sweep_plan.h"
#include "cli/check_command.h"
#include "cli/import_command.h"
#include "cli/mask_command.h"
#include "cli/metrics_command.h"
#include "cli/plot_command.h"
#include "cli/report_command.h"
#include "cli/run_command.h"
#include "cli/run_tiles_command.h"
#include "cli/set_command.h"
#include "cli/stitch_command.h"
#include "cli/sweep_command.h"
#include "cli/tile_command.h"
#include "cli/verify_command.h"
#include "cli/window_command.h"
#include "input/input_layout.h"
#include "io/number_text.h"
#include "io/study_points.h"
#include "masks/mask_recipe.h"

#ifndef AERIAL_VERSION
#define AERIAL_VERSION "unknown"
#endif

namespace {

// Help texts name the files by the layout's own names.
std::string words(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) out.append(part);
    return out;
}

constexpr std::string_view kInput = aerial::kInputFileName;
constexpr std::string_view kImage = aerial::kImageIntensityFileName;

// Every value an option takes is read by the parser of its kind (analysis/option_values.h),
// the option's variable set from what the parser read: CLI11 only finds the text. A text
// the parser refuses is a usage error with its reason, "--threshold: must be ...".
using NumberParser = bool (*)(const std::string&, double&, std::string&);
using ListParser = bool (*)(const std::string&, std::vector<double>&, std::string&);

// The option's long name, for messages: "--jobs" of "-j,--jobs".
std::string optionName(const std::string& names) {
    const size_t comma = names.rfind(',');
    return comma == std::string::npos ? names : names.substr(comma + 1);
}

// An option given once: its text read by `read`, which sets the option's variable or says why
// not (a usage error with the reason).
template <typename ReadText>
CLI::Option* addRead(CLI::App* command, const std::string& names, ReadText read, const std::string& help,
                     const std::string& typeName) {
    const std::string name = optionName(names);
    CLI::Option* option = command->add_option_function<std::string>(
        names,
        [read, name](const std::string& text) {
            std::string why;
            if (!read(text, why)) throw CLI::ValidationError(name, why);
        },
        help);
    option->type_name(typeName);
    return option;
}

// One number; Target is a double or a std::optional<double>.
template <typename Target>
CLI::Option* addNumber(CLI::App* command, const std::string& names, Target& target, NumberParser parse,
                       const std::string& help, const std::string& typeName) {
    return addRead(
        command, names,
        [&target, parse](const std::string& text, std::string& why) {
            double value = 0;
            if (!parse(text, value, why)) return false;
            target = value;
            return true;
        },
        help, typeName);
}

// An option that may be given again and again, one text each time (a following argument is
// never taken for another), every text read in turn into the values.
template <typename ReadText>
CLI::Option* addRepeated(CLI::App* command, const std::string& names, std::vector<double>& target, ReadText read,
                         const std::string& help, const std::string& typeName) {
    const std::string name = optionName(names);
    CLI::Option* option = command->add_option_function<std::vector<std::string>>(
        names,
        [&target, read, name](const std::vector<std::string>& texts) {
            target.clear();
            for (const std::string& text : texts) {
                std::string why;
                if (!read(text, target, why)) throw CLI::ValidationError(name, why);
            }
        },
        help);
    option->expected(1)->allow_extra_args(false)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    option->type_name(typeName);
    return option;
}

// A number that may be repeated, each one a value.
CLI::Option* addNumbers(CLI::App* command, const std::string& names, std::vector<double>& target, NumberParser parse,
                        const std::string& help, const std::string& typeName) {
    return addRepeated(
        command, names, target,
        [parse](const std::string& text, std::vector<double>& values, std::string& why) {
            double value = 0;
            if (!parse(text, value, why)) return false;
            values.push_back(value);
            return true;
        },
        help, typeName);
}

// Notes on values as given, printed once the whole command line is read (a usage error
// stays one line).
std::vector<std::string> valueNotes;

// Ranges START:STOP:STEP or lists V1,V2,..., the values of every one given in turn; a list
// whose comma could be a decimal comma is noted.
CLI::Option* addList(CLI::App* command, const std::string& names, std::vector<double>& target, ListParser parse,
                     const std::string& help, const std::string& typeName) {
    const std::string name = optionName(names);
    return addRepeated(
        command, names, target,
        [parse, name](const std::string& text, std::vector<double>& values, std::string& why) {
            std::vector<double> list;
            if (!parse(text, list, why)) return false;
            values.insert(values.end(), list.begin(), list.end());
            const std::string note = aerial_tool::listCommaNote(text);
            if (!note.empty()) valueNotes.push_back(name + " " + note);
            return true;
        },
        help, typeName);
}

// A whole number from lo to hi; Target is an int or a std::optional<int>.
template <typename Target>
CLI::Option* addWholeNumber(CLI::App* command, const std::string& names, Target& target, int lo, int hi,
                            const std::string& help) {
    return addRead(
        command, names,
        [&target, lo, hi](const std::string& text, std::string& why) {
            int value = 0;
            if (!aerial_tool::parseWholeNumber(text, lo, hi, value, why)) return false;
            target = value;
            return true;
        },
        help, "INT in " + std::to_string(lo) + ".." + std::to_string(hi));
}

// A complex transmission RE,IM.
CLI::Option* addTransmission(CLI::App* command, const std::string& names, std::optional<aerial_tool::Transmission>& target,
                             const std::string& help) {
    return addRead(
        command, names,
        [&target](const std::string& text, std::string& why) {
            aerial_tool::Transmission t;
            if (!aerial_tool::parseTransmission(text, t.re, t.im, why)) return false;
            target = t;
            return true;
        },
        help, "RE,IM");
}

// The default as help texts print it.
std::string shown(double value) { return aerial_tool::exactText(value); }

// tablesText: which points keep their input and tables in their folders without
// --write-tables; empty when every point does (then --no-write-tables keeps none).
void addStudyOptions(CLI::App* command, aerial_tool::StudyOptions& study, const std::string& tablesText = "") {
    addWholeNumber(command, "--jobs", study.jobs, 1, aerial_tool::kMaxJobs,
                   "Runs at a time, each on a thread of this process (default: the number of cores)");
    command->add_option("--library", study.libraryPath, "Shared library the printed run commands load (--print-commands)");
    study.writeTables = tablesText.empty();
    if (tablesText.empty()) {
        command->add_flag("--write-tables,!--no-write-tables", study.writeTables,
                          "Each point's folder gets its input and its three tables (the default; "
                          "--no-write-tables: none, the figures only)");
    } else {
        command->add_flag("--write-tables", study.writeTables,
                          "Every point's folder gets its input and its three tables (else " + tablesText + ")");
    }
    command->add_flag("--print-commands", study.printCommands,
                      "Set up the folders and print one run command a line (absolute paths) instead of running");
    command->add_flag("--no-run", study.noRun,
                      "Run nothing: tabulate the runs already done (after --print-commands)");
    command->add_flag("--clean", study.clean, "Remove folders of an earlier study that are not part of this one");
    command->add_flag("-q,--quiet", study.quiet, "No progress line and no summary line");
}

// The cut through the image: one set of words and checks for every command that measures.
std::vector<CLI::Option*> addCutOptions(CLI::App* command, aerial_tool::CutOptions& cut) {
    return {command->add_option("--axis", cut.axis,
                                "Cut along x or y (default: across the lines of a generated grating, else x)")
                ->check(CLI::IsMember({"x", "y"})),
            addNumber(command, "--at", cut.at, aerial_tool::parseLength,
                      "Move the cut off the grid centre by this distance (length unit)", "DISTANCE"),
            addNumber(command, "--feature-at", cut.featureAt, aerial_tool::parseLength,
                      "Measure the feature containing this position along the cut (default: the cut's centre)",
                      "DISTANCE")};
}

// The figures a measurement can follow, by the names the analysis gives them.
const CLI::Validator kMeasureName(
    [](std::string& text) -> std::string {
        aerial_tool::Measure measure;
        return aerial_tool::measureFromName(text, measure) ? "" : "must be cd, cd-y or area, got '" + text + "'";
    },
    "cd|cd-y|area");

// The options of `metrics` and `run --metrics`; returned so that `run` can make them need --metrics.
std::vector<CLI::Option*> addMetricsOptions(CLI::App* command, aerial_tool::MetricsOptions& metrics) {
    std::vector<CLI::Option*> options = addCutOptions(command, metrics.cut);
    options.push_back(addNumber(command, "--threshold", metrics.threshold, aerial_tool::parseThreshold,
                                "Intensity threshold T for widths (CD) and log slopes", "T > 0"));
    options.push_back(command->add_option("--measure", metrics.measures,
                                          "Also cd-y (the CD along Y through the feature) or area (of the region "
                                          "holding it); repeat for both")
                          ->check(kMeasureName));
    return options;
}

// The figure a study follows.
void addMeasureOption(CLI::App* command, std::string& measure) {
    command->add_option("--measure", measure,
                        "The figure: cd (along the cut), cd-y (along Y through the feature) or area (default: cd)")
        ->check(kMeasureName);
}

void addPictureOptions(CLI::App* command, aerial_tool::PictureOptions& pictures) {
    addNumbers(command, "--threshold", pictures.thresholds, aerial_tool::parseThreshold,
               "Threshold contour on the image and CD on the cutline; repeat for several", "T > 0");
    addCutOptions(command, pictures.cut);
    command->add_flag("--linear", pictures.linear, "Spectrum amplitude on a linear scale (default: log)");
    command->add_flag("--full", pictures.full, "Spectrum pictures over the whole grid (default: the pupils)");
    command->add_flag("--no-mask", pictures.noMask, "Leave the mask's rectangles off the image");
}

// The same choice and words for every command that draws.
void addFormatOption(CLI::App* command, std::string& format) {
    command->add_option("--format", format, "Pictures as png, svg or pdf (default: png)")
        ->check(CLI::IsMember({"png", "svg", "pdf"}));
}

CLI::App* addMaskCommand(CLI::App& app, aerial_tool::MaskOptions& o) {
    CLI::App* c = app.add_subcommand(
        "mask", std::string("Write DIR/") + aerial::kInputFileName + " and DIR/" + aerial_tool::kMaskRecipeFileName +
                    " for a test pattern; lengths in the input's unit");
    c->add_option("KIND", o.kind, "lines, line, space or contacts")
        ->required()
        ->check(CLI::IsMember({"lines", "line", "space", "contacts"}));
    c->add_option("DIR", o.directory, "Folder to write (made if missing)")->required();
    c->add_option("--template", o.templatePath, "Take grid, sample pitch and optics from this input file");
    c->add_option("--unit", o.unit, "Length unit (nm, um, mm; default: the template's, or um)");
    addWholeNumber(c, "--grid", o.grid, 2, aerial::kMaxGrid, "Samples per axis N");
    addNumber(c, "--sample-pitch", o.samplePitch, aerial_tool::parsePositiveLength, "Distance between samples",
              "DISTANCE");
    addNumber(c, "--wavelength", o.wavelength, aerial_tool::parsePositiveLength, "Wavelength", "DISTANCE");
    addNumber(c, "--na", o.na, aerial_tool::parsePositiveNumber, "Numerical aperture", "NA");
    addNumber(c, "--sigma", o.sigma, aerial_tool::parseSigma, "Partial coherence", "SIGMA in 0..1");
    addNumber(c, "--defocus", o.defocus, aerial_tool::parseLength, "Defocus", "DISTANCE");
    // The pattern's sizes: any finite number here, the generator says what it cannot draw.
    addNumber(c, "--pitch", o.pitch, aerial_tool::parseLength, "lines: the grating period; contacts: both pitches",
              "DISTANCE");
    addNumber(c, "--cd", o.cd, aerial_tool::parseLength, "lines, line, space: the feature's width", "DISTANCE");
    addNumber(c, "--bias", o.bias, aerial_tool::parseLength, "Added to every feature width (default 0)", "DISTANCE");
    addNumber(c, "--pitch-x", o.pitchX, aerial_tool::parseLength, "contacts: pitch along X", "DISTANCE");
    addNumber(c, "--pitch-y", o.pitchY, aerial_tool::parseLength, "contacts: pitch along Y", "DISTANCE");
    addNumber(c, "--size", o.size, aerial_tool::parseLength, "contacts: square size", "DISTANCE");
    addNumber(c, "--size-x", o.sizeX, aerial_tool::parseLength, "contacts: size along X", "DISTANCE");
    addNumber(c, "--size-y", o.sizeY, aerial_tool::parseLength, "contacts: size along Y", "DISTANCE");
    c->add_option("--tone", o.tone,
                  "lines, contacts: dark features on a clear field, or clear ones on a dark field "
                  "(default: dark lines, clear holes)")
        ->check(CLI::IsMember({"dark", "clear"}));
    c->add_option("--orientation", o.orientation, "lines, line, space: x (the period along X) or y")
        ->check(CLI::IsMember({"x", "y"}));
    addTransmission(c, "--transmission", o.transmission,
                    "RE,IM of the feature, |t| at most 1 (e.g. -0.245,0: 6 % at 180 degrees)");
    addTransmission(c, "--field", o.field, "RE,IM of the field around the features, |t| at most 1");
    c->add_option("--phase-shift", o.phaseShift, "none or alternating (lines, line)")
        ->check(CLI::IsMember({"none", "alternating"}));
    c->add_flag("--fit", o.fit, "Change the sample pitch (never N) so the grid holds whole periods");
    c->add_flag("-q,--quiet", o.quiet, "Print only warnings and errors");
    return c;
}

CLI::App* addImportCommand(CLI::App& app, aerial_tool::ImportCommandOptions& o) {
    CLI::App* c = app.add_subcommand(
        "import", std::string("Write DIR/") + aerial::kInputFileName + " from a window of one layer of a GDSII layout cell");
    c->add_option("LAYOUT", o.layout, "GDSII stream file")->required();
    c->add_option("DIR", o.directory, "Folder to write (made if missing)")->required();
    c->add_option("--cell", o.cell, "The cell to clip (placed with its whole hierarchy)")->required();
    c->add_option("--layer", o.layer, "LAYER/DATATYPE (or LAYER, datatype 0)")->required();
    c->add_option("--window", o.window, "X0,Y0,X1,Y1 in the layout's user units; centred on the grid")
        ->required();
    addNumber(c, "--sample-pitch", o.samplePitch, aerial_tool::parsePositiveLength,
              "Distance between samples (input's length unit)", "DISTANCE");
    c->add_option("--template", o.templatePath, "Take grid, sample pitch and optics from this input file");
    c->add_option("--unit", o.unit, "Length unit of the input (nm, um, mm; default: the template's, or um)");
    c->add_flag("--dark", o.dark, "Drawn shapes dark and the window's field clear (default: shapes clear)");
    c->add_flag("--manhattanize", o.manhattanize,
                "Step edges that are neither horizontal nor vertical in one-sample steps");
    c->add_flag("-q,--quiet", o.quiet, "Print only errors");
    return c;
}

CLI::App* addTileCommand(CLI::App& app, aerial_tool::TileCommandOptions& o) {
    CLI::App* c = app.add_subcommand(
        "tile", "Cut a region of one layer of a GDSII layout cell into tiles: one input folder each under DIR, "
                "and DIR/tiles.json");
    c->add_option("LAYOUT", o.layout, "GDSII stream file")->required();
    c->add_option("DIR", o.directory, "Folder to write (made if missing)")->required();
    c->add_option("--cell", o.cell, "The cell to tile (placed with its whole hierarchy)")->required();
    c->add_option("--layer", o.layer, "LAYER/DATATYPE (or LAYER, datatype 0)")->required();
    c->add_option("--region", o.region, "X0,Y0,X1,Y1 in the layout's user units")->required();
    addNumber(c, "--tile", o.core, aerial_tool::parseLength,
              "Side of a tile's core (length unit; default: the grid's length less twice the halo)", "DISTANCE");
    addNumber(c, "--halo", o.halo, aerial_tool::parseLength,
              "Halo around each core (length unit; default: " + shown(aerial_tool::kHaloWavelengths) +
                  " lambda / NA rounded up to whole samples)",
              "DISTANCE");
    addNumber(c, "--sample-pitch", o.samplePitch, aerial_tool::parsePositiveLength,
              "Distance between samples of a tile (length unit; default " + shown(aerial_tool::kTileSamplePitchUm) +
                  " um: a grid of 128 spans " + shown(128 * aerial_tool::kTileSamplePitchUm) + " um)",
              "DISTANCE");
    c->add_option("--template", o.templatePath, "Take the optics from this input file (its grid is not used)");
    c->add_option("--unit", o.unit, "Length unit of the inputs (nm, um, mm; default: the template's, or um)");
    c->add_flag("--dark", o.dark, "Drawn shapes dark and the field clear (default: shapes clear)");
    c->add_flag("-q,--quiet", o.quiet, "Print only errors");
    return c;
}

CLI::App* addRunTilesCommand(CLI::App& app, aerial_tool::RunTilesOptions& o) {
    CLI::App* c = app.add_subcommand("run-tiles", "Run the tiles of DIR/tiles.json that are not done yet");
    c->add_option("DIR", o.directory, "Folder holding tiles.json")->required();
    addWholeNumber(c, "--jobs", o.jobs, 1, aerial_tool::kMaxJobs,
                   "Tiles at a time in this process (default: the number of cores)");
    c->add_flag("--print-commands", o.printCommands,
                "Print one run command a line for the tiles not done (for GNU parallel) instead of running");
    c->add_flag("--slurm", o.slurm, "Write DIR/run-tiles.sbatch, an sbatch --array script, instead of running");
    c->add_flag("--submit", o.submit, "With --slurm: submit the script with sbatch");
    addWholeNumber(c, "--tasks", o.tasks, 1, aerial_tool::kMaxSlurmTasks,
                   "With --slurm: array tasks, each a slice of the tiles (default: one a tile, at most " +
                       std::to_string(aerial_tool::kDefaultSlurmTasks) + ")");
    c->add_option("--slice", o.slice, "Run only slice I of K of the tiles (0-based), as an array task does");
    c->add_option("--library", o.libraryPath, "With --print-commands: the shared library each run loads");
    c->add_flag("-q,--quiet", o.quiet, "No summary line");
    return c;
}

CLI::App* addStitchCommand(CLI::App& app, aerial_tool::StitchOptions& o) {
    CLI::App* c = app.add_subcommand(
        "stitch", "The tiles' cores as one image of the region: DIR/stitched.npy (float32), stitched.tif (float), "
                  "stitched.json (scale and origin), stitched.png and contours.csv");
    c->add_option("DIR", o.directory, "Folder holding tiles.json and the tiles' runs")->required();
    addNumber(c, "--pixel", o.pixel, aerial_tool::parsePositiveLength,
              "Pixel pitch of the image (length unit; default " + shown(aerial_tool::kStitchPixelUm) + " um)", "DISTANCE");
    addNumber(c, "--threshold", o.threshold, aerial_tool::parseThreshold,
              "Threshold of the contours (default " + shown(aerial_tool::kDefaultThreshold) + ")", "T > 0");
    c->add_flag("-q,--quiet", o.quiet, "Print only errors");
    return c;
}

CLI::App* addVerifyCommand(CLI::App& app, aerial_tool::VerifyCommandOptions& o) {
    CLI::App* c = app.add_subcommand(
        "verify", "Edge placement error along the drawn edges, process-variation band and hotspots of a tiled "
                  "region: DIR/verify.csv, verify.json, verify.png");
    c->add_option("DIR", o.directory, "Folder holding tiles.json and the tiles' runs")->required();
    addNumber(c, "--threshold", o.threshold, aerial_tool::parseThreshold,
              "Printing threshold at relative dose 1 (default " + shown(aerial_tool::kDefaultThreshold) + ")", "T > 0");
    addList(c, "--focus", o.foci, aerial_tool::parseLengthList,
            "Defocus of the band's corners, F1,F2,... or START:STOP:STEP (default: the tiles' own only)", "FOCI");
    addList(c, "--dose", o.doses, aerial_tool::parseDoseList,
            "Relative doses of the band's corners, D1,D2,... or START:STOP:STEP (default: 1)", "DOSES");
    addNumber(c, "--epe-limit", o.epeLimit, aerial_tool::parsePositiveLength,
              "A hotspot where |EPE| exceeds it (length unit; default " + shown(aerial_tool::kEpeLimitNm) + " nm)",
              "DISTANCE");
    addNumber(c, "--min-width", o.minWidth, aerial_tool::parsePositiveLength,
              "A pinch where the printed width is below it (default " + shown(aerial_tool::kMinWidthNm) + " nm)",
              "DISTANCE");
    addNumber(c, "--min-space", o.minSpace, aerial_tool::parsePositiveLength,
              "A bridge where the printed space is below it (default " + shown(aerial_tool::kMinSpaceNm) + " nm)",
              "DISTANCE");
    addNumber(c, "--site-spacing", o.siteSpacing, aerial_tool::parsePositiveLength,
              "Between EPE sites along an edge (default " + shown(aerial_tool::kSiteSpacingNm) + " nm)", "DISTANCE");
    addWholeNumber(c, "--jobs", o.jobs, 1, aerial_tool::kMaxJobs,
                   "Threads for the sites and the corner runs (default: the number of cores)");
    c->add_flag("-q,--quiet", o.quiet, "Print only errors");
    return c;
}

// The command line as typed, the program called by its own name.
std::string typedCommand(int argc, char** argv) {
    std::vector<std::string> words = {"aerial"};
    for (int k = 1; k < argc; ++k) words.push_back(argv[k]);
    return aerial_tool::commandLine(words);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"aerial: aerial image of projection exposure in optical lithography"};
    app.set_version_flag("--version", std::string("aerial ") + AERIAL_VERSION);
    app.require_subcommand(1);
    // One line per usage error.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string("aerial: ") + e.what() + " (see aerial --help)\n";
    });

    aerial_tool::RunOptions run;
    aerial_tool::MetricsOptions runMetrics;
    bool withMetrics = false;
    CLI::App* runCommand = app.add_subcommand(
        "run", words({"Run main4 in DIR: read DIR/", kInput, ", write ", aerial::kSpectrumAmplitudeFileName, ", ",
               aerial::kSpectrumPhaseFileName, ", ", kImage}));
    runCommand->add_option("DIR", run.directory, words({"Folder holding ", kInput, " (default: .)"}));
    runCommand->add_option("--library", run.libraryPath,
                           "Shared library to load (default: the one beside this tool)");
    runCommand->add_flag("-q,--quiet", run.quiet,
                         "Print no summary line on success (warnings still go to stderr)");
    runCommand->add_flag("--strict", run.strict,
                         "Do not run when `aerial check` warns (exit status 2, nothing written)");
    bool noCheck = false;
    runCommand->add_flag("--no-check", noCheck,
                         "Do not check the input first (for callers that checked it once themselves)");
    CLI::Option* metricsFlag =
        runCommand->add_flag("--metrics", withMetrics, "Print the image metrics after the run");
    std::vector<CLI::Option*> metricsOnly = addMetricsOptions(runCommand, runMetrics);
    metricsOnly.push_back(
        runCommand->add_flag("--json", runMetrics.json, "With --metrics: print them as JSON"));
    for (CLI::Option* option : metricsOnly) option->needs(metricsFlag);

    aerial_tool::CheckOptions check;
    CLI::App* checkCommand = app.add_subcommand(
        "check", words({"Show what a run reads from ", kInput, " and warn where it would be meaningless"}));
    checkCommand->add_option("PATH", check.path, words({"Folder holding ", kInput, ", or an input file (default: .)"}));
    checkCommand->add_flag("--json", check.json, "Print the report as JSON");

    aerial_tool::PlotOptions plot;
    CLI::App* plotCommand = app.add_subcommand(
        "plot", "Draw the three tables, a cutline and the source as pictures beside the tables");
    plotCommand->add_option("DIR", plot.directory, "Folder holding the tables (default: .)");
    addPictureOptions(plotCommand, plot.pictures);
    addFormatOption(plotCommand, plot.format);
    plotCommand->add_flag("-q,--quiet", plot.quiet, "Do not list the pictures written");

    aerial_tool::ReportOptions report;
    CLI::App* reportCommand = app.add_subcommand(
        "report", "One PDF of a run: conditions, warnings and figures, its pictures, and its studies' tables");
    reportCommand->add_option("DIR", report.directory, "Folder of the run (default: .)");
    addPictureOptions(reportCommand, report.pictures);
    reportCommand->add_option("-o,--output", report.output, "The PDF to write (default: DIR/report.pdf)");
    reportCommand->add_option("--title", report.title, "The report's title (default: aerial report: FOLDER)");
    reportCommand->add_option("--notes", report.notes, "A text file shown on the first page");
    reportCommand->add_flag("-q,--quiet", report.quiet, "Print nothing on success (else the PDF's path)");

    aerial_tool::MetricsOptions metrics;
    CLI::App* metricsCommand = app.add_subcommand(
        "metrics", words({"Peak, minimum, contrast, CD and NILS along a cutline of DIR/", kImage}));
    metricsCommand->add_option("DIR", metrics.directory, words({"Folder holding ", kImage, " (default: .)"}));
    addMetricsOptions(metricsCommand, metrics);
    metricsCommand->add_flag("--json", metrics.json, "Print the metrics as JSON");

    aerial_tool::SetOptions set;
    CLI::App* setCommand = app.add_subcommand(
        "set", words({"Change named value cells of DIR/", kInput, " in place: aerial set DIR sigma=0.6 defocus=-0.05"}));
    setCommand->add_option("DIR", set.path, words({"Folder holding ", kInput, ", or an input file"}));
    setCommand->add_option("NAME=VALUE", set.assignments,
                           "The cell of a parameter and its new text (names: aerial set --list)");
    setCommand->add_flag("--any-text", set.anyText,
                         "Write each VALUE as given, also text a run does not read whole as a number "
                         "(aerial check warns about it)");
    setCommand->add_flag("--list", set.list, "Print the parameter names, their lines and columns, and the file names");

    aerial_tool::SweepOptions sweep;
    CLI::App* sweepCommand = app.add_subcommand(
        "sweep", "Study of input parameters: one run per point under DIR/sweep/ (in this process, on --jobs threads), then the "
        "feature's CD at each");
    sweepCommand->add_option("DIR", sweep.directory, "Folder holding the input to vary")->required();
    sweepCommand->add_option("--vary", sweep.vary,
                             "NAME=START:STOP:STEP or NAME=V1,V2,...; repeat for the grid of combinations "
                             "(NAME: an input parameter, or mask.pitch, mask.cd, mask.bias with DIR/mask.json)");
    sweepCommand->add_option("--defocus", sweep.defocus, "Shorthand for --vary defocus=START:STOP:STEP");
    addNumbers(sweepCommand, "--threshold", sweep.thresholds, aerial_tool::parseThreshold,
               "Threshold for the CD; repeat for one Bossung curve each (default: " +
                   shown(aerial_tool::kDefaultThreshold) + ")",
               "T > 0");
    addCutOptions(sweepCommand, sweep.cut);
    addMeasureOption(sweepCommand, sweep.measure);
    sweepCommand->add_flag("--fit", sweep.fit,
                           "With mask parameters varied: fit each point's sample pitch (never N) to whole periods "
                           "of its pattern, as aerial mask --fit does");
    sweepCommand->add_flag("--print-csv", sweep.printCsv, "Also print the results table on stdout");
    addFormatOption(sweepCommand, sweep.format);
    addStudyOptions(sweepCommand, sweep.study);

    aerial_tool::WindowOptions window;
    CLI::App* windowCommand = app.add_subcommand(
        "window", "Focus-exposure window: CD through focus and dose, exposure latitude against depth of focus");
    windowCommand->add_option("DIR", window.directory, "Folder holding the input")->required();
    windowCommand->add_option("--defocus", window.defocus, "Sampled foci START:STOP:STEP")->required();
    addNumber(windowCommand, "--target-cd", window.targetCd, aerial_tool::parsePositiveNumber,
              "Target of the figure: a CD (length unit), or an area (length unit squared)", "TARGET > 0")
        ->required();
    addNumber(windowCommand, "--tolerance", window.tolerance, aerial_tool::parseFraction,
              "In tolerance: CD within target x (1 +- FRAC) (default " + shown(aerial_tool::kDefaultTolerance) + ")",
              "FRAC");
    addNumber(windowCommand, "--threshold", window.t0, aerial_tool::parseThreshold,
              "T0: relative dose E prints at threshold T0 / E (default " + shown(aerial_tool::kDefaultThreshold) + ")",
              "T0 > 0");
    addList(windowCommand, "--dose", window.doses, aerial_tool::parseDoseList,
            "Relative doses of fem.csv and the pictures, D1,D2,... or START:STOP:STEP (default: bracketing the window)",
            "DOSES");
    addCutOptions(windowCommand, window.cut);
    addMeasureOption(windowCommand, window.measure);
    windowCommand->add_flag("--sampled", window.sampled,
                            "The sampled foci only: no extra runs to refine the window's focus edges");
    windowCommand->add_flag("--json", window.json, "Print the summary as JSON");
    addFormatOption(windowCommand, window.format);
    addStudyOptions(windowCommand, window.study, "only the sampled foci and the best focus, not the refining runs");

    aerial_tool::MaskOptions mask;
    CLI::App* maskCommand = addMaskCommand(app, mask);
    aerial_tool::ImportCommandOptions import;
    CLI::App* importCommand = addImportCommand(app, import);
    aerial_tool::TileCommandOptions tile;
    CLI::App* tileCommand = addTileCommand(app, tile);
    aerial_tool::RunTilesOptions runTiles;
    CLI::App* runTilesCommand = addRunTilesCommand(app, runTiles);
    aerial_tool::StitchOptions stitch;
    CLI::App* stitchCommand = addStitchCommand(app, stitch);
    aerial_tool::VerifyCommandOptions verify;
    CLI::App* verifyCommand = addVerifyCommand(app, verify);

    // A command the tool does not have is named as such, not taken for a missing one; the
    // tool itself takes no option but --help and --version.
    if (argc >= 2 && argv[1][0] == '-') {
        const std::string first = argv[1];
        if (first != "-h" && first != "--help" && first != "--version") {
            std::fprintf(stderr, "aerial: unknown option '%s': options follow the command (see aerial --help)\n",
                         aerial_tool::showText(first).c_str());
            return 2;
        }
    }
    if (argc < 2 || argv[1][0] != '-') {
        const std::string name = argc < 2 ? "" : argv[1];
        std::string names;
        bool known = false;
        for (const CLI::App* command : app.get_subcommands({})) {
            known = known || command->check_name(name);
            names += (names.empty() ? "" : ", ") + command->get_name();
        }
        if (argc < 2) {
            std::fprintf(stderr, "aerial: give a command: %s (see aerial --help)\n", names.c_str());
            return 2;
        }
        if (!known) {
            std::fprintf(stderr, "aerial: unknown command '%s' (see aerial --help)\n", aerial_tool::showText(name).c_str());
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        // Usage errors are distinct from simulation failures.
        return e.get_exit_code() == 0 ? 0 : (code == 0 ? 0 : 2);
    }

    for (const std::string& note : valueNotes) std::fprintf(stderr, "aerial: note: %s\n", note.c_str());
    // The studies record the command that made them.
    sweep.study.commandLine = window.study.commandLine = typedCommand(argc, argv);
    if (runCommand->parsed()) {
        run.check = !noCheck;
        bool finiteTables = false;
        int status = aerial_tool::runSimulation(run, finiteTables);
        if (status != 0 || !withMetrics) return status;
        // Tables of NaN or infinities, said once by the run: nothing to measure (as metrics
        // alone answers them).
        if (!finiteTables) return 1;
        runMetrics.directory = run.directory;
        return aerial_tool::printMetrics(runMetrics);
    }
    if (checkCommand->parsed()) return aerial_tool::printInputCheck(check);
    if (plotCommand->parsed()) return aerial_tool::plotTables(plot);
    if (reportCommand->parsed()) return aerial_tool::writeReport(report);
    if (metricsCommand->parsed()) return aerial_tool::printMetrics(metrics);
    if (setCommand->parsed()) return aerial_tool::setInputCells(set);
    if (sweepCommand->parsed()) return aerial_tool::runSweep(sweep);
    if (windowCommand->parsed()) return aerial_tool::runWindow(window);
    if (maskCommand->parsed()) return aerial_tool::writeMask(mask);
    if (importCommand->parsed()) return aerial_tool::importLayoutClip(import);
    if (tileCommand->parsed()) return aerial_tool::cutLayoutTiles(tile);
    if (runTilesCommand->parsed()) return aerial_tool::runTiles(runTiles);
    if (stitchCommand->parsed()) return aerial_tool::stitchTiledImage(stitch);
    if (verifyCommand->parsed()) return aerial_tool::verifyTiledLayout(verify);
    return 0;
}
