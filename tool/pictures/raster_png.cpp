#include "pictures/raster_png.h"

#include <cairo.h>

namespace aerial_tool {

bool writeRgbPng(const std::vector<std::uint8_t>& rgb, int width, int height, const std::string& path) {
    if (width < 1 || height < 1 || rgb.size() != static_cast<size_t>(width) * height * 3) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int j = 0; j < height; ++j) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(j) * stride);
        for (int i = 0; i < width; ++i) {
            const std::uint8_t* p = &rgb[3 * (static_cast<size_t>(j) * width + i)];
            row[i] = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        }
    }
    cairo_surface_mark_dirty(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace aerial_tool
