// The recipe of a generated mask ("mask.json" beside its input): the pattern and the grid
// it was drawn on, so that a study can draw it again with one parameter changed.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "masks/pattern_generator.h"

namespace aerial_tool {

inline constexpr char kMaskRecipeFileName[] = "mask.json";

struct MaskRecipe {
    PatternRequest pattern;
    Grid grid;
    std::string unit;
};

std::string recipeJson(const MaskRecipe& recipe);

// The recipe beside a folder's input: kAbsent when the folder has none (a mask not made by
// the generator), kBad with a reason when it cannot be read or is no recipe. `bytes`, when
// given, receives the file's bytes as read (a study's manifest hashes them).
enum class RecipeFile { kAbsent, kRead, kBad };
RecipeFile readRecipeFile(const std::string& directory, MaskRecipe& recipe, std::string& error,
                          std::string* bytes = nullptr);

// False with a reason when the text is not a recipe of a known kind.
bool parseRecipe(const std::string& text, MaskRecipe& recipe, std::string& error);

// The generator parameters a study may vary, by the names it gives them: "mask.pitch"
// (the pitch; for contacts both pitches), "mask.cd" (the CD; for contacts the size on both
// axes), "mask.bias". False when the name is none of them.
bool setRecipeParameter(MaskRecipe& recipe, const std::string& name, double value);

// The value of such a parameter in the recipe (for contacts, of the X axis).
bool recipeParameter(const MaskRecipe& recipe, const std::string& name, double& value);

// The input of one point of a study over generator parameters: the parent input's bytes
// with its rectangle count and rows drawn again from the recipe with the named parameters
// changed, every other line kept. N and the sample pitch are the parent input's, so the
// source rounds the same at every point. warning: why the grid does not hold whole periods
// at this point, or empty. False with a reason for an unknown name or a pattern that cannot
// be drawn.
bool regenerateInput(const std::string& parentInput, const MaskRecipe& recipe,
                     const std::vector<std::pair<std::string, double>>& values, std::string& result,
                     std::string& warning, std::string& error);

} // namespace aerial_tool
