// A raster of floats as files other programs read: NumPy's .npy (float32, little-endian,
// row-major) and TIFF (one 32-bit IEEE float sample a pixel, through libtiff). Row 0 first,
// as the caller lays it out.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

bool writeNpyFloat32(const std::string& path, int width, int height, const std::vector<double>& values,
                     std::string& error);
bool writeFloatTiff(const std::string& path, int width, int height, const std::vector<double>& values,
                    std::string& error);

} // namespace aerial_tool
