#include "io/raster_files.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include <tiffio.h>

#include "io/input_edit.h"
#include "io/file_reason.h"

namespace aerial_tool {

namespace {

void littleEndian(float value, char out[4]) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int k = 0; k < 4; ++k) out[k] = static_cast<char>((bits >> (8 * k)) & 0xff);
}

} // namespace

bool writeNpyFloat32(const std::string& path, int width, int height, const std::vector<double>& values,
                     std::string& error) {
    // Version 1.0: magic, version, a 16-bit header length, and the header padded with
    // spaces to a multiple of 64 bytes, ending in a line feed.
    std::string header = "{'descr': '<f4', 'fortran_order': False, 'shape': (" + std::to_string(height) + ", " +
                         std::to_string(width) + "), }";
    const size_t fixed = 10;
    while ((fixed + header.size() + 1) % 64 != 0) header += ' ';
    header += '\n';
    std::string bytes = "\x93NUMPY";
    bytes += '\x01';
    bytes += '\x00';
    bytes += static_cast<char>(header.size() & 0xff);
    bytes += static_cast<char>(header.size() >> 8);
    bytes += header;
    const size_t start = bytes.size();
    bytes.resize(start + values.size() * 4);
    for (size_t k = 0; k < values.size(); ++k) littleEndian(static_cast<float>(values[k]), &bytes[start + 4 * k]);
    if (writeFileBytes(path, bytes, error)) return true;
    error = path + ": cannot write: " + error;
    return false;
}

bool writeFloatTiff(const std::string& path, int width, int height, const std::vector<double>& values,
                    std::string& error) {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) {
        error = path + ": " + notWritable(path, "the TIFF library refused it");
        return false;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    std::vector<float> row(width);
    bool ok = true;
    for (int j = 0; j < height && ok; ++j) {
        for (int i = 0; i < width; ++i) row[i] = static_cast<float>(values[static_cast<size_t>(j) * width + i]);
        ok = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(j), 0) == 1;
    }
    TIFFClose(tiff);
    if (!ok) error = path + ": " + notWritable(path, "a row could not be written");
    return ok;
}

} // namespace aerial_tool
