#include "cli/study.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <mutex>
#include <stdexcept>

#include "io/file_reason.h"
#include "io/input_edit.h"
#include "aerial/engine.hpp"
#include "analysis/engine_pool.h"
#include "io/input_folder.h"
#include "analysis/input_check.h"
#include "cli/run_command.h"
#include "input/input_cells.h"
#include "input/input_layout.h"
#include "output/table_layout.h"
#include "io/result_table.h"
#include "io/study_manifest.h"
#include "io/study_points.h"
#include "io/table_files.h"
#include "io/input_writer.h"
#include "cli/measure_setup.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

// A progress line that rewrites itself, only for a person watching a terminal.
struct Progress {
    bool shown;
    size_t total;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

    void operator()(size_t done) const {
        if (!shown) return;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "\r%zu / %zu points, %s s, %s points/s ", done, total, fixedText(seconds, 1).c_str(),
                     fixedText(seconds > 0 ? done / seconds : 0.0, 1).c_str());
        if (done == total) std::fprintf(stderr, "\n");
        std::fflush(stderr);
    }
};

std::string shown(const std::string& folder) {
    std::error_code ec;
    const fs::path relative = fs::relative(folder, ec);
    return ec || relative.empty() ? folder : relative.string();
}

} // namespace

int planStudy(const std::string& directory, const std::string& name, std::vector<SweepAxis> axes, Study& study) {
    const fs::path input = fs::path(directory) / aerial::kInputFileName;
    std::error_code ec;
    auto cells = newInputCells();
    if (!fs::is_regular_file(input, ec) || !aerial::scanInputFile(input.c_str(), *cells)) {
        std::fprintf(stderr, "aerial: %s: %s\n", input.c_str(), notReadable(input.string()).c_str());
        return 2;
    }
    FILE* file = std::fopen(input.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "aerial: %s: %s\n", input.c_str(), notReadable(input.string()).c_str());
        return 2;
    }
    study.input.clear();
    char block[1 << 14];
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) study.input.append(block, got);
    std::fclose(file);
    // Checked once here; the points' runs skip the check (--no-check), so the warnings are
    // not repeated for every point, and an input a run refuses is refused for all of them.
    const InputReport report = checkInputCells(*cells);
    printCheckWarnings(report, directory);
    if (refuseInput(report, input.string())) return 2;
    study.values = std::make_unique<aerial::InputValues>();
    aerial::parseInput(*cells, *study.values);
    study.directory = directory;
    study.folder = (fs::absolute(directory, ec) / name).lexically_normal().string();
    // The recipe of a generated mask: needed to vary its parameters, and read whenever it is
    // there, since it says where the pattern's periods lie and which way its lines run.
    study.recipe.reset();
    study.recipeBytes.clear();
    bool needsRecipe = false;
    for (const SweepAxis& axis : axes) needsRecipe = needsRecipe || axis.cell == nullptr;
    MaskRecipe recipe;
    std::string error;
    switch (readRecipeFile(directory, recipe, error, &study.recipeBytes)) {
    case RecipeFile::kRead: study.recipe = recipe; break;
    case RecipeFile::kBad:
        if (needsRecipe) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            return 2;
        }
        std::fprintf(stderr, "aerial: warning: %s; measured as a mask of rectangles\n", error.c_str());
        break;
    case RecipeFile::kAbsent:
        if (needsRecipe) {
            for (const SweepAxis& axis : axes) {
                if (axis.cell != nullptr) continue;
                std::fprintf(stderr, "aerial: varying %s needs %s, the recipe aerial mask writes\n",
                             axisName(axis).c_str(), (fs::path(directory) / kMaskRecipeFileName).c_str());
                break;
            }
            return 2;
        }
        break;
    }
    study.axes = std::move(axes);
    for (const SweepAxis& axis : study.axes)
        if (!axis.note.empty()) std::fprintf(stderr, "aerial: note: %s: %s\n", axisName(axis).c_str(), axis.note.c_str());
    study.points = sweepPoints(study.axes);
    // The nominal condition: the point the input itself describes, if the study has it.
    study.nominal = 0;
    for (size_t p = 0; p < study.points.size(); ++p) {
        bool same = true;
        for (size_t a = 0; a < study.axes.size(); ++a) {
            double own = 0;
            if (study.axes[a].cell != nullptr) own = aerial::parameterValue(*study.values, study.axes[a].cell->id);
            else recipeParameter(*study.recipe, study.axes[a].maskParameter, own);
            same = same && own == study.points[p].values[a];
        }
        if (same) {
            study.nominal = p;
            break;
        }
    }
    return 0;
}

