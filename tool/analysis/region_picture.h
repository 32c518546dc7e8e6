// Pictures of a region as 8-bit RGB rasters, one pixel per pixel of the region's raster:
// the image in grey, the drawn outline, and whatever verification marks on top.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/tile_images.h"

namespace aerial_tool {

struct PixelColour { // 8-bit red, green, blue
    std::uint8_t r, g, b;
};

struct RgbRaster {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // 3 bytes a pixel, row 0 on top
    void set(int i, int j, PixelColour c);
    PixelColour at(int i, int j) const;
};

inline constexpr PixelColour kOutlineColour{40, 140, 255};

// Grey from 0 (black) to `top` (white).
RgbRaster greyPicture(const RegionRaster& raster, double top);

// The pixel holding the point, clamped to the raster.
void pixelOf(const RegionRaster& raster, double x, double y, int& i, int& j);

// The drawn edges, one pixel wide, on the pixels their inside touches.
void drawOutline(RgbRaster& picture, const RegionRaster& raster, const std::vector<DrawnEdge>& edges, PixelColour colour);

// A square ring of `radius` pixels round the point.
void drawRing(RgbRaster& picture, const RegionRaster& raster, double x, double y, int radius, PixelColour colour);

} // namespace aerial_tool
