#include "cli/metrics_command.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "analysis/feature_gauge.h"
#include "analysis/metrics.h"
#include "cli/table_messages.h"
#include "input/input_layout.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace {

using nlohmann::json;

// NaN is not JSON: a value that does not exist is null.
json number(double value) {
    return std::isfinite(value) ? json(value) : json(nullptr);
}

json edgeJson(const Edge& e) {
    return {{"position", number(e.position)}, {"slope", number(e.slope)}, {"ils", number(e.logSlope)},
            {"nils", number(e.nils)}};
}

// The figures besides the cut's own CD, each at the feature's place with the feature's kind.
struct ExtraFigure {
    Measure measure;
    FeatureGauge gauge;
    FeatureMetrics feature;
};

const char* kindText(bool bright) { return bright ? "bright" : "dark"; }

json extraJson(const ExtraFigure& x) {
    const FeatureMetrics& f = x.feature;
    if (x.measure == Measure::kArea) {
        return {{"status", statusText(figureStatus(f, x.measure))}, {"value", number(figureOf(f, x.measure))},
                {"place", {x.gauge.placeX, x.gauge.placeY}}};
    }
    return {{"status", statusText(f.status)},  {"value", number(f.cd)},
            {"start", number(f.start)},         {"end", number(f.end)},
            {"cut_position", x.gauge.cutPosition}, {"left_edge", edgeJson(f.left)},
            {"right_edge", edgeJson(f.right)}};
}

json toJson(const MetricsOptions& options, const FolderImage& folder, const FeatureGauge& gauge,
            const CutMetrics& m, const FeatureMetrics* f, const std::vector<ExtraFigure>& extras) {
    const Profile& profile = gauge.cut;
    json out;
    out["table"] = (std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).string();
    out["axis"] = gauge.cutAxis == CutAxis::kY ? "y" : "x";
    out["cut_position"] = gauge.cutPosition;
    out["samples"] = folder.image.size;
    out["sample_pitch"] = folder.image.samplePitch;
    out["period"] = profilePeriod(profile);
    out["length_unit"] = folder.unit;
    out["image"] = imageKindText(profile);
    out["image_basis"] = imageBasisText(folder.image);
    if (f != nullptr) {
        json feature = {{"position", gauge.place},
                        {"kind", kindText(f->bright)},
                        {"status", statusText(f->status)},
                        {"cd", number(f->cd)},
                        {"start", number(f->start)},
                        {"end", number(f->end)},
                        {"left_edge", edgeJson(f->left)},
                        {"right_edge", edgeJson(f->right)},
                        {"pattern_period", profile.patternPeriod ? json(*profile.patternPeriod) : json(nullptr)},
                        {"period_start", number(f->periodStart)},
                        {"period_end", number(f->periodEnd)},
                        {"peak", number(f->peak)},
                        {"peak_position", number(f->peakPosition)},
                        {"minimum", number(f->minimum)},
                        {"minimum_position", number(f->minimumPosition)},
                        {"contrast", number(f->contrast)}};
        for (const ExtraFigure& x : extras) feature[measureColumn(x.measure)] = extraJson(x);
        out["feature"] = feature;
    }
    out["cut"] = {{"peak", number(m.peak)},
                  {"peak_position", number(m.peakPosition)},
                  {"minimum", number(m.minimum)},
                  {"minimum_position", number(m.minimumPosition)},
                  {"contrast", number(m.contrast)}};
    if (m.threshold) {
        out["threshold"] = *m.threshold;
        json runs = json::array();
        for (const Run& r : m.runs) {
            runs.push_back({{"kind", kindText(r.bright)},
                            {"start", r.start},
                            {"end", r.end},
                            {"width", r.width},
                            {"whole_period", r.wholePeriod},
                            {"across_edge", r.acrossEdge()}});
        }
        json crossings = json::array();
        for (const Crossing& c : m.crossings) {
            crossings.push_back({{"position", c.position}, {"slope", c.slope}, {"ils", c.logSlope}});
        }
        out["runs"] = runs;
        out["crossings"] = crossings;
    }
    return out;
}

