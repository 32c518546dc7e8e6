#include "cli/measure_setup.h"

#include <cstdio>
#include <filesystem>

#include "cli/table_messages.h"
#include "input/input_layout.h"
#include "io/file_reason.h"
#include "io/result_table.h"
#include "io/run_folder.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

bool readImage(const std::string& folder, const RunInput& input, ImageSamples& image) {
    const std::string path = (fs::path(folder) / aerial::kImageIntensityFileName).string();
    ResultTableData table;
    std::string error;
    if (!readResultTable(path, table, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return false;
    }
    if (!input.values) {
        const fs::path inputFile = fs::path(folder) / aerial::kInputFileName;
        std::fprintf(stderr, "aerial: %s: %s: the image's positions and pupil come from it\n", inputFile.c_str(),
                     notReadable(inputFile.string()).c_str());
        return false;
    }
    if (!imageSamples(table, *input.values, image, error)) {
        std::fprintf(stderr, "aerial: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

} // namespace

bool readFolderImage(const std::string& directory, FolderImage& out) {
    if (!tablesReadable(directory, {aerial::kImageIntensityFileName})) return false;
    const RunInput input = readRunInput(directory);
    if (!readImage(directory, input, out.image)) return false;
    out.unit = input.lengthUnit;
    out.recipe = input.recipe;
    if (!input.recipeError.empty())
        std::fprintf(stderr, "aerial: warning: %s; measured as a mask of rectangles\n", input.recipeError.c_str());
    out.periods = imagePatternPeriods(out.recipe, out.image);
    return true;
}

bool readPointImage(const std::string& folder, ImageSamples& image) {
    return readImage(folder, readRunInput(folder), image);
}

std::optional<CutAxis> givenAxis(const CutOptions& options) {
    if (!options.axis) return std::nullopt;
    return *options.axis == "y" ? CutAxis::kY : CutAxis::kX;
}

CutChoice chooseCut(const CutOptions& options, const std::optional<MaskRecipe>& recipe, Measure measure) {
    CutChoice c;
    c.axis = cutAxisFor(givenAxis(options), recipe);
    c.at = options.at;
    c.featureAt = options.featureAt.value_or(0.0);
    c.measure = measure;
    return c;
}

std::string cutDescription(CutAxis axis, double cutPosition) {
    return std::string("along ") + (axis == CutAxis::kX ? "X at y = " : "Y at x = ") + shortText(cutPosition);
}

} // namespace aerial_tool
