// A raster of 8-bit RGB pixels as a PNG, through cairo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aerial_tool {

// rgb[3 * (j * width + i)]: red, green, blue of pixel i of row j, row 0 on top. False when
// the file cannot be written.
bool writeRgbPng(const std::vector<std::uint8_t>& rgb, int width, int height, const std::string& path);

} // namespace aerial_tool
