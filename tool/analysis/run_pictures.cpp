#include "analysis/run_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/feature_gauge.h"
#include "analysis/image_samples.h"
#include "analysis/picture_geometry.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace {

std::string thresholdsText(const std::vector<double>& thresholds) {
    std::string out;
    for (double t : thresholds) out += (out.empty() ? "" : ", ") + shortText(t, 4);
    return out;
}

// The spectrum's view and pupils, when the input gives the optics.
void addPupils(const RunInput& input, const ResultTableData& spectrum, const PictureChoices& choices,
               HeatmapPicture& p) {
    if (!input.values || spectrum.size < 2) return;
    const PupilOutlines pupils = pupilOutlines(input.optics, spectrum.xStep());
    if (!(pupils.pupil.r > 0) || !std::isfinite(pupils.pupil.r)) return;
    p.circles.push_back({pupils.pupil, "pupil NA " + shortText(input.values->numericalAperture, 4)});
    if (!pupils.shifted.empty()) {
        p.outlines = circleUnionOutline(pupils.shifted, 360);
        p.outlinesLabel = "pupil seen from the 13 source points";
    }
    if (choices.zoom) {
        const double h = spectrumHalfWidth(pupils);
        p.view = ViewWindow{-h, h, -h, h};
    }
}

} // namespace

namespace {

// The line of either: a run's own values, or with the study's varied parameters in their place.
std::string conditionsText(const RunInput& input, const std::vector<SweepAxis>& varied,
                           const std::vector<double>& thresholds) {
    std::string out;
    std::vector<bool> shown(varied.size(), false);
    // A parameter as the line gives it: the study's values when it varies, else the input's.
    auto value = [&](aerial::ParameterId id, double v) {
        for (size_t k = 0; k < varied.size(); ++k) {
            if (varied[k].cell != nullptr && varied[k].cell->id == id) {
                shown[k] = true;
                return varied[k].valuesText;
            }
        }
        return shortText(v, 4);
    };
    if (input.values) {
        using aerial::ParameterId;
        const aerial::InputValues& v = *input.values;
        const std::string& u = input.lengthUnit;
        const std::string effective =
            variesSourceRounding(varied) ? std::string("varies") : shortText(input.optics.effectiveSigma, 4);
        out = "\u03bb " + value(ParameterId::kWavelength, v.wavelength) + " " + u + "   NA " +
              value(ParameterId::kNumericalAperture, v.numericalAperture) + "   \u03c3 " +
              value(ParameterId::kSigma, v.sigma) + " (effective " + effective + ")   defocus " +
              value(ParameterId::kDefocus, v.defocus) + " " + u;
    }
    for (size_t k = 0; k < varied.size(); ++k) {
        if (shown[k]) continue;
        out += (out.empty() ? "" : "   ") + axisName(varied[k]) + " " + varied[k].valuesText +
               (axisIsLength(varied[k]) && input.values ? " " + input.lengthUnit : "");
    }
    if (!thresholds.empty()) {
        out += (out.empty() ? "" : "   ") + std::string(thresholds.size() > 1 ? "thresholds " : "threshold ") +
               thresholdsText(thresholds);
    }
    return out;
}

} // namespace

std::string conditionsLine(const RunInput& input, const std::vector<double>& thresholds) {
    return conditionsText(input, {}, thresholds);
}

std::string studyConditionsLine(const RunInput& input, const std::vector<SweepAxis>& varied,
                                const std::vector<double>& thresholds) {
    return conditionsText(input, varied, thresholds);
}

PictureTitle studyPictureTitle(const RunInput& input, const std::string& what, const std::vector<SweepAxis>& varied,
                               const std::vector<double>& thresholds) {
    return {input.folderName + ": " + what, studyConditionsLine(input, varied, thresholds)};
}