std::string pointFolder(const Study& study, size_t point) {
    return (fs::path(study.folder) / study.points[point].folder).string();
}

bool variesMask(const Study& study) {
    if (!study.recipe) return false;
    for (const SweepAxis& axis : study.axes)
        if (axis.cell == nullptr) return true;
    return false;
}

std::optional<MaskRecipe> pointRecipe(const Study& study, const std::vector<double>& values) {
    if (!study.recipe) return std::nullopt;
    MaskRecipe recipe = *study.recipe;
    for (size_t a = 0; a < study.axes.size() && a < values.size(); ++a)
        if (study.axes[a].cell == nullptr) setRecipeParameter(recipe, study.axes[a].maskParameter, values[a]);
    return recipe;
}

bool pointInput(const Study& study, const std::vector<double>& values, std::string& bytes, std::string& error,
                std::string* warning) {
    std::vector<CellChange> changes;
    std::vector<std::pair<std::string, double>> mask;
    for (size_t a = 0; a < study.axes.size(); ++a) {
        if (study.axes[a].cell == nullptr)
            mask.push_back({study.axes[a].maskParameter, values[a]});
        else
            changes.push_back({study.axes[a].cell->line, study.axes[a].cell->column, exactText(values[a])});
    }
    if (study.fitSamplePitch && !mask.empty() && study.recipe) {
        // The point's pattern on the input's grid, the pitch fitted as the generator's --fit does.
        const std::optional<MaskRecipe> recipe = pointRecipe(study, values);
        const std::vector<double> periods = patternPeriods(recipe->pattern);
        const Grid grid{study.values->gridSize, study.values->samplePitch};
        if (!periods.empty() && periods[0] > 0 && grid.size > 0 && grid.samplePitch > 0) {
            const aerial::ParameterCell& pitch = aerial::parameterCell(aerial::ParameterId::kSamplePitch);
            changes.push_back({pitch.line, pitch.column, exactText(fitPeriod(periods[0], grid).fittedSamplePitch)});
        }
    }
    if (!changedInput(study.input, changes, bytes, error)) {
        error = (fs::path(study.directory) / aerial::kInputFileName).string() + " " + error;
        return false;
    }
    if (warning != nullptr) warning->clear();
    if (mask.empty() || !study.recipe) return true;
    std::string drawn, why;
    if (!regenerateInput(bytes, *study.recipe, mask, drawn, warning != nullptr ? *warning : why, error)) {
        std::string point;
        for (const auto& [name, value] : mask) point += std::string(point.empty() ? "" : ", ") + name + " = " + exactText(value);
        error = point + ": " + error;
        return false;
    }
    bytes = std::move(drawn);
    return true;
}

