#include "masks/tiling.h"

#include <cmath>
#include <cstdio>

#include "masks/gdsii_reader.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace {

// Whole cores along one side, the last one holding what is left (a part in 10^9 of a core
// left over is rounding, not a tile).
int coresAlong(double length, double core) {
    const double count = length / core;
    const double whole = std::floor(count);
    return static_cast<int>(count - whole > 1e-9 ? whole + 1 : std::fmax(whole, 1));
}

} // namespace

double defaultHalo(double wavelength, double na, double samplePitch) {
    const double halo = kHaloWavelengths * wavelength / na;
    // Whole samples, in decimal: 31 x 0.03 is 0.93 (the doubles' product 0.9299999999999999).
    return decimalMultiple(samplePitch, static_cast<long long>(std::ceil(halo / samplePitch - 1e-9)));
}

std::string tileName(int row, int column) {
    char text[32];
    std::snprintf(text, sizeof text, "tile_r%03d_c%03d", row, column);
    return text;
}

bool planTiling(const Box2& region, double core, double halo, int gridSize, double samplePitch, Tiling& tiling,
                std::string& error) {
    tiling = Tiling{};
    if (!(region.width() > 0) || !(region.height() > 0) || !std::isfinite(region.width() + region.height())) {
        error = "the region is empty: X1 must exceed X0 and Y1 exceed Y0";
        return false;
    }
    const double gridLength = decimalMultiple(samplePitch, gridSize);
    if (!(halo >= 0) || !std::isfinite(halo)) {
        error = "the halo must be a length of 0 or more";
        return false;
    }
    if (!(core > 0) || core + 2 * halo > gridLength * (1 + 1e-12)) {
        error = "a core of " + shortText(core) + " with a halo of " + shortText(halo) + " on each side needs " +
                shortText(core + 2 * halo) + " but a grid of " + std::to_string(gridSize) + " x " +
                shortText(samplePitch) + " spans " + shortText(gridLength) + "; the largest core with this halo is " +
                shortText(decimalSum(gridLength, -decimalMultiple(halo, 2)));
        return false;
    }
    const int columns = coresAlong(region.width(), core), rows = coresAlong(region.height(), core);
    if (static_cast<double>(columns) * rows > kMaxTiles) {
        error = "the region needs " + std::to_string(columns) + " x " + std::to_string(rows) + " = " +
                std::to_string(static_cast<long long>(columns) * rows) + " tiles, more than the " +
                std::to_string(kMaxTiles) + " a tiling holds; tile a smaller region at a time";
        return false;
    }
    tiling.region = region;
    tiling.core = core;
    tiling.halo = halo;
    tiling.gridSize = gridSize;
    tiling.samplePitch = samplePitch;
    tiling.columns = columns;
    tiling.rows = rows;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            TileFrame tile;
            tile.name = tileName(r, c);
            tile.column = c;
            tile.row = r;
            // In decimal, as the region, the core and the halo are written: the edges of
            // tiles.json are the lengths a person would work out (-0.1, not
            // -0.10000000000000003), and neighbours share theirs exactly.
            auto at = [&](double start, int k) { return decimalSum(start, decimalMultiple(core, k)); };
            tile.core.x0 = at(region.x0, c);
            tile.core.y0 = at(region.y0, r);
            tile.core.x1 = c + 1 == columns ? region.x1 : at(region.x0, c + 1);
            tile.core.y1 = r + 1 == rows ? region.y1 : at(region.y0, r + 1);
            // Halving is exact, so the centre and the half grid are as near their decimals.
            const double cx = decimalSum(tile.core.x0, tile.core.x1) / 2;
            const double cy = decimalSum(tile.core.y0, tile.core.y1) / 2;
            const double half = gridLength / 2;
            tile.grid = {decimalSum(cx, -half), decimalSum(cy, -half), decimalSum(cx, half), decimalSum(cy, half)};
            tile.window = {decimalSum(tile.core.x0, -halo), decimalSum(tile.core.y0, -halo),
                           decimalSum(tile.core.x1, halo), decimalSum(tile.core.y1, halo)};
            tiling.tiles.push_back(tile);
        }
    }
    return true;
}

bool cutTiles(std::string_view layoutBytes, const ImportOptions& base, double unitMetres, Tiling& tiling,
              std::vector<TileInput>& inputs, std::string& error) {
    GdsLibrary library;
    if (!readGdsii(layoutBytes, library, error)) return false;
    const double userMetres = library.metresPerDatabaseUnit / library.userUnitsPerDatabaseUnit;
    const double unitToUser = unitMetres / userMetres;
    const double unitToDatabase = unitMetres / library.metresPerDatabaseUnit;
    const Grid grid{tiling.gridSize, tiling.samplePitch};
    inputs.assign(tiling.tiles.size(), {});
    std::vector<std::string> crowded;
    int crowdedCount = 0, most = 0;
    for (size_t t = 0; t < tiling.tiles.size(); ++t) {
        TileFrame& tile = tiling.tiles[t];
        // Shapes dark on a clear field: the whole grid is imported, since a dark border round
        // the window would print as a frame round every tile.
        if (base.dark) tile.window = tile.grid;
        // The import snaps its window to the database grid and centres it on the grid: a
        // window off that grid would move the tile.
        const double edges[4] = {tile.window.x0, tile.window.y0, tile.window.x1, tile.window.y1};
        for (double e : edges) {
            const double dbu = e * unitToDatabase;
            if (std::fabs(dbu - std::nearbyint(dbu)) > 1e-6) {
                error = "tile " + tile.name + ": its window's edge " + shortText(e) +
                        " is not on the layout's database grid (" + shortText(1 / unitToDatabase) +
                        "); give a region, core and sample pitch on it";
                return false;
            }
        }
        ImportOptions options = base;
        options.allowEmpty = true;
        options.window[0] = tile.window.x0 * unitToUser;
        options.window[1] = tile.window.y0 * unitToUser;
        options.window[2] = tile.window.x1 * unitToUser;
        options.window[3] = tile.window.y1 * unitToUser;
        ImportResult result;
        std::string why;
        if (!importLayout(layoutBytes, options, grid, unitMetres, result, why)) {
            if (result.rectsNeeded > aerial::kMaxRects) {
                ++crowdedCount;
                most = std::max(most, result.rectsNeeded);
                if (crowded.size() < 5) crowded.push_back(tile.name + " (" + std::to_string(result.rectsNeeded) + ")");
                continue;
            }
            error = "tile " + tile.name + ": " + why;
            return false;
        }
        tile.rects = static_cast<int>(result.rects.size());
        inputs[t].rects = std::move(result.rects);
    }
    if (crowdedCount > 0) {
        std::string names;
        for (const std::string& n : crowded) names += (names.empty() ? "" : ", ") + n;
        if (crowdedCount > static_cast<int>(crowded.size())) names += ", ...";
        error = std::to_string(crowdedCount) + " of " + std::to_string(tiling.tiles.size()) +
                " tiles need more than the " + std::to_string(aerial::kMaxRects) +
                " rectangles an input holds (" + names + "; at most " + std::to_string(most) +
                "): shrink the window each tile imports, its core and the halo round it, with a smaller --tile "
                "(or --halo)";
        return false;
    }
    return true;
}

} // namespace aerial_tool
