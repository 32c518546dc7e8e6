// A run's folder as the pictures, the report and the measurements read it: the input through
// the core's own reader (any path, no working-folder change) with its derived optics, and the
// recipe of a generated mask beside it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "input/parse_input.h"
#include "io/result_table.h"
#include "masks/mask_recipe.h"
#include "optics/source_points.h"

namespace aerial_tool {

struct RunInput {
    std::unique_ptr<aerial::InputValues> values; // null when the input cannot be read
    aerial::DerivedOptics optics{};
    std::string lengthUnit = "L"; // when the input names none
    std::string folderName; // the folder's own name, for titles
    std::optional<MaskRecipe> recipe; // the folder's mask recipe, when it has a readable one
    std::string recipeError;          // why a recipe the folder has cannot be read, else empty
};

// Reads the input file of DIR with the core's scan and parse. Without a readable input the values
// stay null: the tables can still be drawn, without the mask and the optics.
RunInput readRunInput(const std::string& directory);

// The folder's name as a title shows it: the last part of its absolute path.
std::string folderNameOf(const std::string& directory);

} // namespace aerial_tool
