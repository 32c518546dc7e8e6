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

json toJson(const MetricsOptions& options, const CutMetrics& m, double cutPosition, int n) {
    json out;
    out["table"] = (std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).string();
    out["axis"] = options.axis;
    out["cut_position"] = cutPosition;
    out["samples"] = n;
    out["length_unit"] = lengthUnitOf(options.directory);
    out["peak"] = number(m.peak);
    out["peak_position"] = number(m.peakPosition);
    out["minimum"] = number(m.minimum);
    out["minimum_position"] = number(m.minimumPosition);
    out["contrast"] = number(m.contrast);
    if (m.threshold) {
        out["threshold"] = *m.threshold;
        json runs = json::array();
        for (const Run& r : m.runs) {
            runs.push_back({{"kind", r.bright ? "bright" : "dark"},
                            {"start", r.start},
                            {"end", r.end},
                            {"width", r.width()},
                            {"bounded", r.bounded}});
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

void printText(const MetricsOptions& options, const CutMetrics& m, double cutPosition, int n) {
    const char* along = options.axis == "y" ? "Y" : "X";
    const char* across = options.axis == "y" ? "x" : "y";
    std::printf("cut along %s at %s = %g, %d samples, from %s (lengths in %s)\n", along, across,
                cutPosition, n, (std::filesystem::path(options.directory) / aerial::kImageIntensityFileName).c_str(),
                lengthUnitOf(options.directory).c_str());
    std::printf("peak       %.6f at %g\n", m.peak, m.peakPosition);
    std::printf("minimum    %.6f at %g\n", m.minimum, m.minimumPosition);
    std::printf("contrast   %.6f\n", m.contrast);
    if (!m.threshold) {
        std::printf("(give --threshold T for widths and log slopes)\n");
        return;
    }
    std::printf("threshold  %g\n", *m.threshold);
    std::printf("runs       kind     start        end          width\n");
    for (const Run& r : m.runs) {
        std::printf("           %-7s  %-11.6g  %-11.6g  %.6g%s\n", r.bright ? "bright" : "dark",
                    r.start, r.end, r.width(), r.bounded ? "" : "  (reaches the edge)");
    }
    if (m.crossings.empty()) {
        std::printf("crossings  none: the cut never reaches the threshold\n");
        return;
    }
    std::printf("crossings  position     slope        ILS          NILS\n");
    for (const Crossing& c : m.crossings) {
        std::printf("           %-11.6g  %-11.6g  %-11.6g  %.4g\n", c.position, c.slope,
                    c.logSlope, c.nils);
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
    CutMetrics m = measureProfile(cutProfile(table, axis, index), options.threshold);
    if (options.json) {
        std::printf("%s\n", toJson(options, m, cutPosition, table.size).dump(2).c_str());
    } else {
        printText(options, m, cutPosition, table.size);
    }
    return 0;
}

} // namespace aerial_tool
