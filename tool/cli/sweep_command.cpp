#include "cli/sweep_command.h"

#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <memory>

#include "analysis/metrics.h"
#include "analysis/sweep_plan.h"
#include "cli/format_option.h"
#include "cli/mask_study.h"
#include "input/input_layout.h"
#include "io/file_reason.h"
#include "io/input_edit.h"
#include "io/input_folder.h"
#include "io/picture_loader.h"
#include "io/study_outputs.h"
#include "input/input_cells.h"
#include "input/parse_input.h"
#include "optics/source_points.h"
#include "analysis/run_pictures.h"
#include "io/number_text.h"
#include "io/run_folder.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

// The Bossung picture: CD against defocus when defocus varies, else against the first
// varied parameter; one curve per threshold and combination of the other parameters.
std::vector<BossungSeries> bossungCurves(const Study& study, const std::vector<SweepRow>& rows, bool manyThresholds,
                                         Measure measure, size_t& xAxis) {
    xAxis = 0;
    for (size_t a = 0; a < study.axes.size(); ++a) {
        if (study.axes[a].cell != nullptr && study.axes[a].cell->id == aerial::ParameterId::kDefocus) xAxis = a;
    }
    std::vector<BossungSeries> curves;
    for (const SweepRow& r : rows) {
        std::string label;
        for (size_t a = 0; a < study.axes.size(); ++a) {
            if (a != xAxis) label += axisName(study.axes[a]) + " " + exactText(r.values[a]) + ", ";
        }
        if (manyThresholds || label.empty()) label += "threshold " + exactText(r.threshold);
        if (label.size() > 2 && label.compare(label.size() - 2, 2, ", ") == 0) label.resize(label.size() - 2);
        BossungSeries* curve = nullptr;
        for (BossungSeries& c : curves) {
            if (c.label == label) curve = &c;
        }
        if (curve == nullptr) {
            curves.push_back({label, {}, {}});
            curve = &curves.back();
        }
        curve->defocus.push_back(r.values[xAxis]);
        curve->cd.push_back(figureStatus(r.feature, measure) == FeatureStatus::kMeasured ? figureOf(r.feature, measure)
                                                                                           : NAN);
    }
    return curves;
}

// The row of a point that is not measured: its grid does not hold whole periods of its
// pattern, or its image is not finite.
FeatureMetrics unmeasuredFeature(bool bright, Measure measure, FeatureStatus status) {
    FeatureMetrics f;
    f.bright = bright;
    f.status = status;
    f.cd = f.start = f.end = f.contrast = f.peak = f.minimum = NAN;
    f.left = f.right = {NAN, NAN, NAN, NAN};
    if (measureIsArea(measure)) f.area = AreaFigure{status, NAN};
    return f;
}

} // namespace

