#include "analysis/tile_images.h"

#include <cmath>
#include <filesystem>
#include <memory>

#include <boost/polygon/polygon.hpp>

#include "aerial/engine.hpp"
#include "analysis/continuous_cut.h"
#include "input/input_layout.h"
#include "io/result_table.h"
#include "optics/source_points.h"

namespace aerial_tool {

namespace fs = std::filesystem;
namespace gtl = boost::polygon;

bool readTileInput(const std::string& directory, const TileFrame& tile, aerial::InputValues& input,
                   std::string& error) {
    const fs::path path = fs::path(directory) / tile.name / aerial::kInputFileName;
    try {
        input = aerial::readInputFile(path.string());
    } catch (const std::exception& e) {
        error = tile.name + ": " + e.what();
        return false;
    }
    return true;
}

bool tileImageFrom(const TileFrame& tile, const aerial::InputValues& input, const std::vector<double>& intensity,
                   TileImage& image, std::string& error) {
    ResultTableData table;
    table.size = input.gridSize;
    table.values = intensity;
    if (!imageSamples(table, input, image.samples, error)) {
        error = tile.name + ": " + error;
        return false;
    }
    if (image.samples.degree() < 0) {
        error = tile.name + ": the samples do not determine the image between them (" +
                imageBasisText(image.samples) + "): cut the tiles again at a finer sample pitch";
        return false;
    }
    image.centreX = tile.grid.centreX();
    image.centreY = tile.grid.centreY();
    return true;
}

bool readTileImage(const std::string& directory, const TileFrame& tile, TileImage& image, std::string& error) {
    auto input = std::make_unique<aerial::InputValues>();
    if (!readTileInput(directory, tile, *input, error)) return false;
    ResultTableData table;
    const fs::path path = fs::path(directory) / tile.name / aerial::kImageIntensityFileName;
    if (!readResultTable(path.string(), table, error)) {
        error = tile.name + ": " + error;
        return false;
    }
    return tileImageFrom(tile, *input, table.values, image, error);
}

namespace {

// weights[k * n + p]: the kernel of sample p at the k-th position (samples from sample 0).
std::vector<double> kernelRows(const ImageSamples& s, const std::vector<double>& offsets) {
    const int n = s.size, degree = s.degree();
    std::vector<double> weights(offsets.size() * n);
    for (size_t k = 0; k < offsets.size(); ++k) {
        const double at = offsets[k] / s.samplePitch + n / 2.0;
        for (int p = 0; p < n; ++p) weights[k * n + p] = trigKernel(n, degree, at - p);
    }
    return weights;
}

} // namespace

std::vector<double> resample(const TileImage& image, const std::vector<double>& xs, const std::vector<double>& ys) {
    const ImageSamples& s = image.samples;
    const int n = s.size;
    std::vector<double> dx(xs.size()), dy(ys.size());
    for (size_t i = 0; i < xs.size(); ++i) dx[i] = xs[i] - image.centreX;
    for (size_t j = 0; j < ys.size(); ++j) dy[j] = ys[j] - image.centreY;
    const std::vector<double> wx = kernelRows(s, dx), wy = kernelRows(s, dy);
    // Along X first, every row of samples: rows[q * nx + i].
    const size_t nx = xs.size();
    std::vector<double> rows(static_cast<size_t>(n) * nx);
    for (int q = 0; q < n; ++q) {
        const double* sample = &s.values[static_cast<size_t>(q) * n];
        for (size_t i = 0; i < nx; ++i) {
            const double* w = &wx[i * n];
            double v = 0;
            for (int p = 0; p < n; ++p) v += w[p] * sample[p];
            rows[q * nx + i] = v;
        }
    }
    std::vector<double> out(ys.size() * nx, 0.0);
    for (size_t j = 0; j < ys.size(); ++j) {
        const double* w = &wy[j * n];
        double* line = &out[j * nx];
        for (int q = 0; q < n; ++q) {
            const double weight = w[q];
            const double* row = &rows[q * nx];
            for (size_t i = 0; i < nx; ++i) line[i] += weight * row[i];
        }
    }
    return out;
}

bool regionRaster(const Box2& region, double pitch, RegionRaster& raster, std::string& error) {
    raster = RegionRaster{};
    if (!(pitch > 0) || !std::isfinite(pitch)) {
        error = "the pixel pitch must be a length above 0";
        return false;
    }
    const double w = std::round(region.width() / pitch), h = std::round(region.height() / pitch);
    if (!(w >= 1 && h >= 1) || w * h > double(1 << 28)) {
        error = "a raster of the region at this pitch would hold " + std::to_string(static_cast<long long>(w * h)) +
                " pixels (1 to 2^28): choose another pitch";
        return false;
    }
    raster.width = static_cast<int>(w);
    raster.height = static_cast<int>(h);
    raster.pitch = pitch;
    raster.region = region;
    raster.values.assign(static_cast<size_t>(raster.width) * raster.height, 0.0);
    return true;
}

CorePixels corePixels(const TileFrame& tile, const RegionRaster& raster) {
    CorePixels p;
    const bool lastColumn = tile.core.x1 >= raster.region.x1, lastRow = tile.core.y1 >= raster.region.y1;
    for (int i = 0; i < raster.width; ++i) {
        const double x = raster.x(i);
        if (x >= tile.core.x0 && (x < tile.core.x1 || lastColumn)) {
            p.columns.push_back(i);
            p.xs.push_back(x);
        }
    }
    for (int j = 0; j < raster.height; ++j) {
        const double y = raster.y(j);
        if (y >= tile.core.y0 && (y < tile.core.y1 || lastRow)) {
            p.rows.push_back(j);
            p.ys.push_back(y);
        }
    }
    return p;
}

void stitchTile(const TileFrame& tile, const TileImage& image, RegionRaster& raster) {
    const CorePixels p = corePixels(tile, raster);
    if (p.xs.empty() || p.ys.empty()) return;
    const std::vector<double> values = resample(image, p.xs, p.ys);
    for (size_t b = 0; b < p.rows.size(); ++b)
        for (size_t a = 0; a < p.columns.size(); ++a)
            raster.values[static_cast<size_t>(p.rows[b]) * raster.width + p.columns[a]] = values[b * p.xs.size() + a];
}

bool stitchTiles(const std::string& directory, const TileManifest& manifest, RegionRaster& raster,
                 std::string& error) {
    for (const TileFrame& tile : manifest.tiling.tiles) {
        TileImage image;
        if (!readTileImage(directory, tile, image, error)) return false;
        stitchTile(tile, image, raster);
    }
    return true;
}

namespace {

using Set = gtl::polygon_90_set_data<long long>;
using Rect = gtl::rectangle_data<long long>;

} // namespace

bool drawnLayout(const std::string& directory, const TileManifest& manifest, DrawnLayout& layout,
                 std::string& error) {
    layout = DrawnLayout{};
    const double e = manifest.exactUnit;
    if (!(e > 0)) {
        error = "tiles.json gives no exact unit";
        return false;
    }
    auto toInt = [e](double v) { return static_cast<long long>(std::llround(v / e)); };
    auto toUnit = [e](long long v) { return static_cast<double>(v) * e; };
    Set shapes;
    auto input = std::make_unique<aerial::InputValues>();
    for (const TileFrame& tile : manifest.tiling.tiles) {
        if (!readTileInput(directory, tile, *input, error)) return false;
        const Rect core(toInt(tile.core.x0), toInt(tile.core.y0), toInt(tile.core.x1), toInt(tile.core.y1));
        const double cx = tile.grid.centreX(), cy = tile.grid.centreY(), h = input->samplePitch;
        Set clear;
        for (int r = 0; r < input->rectCount; ++r) {
            const aerial::MaskRectangle& m = input->rects[r];
            const long long x0 = toInt(cx + m.xStart * h), x1 = toInt(cx + m.xEnd * h);
            const long long y0 = toInt(cy + m.yStart * h), y1 = toInt(cy + m.yEnd * h);
            if (x1 > x0 && y1 > y0) clear.insert(Rect(x0, y0, x1, y1));
        }
        using namespace gtl::operators;
        Set coreSet;
        coreSet.insert(core);
        Set drawn;
        if (manifest.dark) drawn = coreSet - clear;
        else drawn = clear & coreSet;
        shapes += drawn;
    }
    shapes.clean();
    std::vector<Rect> rects;
    shapes.get_rectangles(rects);
    for (const Rect& r : rects)
        layout.shapes.push_back({toUnit(gtl::xl(r)), toUnit(gtl::yl(r)), toUnit(gtl::xh(r)), toUnit(gtl::yh(r))});

    const Box2& region = manifest.tiling.region;
    const long long rx0 = toInt(region.x0), ry0 = toInt(region.y0), rx1 = toInt(region.x1), ry1 = toInt(region.y1);
    std::vector<gtl::polygon_90_with_holes_data<long long>> polygons;
    shapes.get(polygons);
    auto addRing = [&](const std::vector<gtl::point_data<long long>>& ring, bool hole) {
        const size_t n = ring.size();
        if (n < 4) return;
        long long twiceArea = 0;
        for (size_t k = 0; k < n; ++k) {
            const auto& a = ring[k];
            const auto& b = ring[(k + 1) % n];
            twiceArea += gtl::x(a) * gtl::y(b) - gtl::x(b) * gtl::y(a);
        }
        // The shape lies left of the ring's direction on a counter-clockwise outline and
        // right of it on a clockwise hole.
        const bool insideLeft = (twiceArea > 0) != hole;
        for (size_t k = 0; k < n; ++k) {
            const auto& a = ring[k];
            const auto& b = ring[(k + 1) % n];
            const long long dx = gtl::x(b) - gtl::x(a), dy = gtl::y(b) - gtl::y(a);
            if (dx == 0 && dy == 0) continue;
            const int sx = dx > 0 ? 1 : (dx < 0 ? -1 : 0), sy = dy > 0 ? 1 : (dy < 0 ? -1 : 0);
            // Outward: right of the direction (sy, -sx) when inside is on the left.
            const int nx = insideLeft ? sy : -sy, ny = insideLeft ? -sx : sx;
            if (dx == 0 && (gtl::x(a) == rx0 || gtl::x(a) == rx1)) continue;
            if (dy == 0 && (gtl::y(a) == ry0 || gtl::y(a) == ry1)) continue;
            DrawnEdge edge;
            edge.x0 = toUnit(std::min(gtl::x(a), gtl::x(b)));
            edge.x1 = toUnit(std::max(gtl::x(a), gtl::x(b)));
            edge.y0 = toUnit(std::min(gtl::y(a), gtl::y(b)));
            edge.y1 = toUnit(std::max(gtl::y(a), gtl::y(b)));
            edge.nx = nx;
            edge.ny = ny;
            layout.edges.push_back(edge);
        }
    };
    for (const auto& polygon : polygons) {
        addRing(std::vector<gtl::point_data<long long>>(polygon.begin(), polygon.end()), false);
        for (auto hole = polygon.begin_holes(); hole != polygon.end_holes(); ++hole)
            addRing(std::vector<gtl::point_data<long long>>(hole->begin(), hole->end()), true);
    }
    return true;
}

} // namespace aerial_tool
