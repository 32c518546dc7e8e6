#include "cli/window_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <system_error>

#include <nlohmann/json.hpp>

#include "analysis/engine_pool.h"
#include "analysis/process_window.h"
#include "analysis/sweep_plan.h"
#include "cli/format_option.h"
#include "input/parse_input.h"
#include "io/csv_table.h"
#include "io/file_reason.h"
#include "io/input_edit.h"
#include "io/input_folder.h"
#include "io/picture_loader.h"
#include "io/study_outputs.h"
#include "analysis/run_pictures.h"
#include "io/csv_table.h"
#include "io/run_folder.h"
#include "io/number_text.h"
#include "io/study_manifest.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

using json = nlohmann::ordered_json;

constexpr const char* kBestFocusFolder = "best-focus";
constexpr const char* kRefinedFolder = "refined"; // the foci run to refine the window's edges
// Each round halves the gaps beside the edges: from a focus step of a Rayleigh unit to a
// 512th of one takes nine.
constexpr int kMaxRefinementRounds = 16;

struct SolvedFocus {
    double focus;
    bool sampled;
    FocusSolution solution;
};

std::vector<FocusDoses> fociOf(const std::vector<SolvedFocus>& solved) {
    std::vector<FocusDoses> out;
    for (const SolvedFocus& s : solved) out.push_back({s.focus, s.solution.inTolerance, s.sampled});
    return out;
}

std::string unstableNames(const std::vector<SolvedFocus>& solved) {
    std::string out;
    for (const SolvedFocus& s : solved)
        if (s.solution.status == FocusStatus::kUnstable) out += (out.empty() ? "" : ", ") + exactText(s.focus);
    return out;
}

double focusStep(const SweepAxis& axis) {
    return axis.values.size() > 1 ? axis.values[1] - axis.values[0] : 0.0;
}

// How close the refined focus edges come: a 512th of the Rayleigh focus unit wavelength /
// NA^2 (0.00067 um for the bundled optics), a scale of the optics, so that the window does
// not depend on the focus step; a 64th of the step when the optics give no scale.
double focusPrecision(const aerial::InputValues& v, const SweepAxis& axis) {
    const double rayleigh = std::fabs(v.wavelength / (v.numericalAperture * v.numericalAperture));
    if (std::isfinite(rayleigh) && rayleigh > 0) return rayleigh / 512;
    const double step = focusStep(axis);
    return step > 0 ? step / 64 : 1.0;
}

// A figure as the text says it: a merged feature is larger than any, one that vanished 0.
std::string figureText(double v) {
    if (std::isinf(v)) return "merged";
    if (v == 0) return "not printed";
    return shortText(v);
}

json number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