// Why the feature has no CD, in words.
std::string statusReason(FeatureStatus status, bool bright, double threshold) {
    char text[160];
    const char* kind = kindText(bright);
    if (status == FeatureStatus::kMerged) {
        std::snprintf(text, sizeof text, "merged: the image is %s all round the period at threshold %s", kind,
                      shortText(threshold).c_str());
    } else {
        std::snprintf(text, sizeof text, "not printed: no %s region at the feature's place at threshold %s", kind,
                      shortText(threshold).c_str());
    }
    return text;
}

void printExtra(const ExtraFigure& x, double threshold, const std::string& unit) {
    const FeatureMetrics& f = x.feature;
    const FeatureStatus status = figureStatus(f, x.measure);
    if (status != FeatureStatus::kMeasured) {
        std::printf("%-10s %s\n", x.measure == Measure::kArea ? "area" : "CD-y",
                    statusReason(status, f.bright, threshold).c_str());
        return;
    }
    if (x.measure == Measure::kArea) {
        std::printf("area       %s %s^2  (the %s region round %s, %s)\n", shortText(figureOf(f, x.measure)).c_str(),
                    unit.c_str(), kindText(f.bright), shortText(x.gauge.placeX).c_str(),
                    shortText(x.gauge.placeY).c_str());
        return;
    }
    std::printf("CD-y       %s  (%s .. %s along Y at x = %s), NILS %s and %s\n", shortText(f.cd).c_str(),
                shortText(f.start).c_str(), shortText(f.end).c_str(), shortText(x.gauge.cutPosition).c_str(),
                shortText(f.left.nils, 4).c_str(), shortText(f.right.nils, 4).c_str());
}

void printText(const MetricsOptions& options, const FolderImage& folder, const FeatureGauge& gauge, const CutMetrics& m,
               const FeatureMetrics* f, const std::vector<ExtraFigure>& extras) {
    const Profile& profile = gauge.cut;
    std::printf("cut %s, %d samples (one period, %s), from %s (lengths in %s)\n",
                cutDescription(gauge.cutAxis, gauge.cutPosition).c_str(), folder.image.size,
                shortText(profilePeriod(profile)).c_str(),
                (std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).c_str(),
                folder.unit.c_str());
    std::printf("image      %s\n", imageBasisText(folder.image).c_str());
    if (f == nullptr) {
        std::printf("peak       %s at %s (whole cut)\n", fixedText(m.peak, 6).c_str(),
                    shortText(m.peakPosition).c_str());
        std::printf("minimum    %s at %s (whole cut)\n", fixedText(m.minimum, 6).c_str(),
                    shortText(m.minimumPosition).c_str());
        std::printf("contrast   %s (whole cut)\n", fixedText(m.contrast, 6).c_str());
        std::printf("(give --threshold T for the feature's CD, edges, NILS and contrast)\n");
        return;
    }
    std::printf("threshold  %s\n", shortText(*m.threshold).c_str());
    std::printf("feature    %s run at %s (%s)\n", kindText(f->bright), shortText(gauge.place).c_str(),
                f->bright ? "a space or hole" : "a line");
    if (f->status == FeatureStatus::kMeasured) {
        std::printf("CD         %s  (%s .. %s)\n", shortText(f->cd).c_str(), shortText(f->start).c_str(),
                    shortText(f->end).c_str());
        std::printf("edges      position     slope        ILS          NILS (by the feature's CD)\n");
        for (const Edge* e : {&f->left, &f->right}) {
            std::printf("           %-11s  %-11s  %-11s  %s\n", shortText(e->position).c_str(),
                        shortText(e->slope).c_str(), shortText(e->logSlope).c_str(), shortText(e->nils, 4).c_str());
        }
    } else {
        std::printf("CD         %s\n", statusReason(f->status, f->bright, *m.threshold).c_str());
    }
    for (const ExtraFigure& x : extras)
        printExtra(x, *m.threshold, folder.unit);
    if (profile.patternPeriod && *profile.patternPeriod < profilePeriod(profile)) {
        std::printf("around it  %s .. %s: one period of the pattern (%s)\n", shortText(f->periodStart).c_str(),
                    shortText(f->periodEnd).c_str(), shortText(*profile.patternPeriod).c_str());
    } else {
        std::printf("around it  %s .. %s: the feature's run and the runs beside it\n",
                    shortText(f->periodStart).c_str(), shortText(f->periodEnd).c_str());
    }
    std::printf("peak       %s at %s\n", fixedText(f->peak, 6).c_str(), shortText(f->peakPosition).c_str());
    std::printf("minimum    %s at %s\n", fixedText(f->minimum, 6).c_str(), shortText(f->minimumPosition).c_str());
    std::printf("contrast   %s\n", fixedText(f->contrast, 6).c_str());
    std::printf("whole cut  peak %s at %s, minimum %s at %s, contrast %s\n", fixedText(m.peak, 6).c_str(),
                shortText(m.peakPosition).c_str(), fixedText(m.minimum, 6).c_str(),
                shortText(m.minimumPosition).c_str(), fixedText(m.contrast, 6).c_str());
    std::printf("runs       kind     start        end          width\n");
    for (const Run& r : m.runs) {
        std::printf("           %-7s  %-11s  %-11s  %s%s\n", kindText(r.bright), shortText(r.start).c_str(),
                    shortText(r.end).c_str(), shortText(r.width).c_str(),
                    r.wholePeriod    ? "  (the whole period)"
                    : r.acrossEdge() ? "  (across the grid edge)"
                                     : "");
    }
    if (m.crossings.empty()) {
        std::printf("crossings  none: the cut never reaches the threshold\n");
        return;
    }
    std::printf("crossings  position     slope        ILS\n");
    for (const Crossing& c : m.crossings) {
        std::printf("           %-11s  %-11s  %s\n", shortText(c.position).c_str(), shortText(c.slope).c_str(),
                    shortText(c.logSlope).c_str());
    }
}

} // namespace