HeatmapPicture imagePicture(const RunInput& input, const ResultTableData& image,
                            const PictureChoices& choices) {
    HeatmapPicture p;
    p.title = input.folderName + ": aerial image";
    p.conditions = conditionsLine(input, choices.thresholds);
    p.axisX = "x (" + input.lengthUnit + ")";
    p.axisY = "y (" + input.lengthUnit + ")";
    p.valueName = "intensity";
    for (double t : choices.thresholds) p.contours.push_back({t, contourInAxisUnits(image, t)});
    if (choices.mask && input.values) p.rectangles = maskOutlines(*input.values);
    return p;
}

HeatmapPicture amplitudePicture(const RunInput& input, const ResultTableData& amplitude,
                                const PictureChoices& choices) {
    HeatmapPicture p;
    p.title = input.folderName + ": mask spectrum amplitude";
    p.conditions = conditionsLine(input, {});
    p.axisX = "direction sine x";
    p.axisY = "direction sine y";
    p.valueName = "|spectrum|";
    p.scale = choices.logarithmic ? ColourScale::kLogarithmic : ColourScale::kLinear;
    p.logFloor = 1e-6;
    addPupils(input, amplitude, choices, p);
    return p;
}

HeatmapPicture phasePicture(const RunInput& input, const ResultTableData& amplitude,
                            const PictureChoices& choices) {
    HeatmapPicture p;
    p.title = input.folderName + ": mask spectrum phase";
    p.conditions = conditionsLine(input, {});
    p.axisX = "direction sine x";
    p.axisY = "direction sine y";
    p.valueName = "phase (rad)";
    p.scale = ColourScale::kCyclic;
    p.shown = aboveFractionOfPeak(amplitude, 1e-3);
    p.hiddenLabel = "amplitude below 1e-3 of the peak";
    addPupils(input, amplitude, choices, p);
    return p;
}

SourcePicture sourcePicture(const RunInput& input) {
    SourcePicture p;
    p.title = input.folderName + ": illumination source";
    if (!input.values) return p;
    p.optics = input.optics;
    p.sigma = input.values->sigma;
    p.conditions = "13 points, shifts rounded to whole spectral samples   \u03c3 " + shortText(p.sigma, 4) +
                   " \u2192 effective " + shortText(p.optics.effectiveSigma, 4);
    return p;
}

bool cutlineOf(const RunInput& input, const ResultTableData& image, const PictureChoices& choices,
               CutlineResult& result, std::string& error) {
    ImageSamples samples;
    if (input.values) {
        if (!imageSamples(image, *input.values, samples, error)) return false;
    } else {
        // Without the input there is no pupil to know the image between the samples by, and
        // no pitch but the labels': the samples as the table lists them.
        samples.size = image.size;
        samples.samplePitch = image.xStep();
        samples.values = image.values;
    }
    CutChoice choice;
    choice.axis = cutAxisFor(choices.axis, input.recipe);
    choice.at = choices.at;
    choice.featureAt = choices.featureAt.value_or(0);
    FeatureGauge gauge;
    if (!prepareGauge(samples, choice, imagePatternPeriods(input.recipe, samples), gauge, error)) return false;
    const Profile& profile = gauge.cut;
    result.axis = choice.axis;
    result.cutPosition = gauge.cutPosition;
    result.sampled = profile.sampled();
    const bool alongX = choice.axis == CutAxis::kX;
    const std::string& u = input.lengthUnit;
    CutlinePicture& p = result.picture;
    const std::string cutName = std::string(alongX ? "along x at y = " : "along y at x = ") +
                                shortText(result.cutPosition, 4);
    p.title = input.folderName + ": intensity " + cutName;
    p.conditions = conditionsLine(input, choices.thresholds);
    p.axisX = std::string(alongX ? "x (" : "y (") + u + ")";
    p.series = {{cutName + (profile.sampled() ? " (samples)" : ""), drawnProfile(profile)}};
    p.thresholds = choices.thresholds;
    result.metrics.clear();
    result.features.clear();
    if (choices.thresholds.empty()) result.metrics.push_back(measureProfile(profile, std::nullopt));
    for (double t : choices.thresholds) {
        CutMetrics m = measureProfile(profile, t);
        result.features.push_back(measureFeature(profile, m, gauge.place));
        result.metrics.push_back(std::move(m));
    }
    p.notes.push_back("cut contrast " + shortText(result.metrics.front().contrast, 4));
    if (profile.sampled()) p.notes.push_back("measured on the samples");
    for (size_t k = 0; k < result.features.size(); ++k) {
        const FeatureMetrics& f = result.features[k];
        const double t = choices.thresholds[k];
        std::string note = "T " + shortText(t, 4) + ": ";
        if (f.status == FeatureStatus::kMeasured) {
            note += (f.bright ? "space " : "line ") + shortText(f.cd, 4) + " " + u;
            // A feature across the grid edge has no one stretch to mark.
            if (f.end > f.start) p.marks.push_back({t, f.start, f.end});
        } else {
            note += std::string(f.bright ? "space " : "line ") + statusText(f.status);
        }
        p.notes.push_back(note);
        p.notes.push_back("  feature contrast " + shortText(f.contrast, 4));
    }
    return true;
}

