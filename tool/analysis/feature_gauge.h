// What the commands measure on an image, and the image made ready to measure it at any
// threshold: `metrics`, `plot`, `sweep`, `window` and the mask studies all measure through
// these, so every figure is the same measurement.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "analysis/feature_area.h"
#include "analysis/image_samples.h"
#include "analysis/metrics.h"
#include "masks/mask_recipe.h"
#include "masks/pattern_generator.h"

namespace aerial_tool {

// The figure a study follows: the CD along the cut, the CD along Y through the feature's
// place, or the feature's area (for contact holes and posts).
enum class Measure { kCd, kCdY, kArea };
const char* measureName(Measure measure);   // "cd", "cd-y", "area"
const char* measureColumn(Measure measure); // "cd", "cd_y", "area": CSV and JSON keys
bool measureFromName(const std::string& name, Measure& measure);
bool measureIsArea(Measure measure);

// Where the feature is: the cut along `axis` at `at` across it, and the feature's place
// `featureAt` along the cut (lengths from the grid centre).
struct CutChoice {
    CutAxis axis = CutAxis::kX;
    double at = 0;
    double featureAt = 0;
    Measure measure = Measure::kCd;
};

// The whole periods of a periodic mask along X and Y, where the grid holds them.
struct PatternPeriods {
    std::optional<double> x, y;
};

// The periods of a generated pattern that the grid holds whole: a grating's along its
// orientation, a contact array's along both axes; none for a single line or space.
PatternPeriods patternPeriodsOnGrid(const PatternRequest& pattern, const Grid& grid);

// The axis a cut crosses the pattern's features along: Y for lines, a line or a space
// whose period runs along Y (orientation y), else X.
CutAxis axisAcrossFeatures(const PatternRequest& pattern);

// The cut's axis: the one given, else across the features of a generated pattern (the
// folder's recipe), else X.
CutAxis cutAxisFor(std::optional<CutAxis> given, const std::optional<MaskRecipe>& recipe);

// The recipe's periods on the image's grid; none without a recipe.
PatternPeriods imagePatternPeriods(const std::optional<MaskRecipe>& recipe, const ImageSamples& image);

// One image, ready: nothing in it depends on the threshold.
struct FeatureGauge {
    Measure measure = Measure::kCd;
    // The cut the CD is taken on: the chosen one, or for cd-y the one along Y through the
    // place; and the place along it.
    Profile cut;
    CutAxis cutAxis = CutAxis::kX;
    double cutPosition = 0; // across it, where the cut lies
    double place = 0;
    double placeX = 0, placeY = 0; // the place in the plane
    std::shared_ptr<const AreaGauge> area; // when the area is measured
    double imageLow = 0, imageHigh = 0;    // the lowest and highest sample of the image
};

// False with a reason when the cut or the place lies off the grid.
bool prepareGauge(const ImageSamples& image, const CutChoice& choice, const PatternPeriods& periods,
                  FeatureGauge& gauge, std::string& error);

// False with a reason when the cut or the place lies off a grid of `size` samples at this
// pitch: what every image of that grid would fail on, checked before any is run.
bool cutOnGrid(const CutChoice& choice, int size, double samplePitch, std::string& error);

// A gauge of the CD along a profile given as doubles (no image behind it), at `place`.
FeatureGauge profileGauge(Profile profile, double place);

// The feature of a fixed kind at threshold t: along the gauge's cut, with its area when that
// is the figure.
FeatureMetrics gaugeFeature(const FeatureGauge& gauge, double t, bool bright);

// The kind of the feature at the place, whatever the threshold (brightFeatureAt on the cut).
bool gaugeBright(const FeatureGauge& gauge);

// The figure and its status: the CD or the area, NaN unless measured.
double figureOf(const FeatureMetrics& feature, Measure measure);
FeatureStatus figureStatus(const FeatureMetrics& feature, Measure measure);

// The thresholds between which every change of the figure happens: the lowest and highest
// value of the image the figure is taken on, a little widened (the continuous image may
// pass its samples), never 0 (an infinite dose). None for an image that is dark or not finite.
struct ThresholdRange {
    double low, high;
};
std::optional<ThresholdRange> gaugeThresholdRange(const FeatureGauge& gauge);

} // namespace aerial_tool
