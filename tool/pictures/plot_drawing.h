// Pictures of result tables drawn with cairo: heatmaps with a colour bar, and intensity
// cutlines. Pure drawing from numbers to a PNG file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/metrics.h"
#include "io/result_table.h"

namespace aerial_tool {

// Where a heatmap puts its parts, in pixels: tests use it to find a known sample.
struct HeatmapLayout {
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 560;
    static constexpr int kPlotLeft = 90;
    static constexpr int kPlotTop = 56;
    static constexpr int kPlotSize = 440; // the square of samples
    static constexpr int kBarLeft = 560;
    static constexpr int kBarWidth = 22;
};

struct Rgb {
    unsigned char r, g, b;
};

// The viridis colour map (perceptually uniform, readable in grey and by most colour-blind
// readers), t in [0, 1].
Rgb viridis(double t);

struct HeatmapText {
    std::string title;
    std::string axisX; // e.g. "x (um)"
    std::string axisY;
    std::string valueName; // beside the colour bar
    // A circle about the origin in axis units, drawn with its label: the pupil on the
    // spectrum pictures; none unless set.
    std::optional<double> circleRadius = std::nullopt;
    std::string circleLabel = {};
};

// X runs to the right and Y upwards, as in the plane's coordinates; the colour scale runs
// from the smallest to the largest finite value. Returns false when the file cannot be
// written.
bool writeHeatmapPng(const ResultTableData& table, const HeatmapText& text, const std::string& path);

struct CutlineSeries {
    std::string label;
    Profile profile;
};

bool writeCutlinePng(const std::vector<CutlineSeries>& series, std::optional<double> threshold,
                     const std::string& title, const std::string& axisX, const std::string& path);

// A Bossung picture: one curve per series, x = defocus, y = CD.
struct BossungSeries {
    std::string label;
    std::vector<double> defocus;
    std::vector<double> cd; // NaN where there is no CD
};

bool writeLinePlotPng(const std::vector<BossungSeries>& series, const std::string& title,
                      const std::string& axisX, const std::string& axisY, const std::string& path);

} // namespace aerial_tool