MetricsText metricsText(const CutlineResult& result, const PictureChoices& choices,
                        const std::string& unit) {
    MetricsText out;
    char line[160];
    const CutMetrics& first = result.metrics.front();
    std::snprintf(line, sizeof line, "cut along %s at %s = %s (lengths in %s)%s",
                  result.axis == CutAxis::kX ? "X" : "Y", result.axis == CutAxis::kX ? "y" : "x",
                  shortText(result.cutPosition).c_str(), unit.c_str(), result.sampled ? ", sampled" : "");
    out.runs.push_back(line);
    std::snprintf(line, sizeof line, "peak %s at %s   minimum %s at %s", fixedText(first.peak, 6).c_str(),
                  shortText(first.peakPosition).c_str(), fixedText(first.minimum, 6).c_str(),
                  shortText(first.minimumPosition).c_str());
    out.runs.push_back(line);
    std::snprintf(line, sizeof line, "contrast %s (whole cut)", fixedText(first.contrast, 6).c_str());
    out.runs.push_back(line);
    out.crossings = {"", "", ""};
    for (size_t k = 0; k < result.features.size(); ++k) {
        const CutMetrics& m = result.metrics[k];
        const FeatureMetrics& f = result.features[k];
        std::snprintf(line, sizeof line, "threshold %s: %s feature at %s, %s", shortText(*m.threshold).c_str(),
                      f.bright ? "bright" : "dark", shortText(choices.featureAt.value_or(0)).c_str(),
                      statusText(f.status));
        out.runs.push_back(line);
        if (f.status == FeatureStatus::kMeasured) {
            std::snprintf(line, sizeof line, "  CD %s  NILS %s / %s  contrast %s", shortText(f.cd).c_str(),
                          shortText(f.left.nils, 4).c_str(), shortText(f.right.nils, 4).c_str(),
                          fixedText(f.contrast, 6).c_str());
        } else {
            std::snprintf(line, sizeof line, "  contrast %s", fixedText(f.contrast, 6).c_str());
        }
        out.runs.push_back(line);
        out.runs.push_back("  kind    start       end         width");
        for (const Run& r : m.runs) {
            std::snprintf(line, sizeof line, "  %-6s  %-10s  %-10s  %s%s", r.bright ? "bright" : "dark",
                          shortText(r.start).c_str(), shortText(r.end).c_str(), shortText(r.width).c_str(),
                          r.wholePeriod ? " (all round)" : r.acrossEdge() ? " (wraps)" : "");
            out.runs.push_back(line);
        }
        out.crossings.resize(out.runs.size() - m.runs.size() - 1);
        out.crossings.push_back("  crossing    slope      ILS");
        for (const Crossing& c : m.crossings) {
            std::snprintf(line, sizeof line, "  %-10s  %-9s  %s", shortText(c.position).c_str(),
                          shortText(c.slope, 5).c_str(), shortText(c.logSlope, 5).c_str());
            out.crossings.push_back(line);
        }
        // The next threshold starts below the longer of the two columns.
        const size_t rows = std::max(out.runs.size(), out.crossings.size());
        out.runs.resize(rows);
        out.crossings.resize(rows);
    }
    return out;
}

} // namespace aerial_tool
