#include "cli/tile_command.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "analysis/continuous_cut.h"
#include "analysis/option_values.h"
#include "input/input_layout.h"
#include "io/input_writer.h"
#include "io/layout_file.h"
#include "io/study_points.h"
#include "io/tile_manifest.h"
#include "masks/gdsii_reader.h"
#include "masks/tiling.h"
#include "optics/source_points.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;
using aerial::ParameterId;

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "aerial tile: %s\n", message.c_str());
    return 2;
}

} // namespace

int cutLayoutTiles(const TileCommandOptions& o) {
    InputParameters parameters;
    std::string error;
    if (!startingParameters(o.templatePath, o.unit, parameters, error)) return fail(error);
    double unit = 0, defaultPitch = 0;
    if (!unitMetres(parameters.unit, unit) || !convertLength(kTileSamplePitchUm, "um", parameters.unit, defaultPitch))
        return fail("the input's length unit '" + parameters.unit +
                    "' is not one a layout can be converted to (nm, um, mm, m); give --unit");
    const int n = aerial::kMaxGrid;
    const double pitch = o.samplePitch ? *o.samplePitch : defaultPitch;
    if (!(pitch > 0) || !std::isfinite(pitch)) return fail("--sample-pitch must be a length above 0");
    parameters[ParameterId::kGridSize] = n;
    parameters[ParameterId::kSamplePitch] = pitch;
    const double wavelength = parameters[ParameterId::kWavelength], na = parameters[ParameterId::kNumericalAperture];
    if (!(wavelength > 0) || !(na > 0)) return fail("the optics need a wavelength and an NA above 0");
    const double radius = aerial::pupilRadiusSamples(n, pitch, wavelength, na);
    if (exactDegree(n, radius) < 0)
        return fail("a sample pitch of " + shortText(pitch) + " " + parameters.unit + " gives a pupil radius of R = " +
                    shortText(radius) + " samples on a grid of " + std::to_string(n) + ": 2 floor(R) is not below " +
                    std::to_string(n / 2) + ", so the samples do not determine the image between them; give a "
                    "sample pitch below " + shortText(wavelength / (4 * na)) + " " + parameters.unit);

    ImportOptions import;
    import.cell = o.cell;
    import.dark = o.dark;
    if (!parseLayerText(o.layer, import.layer)) return fail("--layer wants LAYER/DATATYPE, e.g. 1/0");
    double w[4];
    if (!parseBox(o.region, w, error)) return fail("--region " + error);

    LayoutFile layout;
    if (!layout.open(o.layout, error)) return fail(error);
    GdsLibrary library;
    if (!readGdsii(layout.bytes(), library, error)) return fail(o.layout + ": " + error);
    const double userToUnit = library.metresPerDatabaseUnit / library.userUnitsPerDatabaseUnit / unit;

    TileManifest manifest;
    manifest.layout = fs::absolute(o.layout).string();
    manifest.layoutSha256 = sha256Hex(layout.bytes());
    manifest.cell = o.cell;
    manifest.layer = o.layer;
    manifest.dark = o.dark;
    manifest.unit = parameters.unit;
    manifest.exactUnit = library.metresPerDatabaseUnit / 2 / unit;
    const double halo = o.halo ? *o.halo : defaultHalo(wavelength, na, pitch);
    manifest.haloRule = o.halo ? "given (--halo)"
                               : "4 lambda / NA = " + shortText(4 * wavelength / na) + " rounded up to whole samples";
    const double core = o.core ? *o.core : n * pitch - 2 * halo;
    const Box2 region{w[0] * userToUnit, w[1] * userToUnit, w[2] * userToUnit, w[3] * userToUnit};
    Tiling& tiling = manifest.tiling;
    if (!planTiling(region, core, halo, n, pitch, tiling, error)) return fail(error);
    std::vector<TileInput> inputs;
    if (!cutTiles(layout.bytes(), import, unit, tiling, inputs, error)) return fail(o.layout + ": " + error);

    const fs::path dir(o.directory);
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::string source = fs::path(o.layout).filename().string();
    for (size_t t = 0; t < tiling.tiles.size(); ++t) {
        const TileFrame& tile = tiling.tiles[t];
        const std::string title = "aerial tile " + source + ": cell " + o.cell + ", layer " + o.layer + ", " +
                                  tile.name + " core " + shortText(tile.core.x0) + "," + shortText(tile.core.y0) + "," +
                                  shortText(tile.core.x1) + "," + shortText(tile.core.y1) +
                                  (o.dark ? ", shapes dark" : ", shapes clear");
        const std::string folder = (dir / tile.name).string();
        fs::create_directories(folder, ec);
        if (!writePointInput(folder, inputFileText(parameters, inputs[t].rects, title), error))
            return fail(error); // names the file and the reason
    }
    // Written only when it changes, so that tiling again as before keeps the runs done.
    if (!writeFileIfChanged((dir / kTileManifestFileName).string(), manifestText(manifest, dir.string()), error))
        return fail(error);

    if (!o.quiet) {
        int most = 0;
        for (const TileFrame& tile : tiling.tiles) most = std::max(most, tile.rects);
        std::printf("%s: %d x %d tiles of core %s and halo %s %s (%s), grids of %d x %s %s; at most %d "
                    "rectangles a tile\n",
                    (dir / kTileManifestFileName).string().c_str(), tiling.columns, tiling.rows,
                    shortText(tiling.core).c_str(), shortText(tiling.halo).c_str(), parameters.unit.c_str(),
                    manifest.haloRule.c_str(), n, shortText(pitch).c_str(), parameters.unit.c_str(), most);
    }
    return 0;
}

} // namespace aerial_tool