int runSweep(const SweepOptions& options) {
    PictureFormat format = PictureFormat::kPng;
    if (!pictureFormatOption(options.format, format)) return 2;
    std::vector<SweepAxis> axes;
    std::vector<std::string> varied = options.vary;
    if (!options.defocus.empty()) varied.push_back("defocus=" + options.defocus);
    if (varied.empty()) {
        std::fprintf(stderr, "aerial: sweep: give at least one --vary NAME=VALUES (or --defocus START:STOP:STEP)\n");
        return 2;
    }
    for (const std::string& text : varied) {
        SweepAxis axis;
        std::string error;
        if (!parseVary(text, axis, error)) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            return 2;
        }
        axes.push_back(axis);
    }
    std::string error;
    if (!checkAxes(axes, error)) {
        std::fprintf(stderr, "aerial: --vary: %s\n", error.c_str());
        return 2;
    }
    for (const SweepAxis& a : axes) {
        if (a.missedStop) {
            std::fprintf(stderr, "aerial: note: %s=%s: the step does not reach the end; the last value is %s\n",
                         axisName(a).c_str(), a.valuesText.c_str(), exactText(a.values.back()).c_str());
        }
    }
    Measure measure = Measure::kCd;
    if (!measureFromName(options.measure, measure)) {
        std::fprintf(stderr, "aerial: --measure %s: not one of cd, cd-y, area\n", options.measure.c_str());
        return 2;
    }
    Study study;
    if (int status = planStudy(options.directory, kSweepFolderName, axes, study); status != 0) return status;
    if (options.fit) {
        if (!variesMask(study)) {
            std::fprintf(stderr, "aerial: --fit fits each point's sample pitch to its pattern: it needs a varied "
                                 "mask parameter (mask.pitch, mask.cd, mask.bias)\n");
            return 2;
        }
        for (const SweepAxis& a : study.axes) {
            if (a.cell != nullptr && a.cell->id == aerial::ParameterId::kSamplePitch) {
                std::fprintf(stderr, "aerial: --fit sets each point's sample pitch: it cannot be varied too\n");
                return 2;
            }
        }
        study.fitSamplePitch = true;
    }
    const CutChoice choice = chooseCut(options.cut, study.recipe, measure);
    if (!cutOnGrid(choice, study.values->gridSize, study.values->samplePitch, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    if (study.recipe && !checkMaskPoints(study)) return 2;

    std::vector<bool> failed;
    StudyGauges pointGauges;
    const int ran = runStudy(study, options.study, choice, pointGauges, failed);
    if (ran >= 0) return ran;
    // This study's table replaces an earlier one's, or none stands: a script or a report
    // would read an earlier study's figures as this one's.
    const fs::path csvPath = fs::path(study.folder) / kSweepResultsFileName;
    std::error_code removed;
    fs::remove(csvPath, removed);
    removePictures(study.folder, "bossung");

    const std::vector<double> thresholds = options.thresholds.empty() ? std::vector<double>{kDefaultThreshold} : options.thresholds;
    const bool withSigma = variesSourceRounding(study.axes) || study.fitSamplePitch;
    int status = 0;
    const size_t count = study.points.size();
    std::vector<bool> notPeriodic(count, false);
    for (size_t p = 0; p < count; ++p) notPeriodic[p] = pointNotPeriodic(study, study.points[p].values);
    // The feature's kind, at every threshold, is the nominal point's (else the first measured one's).
    std::optional<bool> bright;
    std::vector<size_t> order{study.nominal};
    for (size_t p = 0; p < count; ++p)
        if (p != study.nominal) order.push_back(p);
    bool anyNotFinite = false;
    for (size_t p : order) {
        if (failed[p] || notPeriodic[p]) continue;
        FeatureGauge gauge;
        std::string notFinite; // said below, with the point's row
        if (!readPointGauge(study, pointGauges, pointFolder(study, p), study.points[p].values, choice, gauge,
                            &notFinite)) {
            anyNotFinite = anyNotFinite || !notFinite.empty();
            continue;
        }
        bright = gaugeBright(gauge);
        break;
    }
    // Points whose image is not finite still get their rows, which say so.
    if (!bright && anyNotFinite) bright = true;
    if (!bright) {
        std::fprintf(stderr, "aerial: no point of the study has an image to measure%s; no %s written\n",
                     std::count(notPeriodic.begin(), notPeriodic.end(), true) > 0
                         ? " (the points whose grid holds no whole periods are not measured; --fit fits them)"
                         : "",
                     csvPath.c_str());
        return 1;
    }

    std::vector<SweepRow> rows;
    auto cells = newInputCells();
    auto values = std::make_unique<aerial::InputValues>();
    std::vector<bool> printedAt(thresholds.size(), false);
    size_t notFiniteCount = 0;
    std::string firstNotFinite;
    for (size_t p = 0; p < count; ++p) {
        if (failed[p]) {
            status = 1;
            continue;
        }
        FeatureGauge gauge;
        std::string notFinite;
        if (!notPeriodic[p] &&
            !readPointGauge(study, pointGauges, pointFolder(study, p), study.points[p].values, choice, gauge, &notFinite)) {
            status = 1;
            if (notFinite.empty()) continue;
            if (notFiniteCount++ == 0) firstNotFinite = notFinite;
        }
        // The effective sigma of the point's own input as the run reads it.
        std::optional<double> sigma;
        if (withSigma) {
            std::string bytes;
            if (!pointInput(study, study.points[p].values, bytes, error)) {
                std::fprintf(stderr, "aerial: %s\n", error.c_str());
                return 2;
            }
            aerial::scanInputText(bytes, *cells);
            aerial::parseInput(*cells, *values);
            sigma = aerial::deriveOptics(*values).effectiveSigma;
            if (!std::isfinite(*sigma)) sigma.reset(); // no source to speak of (an aperture of 0): none
        }
        for (size_t i = 0; i < thresholds.size(); ++i) {
            const FeatureMetrics f = notPeriodic[p]      ? unmeasuredFeature(*bright, measure, FeatureStatus::kNotPeriodic)
                                     : !notFinite.empty() ? unmeasuredFeature(*bright, measure, FeatureStatus::kNotFinite)
                                                          : gaugeFeature(gauge, thresholds[i], *bright);
            printedAt[i] = printedAt[i] || figureStatus(f, measure) == FeatureStatus::kMeasured;
            rows.push_back({study.points[p].values, sigma, thresholds[i], f});
        }
    }
    const double featureAt = choice.featureAt;
    const char* figureName = measureIsArea(measure) ? "area" : "CD";

    const fs::path folder = study.folder;
    const std::string csv = resultsCsv(study.axes, withSigma, measure, rows);
    if (!writeFileBytes(csvPath.string(), csv, error)) {
        std::fprintf(stderr, "aerial: %s: cannot write: %s\n", csvPath.c_str(), error.c_str());
        return 2;
    }
    if (options.printCsv) std::printf("%s", csv.c_str());

    if (notFiniteCount > 0)
        std::fprintf(stderr, "aerial: %zu of %zu points not measured, their image is not finite (status '%s' in %s); "
                     "the first: %s\n", notFiniteCount, count, statusText(FeatureStatus::kNotFinite), csvPath.c_str(),
                     firstNotFinite.c_str());
    bool anyPrinted = false;
    for (size_t i = 0; i < thresholds.size(); ++i) {
        anyPrinted = anyPrinted || printedAt[i];
        if (!printedAt[i] && notFiniteCount < count) {
            std::fprintf(stderr, "aerial: the %s feature at %s never prints at threshold %s: at every point it is %s\n",
                         *bright ? "bright" : "dark", shortText(featureAt).c_str(), exactText(thresholds[i]).c_str(),
                         "merged, not printed or not periodic on its grid (see the status column)");
            status = 1;
        }
    }
    const fs::path picture = folder / (std::string("bossung") + pictureExtension(format));
    if (!anyPrinted) {
        std::fprintf(stderr, "aerial: no Bossung picture: nothing to draw\n");
    } else {
        const PictureFunctions* draw = loadPictureFunctions(error);
        if (draw == nullptr) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            return 2;
        }
        size_t xAxis = 0;
        std::vector<BossungSeries> curves = bossungCurves(study, rows, thresholds.size() > 1, measure, xAxis);
        const SweepAxis& x = study.axes[xAxis];
        const std::string unit = lengthUnitOf(options.directory);
        const std::string xName = axisName(x) + (axisIsLength(x) ? " (" + unit + ")" : "");
        const bool focus = x.cell != nullptr && x.cell->id == aerial::ParameterId::kDefocus;
        const std::string featureName =
            measure == Measure::kCd ? (*bright ? "space" : "line") : (*bright ? "hole" : "post");
        const std::string yName = measureIsArea(measure) ? "area (" + unit + "^2)"
                                  : measure == Measure::kCdY ? "CD-y (" + unit + ")" : "CD (" + unit + ")";
        const std::string what =
            std::string(focus ? "Bossung: " : "") + figureName + " of the " + featureName + " at " + shortText(featureAt);
        if (!draw->linePlot(curves, studyPictureTitle(readRunInput(options.directory), what, study.axes, thresholds),
                            xName, yName, format, picture.string())) {
            std::fprintf(stderr, "aerial: %s: %s\n", picture.c_str(),
                         notWritable(picture.string(), "the drawing failed").c_str());
            return 2;
        }
    }
    if (!options.study.quiet) {
        std::printf("%zu points, %zu rows in %s%s%s\n", study.points.size(), rows.size(), csvPath.c_str(),
                    anyPrinted ? ", picture " : "", anyPrinted ? picture.c_str() : "");
    }
    std::vector<std::string> written = {csvPath.filename().string()};
    if (anyPrinted) written.push_back(picture.filename().string());
    if (study.recipe) {
        const int masks = reportMaskStudy(study, rows, thresholds.size() > 1, lengthUnitOf(options.directory), *bright,
                                          choice, format, options.study.quiet, written);
        if (masks != 0) status = status == 0 ? masks : status;
    }
    if (!recordStudy(study, options.study, written)) return 2;
    return status;
}

} // namespace aerial_tool
