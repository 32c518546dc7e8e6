// libFuzzer target of the layout import: arbitrary bytes as a GDSII stream file, clipped
// the way `aerial import` clips, for each of the first few cells of the file on the layer
// of its first shape, in a window around that shape's first point. Every outcome must be
// a result of rectangles that do not overlap or a one-line refusal; the sanitizers catch
// the rest.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "masks/gdsii_reader.h"
#include "masks/layout_import.h"

namespace {

void clipAround(std::string_view bytes, const aerial_tool::GdsLibrary& library,
                const aerial_tool::GdsStructure& cell, bool dark, bool manhattanize) {
    aerial_tool::ImportOptions options;
    options.cell = cell.name;
    options.dark = dark;
    options.manhattanize = manhattanize;
    double x = 0, y = 0;
    if (!cell.shapes.empty()) {
        const aerial_tool::GdsShape& s = cell.shapes.front();
        options.layer = {s.layer, s.datatype};
        if (!s.points.empty()) x = s.points.front().x, y = s.points.front().y;
    }
    // 2000 database units across, on a grid of 64 samples that holds exactly that.
    const double half = 1000;
    const double u = library.userUnitsPerDatabaseUnit;
    options.window[0] = (x - half) * u;
    options.window[1] = (y - half) * u;
    options.window[2] = (x + half) * u;
    options.window[3] = (y + half) * u;
    const aerial_tool::Grid grid{64, 2 * half * library.metresPerDatabaseUnit / 1e-6 / 64};
    aerial_tool::ImportResult result;
    std::string error;
    const bool ok = aerial_tool::importLayout(bytes, options, grid, 1e-6, result, error);
    if (!ok && (error.empty() || error.find('\n') != std::string::npos)) {
        std::fprintf(stderr, "refusal that is not one line: '%s'\n", error.c_str());
        __builtin_trap();
    }
    if (ok && static_cast<int>(result.rects.size()) > aerial::kMaxRects) __builtin_trap();
    // The rectangles never overlap: overlapping ones would add their transmissions.
    for (std::size_t i = 0; ok && i < result.rects.size(); ++i) {
        for (std::size_t j = i + 1; j < result.rects.size(); ++j) {
            const aerial::MaskRectangle& a = result.rects[i];
            const aerial::MaskRectangle& b = result.rects[j];
            if (std::fmin(a.xEnd, b.xEnd) > std::fmax(a.xStart, b.xStart) &&
                std::fmin(a.yEnd, b.yEnd) > std::fmax(a.yStart, b.yStart)) {
                std::fprintf(stderr, "rectangles %zu and %zu overlap\n", i, j);
                __builtin_trap();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    aerial_tool::GdsLibrary library;
    std::string error;
    if (!aerial_tool::readGdsii(bytes, library, error)) {
        if (error.empty() || error.find('\n') != std::string::npos) __builtin_trap();
        return 0;
    }
    const std::size_t cells = library.structures.size() < 3 ? library.structures.size() : 3;
    for (std::size_t k = 0; k < cells; ++k)
        clipAround(bytes, library, library.structures[k], (size + k) % 2 == 1, k % 2 == 0);
    if (library.structures.empty()) clipAround(bytes, library, aerial_tool::GdsStructure{"TOP", {}, {}}, false, true);
    return 0;
}
