// Image metrics along a cutline of the intensity table: extremes, contrast, and at a
// threshold the width of every bright and dark run (the critical dimension) and the image
// log slope at every crossing. Pure computations, no files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "io/result_table.h"

namespace aerial_tool {

// Intensity samples along a line, at increasing positions (in the file's length unit).
struct Profile {
    std::vector<double> position;
    std::vector<double> intensity;
};

// Where the linearly interpolated profile reaches the threshold.
struct Crossing {
    double position;
    double slope;    // dI/dx of the segment crossed, signed: positive on a rising edge
    double logSlope; // |dI/dx| / T, the image log slope (1/length)
    double nils;     // logSlope times the width of the feature the edge bounds; NaN if none
};

// A stretch of the profile above (bright) or below (dark) the threshold. A run that
// reaches an end of the profile is not bounded by two crossings: its width is only the
// part inside the cut.
struct Run {
    bool bright;
    double start;
    double end;
    bool bounded;
    double width() const { return end - start; }
};

struct CutMetrics {
    double peak = 0;
    double peakPosition = 0;
    double minimum = 0;
    double minimumPosition = 0;
    double contrast = 0; // (max - min) / (max + min)
    std::optional<double> threshold;
    std::vector<Crossing> crossings;
    std::vector<Run> runs; // in order along the cut; consecutive runs alternate
};

// Samples at or above the threshold count as bright. A crossing lies between two samples
// of opposite kind, at the linear interpolation of the threshold. The NILS of a crossing is
// normalised by the bounded bright run beside it, or else by the bounded dark run: the
// printed feature, a space or hole in a dark surround, a line on a bright one.
CutMetrics measureProfile(const Profile& profile, std::optional<double> threshold);

// The run containing the position, or nullptr when there is none (no threshold given, or
// the position lies outside the cut).
const Run* runAt(const CutMetrics& metrics, double position);

enum class CutAxis { kX, kY };

// The cut through the table: along X at the row whose Y label is nearest to `offset`
// (kX), or along Y at the column whose X label is nearest (kY). Returns false when the
// offset lies beyond the grid's half sample.
bool selectCut(const ResultTableData& table, CutAxis axis, double offset, int& index,
               std::string& error);

// The profile of that cut; positions are (k - c) times the label step.
Profile cutProfile(const ResultTableData& table, CutAxis axis, int index);

} // namespace aerial_tool