bool writeText(const fs::path& path, const std::string& text) {
    std::string error;
    if (!writeFileBytes(path.string(), text, error)) {
        std::fprintf(stderr, "aerial: %s: cannot write: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

// Each gauge's focus solved, the gauges at once on the study's threads; false with the
// message printed when one cannot be.
bool solveFoci(const std::vector<FeatureGauge>& gauges, const ThresholdModel& model, int jobs,
               std::vector<FocusSolution>& solutions) {
    solutions.assign(gauges.size(), FocusSolution{});
    const std::vector<PoolFailure> failures =
        forEachInParallel(gauges.size(), jobs, [&](size_t k) { solutions[k] = solveFocus(gauges[k], model); });
    if (failures.empty()) return true;
    std::fprintf(stderr, "aerial: %s\n", failures.front().message.c_str());
    return false;
}

// What a window leaves, so that none of an earlier window outlives this one.
void removeWindowFiles(const fs::path& folder) {
    std::error_code ec;
    for (const char* name : {kWindowSummaryFileName, kFemTableFileName}) fs::remove(folder / name, ec);
    for (const char* stem : {"fem_bossung", "ed_window"}) removePictures(folder.string(), stem);
}

} // namespace

int runWindow(const WindowOptions& options) {
    PictureFormat format = PictureFormat::kPng;
    if (!pictureFormatOption(options.format, format)) return 2;
    SweepAxis focusAxis;
    std::string error;
    if (!parseVary("defocus=" + options.defocus, focusAxis, error)) {
        std::fprintf(stderr, "aerial: --defocus: %s\n", error.substr(error.find(": ") + 2).c_str());
        return 2;
    }
    if (focusAxis.missedStop) {
        std::fprintf(stderr, "aerial: note: --defocus %s: the step does not reach the end; the last focus is %s\n",
                     options.defocus.c_str(), exactText(focusAxis.values.back()).c_str());
    }
    std::vector<double> doses = options.doses;
    Measure measure = Measure::kCd;
    if (!measureFromName(options.measure, measure)) {
        std::fprintf(stderr, "aerial: --measure %s: not one of cd, cd-y, area\n", options.measure.c_str());
        return 2;
    }
    // The pictures come last; their module loads meanwhile (a few milliseconds of cairo and
    // its libraries, which the runs would otherwise wait on).
    std::future<void> pictureModule;
    try {
        pictureModule = std::async(std::launch::async, [] {
            std::string ignored; // asked again, with its reason, when the pictures are drawn
            loadPictureFunctions(ignored);
        });
    } catch (const std::system_error&) {
        // No thread to spare: the module loads when the pictures are drawn.
    }
    Study study;
    if (int status = planStudy(options.directory, kWindowFolderName, {focusAxis}, study); status != 0) return status;
    const CutChoice choice = chooseCut(options.cut, study.recipe, measure);
    if (!cutOnGrid(choice, study.values->gridSize, study.values->samplePitch, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    study.ownFolders.push_back(kBestFocusFolder);
    study.ownFolders.push_back(kRefinedFolder);
    std::vector<bool> failed;
    StudyGauges pointGauges;
    // The sampled foci are the window's listed points: their folders keep input and tables.
    StudyOptions sampledRuns = options.study;
    sampledRuns.writeTables = true;
    const int ran = runStudy(study, sampledRuns, choice, pointGauges, failed);
    if (ran >= 0) return ran;
    // The window's files are this window's or none: one that cannot be computed leaves no
    // earlier window's figures to be read as its own.
    removeWindowFiles(study.folder);

    const size_t count = study.points.size();
    std::vector<FeatureGauge> gauges(count);
    size_t notFiniteCount = 0;
    std::string firstNotFinite;
    // The rows fem.csv holds of the foci whose image is not finite: no dose, no threshold.
    std::string notFiniteRows;
    for (size_t p = 0; p < count; ++p) {
        if (failed[p]) {
            std::fprintf(stderr, "aerial: the window needs every focus; %s has no image\n",
                         study.points[p].folder.c_str());
            return 1;
        }
        std::string notFinite;
        if (readPointGauge(study, pointGauges, pointFolder(study, p), study.points[p].values, choice, gauges[p],
                           &notFinite))
            continue;
        if (notFinite.empty()) return 1;
        if (notFiniteCount++ == 0) firstNotFinite = notFinite;
        const char* status = statusText(FeatureStatus::kNotFinite);
        notFiniteRows += csvRecord({exactText(study.points[p].values[0]), "none", "none", status, status});
    }
    // A focus whose image is not finite has no figure at any dose: no window stands on it.
    if (notFiniteCount > 0) {
        const fs::path fem = fs::path(study.folder) / kFemTableFileName;
        if (!writeText(fem, csvRecord({"focus", "dose", "threshold", measureColumn(measure), "status"}) + notFiniteRows))
            return 2;
        std::fprintf(stderr, "aerial: no window: the window needs every focus, and %zu of %zu foci have an image "
                     "that is not finite (status '%s' in %s); the first: %s\n", notFiniteCount, count,
                     statusText(FeatureStatus::kNotFinite), fem.c_str(), firstNotFinite.c_str());
        return 1;
    }
    ThresholdModel model;
    model.t0 = options.t0;
    model.targetCd = options.targetCd;
    model.tolerance = options.tolerance;
    // A space or a line as the nominal focus shows it, kept through focus and dose.
    model.bright = gaugeBright(gauges[study.nominal]);
    const double featureAt = choice.featureAt;

    // Every focus solved, the sampled ones and those run to refine the window, by focus.
    std::vector<SolvedFocus> solved;
    std::vector<FocusSolution> solutions;
    if (!solveFoci(gauges, model, options.study.jobs, solutions)) return 2;
    for (size_t p = 0; p < count; ++p) solved.push_back({study.points[p].values[0], true, solutions[p]});
    std::sort(solved.begin(), solved.end(), [](const SolvedFocus& a, const SolvedFocus& b) { return a.focus < b.focus; });

    const fs::path folder = study.folder;
    const std::string unit = lengthUnitOf(options.directory);
    const std::string figureUnit = measureIsArea(measure) ? unit + "^2" : unit;
    const char* figureName = measureIsArea(measure) ? "area" : measure == Measure::kCdY ? "CD-y" : "CD";
    const char* kind = model.bright ? "bright" : "dark";
    const std::string cut = cutDescription(gauges[study.nominal].cutAxis, gauges[study.nominal].cutPosition);
    std::optional<WindowSummary> summary = summariseWindow(fociOf(solved));
    if (!summary) {
        std::fprintf(stderr,
                     "aerial: the %s feature at %s (%s) reaches the target %s %s %s (tolerance %s) at no focus "
                     "and no dose (threshold model, T0 %s): no window%s\n",
                     kind, shortText(featureAt).c_str(), cut.c_str(), figureName, exactText(model.targetCd).c_str(), figureUnit.c_str(),
                     exactText(model.tolerance).c_str(), exactText(model.t0).c_str(),
                     unstableNames(solved).empty() ? "" : ("; unstable at " + unstableNames(solved)).c_str());
        return 1;
    }

    // The focus edges of each window, and the focus of the largest latitude, refined by
    // bisection in focus: each round runs the midpoints of the gaps still wider than the
    // precision beside them.
    const double precision = focusPrecision(*study.values, focusAxis);
    size_t refinedRuns = 0;
    bool refined = !options.sampled;
    // The refining runs keep their folders only with --write-tables: an earlier window's
    // would disagree with this one.
    if (!options.study.noRun && !options.study.writeTables) {
        std::error_code ec;
        fs::remove_all(folder / kRefinedFolder, ec);
    }
    for (int round = 0; refined && round < kMaxRefinementRounds; ++round) {
        std::vector<double> next = refinementFoci(fociOf(solved), precision);
        std::vector<std::string> folders;
        std::vector<std::vector<double>> values;
        std::vector<double> wanted;
        for (double focus : next) {
            // The focus as the run reads it from its input cell.
            const double f = roundedValue(focus, 12);
            if (std::any_of(solved.begin(), solved.end(), [&](const SolvedFocus& s) { return s.focus == f; })) continue;
            wanted.push_back(f);
            folders.push_back((folder / kRefinedFolder / ("defocus_" + exactText(f))).string());
            values.push_back({f});
        }
        if (wanted.empty()) break;
        const int status =
            runExtraPoints(study, options.study, choice, folders, values, options.study.writeTables, pointGauges);
        if (status != 0) {
            if (!options.study.noRun) return status;
            std::fprintf(stderr, "aerial: --no-run: the window's focus edges are not refined further; its figures "
                                 "stand on the foci run so far\n");
            refined = false;
            break;
        }
        std::vector<FeatureGauge> refining(wanted.size());
        for (size_t k = 0; k < wanted.size(); ++k)
            if (!readPointGauge(study, pointGauges, folders[k], values[k], choice, refining[k])) return 1;
        if (!solveFoci(refining, model, options.study.jobs, solutions)) return 2;
        for (size_t k = 0; k < wanted.size(); ++k) solved.push_back({wanted[k], false, solutions[k]});
        refinedRuns += wanted.size();
        std::sort(solved.begin(), solved.end(),
                  [](const SolvedFocus& a, const SolvedFocus& b) { return a.focus < b.focus; });
        summary = summariseWindow(fociOf(solved));
    }
    const std::vector<FocusDoses> foci = fociOf(solved);
    if (refined && !refinementFoci(foci, precision).empty())
        std::fprintf(stderr, "aerial: note: after %d rounds of refining runs some focus edges are still further "
                             "apart than %s %s\n", kMaxRefinementRounds, shortText(precision, 2).c_str(), unit.c_str());

    // The best focus may lie between the foci run: then it gets a run of its own.
    FeatureGauge best;
    const double bestFocus = roundedValue(summary->bestFocus, 12);
    std::string bestFolder;
    for (size_t p = 0; p < count; ++p) {
        if (study.points[p].values[0] == bestFocus) {
            best = gauges[p];
            bestFolder = pointFolder(study, p);
        }
    }
    if (bestFolder.empty()) {
        bestFolder = (folder / kBestFocusFolder).string();
        if (int status = runExtraPoints(study, options.study, choice, {bestFolder}, {{bestFocus}}, true, pointGauges);
            status != 0)
            return status;
        if (!readPointGauge(study, pointGauges, bestFolder, {bestFocus}, choice, best)) return 1;
    }
    const FocusSolution atBest = solveFocus(best, model);

    // The focus-exposure matrix at the sampled foci.
    std::vector<FocusDoses> sampledFoci;
    for (const SolvedFocus& s : solved)
        if (s.sampled) sampledFoci.push_back({s.focus, s.solution.inTolerance, true});
    if (doses.empty()) doses = bracketingDoses(sampledFoci.empty() ? foci : sampledFoci, 11);
    std::string csv = csvRecord({"focus", "dose", "threshold", measureColumn(measure), "status"});
    std::vector<DoseCurve> curves;
    for (double dose : doses) curves.push_back({dose, {}, {}});
    // Every focus at every dose, the foci at once on the study's threads.
    std::vector<std::vector<FeatureMetrics>> atDoses(count, std::vector<FeatureMetrics>(doses.size()));
    const std::vector<PoolFailure> unmeasured = forEachInParallel(count, options.study.jobs, [&](size_t p) {
        for (size_t d = 0; d < doses.size(); ++d) atDoses[p][d] = featureAtDose(gauges[p], model, doses[d]);
    });
    if (!unmeasured.empty()) {
        std::fprintf(stderr, "aerial: %s\n", unmeasured.front().message.c_str());
        return 2;
    }
    for (size_t p = 0; p < count; ++p) {
        const double focus = study.points[p].values[0];
        for (size_t d = 0; d < doses.size(); ++d) {
            const FeatureMetrics& f = atDoses[p][d];
            const FeatureStatus status = figureStatus(f, measure);
            const bool measured = status == FeatureStatus::kMeasured;
            csv += csvRecord({exactText(focus), exactText(doses[d]), exactText(model.t0 / doses[d]),
                              measured ? exactText(figureOf(f, measure)) : std::string(statusText(status)),
                              statusText(status)});
            curves[d].focus.push_back(focus);
            curves[d].cd.push_back(measured ? figureOf(f, measure) : NAN);
        }
    }

    json out;
    out[measureIsArea(measure) ? "target_area" : "target_cd"] = model.targetCd;
    out["tolerance"] = model.tolerance;
    out["t0"] = model.t0;
    out["best_focus"] = summary->bestFocus;
    out["dose_to_size"] = atBest.doseToSize ? json(*atBest.doseToSize) : json(nullptr);
    out["max_el"] = summary->maxEl;
    json windows = json::array();
    for (const ProcessWindow& w : summary->windows) {
        windows.push_back({{"el", w.el}, {"dof", w.dof}, {"focus_min", w.focusMin}, {"focus_max", w.focusMax},
                           {"dose_min", w.doses.low}, {"dose_max", w.doses.high}, {"open_end", w.openEnd}});
    }
    out["windows"] = windows;
    out["measure"] = measureName(measure);
    out["refined"] = refined;
    out["focus_precision"] = refined ? json(precision) : json(nullptr);
    out["refining_runs"] = refinedRuns;
    // The depths of focus quoted most, at EL 5 % and 10 %; null where no window reaches it.
    json quoted = json::array();
    for (double el : {0.05, 0.10}) {
        const std::optional<ProcessWindow> w = widestWindow(foci, el);
        quoted.push_back({{"el", el}, {"dof", w ? json(w->dof) : json(nullptr)}});
    }
    out["dof_at_el"] = quoted;
    out["feature"] = kind;
    out["feature_at"] = featureAt;
    out["axis"] = gauges[study.nominal].cutAxis == CutAxis::kY ? "y" : "x";
    out["cut_position"] = gauges[study.nominal].cutPosition;
    out["image"] = gauges[study.nominal].cut.sampled() ? "sampled" : "continuous";
    out["length_unit"] = unit;
    out["best_focus_folder"] = pathFromFolder(bestFolder, folder.string());
    json perFocus = json::array(), unstable = json::array(), noDose = json::array();
    for (const SolvedFocus& f : solved) {
        const FocusSolution& s = f.solution;
        json one = {{"focus", f.focus},
                    {"sampled", f.sampled},
                    {"status", focusStatusText(s.status)},
                    {"dose_to_size", s.doseToSize ? json(*s.doseToSize) : json(nullptr)},
                    {"dose_min", s.inTolerance ? number(s.inTolerance->low) : json(nullptr)},
                    {"dose_max", s.inTolerance ? number(s.inTolerance->high) : json(nullptr)},
                    {"el", s.inTolerance ? number(exposureLatitude(*s.inTolerance)) : json(nullptr)}};
        if (s.status == FocusStatus::kUnstable) {
            one["jump_dose"] = number(*s.jumpDose);
            one["jump_from"] = number(s.jumpFrom);
            one["jump_to"] = number(s.jumpTo);
            unstable.push_back(f.focus);
        }
        if (s.status == FocusStatus::kNoDose) noDose.push_back(f.focus);
        perFocus.push_back(one);
    }
    out["unstable_foci"] = unstable;
    out["no_dose_foci"] = noDose;
    out["foci"] = perFocus;
    // The unit comes from the input's cells, whatever their bytes.
    const std::string summaryText = out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    if (!writeText(folder / kFemTableFileName, csv) || !writeText(folder / kWindowSummaryFileName, summaryText)) return 2;

    const PictureFunctions* draw = loadPictureFunctions(error);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    const std::string focusName = "defocus (" + unit + ")";
    // Titled with the folder and the conditions, as a run's pictures are.
    const RunInput input = readRunInput(options.directory);
    const FemPictureText femText{
        studyPictureTitle(input,
                          std::string(figureName) + " through focus at each dose (T0 " + shortText(model.t0) +
                              ", target " + shortText(model.targetCd) + " +- " + shortText(model.tolerance * 100) +
                              " %)",
                          study.axes, {}),
        focusName, std::string(figureName) + " (" + figureUnit + ")"};
    std::vector<LatitudePoint> latitude;
    for (const ProcessWindow& w : summary->windows) latitude.push_back({w.dof, w.el});
    // The curve ends at the largest latitude, which a single focus has.
    if (summary->maxEl > summary->windows.back().el) latitude.push_back({0, summary->maxEl});
    const std::string ext = pictureExtension(format);
    const fs::path fem = folder / ("fem_bossung" + ext), ed = folder / ("ed_window" + ext);
    const PictureTitle edTitle =
        studyPictureTitle(input,
                          std::string("Exposure latitude against depth of focus") +
                              (refined ? " (focus edges refined)" : " (sampled foci)"),
                          study.axes, {});
    if (!draw->femBossung(curves, model.targetCd * (1 - model.tolerance), model.targetCd * (1 + model.tolerance),
                          femText, format, fem.string())) {
        std::fprintf(stderr, "aerial: %s: %s\n", fem.c_str(), notWritable(fem.string(), "the drawing failed").c_str());
        return 2;
    }
    if (!draw->exposureDefocus(latitude, edTitle, "depth of focus (" + unit + ")", !refined, format, ed.string())) {
        std::fprintf(stderr, "aerial: %s: %s\n", ed.c_str(), notWritable(ed.string(), "the drawing failed").c_str());
        return 2;
    }

    if (!recordStudy(study, options.study,
                     {kFemTableFileName, kWindowSummaryFileName, fem.filename().string(), ed.filename().string()}))
        return 2;
    if (options.json) {
        std::printf("%s", summaryText.c_str());
    } else {
        std::printf("window of the %s feature at %s %s: target %s %s %s, tolerance %s, T0 %s\n", kind,
                    shortText(featureAt).c_str(),
                    cut.c_str(), figureName, exactText(model.targetCd).c_str(), figureUnit.c_str(),
                    exactText(model.tolerance).c_str(), exactText(model.t0).c_str());
        std::printf("focus        dose to size  in-tolerance doses      EL        status\n");
        for (const SolvedFocus& f : solved) {
            // The refined foci are many: only those that are not in tolerance are named.
            if (!f.sampled && f.solution.status == FocusStatus::kInTolerance) continue;
            const FocusSolution& s = f.solution;
            const std::string dts = s.doseToSize ? shortText(*s.doseToSize) : "none";
            const std::string range =
                s.inTolerance ? shortText(s.inTolerance->low) + " .. " + shortText(s.inTolerance->high) : "none";
            const std::string el = s.inTolerance ? percentText(exposureLatitude(*s.inTolerance)) : "";
            std::string status = focusStatusText(s.status);
            if (s.status == FocusStatus::kUnstable)
                status += std::string(": ") + figureName + " " + figureText(s.jumpFrom) + " to " + figureText(s.jumpTo) +
                          " at dose " + shortText(*s.jumpDose);
            if (!f.sampled) status += " (refining run)";
            std::printf("%-11s  %-12s  %-22s  %-8s  %s\n", exactText(f.focus).c_str(), dts.c_str(), range.c_str(),
                        el.c_str(), status.c_str());
        }
        if (refined) {
            std::printf("refined      %zu extra foci in %s: every window's focus edges within %s %s\n",
                        refinedRuns, (folder / kRefinedFolder).c_str(), shortText(precision, 2).c_str(), unit.c_str());
        } else {
            std::printf("sampled      the windows stand on the foci run (focus step %s %s)\n",
                        exactText(focusStep(focusAxis)).c_str(), unit.c_str());
        }
        std::printf("best focus   %s %s (the centre of the EL 0 window)\n", exactText(summary->bestFocus).c_str(),
                    unit.c_str());
        if (atBest.doseToSize) {
            std::printf("dose to size %s (threshold %s)\n", shortText(*atBest.doseToSize).c_str(),
                        shortText(model.t0 / *atBest.doseToSize).c_str());
        }
        std::printf("max EL       %s\n", percentText(summary->maxEl).c_str());
        std::printf("EL        DOF          focus                        doses\n");
        for (const ProcessWindow& w : summary->windows) {
            const std::string focusRange = exactText(w.focusMin) + " .. " + exactText(w.focusMax);
            const std::string doseRange = shortText(w.doses.low) + " .. " + shortText(w.doses.high);
            std::printf("%-8s  %-11s  %-27s  %s%s\n", percentText(w.el).c_str(), exactText(w.dof).c_str(),
                        focusRange.c_str(), doseRange.c_str(), w.openEnd ? "  (reaches the end of the sampled foci)" : "");
        }
        if (!options.study.quiet) {
            std::printf("table %s, summary %s, pictures %s, %s\n", (folder / kFemTableFileName).c_str(),
                        (folder / kWindowSummaryFileName).c_str(), fem.c_str(), ed.c_str());
        }
    }
    if (!unstable.empty())
        std::fprintf(stderr, "aerial: note: unstable at %s: the %s jumps across the tolerance band there (no dose "
                             "holds it)\n", unstableNames(solved).c_str(), figureName);
    if (!atBest.doseToSize) {
        std::fprintf(stderr, "aerial: at the best focus %s no dose gives the target %s exactly (the %s jumps past it)\n",
                     exactText(summary->bestFocus).c_str(), figureName, figureName);
        return 1;
    }
    return 0;
}

} // namespace aerial_tool
