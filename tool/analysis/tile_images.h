// The tiles of a tiling as images and as drawn geometry, in layout coordinates.
//
// Each tile's image is the continuous image of its grid (analysis/continuous_cut.h), a
// trigonometric polynomial along rows and columns: its value anywhere in the grid is the
// samples weighted by the polynomial's interpolation kernel along X and along Y. Stitching
// takes every point of the region from the tile whose core holds it.
#pragma once

#include <string>
#include <vector>

#include "aerial/input_values.hpp"
#include "analysis/image_samples.h"
#include "analysis/option_defaults.h"
#include "io/tile_manifest.h"

namespace aerial_tool {

struct TileImage {
    ImageSamples samples; // positions from the grid centre
    double centreX = 0, centreY = 0; // the grid centre in layout coordinates
};

// The tile's input values (the core's reader) and, with `withImage`, its image table. False
// with a reason (a file missing or unreadable, a table not of the input, an image the samples
// do not determine).
bool readTileInput(const std::string& directory, const TileFrame& tile, aerial::InputValues& input,
                   std::string& error);
bool readTileImage(const std::string& directory, const TileFrame& tile, TileImage& image, std::string& error);

// The tile's image from values already in memory (a run of the engine).
bool tileImageFrom(const TileFrame& tile, const aerial::InputValues& input, const std::vector<double>& intensity,
                   TileImage& image, std::string& error);

// The continuous image on a raster: values[j * xs.size() + i] at (xs[i], ys[j]), layout
// coordinates, each within the tile's grid.
std::vector<double> resample(const TileImage& image, const std::vector<double>& xs, const std::vector<double>& ys);

// A raster of the region: pixel (i, j) centred at x = region.x0 + (i + 1/2) pitch, and at
// y = region.y1 - (j + 1/2) pitch (row 0 on top, as pictures and TIFF lay them out).
struct RegionRaster {
    int width = 0, height = 0;
    double pitch = 0;
    Box2 region;
    std::vector<double> values; // [j * width + i]

    double x(int i) const { return region.x0 + (i + 0.5) * pitch; }
    double y(int j) const { return region.y1 - (j + 0.5) * pitch; }
};

// An empty raster of the region at the pitch (its sides rounded to whole pixels). False when
// the pitch is no length above 0 or the raster would hold more than 2^28 pixels.
bool regionRaster(const Box2& region, double pitch, RegionRaster& raster, std::string& error);

// The raster's pixel columns and rows whose centres lie in the tile's core (the region's far
// edges belong to the last core), with their positions.
struct CorePixels {
    std::vector<int> columns, rows;
    std::vector<double> xs, ys;
};
CorePixels corePixels(const TileFrame& tile, const RegionRaster& raster);

// Fills the raster's pixels that lie in the tile's core from its image.
void stitchTile(const TileFrame& tile, const TileImage& image, RegionRaster& raster);

// Every tile's image into the raster from its tables. False with a reason (a tile unreadable).
bool stitchTiles(const std::string& directory, const TileManifest& manifest, RegionRaster& raster,
                 std::string& error);

// A side of the drawn shapes, with the normal pointing out of them. Sides the region cuts
// (lying on its boundary) are left out: they are no edge of the layout.
struct DrawnEdge {
    double x0, y0, x1, y1; // along +X or +Y from (x0, y0)
    int nx, ny;            // outward normal: one of (+-1, 0), (0, +-1)
    double length() const { return (x1 - x0) + (y1 - y0); }
};

// The drawn shapes inside the region from the tiles' inputs (each tile's rectangles within
// its core, united): their rectangles and their edges. Dark tilings simulate the field
// clear; their shapes are the region less the clear rectangles.
struct DrawnLayout {
    std::vector<Box2> shapes; // non-overlapping rectangles covering the drawn shapes
    std::vector<DrawnEdge> edges;
};
bool drawnLayout(const std::string& directory, const TileManifest& manifest, DrawnLayout& layout,
                 std::string& error);

} // namespace aerial_tool
