// A region of a layout cut into tiles, each simulated as one grid.
//
// The grid is periodic: what lies beyond one edge of a grid's window is imaged as if it lay
// beyond the opposite edge. Each tile keeps a core of the region and simulates the grid
// centred on it, holding the layout within a halo of the core (the window imported; the grid
// beyond it, if any, is left dark), so that every point of the core sees the layout a halo
// round it and the wrapped-around mask lies a halo or more away. Every tile's grid is the
// same N x pitch: the source points are rounded to the grid's spectral samples, so the grid's
// length is part of the model, and one tiling is one model. The halo's default comes from the
// optics (kHaloWavelengths x lambda / NA, rounded up to whole samples), the core's from
// the grid: the grid's length less twice the halo. Cores run from the region's lower left
// corner, the last column and row shorter where the region does not hold whole cores.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "analysis/option_defaults.h"
#include "masks/layout_import.h"

namespace aerial_tool {

// The default sampling and halo of a tile (kTileSamplePitchUm, kHaloWavelengths) are in
// analysis/option_defaults.h.
// The most tiles one tiling may hold.
constexpr int kMaxTiles = 10000;

struct Box2 {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double width() const { return x1 - x0; }
    double height() const { return y1 - y0; }
    double centreX() const { return (x0 + x1) / 2; }
    double centreY() const { return (y0 + y1) / 2; }
    bool holds(double x, double y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

struct TileFrame {
    std::string name; // the tile's folder name under DIR
    int column = 0, row = 0;
    Box2 core;  // in the input's length unit, layout coordinates
    Box2 grid;  // the simulated window: N x pitch, centred on the core
    Box2 window; // the layout imported into it: the core and the halo round it (shapes dark: the grid)
    int rects = 0;
};

struct Tiling {
    Box2 region;              // in the input's length unit
    double core = 0;          // the largest core's side
    double halo = 0;
    int gridSize = 0;
    double samplePitch = 0;
    int columns = 0, rows = 0;
    std::vector<TileFrame> tiles; // row by row from the lower left
};

// The default halo: kHaloWavelengths x lambda / NA rounded up to a whole number of samples.
double defaultHalo(double wavelength, double na, double samplePitch);

// The tiles of the region (cores of at most `core`, grids of N x pitch around them). False
// with a reason when the core and halo do not fit the grid or the tiles are more than
// kMaxTiles (with their count).
bool planTiling(const Box2& region, double core, double halo, int gridSize, double samplePitch, Tiling& tiling,
                std::string& error);

// "tile_r003_c012": folders sort by row, then column.
std::string tileName(int row, int column);

struct TileInput {
    std::vector<aerial::MaskRectangle> rects; // from the tile's grid centre, in samples
};

// Each tile's rectangles from the layout (the import of its grid's window, which may hold
// none). userToUnit: a user unit of the layout in the input's length unit. False with a
// reason: the layout cannot be read, a grid's window is off the database grid, or tiles need
// more than kMaxRects rectangles (which, with their counts, and how to shrink them).
bool cutTiles(std::string_view layoutBytes, const ImportOptions& base, double unitMetres, Tiling& tiling,
              std::vector<TileInput>& inputs, std::string& error);

} // namespace aerial_tool
