#include "cli/mask_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "io/input_edit.h"
#include "input/input_layout.h"
#include "io/input_writer.h"
#include "masks/mask_recipe.h"
#include "masks/pattern_generator.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;
using aerial::ParameterId;

namespace {

std::string describe(const PatternRequest& p, const std::string& unit) {
    auto len = [&](double v) { return shortText(v) + " " + unit; };
    std::string bias = p.bias != 0 ? " (bias " + len(p.bias) + ")" : "";
    switch (p.kind) {
    case PatternKind::kLines:
        return std::string(p.tone == Tone::kDark ? "dark lines" : "clear spaces") + " of " + len(p.cd) +
               bias + " at a pitch of " + len(p.pitch) + (p.alternating ? ", alternating phase" : "");
    case PatternKind::kLine: return "an isolated dark line of " + len(p.cd) + bias;
    case PatternKind::kSpace: return "an isolated clear space of " + len(p.cd) + bias;
    case PatternKind::kContacts:
        return std::string(p.tone == Tone::kClear ? "holes" : "posts") + " of " + len(p.sizeX) + " x " +
               len(p.sizeY) + bias + " at pitches " + len(p.pitchX) + " x " + len(p.pitchY);
    }
    return "";
}

bool writeText(const fs::path& path, const std::string& text, std::string& error) {
    if (writeFileBytes(path.string(), text, error)) return true;
    error = path.string() + ": cannot write: " + error;
    return false;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "aerial mask: %s\n", message.c_str());
    return 2;
}

} // namespace

int writeMask(const MaskOptions& o) {
    InputParameters parameters;
    std::string error;
    if (!startingParameters(o.templatePath, o.unit, parameters, error)) return fail(error);
    if (o.grid) parameters[ParameterId::kGridSize] = *o.grid;
    if (o.samplePitch) parameters[ParameterId::kSamplePitch] = *o.samplePitch;
    if (o.wavelength) parameters[ParameterId::kWavelength] = *o.wavelength;
    if (o.na) parameters[ParameterId::kNumericalAperture] = *o.na;
    if (o.sigma) parameters[ParameterId::kSigma] = *o.sigma;
    if (o.defocus) parameters[ParameterId::kDefocus] = *o.defocus;

    MaskRecipe recipe;
    PatternRequest& p = recipe.pattern;
    patternKindFromName(o.kind, p.kind);
    p.tone = o.tone.empty() ? (p.kind == PatternKind::kContacts ? Tone::kClear : Tone::kDark)
                            : (o.tone == "dark" ? Tone::kDark : Tone::kClear);
    if (!o.tone.empty() && (p.kind == PatternKind::kLine || p.kind == PatternKind::kSpace))
        return fail("--tone is for lines and contacts: a line is dark and a space clear");
    p.orientation = o.orientation == "y" ? Orientation::kY : Orientation::kX;
    p.bias = o.bias;
    p.alternating = o.phaseShift == "alternating";
    if (o.transmission) {
        p.transmission = *o.transmission;
        p.hasTransmission = true;
    }
    if (o.field) {
        p.field = *o.field;
        p.hasField = true;
    }
    if (p.kind == PatternKind::kContacts) {
        if (!(o.pitchX || o.pitch) || !(o.pitchY || o.pitch))
            return fail("contacts need --pitch, or --pitch-x and --pitch-y");
        if (!(o.sizeX || o.size) || !(o.sizeY || o.size))
            return fail("contacts need --size, or --size-x and --size-y");
        p.pitchX = o.pitchX ? *o.pitchX : *o.pitch;
        p.pitchY = o.pitchY ? *o.pitchY : *o.pitch;
        p.sizeX = o.sizeX ? *o.sizeX : *o.size;
        p.sizeY = o.sizeY ? *o.sizeY : *o.size;
    } else {
        if (!o.cd) return fail(o.kind + " needs --cd");
        if (p.kind == PatternKind::kLines && !o.pitch) return fail("lines need --pitch");
        p.cd = *o.cd;
        if (o.pitch) p.pitch = *o.pitch;
    }

    Grid grid{static_cast<int>(parameters[ParameterId::kGridSize]), parameters[ParameterId::kSamplePitch]};
    const std::vector<double> periods = patternPeriods(p);
    if (o.fit) {
        if (periods.empty()) return fail("--fit is for periodic patterns (lines, contacts)");
        if (grid.size > 0 && periods[0] > 0 && grid.samplePitch > 0) {
            grid.samplePitch = fitPeriod(periods[0], grid).fittedSamplePitch;
            parameters[ParameterId::kSamplePitch] = grid.samplePitch;
        }
    }
    std::vector<aerial::MaskRectangle> rects;
    if (!generatePattern(p, grid, rects, error)) return fail(error);

    std::vector<std::string> warnings;
    const char* axes[] = {"X", "Y"};
    for (size_t k = 0; k < periods.size(); ++k) {
        const PeriodFit fit = fitPeriod(periods[k], grid);
        if (fit.whole) continue;
        const std::string& u = parameters.unit;
        warnings.push_back("the grid (N x sample pitch = " + shortText(fit.gridLength) + " " + u + ") holds " +
                           fixedText(fit.periods, 4) + " periods of " + shortText(fit.period) + " " + u +
                           (periods.size() > 1 ? std::string(" along ") + axes[k] : std::string()) +
                           ", not a whole number: the image repeats every grid length, so the grating breaks at "
                           "the grid edge, " + shortText(fit.shortfall) + " " + u + " off " +
                           std::to_string(fit.nearestWhole) + " whole periods; --fit sets the sample pitch to " +
                           exactText(fit.fittedSamplePitch));
    }

    recipe.grid = grid;
    recipe.unit = parameters.unit;
    const fs::path dir(o.directory);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir))
        return fail(o.directory + ": cannot make the folder: " +
                    (ec ? ec.message() : std::string(std::strerror(ENOTDIR))));
    const std::string title = "aerial mask " + o.kind + ": " + describe(p, parameters.unit);
    if (!writeText(dir / aerial::kInputFileName, inputFileText(parameters, rects, title), error) ||
        !writeText(dir / kMaskRecipeFileName, recipeJson(recipe), error))
        return fail(error);

    for (const std::string& w : warnings) std::fprintf(stderr, "aerial mask: warning: %s\n", w.c_str());
    if (!o.quiet) {
        std::printf("%s: %s, %zu rectangles; grid %d x %s %s%s\n",
                    (dir / aerial::kInputFileName).string().c_str(), describe(p, parameters.unit).c_str(),
                    rects.size(), grid.size, shortText(grid.samplePitch).c_str(), parameters.unit.c_str(),
                    o.fit ? " (sample pitch fitted to whole periods)" : "");
    }
    return warnings.empty() ? 0 : 1;
}

} // namespace aerial_tool
