#include "cli/sweep_command.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "analysis/metrics.h"
#include "analysis/sweep_plan.h"
#include "cli/format_option.h"
#include "cli/mask_study.h"
#include "input/input_layout.h"
#include "io/input_folder.h"
#include "io/picture_loader.h"
#include "io/study_outputs.h"
#include "input/input_cells.h"
#include "input/parse_input.h"
#include "optics/source_points.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

// The Bossung picture: CD against defocus when defocus varies, else against the first
// varied parameter; one curve per threshold and combination of the other parameters.
std::vector<BossungSeries> bossungCurves(const Study& study, const std::vector<SweepRow>& rows, bool manyThresholds,
                                         size_t& xAxis) {
    xAxis = 0;
    for (size_t a = 0; a < study.axes.size(); ++a) {
        if (study.axes[a].cell != nullptr && study.axes[a].cell->id == aerial::ParameterId::kDefocus) xAxis = a;
    }
    std::vector<BossungSeries> curves;
    for (const SweepRow& r : rows) {
        std::string label;
        for (size_t a = 0; a < study.axes.size(); ++a) {
            if (a != xAxis) label += axisName(study.axes[a]) + " " + valueText(r.values[a]) + ", ";
        }
        if (manyThresholds || label.empty()) label += "threshold " + valueText(r.threshold);
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
        curve->cd.push_back(r.feature.status == FeatureStatus::kMeasured ? r.feature.cd : NAN);
    }
    return curves;
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
                         axisName(a).c_str(), a.valuesText.c_str(), valueText(a.values.back()).c_str());
        }
    }
    Study study;
    if (int status = planStudy(options.directory, "sweep", axes, study); status != 0) return status;
    if (study.recipe && !checkMaskPoints(study)) return 2;

    std::vector<bool> failed;
    const int ran = runStudy(study, options.study, failed);
    if (ran >= 0) return ran;

    const std::vector<double> thresholds = options.thresholds.empty() ? std::vector<double>{0.3} : options.thresholds;
    const double featureAt = options.featureAt.value_or(0.0);
    const bool withSigma = variesSourceRounding(study.axes);
    std::vector<Profile> profiles(study.points.size());
    std::vector<bool> read(study.points.size(), false);
    int status = 0;
    for (size_t p = 0; p < study.points.size(); ++p) {
        if (failed[p]) {
            status = 1;
            continue;
        }
        read[p] = readPointCut(pointFolder(study, p), profiles[p]);
        if (!read[p]) status = 1;
    }
    // The feature's kind at each threshold is that of the nominal point.
    size_t nominal = study.nominal;
    if (!read[nominal]) {
        for (size_t p = 0; p < read.size(); ++p) {
            if (read[p]) {
                nominal = p;
                break;
            }
        }
    }
    if (!read[nominal]) {
        std::fprintf(stderr, "aerial: no point of the study has an image to measure\n");
        return 1;
    }
    if (!checkFeaturePosition(profiles[nominal], featureAt, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    // The feature is a space or a line as the nominal point shows it, at every threshold.
    const bool bright = brightFeatureAt(profiles[nominal], featureAt);

    std::vector<SweepRow> rows;
    auto cells = newInputCells();
    auto values = std::make_unique<aerial::InputValues>();
    std::vector<bool> printedAt(thresholds.size(), false);
    for (size_t p = 0; p < study.points.size(); ++p) {
        if (!read[p]) continue;
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
        }
        for (size_t i = 0; i < thresholds.size(); ++i) {
            const FeatureMetrics f = featureAtThreshold(profiles[p], featureAt, bright, thresholds[i]);
            printedAt[i] = printedAt[i] || f.status == FeatureStatus::kMeasured;
            rows.push_back({study.points[p].values, sigma, thresholds[i], f});
        }
    }

    const fs::path folder = study.folder;
    const std::string csv = resultsCsv(study.axes, withSigma, rows);
    const fs::path csvPath = folder / "results.csv";
    {
        std::ofstream out(csvPath, std::ios::binary | std::ios::trunc);
        out << csv;
        out.close();
        if (!out) {
            std::fprintf(stderr, "aerial: %s: cannot write: %s\n", csvPath.c_str(), std::strerror(errno));
            return 2;
        }
    }
    if (options.printCsv) std::printf("%s", csv.c_str());

    bool anyPrinted = false;
    for (size_t i = 0; i < thresholds.size(); ++i) {
        anyPrinted = anyPrinted || printedAt[i];
        if (!printedAt[i]) {
            std::fprintf(stderr, "aerial: the %s feature at %g never prints at threshold %s: at every point it is %s\n",
                         bright ? "bright" : "dark", featureAt, valueText(thresholds[i]).c_str(),
                         "merged or not printed (see the status column)");
            status = 1;
        }
    }
    const fs::path picture = folder / (std::string("bossung") + pictureExtension(format));
    removePictures(folder.string(), "bossung"); // a picture of an earlier study would mislead
    if (!anyPrinted) {
        std::fprintf(stderr, "aerial: no Bossung picture: nothing to draw\n");
    } else {
        const PictureFunctions* draw = loadPictureFunctions(error);
        if (draw == nullptr) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            return 2;
        }
        size_t xAxis = 0;
        std::vector<BossungSeries> curves = bossungCurves(study, rows, thresholds.size() > 1, xAxis);
        const SweepAxis& x = study.axes[xAxis];
        const std::string unit = lengthUnitOf(options.directory);
        const std::string xName = axisName(x) + (axisIsLength(x) ? " (" + unit + ")" : "");
        const bool focus = x.cell != nullptr && x.cell->id == aerial::ParameterId::kDefocus;
        if (!draw->linePlot(curves, std::string(focus ? "Bossung: " : "") + "CD of the " + std::string(bright ? "space" : "line") + " at " + valueText(featureAt) +
                                (thresholds.size() > 1 ? "" : ", threshold " + valueText(thresholds[0])),
                            xName,
                            "CD (" + unit + ")", format, picture.string())) {
            std::fprintf(stderr, "aerial: %s: cannot write\n", picture.c_str());
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
        const int masks = reportMaskStudy(study, rows, thresholds.size() > 1, lengthUnitOf(options.directory), bright,
                                          featureAt, format, options.study.quiet, written);
        if (masks != 0) status = status == 0 ? masks : status;
    }
    if (!recordStudy(study, options.study, written)) return 2;
    return status;
}

} // namespace aerial_tool
