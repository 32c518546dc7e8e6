#include "cli/window_command.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "analysis/process_window.h"
#include "analysis/sweep_plan.h"
#include "cli/format_option.h"
#include "io/input_folder.h"
#include "io/picture_loader.h"
#include "io/study_outputs.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

using json = nlohmann::ordered_json;

constexpr const char* kBestFocusFolder = "best-focus";

json number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

bool writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "aerial: %s: cannot write: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

std::string percent(double fraction) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", fraction * 100);
    return text;
}

// What a window leaves, so that none of an earlier window outlives this one.
void removeWindowFiles(const fs::path& folder) {
    std::error_code ec;
    for (const char* name : {"window.json", "fem.csv"}) fs::remove(folder / name, ec);
    for (const char* stem : {"fem_bossung", "ed_window"}) removePictures(folder.string(), stem);
}

} // namespace

int runWindow(const WindowOptions& options) {
    PictureFormat format = PictureFormat::kPng;
    if (!pictureFormatOption(options.format, format)) return 2;
    if (!(options.targetCd > 0) || !std::isfinite(options.targetCd)) {
        std::fprintf(stderr, "aerial: --target-cd must be a length above 0\n");
        return 2;
    }
    SweepAxis focusAxis;
    std::string error;
    if (!parseVary("defocus=" + options.defocus, focusAxis, error)) {
        std::fprintf(stderr, "aerial: --defocus: %s\n", error.substr(error.find(": ") + 2).c_str());
        return 2;
    }
    if (focusAxis.missedStop) {
        std::fprintf(stderr, "aerial: note: --defocus %s: the step does not reach the end; the last focus is %s\n",
                     options.defocus.c_str(), valueText(focusAxis.values.back()).c_str());
    }
    std::vector<double> doses;
    if (!options.dose.empty()) {
        if (!parseRange(options.dose, doses, error)) {
            std::fprintf(stderr, "aerial: --dose %s\n", error.c_str());
            return 2;
        }
        if (!(doses.front() > 0)) {
            std::fprintf(stderr, "aerial: --dose %s: relative doses must lie above 0\n", options.dose.c_str());
            return 2;
        }
    }
    Study study;
    if (int status = planStudy(options.directory, "window", {focusAxis}, study); status != 0) return status;
    study.ownFolders.push_back(kBestFocusFolder);
    std::vector<bool> failed;
    const int ran = runStudy(study, options.study, failed);
    if (ran >= 0) return ran;

    const size_t count = study.points.size();
    std::vector<Profile> profiles(count);
    for (size_t p = 0; p < count; ++p) {
        if (failed[p] || !readPointCut(pointFolder(study, p), profiles[p])) {
            std::fprintf(stderr, "aerial: the window needs every focus; %s has no image\n",
                         study.points[p].folder.c_str());
            return 1;
        }
    }
    ThresholdModel model;
    model.t0 = options.t0;
    model.targetCd = options.targetCd;
    model.tolerance = options.tolerance;
    model.featureAt = options.featureAt.value_or(0.0);
    if (!checkFeaturePosition(profiles[study.nominal], model.featureAt, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    // A space or a line as the nominal focus shows it, kept through focus and dose.
    model.bright = brightFeatureAt(profiles[study.nominal], model.featureAt);

    std::vector<FocusDoses> foci;
    std::vector<FocusSolution> solutions;
    for (size_t p = 0; p < count; ++p) {
        solutions.push_back(solveFocus(profiles[p], model));
        foci.push_back({study.points[p].values[0], solutions.back().inTolerance});
    }
    const fs::path folder = study.folder;
    const std::string unit = lengthUnitOf(options.directory);
    const char* kind = model.bright ? "bright" : "dark";
    const std::optional<WindowSummary> summary = summariseWindow(foci);
    if (!summary) {
        removeWindowFiles(folder);
        std::fprintf(stderr,
                     "aerial: the %s feature at %g reaches the target CD %s %s (tolerance %s) at no focus "
                     "and no dose (threshold model, T0 %s): no window\n",
                     kind, model.featureAt, valueText(model.targetCd).c_str(), unit.c_str(),
                     valueText(model.tolerance).c_str(), valueText(model.t0).c_str());
        return 1;
    }

    // The best focus may lie between sampled foci: then it gets a run of its own.
    Profile best;
    const double bestFocus = std::strtod(valueText(summary->bestFocus).c_str(), nullptr);
    std::string bestFolder;
    for (size_t p = 0; p < count; ++p) {
        if (study.points[p].values[0] == bestFocus) {
            best = profiles[p];
            bestFolder = pointFolder(study, p);
        }
    }
    if (bestFolder.empty()) {
        bestFolder = (folder / kBestFocusFolder).string();
        if (int status = runExtraPoint(study, options.study, bestFolder, {bestFocus}); status != 0) return status;
        if (!readPointCut(bestFolder, best)) return 1;
    }
    const FocusSolution atBest = solveFocus(best, model);

    if (doses.empty()) doses = bracketingDoses(foci, 11);
    std::string csv = "focus,dose,threshold,cd,status\n";
    std::vector<DoseCurve> curves;
    for (double dose : doses) curves.push_back({dose, {}, {}});
    for (size_t p = 0; p < count; ++p) {
        for (size_t d = 0; d < doses.size(); ++d) {
            const FeatureMetrics f = featureAtDose(profiles[p], model, doses[d]);
            const bool measured = f.status == FeatureStatus::kMeasured;
            csv += valueText(foci[p].focus) + "," + valueText(doses[d]) + "," + valueText(model.t0 / doses[d]) + "," +
                   (measured ? valueText(f.cd) : std::string(statusText(f.status))) + "," + statusText(f.status) + "\n";
            curves[d].focus.push_back(foci[p].focus);
            curves[d].cd.push_back(measured ? f.cd : NAN);
        }
    }

    json out;
    out["target_cd"] = model.targetCd;
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
    // The depths of focus quoted most, at EL 5 % and 10 %; null where no window reaches it.
    json quoted = json::array();
    for (double el : {0.05, 0.10}) {
        const std::optional<ProcessWindow> w = widestWindow(foci, el);
        quoted.push_back({{"el", el}, {"dof", w ? json(w->dof) : json(nullptr)}});
    }
    out["dof_at_el"] = quoted;
    out["feature"] = kind;
    out["feature_at"] = model.featureAt;
    out["length_unit"] = unit;
    out["best_focus_folder"] = bestFolder;
    json perFocus = json::array();
    for (size_t p = 0; p < count; ++p) {
        const FocusSolution& s = solutions[p];
        perFocus.push_back({{"focus", foci[p].focus},
                            {"status", s.inTolerance ? "in tolerance" : "in tolerance at no dose"},
                            {"dose_to_size", s.doseToSize ? json(*s.doseToSize) : json(nullptr)},
                            {"dose_min", s.inTolerance ? number(s.inTolerance->low) : json(nullptr)},
                            {"dose_max", s.inTolerance ? number(s.inTolerance->high) : json(nullptr)},
                            {"el", s.inTolerance ? number(exposureLatitude(*s.inTolerance)) : json(nullptr)}});
    }
    out["foci"] = perFocus;
    // The unit comes from the input's cells, whatever their bytes.
    const std::string summaryText = out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    if (!writeText(folder / "fem.csv", csv) || !writeText(folder / "window.json", summaryText)) return 2;

    const PictureFunctions* draw = loadPictureFunctions(error);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    const std::string focusName = "defocus (" + unit + ")";
    const FemPictureText femText{"CD through focus at each dose (T0 " + valueText(model.t0) + ", target " +
                                     valueText(model.targetCd) + " +- " + valueText(model.tolerance * 100) + " %)",
                                 focusName, "CD (" + unit + ")"};
    std::vector<LatitudePoint> latitude;
    for (const ProcessWindow& w : summary->windows) latitude.push_back({w.dof, w.el});
    const std::string ext = pictureExtension(format);
    const fs::path fem = folder / ("fem_bossung" + ext), ed = folder / ("ed_window" + ext);
    for (const char* stem : {"fem_bossung", "ed_window"}) removePictures(folder.string(), stem);
    if (!draw->femBossung(curves, model.targetCd * (1 - model.tolerance), model.targetCd * (1 + model.tolerance),
                          femText, format, fem.string()) ||
        !draw->exposureDefocus(latitude, "Exposure latitude against depth of focus", "depth of focus (" + unit + ")",
                               format, ed.string())) {
        std::fprintf(stderr, "aerial: %s: cannot write the pictures\n", folder.c_str());
        return 2;
    }

    if (!recordStudy(study, options.study,
                     {"fem.csv", "window.json", fem.filename().string(), ed.filename().string()}))
        return 2;
    if (options.json) {
        std::printf("%s", summaryText.c_str());
    } else {
        std::printf("window of the %s feature at %g along X at y = 0: target CD %s %s, tolerance %s, T0 %s\n", kind,
                    model.featureAt, valueText(model.targetCd).c_str(), unit.c_str(),
                    valueText(model.tolerance).c_str(), valueText(model.t0).c_str());
        std::printf("focus        dose to size  in-tolerance doses      EL\n");
        for (size_t p = 0; p < count; ++p) {
            const FocusSolution& s = solutions[p];
            char dts[32] = "none", range[64] = "none", el[32] = "";
            if (s.doseToSize) std::snprintf(dts, sizeof dts, "%.6g", *s.doseToSize);
            if (s.inTolerance) {
                std::snprintf(range, sizeof range, "%.6g .. %.6g", s.inTolerance->low, s.inTolerance->high);
                std::snprintf(el, sizeof el, "%s", percent(exposureLatitude(*s.inTolerance)).c_str());
            }
            std::printf("%-11s  %-12s  %-22s  %s\n", valueText(foci[p].focus).c_str(), dts, range, el);
        }
        std::printf("best focus   %s %s (the centre of the EL 0 window)\n", valueText(summary->bestFocus).c_str(),
                    unit.c_str());
        if (atBest.doseToSize) {
            std::printf("dose to size %.6g (threshold %.6g)\n", *atBest.doseToSize, model.t0 / *atBest.doseToSize);
        }
        std::printf("max EL       %s\n", percent(summary->maxEl).c_str());
        std::printf("EL        DOF          focus                 doses\n");
        for (const ProcessWindow& w : summary->windows) {
            char focusRange[64], doseRange[64];
            std::snprintf(focusRange, sizeof focusRange, "%s .. %s", valueText(w.focusMin).c_str(),
                          valueText(w.focusMax).c_str());
            std::snprintf(doseRange, sizeof doseRange, "%.6g .. %.6g", w.doses.low, w.doses.high);
            std::printf("%-8s  %-11s  %-20s  %s%s\n", percent(w.el).c_str(), valueText(w.dof).c_str(), focusRange,
                        doseRange, w.openEnd ? "  (reaches the end of the sampled foci)" : "");
        }
        if (!options.study.quiet) {
            std::printf("table %s, summary %s, pictures %s, %s\n", (folder / "fem.csv").c_str(),
                        (folder / "window.json").c_str(), fem.c_str(), ed.c_str());
        }
    }
    if (!atBest.doseToSize) {
        std::fprintf(stderr, "aerial: at the best focus %s no dose gives the target CD exactly (the CD jumps past it)\n",
                     valueText(summary->bestFocus).c_str());
        return 1;
    }
    return 0;
}

} // namespace aerial_tool
