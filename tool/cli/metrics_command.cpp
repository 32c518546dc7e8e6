#include "cli/metrics_command.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "analysis/metrics.h"
#include "input/input_layout.h"
#include "io/input_folder.h"
#include "io/result_table.h"
#include "cli/table_messages.h"

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

json toJson(const MetricsOptions& options, const CutMetrics& m, const FeatureMetrics* f, double cutPosition, int n,
            double period) {
    json out;
    out["table"] = (std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).string();
    out["axis"] = options.axis;
    out["cut_position"] = cutPosition;
    out["samples"] = n;
    out["period"] = period;
    out["length_unit"] = lengthUnitOf(options.directory);
    if (f != nullptr) {
        out["feature"] = {{"position", options.featureAt.value_or(0.0)},
                          {"kind", f->bright ? "bright" : "dark"},
                          {"status", statusText(f->status)},
                          {"cd", number(f->cd)},
                          {"start", number(f->start)},
                          {"end", number(f->end)},
                          {"left_edge", edgeJson(f->left)},
                          {"right_edge", edgeJson(f->right)},
                          {"period_start", number(f->periodStart)},
                          {"period_end", number(f->periodEnd)},
                          {"peak", number(f->peak)},
                          {"peak_position", number(f->peakPosition)},
                          {"minimum", number(f->minimum)},
                          {"minimum_position", number(f->minimumPosition)},
                          {"contrast", number(f->contrast)}};
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
            runs.push_back({{"kind", r.bright ? "bright" : "dark"},
                            {"start", r.start},
                            {"end", r.end},
                            {"width", r.width},
                            {"whole_period", r.wholePeriod},
                            {"across_edge", r.acrossEdge()}});
        }
        json crossings = json::array();
        for (const Crossing& c : m.crossings) {
            crossings.push_back({{"position", c.position},
                                 {"slope", c.slope},
                                 {"ils", c.logSlope},
                                 {"nils", number(c.nils)}});
        }
        out["runs"] = runs;
        out["crossings"] = crossings;
    }
    return out;
}

// Why the feature has no CD, in words.
std::string statusReason(const FeatureMetrics& f, double threshold) {
    char text[160];
    const char* kind = f.bright ? "bright" : "dark";
    if (f.status == FeatureStatus::kMerged) {
        std::snprintf(text, sizeof text, "merged: the cut is %s all round the period at threshold %g", kind, threshold);
    } else {
        std::snprintf(text, sizeof text, "not printed: no %s run at the feature's place at threshold %g", kind, threshold);
    }
    return text;
}

void printText(const MetricsOptions& options, const CutMetrics& m, const FeatureMetrics* f, double cutPosition,
               int n, double period) {
    const char* along = options.axis == "y" ? "Y" : "X";
    const char* across = options.axis == "y" ? "x" : "y";
    std::printf("cut along %s at %s = %g, %d samples (one period, %g), from %s (lengths in %s)\n", along, across,
                cutPosition, n, period, (std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).c_str(),
                lengthUnitOf(options.directory).c_str());
    if (f == nullptr) {
        std::printf("peak       %.6f at %g (whole cut)\n", m.peak, m.peakPosition);
        std::printf("minimum    %.6f at %g (whole cut)\n", m.minimum, m.minimumPosition);
        std::printf("contrast   %.6f (whole cut)\n", m.contrast);
        std::printf("(give --threshold T for the feature's CD, edges, NILS and contrast)\n");
        return;
    }
    const double at = options.featureAt.value_or(0.0);
    std::printf("threshold  %g\n", *m.threshold);
    std::printf("feature    %s run at %g (%s)\n", f->bright ? "bright" : "dark", at,
                f->bright ? "a space or hole" : "a line");
    if (f->status == FeatureStatus::kMeasured) {
        std::printf("CD         %.6g  (%g .. %g)\n", f->cd, f->start, f->end);
        std::printf("edges      position     slope        ILS          NILS\n");
        for (const Edge* e : {&f->left, &f->right}) {
            std::printf("           %-11.6g  %-11.6g  %-11.6g  %.4g\n", e->position, e->slope, e->logSlope, e->nils);
        }
    } else {
        std::printf("CD         %s\n", statusReason(*f, *m.threshold).c_str());
    }
    std::printf("around it  %g .. %g: the feature's run and the runs beside it\n", f->periodStart, f->periodEnd);
    std::printf("peak       %.6f at %g\n", f->peak, f->peakPosition);
    std::printf("minimum    %.6f at %g\n", f->minimum, f->minimumPosition);
    std::printf("contrast   %.6f\n", f->contrast);
    std::printf("whole cut  peak %.6f at %g, minimum %.6f at %g, contrast %.6f\n", m.peak, m.peakPosition, m.minimum,
                m.minimumPosition, m.contrast);
    std::printf("runs       kind     start        end          width\n");
    for (const Run& r : m.runs) {
        std::printf("           %-7s  %-11.6g  %-11.6g  %.6g%s\n", r.bright ? "bright" : "dark", r.start, r.end,
                    r.width, r.wholePeriod ? "  (the whole period)" : r.acrossEdge() ? "  (across the grid edge)" : "");
    }
    if (m.crossings.empty()) {
        std::printf("crossings  none: the cut never reaches the threshold\n");
        return;
    }
    std::printf("crossings  position     slope        ILS          NILS (by the %s run beside it)\n",
                f->bright ? "bright" : "dark");
    for (const Crossing& c : m.crossings) {
        std::printf("           %-11.6g  %-11.6g  %-11.6g  %.4g\n", c.position, c.slope, c.logSlope, c.nils);
    }
}

} // namespace

int printMetrics(const MetricsOptions& options) {
    ResultTableData table;
    std::string error;
    const std::string path = (std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).string();
    if (!tablesReadable(options.directory, {aerial::kImageIntensityFileName})) return 2;
    if (!readResultTable(path, table, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    const CutAxis axis = options.axis == "y" ? CutAxis::kY : CutAxis::kX;
    int index = 0;
    if (!selectCut(table, axis, options.at, index, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    const double cutPosition =
        axis == CutAxis::kX ? table.yLabels[index] : table.xLabels[index];
    const Profile profile = cutProfile(table, axis, index);
    const double at = options.featureAt.value_or(0.0);
    if (!checkFeaturePosition(profile, at, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    // The kind of the feature decides which runs normalise the NILS of every crossing.
    std::optional<FeatureMetrics> feature;
    CutMetrics m = measureProfile(profile, options.threshold);
    if (options.threshold) {
        feature = measureFeature(profile, m, at);
        if (!feature->bright) m = measureProfile(profile, options.threshold, false);
    }
    const FeatureMetrics* f = feature ? &*feature : nullptr;
    if (options.json) {
        std::printf("%s\n", toJson(options, m, f, cutPosition, table.size, profilePeriod(profile))
                                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                                .c_str());
    } else {
        printText(options, m, f, cutPosition, table.size, profilePeriod(profile));
    }
    return 0;
}

} // namespace aerial_tool
