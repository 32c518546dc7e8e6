#include "masks/mask_recipe.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "io/file_reason.h"
#include "io/input_folder.h"
#include "input/input_cells.h"
#include "input/parse_input.h"
#include "io/input_writer.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace {

using nlohmann::json;

json pair(const Transmission& t) { return json::array({t.re, t.im}); }

bool readPair(const json& j, Transmission& t) {
    if (!j.is_array() || j.size() != 2 || !j[0].is_number() || !j[1].is_number()) return false;
    t = {j[0].get<double>(), j[1].get<double>()};
    return true;
}

} // namespace

std::string recipeJson(const MaskRecipe& recipe) {
    const PatternRequest& p = recipe.pattern;
    json out;
    out["kind"] = patternKindName(p.kind);
    if (p.kind == PatternKind::kContacts) {
        out["pitch_x"] = p.pitchX;
        out["pitch_y"] = p.pitchY;
        out["size_x"] = p.sizeX;
        out["size_y"] = p.sizeY;
    } else {
        if (p.kind == PatternKind::kLines) out["pitch"] = p.pitch;
        out["cd"] = p.cd;
        out["orientation"] = p.orientation == Orientation::kX ? "x" : "y";
    }
    out["bias"] = p.bias;
    if (p.kind == PatternKind::kLines || p.kind == PatternKind::kContacts)
        out["tone"] = p.tone == Tone::kDark ? "dark" : "clear";
    out["phase_shift"] = p.alternating ? "alternating" : "none";
    if (p.hasTransmission) out["transmission"] = pair(p.transmission);
    if (p.hasField) out["field"] = pair(p.field);
    out["grid"] = recipe.grid.size;
    out["sample_pitch"] = recipe.grid.samplePitch;
    out["unit"] = recipe.unit;
    return out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

RecipeFile readRecipeFile(const std::string& directory, MaskRecipe& recipe, std::string& error, std::string* bytes) {
    const std::filesystem::path path = std::filesystem::path(directory) / kMaskRecipeFileName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return RecipeFile::kAbsent;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        error = path.string() + ": " + notReadable(path.string());
        return RecipeFile::kBad;
    }
    if (!parseRecipe(text.str(), recipe, error)) {
        error = path.string() + ": " + error;
        return RecipeFile::kBad;
    }
    if (bytes != nullptr) *bytes = text.str();
    return RecipeFile::kRead;
}

bool parseRecipe(const std::string& text, MaskRecipe& recipe, std::string& error) {
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = "the mask recipe is not a JSON object";
        return false;
    }
    MaskRecipe r;
    PatternRequest& p = r.pattern;
    auto number = [&](const char* key, double& value) {
        if (!j.contains(key)) return true;
        if (!j[key].is_number()) {
            error = std::string("the mask recipe's '") + key + "' is not a number";
            return false;
        }
        value = j[key].get<double>();
        return true;
    };
    if (!j.contains("kind") || !j["kind"].is_string() ||
        !patternKindFromName(j["kind"].get<std::string>(), p.kind)) {
        error = "the mask recipe names no known kind (lines, line, space, contacts)";
        return false;
    }
    double grid = 0;
    if (!number("pitch", p.pitch) || !number("cd", p.cd) || !number("bias", p.bias) ||
        !number("pitch_x", p.pitchX) || !number("pitch_y", p.pitchY) || !number("size_x", p.sizeX) ||
        !number("size_y", p.sizeY) || !number("grid", grid) || !number("sample_pitch", r.grid.samplePitch))
        return false;
    r.grid.size = static_cast<int>(grid);
    p.tone = j.value("tone", std::string("dark")) == "clear" ? Tone::kClear : Tone::kDark;
    if (p.kind == PatternKind::kContacts && !j.contains("tone")) p.tone = Tone::kClear;
    p.orientation = j.value("orientation", std::string("x")) == "y" ? Orientation::kY : Orientation::kX;
    p.alternating = j.value("phase_shift", std::string("none")) == "alternating";
    if (j.contains("transmission")) {
        p.hasTransmission = readPair(j["transmission"], p.transmission);
        if (!p.hasTransmission) {
            error = "the mask recipe's 'transmission' is not a pair of numbers";
            return false;
        }
    }
    if (j.contains("field")) {
        p.hasField = readPair(j["field"], p.field);
        if (!p.hasField) {
            error = "the mask recipe's 'field' is not a pair of numbers";
            return false;
        }
    }
    r.unit = j.value("unit", std::string("um"));
    recipe = r;
    return true;
}

bool setRecipeParameter(MaskRecipe& recipe, const std::string& name, double value) {
    PatternRequest& p = recipe.pattern;
    const bool contacts = p.kind == PatternKind::kContacts;
    if (name == "mask.pitch") {
        if (contacts) p.pitchX = p.pitchY = value;
        else p.pitch = value;
    } else if (name == "mask.cd") {
        if (contacts) p.sizeX = p.sizeY = value;
        else p.cd = value;
    } else if (name == "mask.bias") {
        p.bias = value;
    } else {
        return false;
    }
    return true;
}

bool recipeParameter(const MaskRecipe& recipe, const std::string& name, double& value) {
    const PatternRequest& p = recipe.pattern;
    const bool contacts = p.kind == PatternKind::kContacts;
    if (name == "mask.pitch") value = contacts ? p.pitchX : p.pitch;
    else if (name == "mask.cd") value = contacts ? p.sizeX : p.cd;
    else if (name == "mask.bias") value = p.bias;
    else return false;
    return true;
}

bool regenerateInput(const std::string& parentInput, const MaskRecipe& recipe,
                     const std::vector<std::pair<std::string, double>>& values, std::string& result,
                     std::string& warning, std::string& error) {
    MaskRecipe point = recipe;
    for (const auto& [name, value] : values) {
        if (!setRecipeParameter(point, name, value)) {
            error = "'" + name + "' is not a mask parameter (mask.pitch, mask.cd, mask.bias)";
            return false;
        }
    }
    auto cells = newInputCells();
    aerial::scanInputText(parentInput, *cells);
    auto parsed = std::make_unique<aerial::InputValues>();
    aerial::parseInput(*cells, *parsed);
    const Grid grid{parsed->gridSize, parsed->samplePitch};
    std::vector<aerial::MaskRectangle> rects;
    if (!generatePattern(point.pattern, grid, rects, error)) return false;
    if (!replaceRectangles(parentInput, rects, result)) {
        error = "the input ends before its rectangle count";
        return false;
    }
    warning.clear();
    for (double period : patternPeriods(point.pattern)) {
        const PeriodFit fit = fitPeriod(period, grid);
        if (fit.whole) continue;
        warning = "the grid holds " + fixedText(fit.periods, 4) + " periods of " + shortText(fit.period) +
                  ", not a whole number";
        break;
    }
    return true;
}

} // namespace aerial_tool
