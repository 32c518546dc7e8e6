// Image metrics along a cutline of the intensity table: at a threshold, the bright and
// dark runs and the crossings between them, and the measured feature (the run at a chosen
// place): its CD, its edges' slopes and log slopes, and the contrast of the period around
// it. Pure computations, no files.
//
// The image is periodic with period N x pitch (the spectrum is sampled), so a cut is a
// closed loop: a run that reaches one end of the grid continues at the other, and the
// grid edge is never an edge of a feature.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "io/result_table.h"

namespace aerial_tool {

// Intensity samples along a line at equally spaced, increasing positions (in the file's
// length unit), one period of the image.
struct Profile {
    std::vector<double> position;
    std::vector<double> intensity;
};

// The sample spacing and the period (samples x spacing); 0 for fewer than two samples.
double profileStep(const Profile& profile);
double profilePeriod(const Profile& profile);

// Where the linearly interpolated profile reaches the threshold. The crossing between the
// last and the first sample lies past the last sample's position.
struct Crossing {
    double position;
    double slope;    // dI/dx of the segment crossed, signed: positive on a rising edge
    double logSlope; // |dI/dx| / T, the image log slope (1/length)
    double nils;     // logSlope times the width of the run of the feature's kind beside it
};

// A stretch of the loop above (bright: I >= T) or below (dark) the threshold, from one
// crossing to the next. Without crossings a single run covers the whole period.
struct Run {
    bool bright;
    double start;
    double end;   // below start when the run continues across the grid edge
    double width; // the CD of the run
    bool wholePeriod;
    bool acrossEdge() const { return !wholePeriod && end < start; }
};

struct CutMetrics {
    // Over the whole cut.
    double peak = 0;
    double peakPosition = 0;
    double minimum = 0;
    double minimumPosition = 0;
    double contrast = 0; // (max - min) / (max + min)
    std::optional<double> threshold;
    std::vector<Crossing> crossings; // in order along the cut
    std::vector<Run> runs;           // runs[k] starts at crossings[k]; consecutive runs alternate
};

// Samples at or above the threshold count as bright. A crossing lies between two samples
// of opposite kind (the last and the first sample are neighbours), at the linear
// interpolation of the threshold. Each crossing's NILS is normalised by the width of the
// run of kind `brightFeature` beside it: spaces when the feature is a space, lines when it
// is a line.
CutMetrics measureProfile(const Profile& profile, std::optional<double> threshold,
                          bool brightFeature = true);

// The index of the run containing the position (taken round the period), or -1 when there
// is no threshold.
int runIndexAt(const CutMetrics& metrics, const Profile& profile, double position);

// Why a feature has no CD. For a bright feature (a space or a hole) a cut bright all round
// the period is merged, and one that is dark at the feature's place did not print; for a
// dark feature (a line) the reverse.
enum class FeatureStatus { kMeasured, kMerged, kNotPrinted };
const char* statusText(FeatureStatus status); // "measured", "merged", "not printed"

struct Edge {
    double position;
    double slope;
    double logSlope;
    double nils; // logSlope times the feature's own CD
};

struct FeatureMetrics {
    bool bright = true;
    FeatureStatus status = FeatureStatus::kNotPrinted;
    double cd = 0;          // NaN unless measured
    double start = 0;       // NaN unless measured
    double end = 0;
    Edge left{}, right{};   // NaN unless measured; left is the edge at start
    // Over one period around the feature: the run at its place and the two runs beside it
    // (the whole cut when there are fewer than three runs).
    double periodStart = 0;
    double periodEnd = 0;
    double peak = 0;
    double peakPosition = 0;
    double minimum = 0;
    double minimumPosition = 0;
    double contrast = 0;
};

// The feature at `position` of the measured cut (which needs a threshold). Its kind is
// `bright` when given (fixed at the nominal condition of a study), else the kind of the run
// found there.
FeatureMetrics measureFeature(const Profile& profile, const CutMetrics& metrics, double position,
                              std::optional<bool> bright = std::nullopt);

// The kind of feature at the position whatever the threshold: bright when the sample there
// lies at or above the middle of the cut's extremes (a space or a hole), else dark (a line).
bool brightFeatureAt(const Profile& profile, double position);

// Both steps at threshold t for a feature of fixed kind.
FeatureMetrics featureAtThreshold(const Profile& profile, double position, bool bright, double t);

enum class CutAxis { kX, kY };

// The cut through the table: along X at the row whose Y label is nearest to `offset`
// (kX), or along Y at the column whose X label is nearest (kY). Returns false when the
// offset lies beyond the grid's half sample.
bool selectCut(const ResultTableData& table, CutAxis axis, double offset, int& index,
               std::string& error);

// The profile of that cut; positions are (k - c) times the label step.
Profile cutProfile(const ResultTableData& table, CutAxis axis, int index);

// False with a one-line reason when the position lies outside the cut's positions.
bool checkFeaturePosition(const Profile& profile, double position, std::string& error);

} // namespace aerial_tool