int printMetrics(const MetricsOptions& options) {
    std::vector<Measure> extraMeasures;
    for (const std::string& name : options.measures) {
        Measure m = Measure::kCd;
        if (!measureFromName(name, m)) {
            std::fprintf(stderr, "aerial: --measure %s: not one of cd, cd-y, area\n", name.c_str());
            return 2;
        }
        if (m != Measure::kCd) extraMeasures.push_back(m);
    }
    if (!extraMeasures.empty() && !options.threshold) {
        std::fprintf(stderr, "aerial: --measure %s needs --threshold T\n", measureName(extraMeasures.front()));
        return 2;
    }
    FolderImage folder;
    if (!readFolderImage(options.directory, folder)) return 2;
    // A table of NaN or infinities has no figures: measured, it would print nonsense.
    if (refuseNonFinite((std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).string(),
                        firstNonFiniteCell(folder.image.size, folder.image.values)))
        return 1;
    const CutChoice choice = chooseCut(options.cut, folder.recipe);
    FeatureGauge gauge;
    std::string error;
    if (!prepareGauge(folder.image, choice, folder.periods, gauge, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    std::optional<FeatureMetrics> feature;
    const CutMetrics m = measureProfile(gauge.cut, options.threshold);
    std::vector<ExtraFigure> extras;
    if (options.threshold) {
        feature = measureFeature(gauge.cut, m, gauge.place);
        for (Measure measure : extraMeasures) {
            CutChoice other = choice;
            other.measure = measure;
            ExtraFigure x{measure, {}, {}};
            if (!prepareGauge(folder.image, other, folder.periods, x.gauge, error)) {
                std::fprintf(stderr, "aerial: %s\n", error.c_str());
                return 2;
            }
            x.feature = gaugeFeature(x.gauge, *options.threshold, feature->bright);
            extras.push_back(std::move(x));
        }
    }
    const FeatureMetrics* f = feature ? &*feature : nullptr;
    if (options.json) {
        std::printf("%s\n", toJson(options, folder, gauge, m, f, extras)
                                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                                .c_str());
    } else {
        printText(options, folder, gauge, m, f, extras);
    }
    return 0;
}

} // namespace aerial_tool