namespace {

// At most this many points are held as values at once (about 48 KB each): a study of
// 10000 points runs in batches, each on the whole pool.
constexpr size_t kPointsPerBatch = 256;

// A point's files of an earlier run, removed when this run does not keep them: its tables
// would disagree with the figures of this one.
void removePointFiles(const std::string& folder) {
    std::error_code ec;
    fs::remove(fs::path(folder) / aerial::kInputFileName, ec);
    for (const char* name : aerial::kResultTableFileNames) fs::remove(fs::path(folder) / name, ec);
    if (fs::is_empty(folder, ec)) fs::remove(folder, ec);
}

// Runs point k in folders[k] with values[k] on the pool, each image made ready to measure
// on the thread that ran it. Returns 2 when a point cannot be set up (message printed),
// else 0 with `failed` holding the points whose run or tables failed (messages printed).
int runPoints(const Study& study, const StudyOptions& options, const CutChoice& choice,
              const std::vector<std::string>& folders, const std::vector<std::vector<double>>& values,
              bool keepTables, StudyGauges& gauges, std::vector<size_t>& failed, const Progress* progress) {
    failed.clear();
    const size_t count = folders.size();
    std::vector<std::optional<MaskRecipe>> recipes(count);
    std::vector<PointGauge> ready(count);
    std::mutex progressLock;
    size_t done = 0;
    std::vector<aerial::InputValues> inputs;
    for (size_t first = 0; first < count; first += kPointsPerBatch) {
        const size_t last = std::min(count, first + kPointsPerBatch);
        inputs.clear();
        for (size_t k = first; k < last; ++k) {
            std::string bytes, error;
            if (!pointInput(study, values[k], bytes, error) ||
                (keepTables && !writePointInput(folders[k], bytes, error))) {
                std::fprintf(stderr, "aerial: %s\n", error.c_str());
                return 2;
            }
            if (!keepTables) removePointFiles(folders[k]);
            // The point's input read as main4 reads its file.
            inputs.push_back(aerial::parseInputText(bytes));
            recipes[k] = pointRecipe(study, values[k]);
        }
        const std::vector<PoolFailure> failures = runInParallel(
            inputs, poolThreadCount(options.jobs), [&](size_t index, const aerial::SimulationResult& result) {
                const size_t k = first + index;
                std::string error;
                if (keepTables && !writeRunTables(folders[k], result, error)) throw std::runtime_error(error);
                // The image as its table prints it, so that `metrics` on the table gives these figures.
                std::vector<double> printed(result.intensity.size());
                for (size_t i = 0; i < printed.size(); ++i) printed[i] = printedValue(result.intensity[i]);
                ImageSamples image;
                PointGauge& point = ready[k]; // this point's alone: no other thread touches it
                if (const auto cell = firstNonFiniteCell(inputs[index].gridSize, printed)) {
                    point.notFinite = nonFiniteText(shown((fs::path(folders[k]) / aerial::kImageIntensityFileName).string()), *cell);
                    point.error = point.notFinite;
                } else if (imageSamples(inputs[index], std::move(printed), image, point.error))
                    prepareGauge(image, choice, imagePatternPeriods(recipes[k], image), point.gauge, point.error);
                if (progress != nullptr) {
                    const std::lock_guard<std::mutex> hold(progressLock);
                    (*progress)(++done);
                }
            });
        for (const PoolFailure& f : failures) {
            const size_t k = first + f.index;
            std::fprintf(stderr, "aerial: the run in %s failed: %s\n", shown(folders[k]).c_str(), f.message.c_str());
            failed.push_back(k);
            ready[k].error = "no image: its run failed";
        }
        if (progress != nullptr && !failures.empty()) (*progress)(done += failures.size());
    }
    for (size_t k = 0; k < count; ++k) gauges.byFolder[folders[k]] = std::move(ready[k]);
    return 0;
}

// A point as the study names it: "sigma=5", "mask.pitch=0.3 defocus=0.1".
std::string pointName(const Study& study, const std::vector<double>& values) {
    std::string name;
    for (size_t a = 0; a < study.axes.size() && a < values.size(); ++a) {
        if (!name.empty()) name += ' ';
        name.append(axisName(study.axes[a])).append("=").append(exactText(values[a]));
    }
    return name;
}

// At most this many points are named with a warning, and this many warnings printed.
constexpr size_t kNamedPoints = 6;
constexpr size_t kPointWarnings = 20;

// Each point's input checked as a run checks its own (the points' runs skip the check): a
// warning DIR's input does not have already (planStudy printed those) is printed once,
// with the points it concerns.
void printPointWarnings(const Study& study) {
    auto cells = newInputCells();
    aerial::scanInputText(study.input, *cells);
    std::vector<std::string> known;
    for (const Finding& f : checkInputCells(*cells).warnings) known.push_back(f.message);
    std::vector<std::pair<std::string, std::vector<size_t>>> found; // in the order first met
    for (size_t p = 0; p < study.points.size(); ++p) {
        std::string bytes, error;
        if (!pointInput(study, study.points[p].values, bytes, error)) continue; // its run says why
        aerial::scanInputText(bytes, *cells);
        for (const Finding& f : checkInputCells(*cells).warnings) {
            if (std::find(known.begin(), known.end(), f.message) != known.end()) continue;
            auto at = std::find_if(found.begin(), found.end(), [&](const auto& w) { return w.first == f.message; });
            if (at == found.end()) found.push_back({f.message, {p}});
            else if (at->second.back() != p) at->second.push_back(p);
        }
    }
    for (size_t k = 0; k < found.size() && k < kPointWarnings; ++k) {
        const std::vector<size_t>& points = found[k].second;
        std::string names;
        for (size_t i = 0; i < points.size() && i < kNamedPoints; ++i) {
            if (i > 0) names.append(", ");
            names.append(pointName(study, study.points[points[i]].values));
        }
        if (points.size() > kNamedPoints)
            names.append(" and ").append(std::to_string(points.size() - kNamedPoints)).append(" more points");
        std::fprintf(stderr, "aerial: warning: %s: %s\n", showText(names).c_str(), showText(found[k].first).c_str());
    }
    if (found.size() > kPointWarnings)
        std::fprintf(stderr, "aerial: warning: %zu more warnings at points of the study (aerial check on a point's "
                             "input gives its report)\n", found.size() - kPointWarnings);
}

// With --library the points would have to run on another library: only printed commands can.
bool refuseLibrary(const StudyOptions& options) {
    if (options.libraryPath.empty() || options.printCommands || options.noRun) return false;
    std::fprintf(stderr, "aerial: --library applies to the commands --print-commands prints: the points of a "
                         "study run in this process, on the tool's own engine\n");
    return true;
}

} // namespace

