#include "cli/stitch_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "analysis/contours.h"
#include "analysis/region_picture.h"
#include "analysis/tile_images.h"
#include "analysis/tile_runs.h"
#include "io/file_reason.h"
#include "io/input_edit.h"
#include "io/input_writer.h"
#include "io/picture_loader.h"
#include "io/raster_files.h"
#include "io/tile_manifest.h"
#include "io/csv_table.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "aerial stitch: %s\n", message.c_str());
    return 2;
}

// A contour vertex's coordinate from the edge `start` of the region, `index` pixels along
// (`direction` +1 rightwards, -1 downwards): on a pixel centre (a whole index) the decimal
// start + (2 index + 1) pitch / 2, as the region and the pitch are written; between them
// the interpolated position.
double contourCoordinate(double start, double pitch, double index, int direction) {
    if (index != std::floor(index) || std::fabs(index) > 1e9)
        return start + direction * (index + 0.5) * pitch;
    return decimalSum(start, direction * decimalMultiple(pitch, 2 * static_cast<long long>(index) + 1) / 2);
}

} // namespace

int stitchTiledImage(const StitchOptions& o) {
    TileManifest manifest;
    std::string error;
    double unit = 0;
    if (!readFinishedTiling(o.directory, manifest, unit, error)) return fail(error);
    if (const std::string change = layoutChange(manifest); !change.empty())
        std::fprintf(stderr, "aerial stitch: warning: %s\n", change.c_str());
    const double pitch = o.pixel ? *o.pixel : kStitchPixelUm * 1e-6 / unit;
    RegionRaster raster;
    if (!regionRaster(manifest.tiling.region, pitch, raster, error)) return fail(error);
    if (!stitchTiles(o.directory, manifest, raster, error)) return fail(error);
    DrawnLayout drawn;
    if (!drawnLayout(o.directory, manifest, drawn, error)) return fail(error);

    const fs::path dir(o.directory);
    if (!writeNpyFloat32((dir / "stitched.npy").string(), raster.width, raster.height, raster.values, error) ||
        !writeFloatTiff((dir / "stitched.tif").string(), raster.width, raster.height, raster.values, error))
        return fail(error);
    const auto [low, high] = std::minmax_element(raster.values.begin(), raster.values.end());
    const nlohmann::json scale = {
        {"width", raster.width},
        {"height", raster.height},
        {"unit", manifest.unit},
        {"pixelPitch", raster.pitch},
        {"region", {raster.region.x0, raster.region.y0, raster.region.x1, raster.region.y1}},
        {"firstPixelCentre", {raster.x(0), raster.y(0)}},
        {"step", {raster.pitch, -raster.pitch}},
        {"rows", "row 0 on top (largest y); pixel (i, j) centred at (x0 + (i + 0.5) pitch, y1 - (j + 0.5) pitch)"},
        {"minimum", *low},
        {"maximum", *high},
        {"threshold", o.threshold},
        {"image", "open frame = 1; each pixel from the continuous image of the tile whose core holds it"},
        {"files", {"stitched.npy", "stitched.tif", "stitched.png", "contours.csv"}}};
    {
        const std::string path = (dir / "stitched.json").string();
        if (!writeFileBytes(path, scale.dump(1) + "\n", error)) return fail(path + ": cannot write: " + error);
    }
    {
        std::string out = csvRecord({"x0", "y0", "x1", "y1"});
        for (const ContourSegment& s : contourSegments(raster.values, raster.width, raster.height, o.threshold))
            out += csvRecord({exactText(contourCoordinate(raster.region.x0, pitch, s.a.x, +1)),
                              exactText(contourCoordinate(raster.region.y1, pitch, s.a.y, -1)),
                              exactText(contourCoordinate(raster.region.x0, pitch, s.b.x, +1)),
                              exactText(contourCoordinate(raster.region.y1, pitch, s.b.y, -1))});
        const std::string path = (dir / "contours.csv").string();
        if (!writeFileBytes(path, out, error)) return fail(path + ": cannot write: " + error);
    }
    RgbRaster picture = greyPicture(raster, *high > 0 ? *high : 1);
    drawOutline(picture, raster, drawn.edges, kOutlineColour);
    const PictureFunctions* draw = loadPictureFunctions(error);
    if (draw == nullptr) return fail(error);
    if (!draw->rgbPng(picture.rgb, picture.width, picture.height, (dir / "stitched.png").string()))
        return fail((dir / "stitched.png").string() + ": " + notWritable((dir / "stitched.png").string()));
    if (!o.quiet)
        std::printf("%s: %d x %d pixels of %s %s from %zu tiles (intensity %s to %s); stitched.tif, "
                    "stitched.json, stitched.png, contours.csv beside it\n",
                    (dir / "stitched.npy").string().c_str(), raster.width, raster.height, shortText(pitch).c_str(),
                    manifest.unit.c_str(), manifest.tiling.tiles.size(), fixedText(*low, 4).c_str(),
                    fixedText(*high, 4).c_str());
    return 0;
}

} // namespace aerial_tool
