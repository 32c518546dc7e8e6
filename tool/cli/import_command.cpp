#include "cli/import_command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "io/input_edit.h"
#include "analysis/option_values.h"
#include "input/input_layout.h"
#include "io/input_writer.h"
#include "io/layout_file.h"
#include "masks/layout_import.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;
using aerial::ParameterId;

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "aerial import: %s\n", message.c_str());
    return 2;
}

} // namespace

int importLayoutClip(const ImportCommandOptions& o) {
    InputParameters parameters;
    std::string error;
    if (!startingParameters(o.templatePath, o.unit, parameters, error)) return fail(error);
    if (o.samplePitch) parameters[ParameterId::kSamplePitch] = *o.samplePitch;
    double unit = 0;
    if (!unitMetres(parameters.unit, unit))
        return fail("the input's length unit '" + parameters.unit +
                    "' is not one a layout can be converted to (nm, um, mm, m); give --unit");

    ImportOptions options;
    options.cell = o.cell;
    options.dark = o.dark;
    options.manhattanize = o.manhattanize;
    if (!parseLayerText(o.layer, options.layer)) return fail("--layer wants LAYER/DATATYPE, e.g. 1/0");
    if (!parseBox(o.window, options.window, error)) return fail("--window " + error);

    LayoutFile layout;
    if (!layout.open(o.layout, error)) return fail(error);

    const Grid grid{static_cast<int>(parameters[ParameterId::kGridSize]), parameters[ParameterId::kSamplePitch]};
    ImportResult result;
    if (!importLayout(layout.bytes(), options, grid, unit, result, error)) return fail(o.layout + ": " + error);

    const fs::path dir(o.directory);
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::string title = "aerial import " + fs::path(o.layout).filename().string() + ": cell " + o.cell +
                              ", layer " + o.layer + ", window " + o.window +
                              (o.dark ? ", shapes dark" : ", shapes clear");
    const std::string inputFile = (dir / aerial::kInputFileName).string();
    if (!writeFileBytes(inputFile, inputFileText(parameters, result.rects, title), error))
        return fail(inputFile + ": cannot write: " + error);

    if (!o.quiet) {
        const double sampleArea = grid.samplePitch * grid.samplePitch;
        std::printf("%s: %zu rectangles from %d shapes of cell '%s' layer %s; window %s x %s %s on the grid "
                    "centre (grid %d x %s %s); clear area %s %s^2\n",
                    (dir / aerial::kInputFileName).string().c_str(), result.rects.size(), result.shapes,
                    o.cell.c_str(), o.layer.c_str(), shortText(result.windowWidth).c_str(),
                    shortText(result.windowHeight).c_str(), parameters.unit.c_str(), grid.size,
                    shortText(grid.samplePitch).c_str(), parameters.unit.c_str(),
                    shortText(result.clearArea * sampleArea).c_str(), parameters.unit.c_str());
        if (result.manhattanized > 0) {
            const double before = result.steppedAreaBefore * sampleArea, after = result.steppedAreaAfter * sampleArea;
            std::printf("stepped %d shapes in one-sample steps: their area in the window %s %s^2 became %s %s^2 "
                        "(%+.3g %%)\n",
                        result.manhattanized, shortText(before).c_str(), parameters.unit.c_str(),
                        shortText(after).c_str(), parameters.unit.c_str(),
                        before > 0 ? 100 * (after - before) / before : 0.0);
        }
    }
    return 0;
}

} // namespace aerial_tool