int runStudy(const Study& study, const StudyOptions& options, const CutChoice& choice, StudyGauges& gauges,
             std::vector<bool>& failed) {
    const size_t count = study.points.size();
    failed.assign(count, false);
    if (refuseLibrary(options)) return 2;
    printPointWarnings(study);
    std::vector<std::string> names;
    for (const SweepPoint& p : study.points) names.push_back(p.folder);
    names.insert(names.end(), study.ownFolders.begin(), study.ownFolders.end());
    const std::vector<std::string> stale = staleFolders(study.folder, names);
    if (!stale.empty()) {
        std::string list;
        for (const std::string& s : stale) {
            if (!list.empty()) list += ", ";
            list += s;
        }
        if (options.clean) {
            std::error_code ec;
            for (const std::string& s : stale) fs::remove_all(fs::path(study.folder) / s, ec);
            std::fprintf(stderr, "aerial: removed %zu folder(s) of an earlier study from %s: %s\n", stale.size(),
                         shown(study.folder).c_str(), list.c_str());
        } else {
            std::fprintf(stderr,
                         "aerial: %zu folder(s) in %s are not part of this study and are left out: %s "
                         "(--clean removes them)\n",
                         stale.size(), shown(study.folder).c_str(), list.c_str());
        }
    }

    std::vector<std::string> folders;
    std::vector<std::vector<double>> values;
    for (size_t p = 0; p < count; ++p) {
        folders.push_back(pointFolder(study, p));
        values.push_back(study.points[p].values);
    }
    if (options.printCommands) {
        // The commands run the points' inputs elsewhere: every folder gets its input.
        for (size_t p = 0; p < count; ++p) {
            std::string bytes, error;
            if (!pointInput(study, values[p], bytes, error) || !writePointInput(folders[p], bytes, error)) {
                std::fprintf(stderr, "aerial: %s\n", error.c_str());
                return 2;
            }
        }
        const std::string tool = toolPath();
        for (size_t p = 0; p < count; ++p)
            std::printf("%s\n", commandLine(pointRunCommand(tool, folders[p], options.libraryPath)).c_str());
        return 0;
    }

    if (!options.noRun) {
        // The study's own files go here even when no point keeps a folder (--no-write-tables).
        std::error_code made;
        fs::create_directories(study.folder, made);
        if (made) {
            std::fprintf(stderr, "aerial: %s: cannot make the folder: %s\n", shown(study.folder).c_str(),
                         made.message().c_str());
            return 2;
        }
        const Progress progress{!options.quiet && isatty(STDERR_FILENO) == 1, count};
        std::vector<size_t> failedPoints;
        if (runPoints(study, options, choice, folders, values, options.writeTables, gauges, failedPoints,
                      &progress) != 0)
            return 2;
        for (size_t p : failedPoints) failed[p] = true;
        // The study's files are written again from here on.
        removeEarlierStudy(study.folder);
        return -1;
    }

    // --no-run: every point must hold a finished run of its present input.
    std::string refused;
    size_t refusedCount = 0;
    for (size_t p = 0; p < count; ++p) {
        const std::string& folder = folders[p];
        std::string why = tablesFault(folder, study.values->gridSize);
        // The manifest names the input the study is made from: a point set up from an
        // earlier version of it is not that study's point.
        std::string expected, present, error;
        if (why.empty() && pointInput(study, study.points[p].values, expected, error) &&
            readFileBytes((fs::path(folder) / aerial::kInputFileName).string(), present) && present != expected)
            why = "set up from another version of " + std::string(aerial::kInputFileName) +
                  " (it has changed since): set the study up again without --no-run";
        if (why.empty()) continue;
        ++refusedCount;
        if (refusedCount <= 20) refused += "\n  " + shown(folder) + ": " + why;
    }
    if (refusedCount > 0) {
        if (refusedCount > 20) refused += "\n  ... and " + std::to_string(refusedCount - 20) + " more";
        std::fprintf(stderr, "aerial: --no-run: %zu of %zu points have no finished run of their input, nothing tabulated "
                     "(run their commands first):%s\n", refusedCount, count, refused.c_str());
        return 1;
    }
    removeEarlierStudy(study.folder);
    return -1;
}

