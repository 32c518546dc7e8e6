// Image metrics along a cutline of the image: at a threshold, the bright and dark runs and
// the crossings between them, and the measured feature (the run at a chosen place): its CD,
// its edges' slopes and log slopes, and the contrast of the period around it. Pure
// computations over a profile, no files: a profile comes from a table
// (analysis/image_samples.h) or from any doubles.
//
// The image is periodic with period N x pitch (the spectrum is sampled), so a cut is a
// closed loop: a run that reaches one end of the grid continues at the other, and the
// grid edge is never an edge of a feature.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/continuous_cut.h"

namespace aerial_tool {

// Intensity samples along a line at equally spaced, increasing positions (in the file's
// length unit), one period of the image.
struct Profile {
    std::vector<double> position;
    std::vector<double> intensity;
    // The image between the samples when they determine it (analysis/continuous_cut.h):
    // crossings are its roots, slopes its derivative, peaks and minima its extrema. Without
    // it the cut is measured on its samples: crossings by linear interpolation between two
    // samples, slopes of that segment, extremes of the samples (`sampled`).
    std::optional<TrigCut> continuous;
    // The period of a periodic mask along the cut, when the grid holds whole periods of it:
    // the feature's peak, minimum and contrast are then those of one period, whatever the
    // threshold.
    std::optional<double> patternPeriod;

    bool sampled() const { return !continuous; }
};

// A profile of samples alone, measured as `sampled`.
Profile sampledProfile(std::vector<double> positions, std::vector<double> intensities);

// "continuous" or "sampled": what the measurement stands on, as text, CSV and JSON say it.
const char* imageKindText(const Profile& profile);

// The sample spacing and the period (samples x spacing); 0 for fewer than two samples.
double profileStep(const Profile& profile);
double profilePeriod(const Profile& profile);

// The intensity at a position: the continuous image's, or the nearest sample's.
double profileValueAt(const Profile& profile, double position);

// Where the profile reaches the threshold. The crossing between the last and the first
// sample lies past the last sample's position.
struct Crossing {
    double position;
    double slope;    // dI/dx at the crossing, signed: positive on a rising edge
    double logSlope; // |dI/dx| / T, the image log slope (1/length)
    bool rising;     // the run after it is bright
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

// Points at or above the threshold count as bright. On the continuous image a crossing is a
// root of I - T between two extrema on opposite sides; on samples it lies between two
// samples of opposite kind (the last and the first sample are neighbours), at the linear
// interpolation of the threshold.
CutMetrics measureProfile(const Profile& profile, std::optional<double> threshold);

// The index of the run containing the position (taken round the period), or -1 when there
// is no threshold.
int runIndexAt(const CutMetrics& metrics, const Profile& profile, double position);

// Why a feature has no CD. For a bright feature (a space or a hole) a cut bright all round
// the period is merged, and one that is dark at the feature's place did not print; for a
// dark feature (a line) the reverse. A point of a study over mask parameters whose grid
// does not hold whole periods of the pattern is not measured at all: its image is not the
// periodic pattern's. A point whose image holds NaN or an infinity is not measured either.
enum class FeatureStatus { kMeasured, kMerged, kNotPrinted, kNotPeriodic, kNotFinite };
// "measured", "merged", "not printed", "not periodic on this grid", "image not finite"
const char* statusText(FeatureStatus status);
// Whether the point's image was measured at all (it then has a contrast, a peak, a basis).
inline bool imageMeasured(FeatureStatus status) {
    return status != FeatureStatus::kNotPeriodic && status != FeatureStatus::kNotFinite;
}

struct Edge {
    double position;
    double slope;
    double logSlope;
    double nils; // logSlope times the feature's own CD
};

// The area of the feature: the region of its kind round its place in the plane
// (analysis/feature_area.h), in the length unit squared.
struct AreaFigure {
    FeatureStatus status = FeatureStatus::kNotPrinted;
    double area = 0; // NaN unless measured
};

struct FeatureMetrics {
    bool bright = true;
    bool sampled = false;   // measured on the samples, not on the continuous image
    FeatureStatus status = FeatureStatus::kNotPrinted;
    double cd = 0;          // NaN unless measured
    double start = 0;       // NaN unless measured
    double end = 0;
    Edge left{}, right{};   // NaN unless measured; left is the edge at start
    // Over one period of a periodic mask round the place (Profile::patternPeriod), else the
    // run at the place and the two runs beside it (the whole cut when there are fewer than
    // three runs).
    double periodStart = 0;
    double periodEnd = 0;
    double peak = 0;
    double peakPosition = 0;
    double minimum = 0;
    double minimumPosition = 0;
    double contrast = 0;
    std::optional<AreaFigure> area; // when the area is measured
};

// The feature at `position` of the measured cut (which needs a threshold). Its kind is
// `bright` when given (fixed at the nominal condition of a study), else the kind of the run
// found there.
FeatureMetrics measureFeature(const Profile& profile, const CutMetrics& metrics, double position,
                              std::optional<bool> bright = std::nullopt);

// The kind of feature at the position whatever the threshold: bright when the image there
// lies at or above the middle of the cut's extremes (a space or a hole), else dark (a line).
bool brightFeatureAt(const Profile& profile, double position);

// Both steps at threshold t for a feature of fixed kind.
FeatureMetrics featureAtThreshold(const Profile& profile, double position, bool bright, double t);

enum class CutAxis { kX, kY };

// False with a one-line reason when the position lies outside the cut's positions.
bool checkFeaturePosition(const Profile& profile, double position, std::string& error);

} // namespace aerial_tool
