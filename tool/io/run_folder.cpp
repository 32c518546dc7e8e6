#include "io/run_folder.h"

#include <filesystem>

#include "io/input_folder.h"
#include "input/input_cells.h"
#include "input/input_layout.h"

namespace aerial_tool {

namespace fs = std::filesystem;

std::string folderNameOf(const std::string& directory) {
    std::error_code ec;
    fs::path p = fs::absolute(directory, ec).lexically_normal();
    if (p.filename().empty()) p = p.parent_path();
    const std::string name = p.filename().string();
    return name.empty() ? directory : name;
}

RunInput readRunInput(const std::string& directory) {
    RunInput in;
    in.folderName = folderNameOf(directory);
    MaskRecipe recipe;
    if (readRecipeFile(directory, recipe, in.recipeError) == RecipeFile::kRead) in.recipe = recipe;
    // A megabyte of cells: on the heap, not the stack.
    auto cells = newInputCells();
    const fs::path file = fs::path(directory) / aerial::kInputFileName;
    if (!aerial::scanInputFile(file.c_str(), *cells)) return in;
    // The free text beside the pitch names the length unit by custom.
    std::string unit =
        aerial::cellText(*cells, 1, aerial::parameterCell(aerial::ParameterId::kSamplePitch).line).text;
    while (!unit.empty() && unit.back() == ' ') unit.pop_back();
    if (!unit.empty()) in.lengthUnit = unit;
    in.values = std::make_unique<aerial::InputValues>();
    aerial::parseInput(*cells, *in.values);
    in.optics = aerial::deriveOptics(*in.values);
    return in;
}

} // namespace aerial_tool