int runExtraPoints(const Study& study, const StudyOptions& options, const CutChoice& choice,
                   const std::vector<std::string>& folders, const std::vector<std::vector<double>>& values,
                   bool keepTables, StudyGauges& gauges) {
    if (options.noRun) {
        for (size_t k = 0; k < folders.size(); ++k) {
            std::string bytes, error;
            if (!pointInput(study, values[k], bytes, error) || !writePointInput(folders[k], bytes, error)) {
                std::fprintf(stderr, "aerial: %s\n", error.c_str());
                return 2;
            }
        }
        for (size_t k = 0; k < folders.size(); ++k) {
            const std::string why = tablesFault(folders[k], study.values->gridSize);
            if (why.empty()) continue;
            std::fprintf(stderr, "aerial: --no-run: %s: %s; run it first:\n%s\n", shown(folders[k]).c_str(),
                         why.c_str(), commandLine(pointRunCommand(toolPath(), folders[k], options.libraryPath)).c_str());
            return 1;
        }
        return 0;
    }
    if (refuseLibrary(options)) return 2;
    std::vector<size_t> failed;
    if (runPoints(study, options, choice, folders, values, keepTables, gauges, failed, nullptr) != 0) return 2;
    return failed.empty() ? 0 : 1;
}

bool recordStudy(const Study& study, const StudyOptions& options, const std::vector<std::string>& files) {
    StudyManifest m;
    m.study = fs::path(study.folder).filename().string();
    m.command = options.commandLine;
    // The study folder is DIR/<name>: its inputs are one folder up.
    m.inputs.push_back({(fs::path("..") / aerial::kInputFileName).string(), sha256Hex(study.input)});
    if (study.recipe)
        m.inputs.push_back({(fs::path("..") / kMaskRecipeFileName).string(), sha256Hex(study.recipeBytes)});
    for (const SweepAxis& axis : study.axes) m.variables.push_back({axisName(axis), axis.valuesText, axis.values.size()});
    m.points = study.points.size();
    m.files = files;
    m.written = utcNow();
    std::string error;
    if (writeStudyManifest(study.folder, m, error)) return true;
    std::fprintf(stderr, "aerial: %s\n", error.c_str());
    return false;
}

bool readPointGauge(const Study& study, const StudyGauges& gauges, const std::string& folder,
                    const std::vector<double>& values, const CutChoice& choice, FeatureGauge& gauge,
                    std::string* notFinite) {
    const auto ran = gauges.byFolder.find(folder);
    if (ran != gauges.byFolder.end()) {
        if (!ran->second.notFinite.empty() && notFinite != nullptr) {
            *notFinite = ran->second.notFinite;
            return false;
        }
        if (!ran->second.error.empty()) {
            std::fprintf(stderr, "aerial: %s: %s\n", shown(folder).c_str(), ran->second.error.c_str());
            return false;
        }
        gauge = ran->second.gauge;
        return true;
    }
    ImageSamples image;
    if (!readPointImage(folder, image)) return false;
    if (const auto cell = firstNonFiniteCell(image.size, image.values)) {
        const std::string why = nonFiniteText(shown((fs::path(folder) / aerial::kImageIntensityFileName).string()), *cell);
        if (notFinite != nullptr) *notFinite = why;
        else std::fprintf(stderr, "aerial: %s\n", why.c_str());
        return false;
    }
    std::string error;
    if (!prepareGauge(image, choice, imagePatternPeriods(pointRecipe(study, values), image), gauge, error)) {
        std::fprintf(stderr, "aerial: %s: %s\n", shown(folder).c_str(), error.c_str());
        return false;
    }
    return true;
}

bool pointNotPeriodic(const Study& study, const std::vector<double>& values) {
    if (!variesMask(study)) return false;
    std::string bytes, error, warning;
    return pointInput(study, values, bytes, error, &warning) && !warning.empty();
}

} // namespace aerial_tool
