// What the measuring commands share (metrics, run --metrics, plot, report, sweep, window):
// the cut options as given, the image of a run's folder ready for measuring, and the cut
// they choose from both. Messages go to stderr.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/feature_gauge.h"
#include "analysis/image_samples.h"
#include "masks/mask_recipe.h"

namespace aerial_tool {

// The cut as the command line gives it.
struct CutOptions {
    std::optional<std::string> axis; // "x" or "y"; default: across a generated pattern's features, else x
    double at = 0;                   // offset of the cut from the grid centre, in the length unit
    std::optional<double> featureAt; // the measured run contains it (default: the cut's centre)
};

// A run's folder as a measurement reads it: the image at the input's pitch and pupil, and
// the recipe of a generated mask when the folder has one.
struct FolderImage {
    ImageSamples image;
    std::optional<MaskRecipe> recipe;
    PatternPeriods periods; // of the recipe's pattern on the input's grid
    std::string unit;       // the length unit the input names
};

// Reads DIR's image table and input (the tables must exist; tables older than the input
// are measured with a warning). False with the reason printed.
bool readFolderImage(const std::string& directory, FolderImage& image);

// The image of one point of a study (its own input and table). False with the reason printed.
bool readPointImage(const std::string& folder, ImageSamples& image);

// The axis the options give, if any.
std::optional<CutAxis> givenAxis(const CutOptions& options);

// The cut the options choose: the axis given, else across the features of the recipe's
// pattern, else X.
CutChoice chooseCut(const CutOptions& options, const std::optional<MaskRecipe>& recipe,
                    Measure measure = Measure::kCd);

// "along X at y = 0" and the like, for headings.
std::string cutDescription(CutAxis axis, double cutPosition);

} // namespace aerial_tool
