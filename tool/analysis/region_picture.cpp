#include "analysis/region_picture.h"

#include <algorithm>
#include <cmath>

namespace aerial_tool {

void RgbRaster::set(int i, int j, PixelColour c) {
    if (i < 0 || j < 0 || i >= width || j >= height) return;
    std::uint8_t* p = &rgb[3 * (static_cast<size_t>(j) * width + i)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

PixelColour RgbRaster::at(int i, int j) const {
    const std::uint8_t* p = &rgb[3 * (static_cast<size_t>(j) * width + i)];
    return {p[0], p[1], p[2]};
}

RgbRaster greyPicture(const RegionRaster& raster, double top) {
    RgbRaster picture;
    picture.width = raster.width;
    picture.height = raster.height;
    picture.rgb.resize(static_cast<size_t>(raster.width) * raster.height * 3);
    for (int j = 0; j < raster.height; ++j) {
        for (int i = 0; i < raster.width; ++i) {
            const double v = raster.values[static_cast<size_t>(j) * raster.width + i] / top;
            const auto g = static_cast<std::uint8_t>(std::lround(255 * std::clamp(v, 0.0, 1.0)));
            picture.set(i, j, {g, g, g});
        }
    }
    return picture;
}

void pixelOf(const RegionRaster& raster, double x, double y, int& i, int& j) {
    i = static_cast<int>(std::floor((x - raster.region.x0) / raster.pitch));
    j = static_cast<int>(std::floor((raster.region.y1 - y) / raster.pitch));
    i = std::clamp(i, 0, raster.width - 1);
    j = std::clamp(j, 0, raster.height - 1);
}

void drawOutline(RgbRaster& picture, const RegionRaster& raster, const std::vector<DrawnEdge>& edges, PixelColour colour) {
    const double half = raster.pitch / 2;
    for (const DrawnEdge& e : edges) {
        // Half a pixel inside the edge, so the line lies on the shape's own pixels.
        const double ox = -e.nx * half, oy = -e.ny * half;
        int i0, j0, i1, j1;
        pixelOf(raster, e.x0 + ox + (e.ny != 0 ? half : 0), e.y0 + oy + (e.nx != 0 ? half : 0), i0, j0);
        pixelOf(raster, e.x1 + ox - (e.ny != 0 ? half : 0), e.y1 + oy - (e.nx != 0 ? half : 0), i1, j1);
        for (int j = std::min(j0, j1); j <= std::max(j0, j1); ++j)
            for (int i = std::min(i0, i1); i <= std::max(i0, i1); ++i) picture.set(i, j, colour);
    }
}

void drawRing(RgbRaster& picture, const RegionRaster& raster, double x, double y, int radius, PixelColour colour) {
    int ci, cj;
    pixelOf(raster, x, y, ci, cj);
    for (int d = -radius; d <= radius; ++d) {
        for (int w = 0; w < 2; ++w) {
            picture.set(ci + d, cj - radius - w, colour);
            picture.set(ci + d, cj + radius + w, colour);
            picture.set(ci - radius - w, cj + d, colour);
            picture.set(ci + radius + w, cj + d, colour);
        }
    }
}

} // namespace aerial_tool
