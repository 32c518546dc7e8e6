#include "masks/layout_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <tuple>

#include <boost/polygon/polygon.hpp>

#include "io/number_text.h"

namespace aerial_tool {

namespace {

namespace gtl = boost::polygon;
using Region = gtl::polygon_90_set_data<long long>;
using Rect = gtl::rectangle_data<long long>;
using PointL = gtl::point_data<long long>;

// Work allowed for stepping shapes that are not Manhattan: crossings computed, summed
// over the shapes' edges and the window's sample rows.
constexpr double kSteppingBudget = 5e7;

// Window corners within 2^52 database units of the layout's origin: twice a corner, and the
// sum of two, are exact integers in a double.
constexpr double kWindowReach = 4503599627370496.0;
// A window of at most 2^30 database units a side: in half units from its centre every
// coordinate inside lies within 2^31 and every area within 2^62, far inside a 64-bit integer.
constexpr double kMaxWindowSpan = 1073741824.0;
// Vertices of shapes to step lie within 2^40 database units of the window: the crossings'
// differences stay far from overflow and their rounding far below a database unit.
constexpr double kSteppingReach = 1099511627776.0;

bool manhattan(const std::vector<PointD>& p, size_t& bad) {
    for (size_t k = 0; k + 1 < p.size(); ++k) {
        if (p[k].x != p[k + 1].x && p[k].y != p[k + 1].y) {
            bad = k;
            return false;
        }
    }
    return true;
}

// The middle one of three consecutive vertices of a Manhattan outline adds nothing when all
// three lie on one axis-parallel line: it sits on an edge, or is the tip of a spike.
bool collinear(const PointD& a, const PointD& b, const PointD& c) {
    return (a.x == b.x && b.x == c.x) || (a.y == b.y && b.y == c.y);
}

// A Manhattan outline (without its closing vertex) with repeated vertices and the middles
// of collinear ones removed, round the end of the list too, until none is left: what stays
// alternates horizontal and vertical edges, as Boost's Manhattan polygons read their
// vertices, and starts at a corner. Fewer than four vertices left: the outline has no area.
std::vector<PointD> normaliseOutline(const std::vector<PointD>& outline) {
    std::deque<PointD> ring;
    auto same = [](const PointD& a, const PointD& b) { return a.x == b.x && a.y == b.y; };
    for (const PointD& q : outline) {
        ring.push_back(q);
        while (true) {
            const size_t n = ring.size();
            if (n >= 2 && same(ring[n - 1], ring[n - 2])) {
                ring.pop_back();
            } else if (n >= 3 && collinear(ring[n - 3], ring[n - 2], ring[n - 1])) {
                ring.erase(ring.end() - 2);
            } else {
                break;
            }
        }
    }
    while (ring.size() >= 3) { // where the end meets the start
        const size_t n = ring.size();
        if (same(ring[n - 1], ring[0]) || collinear(ring[n - 2], ring[n - 1], ring[0])) {
            ring.pop_back();
        } else if (collinear(ring[n - 1], ring[0], ring[1])) {
            ring.pop_front();
        } else {
            break;
        }
    }
    if (ring.size() < 4) return {};
    return {ring.begin(), ring.end()};
}

// The part of a Manhattan outline (without its closing vertex) inside the box, as one
// outline: Sutherland-Hodgman against each side. An edge crossing a side is horizontal
// where the side is vertical and the other way round, so every vertex of the result is
// exact: a vertex of the outline, or a side's coordinate with an edge's. Where the
// outline leaves the box and comes back, the result runs along the side and back, edges
// of no area, which the union of the Manhattan polygons cancels.
std::vector<PointD> clipToBox(std::vector<PointD> outline, const Box& box) {
    std::vector<PointD> out;
    for (int side = 0; side < 4 && !outline.empty(); ++side) {
        const bool alongX = side < 2; // the side is a vertical line x = edge
        const double edge = side == 0 ? box.x0 : side == 1 ? box.x1 : side == 2 ? box.y0 : box.y1;
        auto inside = [&](const PointD& q) {
            const double v = alongX ? q.x : q.y;
            return side % 2 == 0 ? v >= edge : v <= edge;
        };
        out.clear();
        for (size_t k = 0; k < outline.size(); ++k) {
            const PointD& a = outline[k];
            const PointD& b = outline[(k + 1) % outline.size()];
            const PointD cut = alongX ? PointD{edge, a.y} : PointD{a.x, edge};
            if (inside(a)) {
                out.push_back(a);
                if (!inside(b)) out.push_back(cut);
            } else if (inside(b)) {
                out.push_back(cut);
            }
        }
        outline.swap(out);
    }
    return outline;
}

// Area of the polygon inside the box (Sutherland-Hodgman against each side; the box is
// convex, so the clipped outline has the right area even where it runs along a side).
double areaInside(const std::vector<PointD>& polygon, const Box& box) {
    std::vector<PointD> in(polygon.begin(), polygon.end() - 1), out;
    for (int side = 0; side < 4 && !in.empty(); ++side) {
        auto inside = [&](const PointD& q) {
            switch (side) {
            case 0: return q.x >= box.x0;
            case 1: return q.x <= box.x1;
            case 2: return q.y >= box.y0;
            default: return q.y <= box.y1;
            }
        };
        auto cut = [&](const PointD& a, const PointD& b) {
            const double edge = side == 0 ? box.x0 : side == 1 ? box.x1 : side == 2 ? box.y0 : box.y1;
            if (side < 2) {
                const double t = (edge - a.x) / (b.x - a.x);
                return PointD{edge, a.y + t * (b.y - a.y)};
            }
            const double t = (edge - a.y) / (b.y - a.y);
            return PointD{a.x + t * (b.x - a.x), edge};
        };
        out.clear();
        for (size_t k = 0; k < in.size(); ++k) {
            const PointD& a = in[k];
            const PointD& b = in[(k + 1) % in.size()];
            if (inside(a)) {
                out.push_back(a);
                if (!inside(b)) out.push_back(cut(a, b));
            } else if (inside(b)) {
                out.push_back(cut(a, b));
            }
        }
        in.swap(out);
    }
    double twice = 0;
    for (size_t k = 0; k < in.size(); ++k) {
        const PointD& a = in[k];
        const PointD& b = in[(k + 1) % in.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2;
}

// The shape in the window as rectangles one sample row high, each spanning the shape
// where the row's middle line crosses it (even-odd): the midpoint rule, so a straight
// edge keeps its area up to the rounding of the crossings to the database grid.
// Coordinates are database units from a point of the database grid near the window's
// centre, every vertex within kSteppingReach of it.
// Rectangles go into region in half database units: 2 v + offset for a coordinate v.
void stepShape(const std::vector<PointD>& p, const Box& window, double centreY, double pitch,
               long long offsetX, long long offsetY, Region& region, double& steppedArea) {
    double y0 = p[0].y, y1 = y0;
    for (const PointD& q : p) {
        y0 = std::fmin(y0, q.y);
        y1 = std::fmax(y1, q.y);
    }
    const double first = std::floor((std::fmax(y0, window.y0) - centreY) / pitch);
    const double last = std::ceil((std::fmin(y1, window.y1) - centreY) / pitch);
    std::vector<double> crossings;
    for (double k = first; k < last; k += 1) {
        const double lo = std::fmax(centreY + k * pitch, window.y0);
        const double hi = std::fmin(centreY + (k + 1) * pitch, window.y1);
        if (!(hi > lo)) continue;
        const double mid = centreY + (k + 0.5) * pitch;
        crossings.clear();
        for (size_t e = 0; e + 1 < p.size(); ++e) {
            const PointD& a = p[e];
            const PointD& b = p[e + 1];
            if ((a.y <= mid) == (b.y <= mid)) continue;
            crossings.push_back(a.x + (mid - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t c = 0; c + 1 < crossings.size(); c += 2) {
            const double x0 = std::fmax(crossings[c], window.x0);
            const double x1 = std::fmin(crossings[c + 1], window.x1);
            if (!(x1 > x0)) continue;
            // On the database grid, like every other shape.
            const long long ix0 = std::llround(x0), ix1 = std::llround(x1);
            const long long iy0 = std::llround(lo), iy1 = std::llround(hi);
            if (ix1 <= ix0 || iy1 <= iy0) continue;
            region.insert(Rect(2 * ix0 + offsetX, 2 * iy0 + offsetY, 2 * ix1 + offsetX, 2 * iy1 + offsetY));
            steppedArea += static_cast<double>(ix1 - ix0) * static_cast<double>(iy1 - iy0);
        }
    }
}

// Rectangles that share a whole side become one, along one axis and then the other,
// until nothing changes.
void mergeRectangles(std::vector<Rect>& rects) {
    auto pass = [&](bool alongY) {
        auto lo = [&](const Rect& r) { return alongY ? gtl::yl(r) : gtl::xl(r); };
        auto hi = [&](const Rect& r) { return alongY ? gtl::yh(r) : gtl::xh(r); };
        auto across0 = [&](const Rect& r) { return alongY ? gtl::xl(r) : gtl::yl(r); };
        auto across1 = [&](const Rect& r) { return alongY ? gtl::xh(r) : gtl::yh(r); };
        std::sort(rects.begin(), rects.end(), [&](const Rect& a, const Rect& b) {
            return std::make_tuple(across0(a), across1(a), lo(a)) <
                   std::make_tuple(across0(b), across1(b), lo(b));
        });
        std::vector<Rect> out;
        bool merged = false;
        for (const Rect& r : rects) {
            if (!out.empty()) {
                Rect& last = out.back();
                if (across0(last) == across0(r) && across1(last) == across1(r) && hi(last) == lo(r)) {
                    last = alongY ? Rect(gtl::xl(last), gtl::yl(last), gtl::xh(last), gtl::yh(r))
                                  : Rect(gtl::xl(last), gtl::yl(last), gtl::xh(r), gtl::yh(last));
                    merged = true;
                    continue;
                }
            }
            out.push_back(r);
        }
        rects.swap(out);
        return merged;
    };
    bool changed = true;
    while (changed) {
        const bool a = pass(true);
        const bool b = pass(false);
        changed = a || b;
    }
}

std::vector<Rect> decompose(const Region& region) {
    std::vector<Rect> best;
    bool first = true;
    for (gtl::orientation_2d orientation : {gtl::orientation_2d(gtl::HORIZONTAL),
                                            gtl::orientation_2d(gtl::VERTICAL)}) {
        std::vector<Rect> rects;
        Region copy(region);
        copy.get_rectangles(rects, orientation);
        mergeRectangles(rects);
        if (first || rects.size() < best.size()) best.swap(rects);
        first = false;
    }
    // A fixed order, so that the same layout always gives the same input file.
    std::sort(best.begin(), best.end(), [](const Rect& a, const Rect& b) {
        return std::make_tuple(gtl::yl(a), gtl::xl(a)) < std::make_tuple(gtl::yl(b), gtl::xl(b));
    });
    return best;
}

} // namespace

bool parseLayerText(const std::string& text, LayerId& layer) {
    int l = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d/%d%c", &l, &d, &tail) == 2 ||
        (std::sscanf(text.c_str(), "%d%c", &l, &tail) == 1 && (d = 0, true))) {
        if (l < 0 || l > 65535 || d < 0 || d > 65535) return false;
        layer = {l, d};
        return true;
    }
    return false;
}

bool importLayout(std::string_view bytes, const ImportOptions& options, const Grid& grid,
                  double unitMetres, ImportResult& result, std::string& error) {
    result = ImportResult{};
    GdsLibrary library;
    if (!readGdsii(bytes, library, error)) return false;
    const double userMetres = library.metresPerDatabaseUnit / library.userUnitsPerDatabaseUnit;
    result.userUnitMetres = userMetres;
    if (!std::isfinite(userMetres) || !(userMetres > 0)) {
        error = "the library's UNITS give no usable user unit";
        return false;
    }
    if (!(grid.samplePitch > 0) || !std::isfinite(grid.samplePitch) || !(unitMetres > 0)) {
        error = "the sample pitch must be a positive length";
        return false;
    }
    if (grid.size < 1 || grid.size > aerial::kMaxGrid) {
        error = "the grid size must be 1 to " + std::to_string(aerial::kMaxGrid);
        return false;
    }

    // The window in database units, on the database grid.
    const double perUser = 1 / library.userUnitsPerDatabaseUnit;
    double w[4];
    for (int k = 0; k < 4; ++k) w[k] = std::nearbyint(options.window[k] * perUser);
    for (double v : w) {
        if (!std::isfinite(v) || std::fabs(v) > kWindowReach) {
            error = "the window lies beyond the coordinates a layout can hold";
            return false;
        }
    }
    if (!(w[2] > w[0]) || !(w[3] > w[1])) {
        error = "the window " + shortText(options.window[0]) + "," + shortText(options.window[1]) + "," +
                shortText(options.window[2]) + "," + shortText(options.window[3]) +
                " is empty: X1 must exceed X0 and Y1 exceed Y0 (on the layout's database grid)";
        return false;
    }
    if (w[2] - w[0] > kMaxWindowSpan || w[3] - w[1] > kMaxWindowSpan) {
        error = "the window spans more than 2^30 database units";
        return false;
    }
    // The geometry is computed in half database units from the window's centre (twice the
    // centre is sumX, sumY: integers): 2 x - sumX for a coordinate x. Every vertex inside
    // the window is then an integer within 2^31, every area within 2^62.
    const double sumX = w[0] + w[2], sumY = w[1] + w[3];
    const Box keep{w[0], w[1], w[2], w[3]};
    const double pitch = grid.samplePitch * unitMetres / library.metresPerDatabaseUnit; // in database units
    const double toUnit = library.metresPerDatabaseUnit / unitMetres;
    result.windowWidth = (w[2] - w[0]) * toUnit;
    result.windowHeight = (w[3] - w[1]) * toUnit;
    const double h = grid.size / 2;
    const double widthSamples = (w[2] - w[0]) / pitch, heightSamples = (w[3] - w[1]) / pitch;
    if (widthSamples > 2 * h * (1 + 1e-12) || heightSamples > 2 * h * (1 + 1e-12)) {
        const double need = std::fmax(result.windowWidth, result.windowHeight) / (2 * h);
        error = "the window is " + shortText(result.windowWidth) + " x " + shortText(result.windowHeight) +
                " but the grid holds " + shortText(2 * h * grid.samplePitch) + " x " +
                shortText(2 * h * grid.samplePitch) + " (" + std::to_string(static_cast<int>(2 * h)) +
                " samples of " + shortText(grid.samplePitch) + "); a sample pitch of " + shortText(need) +
                " or more fits it";
        return false;
    }

    std::vector<PlacedShape> shapes;
    if (!flattenLayer(library, options.cell, options.layer, &keep, FlattenLimits{}, shapes, error))
        return false;
    result.shapes = static_cast<int>(shapes.size());

    // Shapes to step are computed in database units from (originX, originY), on the
    // database grid next to the window's centre.
    const double originX = std::floor(sumX / 2), originY = std::floor(sumY / 2);
    const Box stepWindow{w[0] - originX, w[1] - originY, w[2] - originX, w[3] - originY};
    const double stepCentreY = sumY / 2 - originY;
    const auto stepOffsetX = static_cast<long long>(2 * originX - sumX);
    const auto stepOffsetY = static_cast<long long>(2 * originY - sumY);
    const double rows = std::ceil(heightSamples) + 1;
    const double u = library.userUnitsPerDatabaseUnit;
    double steppingWork = 0;
    Region layer;
    for (PlacedShape& s : shapes) {
        size_t bad = 0;
        if (!s.roundCap && manhattan(s.points, bad)) {
            // Normalised, clipped to the window exactly, normalised again, in half units.
            const std::vector<PointD> outline = normaliseOutline(
                clipToBox(normaliseOutline({s.points.begin(), s.points.end() - 1}), keep));
            std::vector<PointL> points;
            for (const PointD& q : outline) {
                const double hx = 2 * q.x - sumX, hy = 2 * q.y - sumY;
                if (hx != std::nearbyint(hx) || hy != std::nearbyint(hy)) {
                    error = shapeName(library, s) + " has a vertex at (" + shortText(q.x * u) + ", " + shortText(q.y * u) +
                            ") once placed, off the grid of half database units that the import keeps exactly";
                    return false;
                }
                points.emplace_back(static_cast<long long>(hx), static_cast<long long>(hy));
            }
            if (points.empty()) continue;
            __int128 twiceArea = 0; // exact: every product is within 2^62
            for (size_t k = 0; k < points.size(); ++k) {
                const PointL& a = points[k];
                const PointL& b = points[(k + 1) % points.size()];
                twiceArea += static_cast<__int128>(a.x()) * b.y() - static_cast<__int128>(b.x()) * a.y();
            }
            if (twiceArea < 0) std::reverse(points.begin(), points.end()); // counter-clockwise
            gtl::polygon_90_data<long long> polygon;
            polygon.set(points.begin(), points.end());
            layer.insert(polygon);
            continue;
        }
        if (!options.manhattanize) {
            error = shapeName(library, s) +
                    (s.roundCap ? " has round ends"
                                : " has an edge from (" + shortText(s.points[bad].x * u) + ", " +
                                      shortText(s.points[bad].y * u) + ") to (" + shortText(s.points[bad + 1].x * u) +
                                      ", " + shortText(s.points[bad + 1].y * u) + ")") +
                    ", neither horizontal nor vertical; --manhattanize steps such shapes in "
                    "one-sample steps";
            return false;
        }
        std::vector<PointD> relative;
        for (const PointD& q : s.points) {
            relative.push_back({q.x - originX, q.y - originY});
            if (!(std::fabs(relative.back().x) <= kSteppingReach && std::fabs(relative.back().y) <= kSteppingReach)) {
                error = shapeName(library, s) + " reaches (" + shortText(q.x * u) + ", " + shortText(q.y * u) +
                        ") once placed, too far from the window to be stepped exactly (more than 2^40 "
                        "database units); clip a cell nearer the window";
                return false;
            }
        }
        steppingWork += static_cast<double>(s.points.size()) * rows;
        if (steppingWork > kSteppingBudget) {
            error = "the shapes to step are too many or too detailed for --manhattanize (over " +
                    shortText(kSteppingBudget) + " edge crossings)";
            return false;
        }
        ++result.manhattanized;
        result.steppedAreaBefore += areaInside(relative, stepWindow);
        stepShape(relative, stepWindow, stepCentreY, pitch, stepOffsetX, stepOffsetY, layer,
                  result.steppedAreaAfter);
    }
    const double samplesSquared = pitch * pitch;
    result.steppedAreaBefore /= samplesSquared;
    result.steppedAreaAfter /= samplesSquared;

    // In half units the window runs from -(X1 - X0) to X1 - X0 across, and so along Y.
    const auto extentX = static_cast<long long>(w[2] - w[0]), extentY = static_cast<long long>(w[3] - w[1]);
    Region windowRegion;
    windowRegion.insert(Rect(-extentX, -extentY, extentX, extentY));
    layer.clean();
    const double halfUnitSamplesSquared = (2 * pitch) * (2 * pitch); // a sample's area in half units
    const double shapeArea = static_cast<double>(gtl::area(layer));
    result.shapeArea = shapeArea / halfUnitSamplesSquared;
    if (shapeArea == 0 && !options.allowEmpty) {
        error = "no shape of layer " + std::to_string(options.layer.layer) + "/" +
                std::to_string(options.layer.datatype) + " of cell '" + displayName(options.cell) +
                "' covers any of the window";
        return false;
    }
    Region clear;
    if (options.dark) {
        using namespace gtl::operators;
        clear = windowRegion - layer;
    } else {
        using namespace gtl::operators;
        clear = layer & windowRegion;
    }
    clear.clean();
    result.clearArea = static_cast<double>(gtl::area(clear)) / halfUnitSamplesSquared;
    const std::vector<Rect> rects = decompose(clear);
    result.rectsNeeded = static_cast<int>(rects.size());
    if (static_cast<int>(rects.size()) > aerial::kMaxRects) {
        error = "the clip needs " + std::to_string(rects.size()) + " rectangles after merging, more than the " +
                std::to_string(aerial::kMaxRects) + " an input holds";
        return false;
    }
    // Samples from the grid centre, which is the window's: h / (2 pitch).
    const double halfUnitsPerSample = 2 * pitch;
    auto samples = [&](long long v) { return static_cast<double>(v) / halfUnitsPerSample; };
    for (const Rect& r : rects) {
        result.rects.push_back({1, 0, samples(gtl::xl(r)), samples(gtl::xh(r)), samples(gtl::yl(r)), samples(gtl::yh(r))});
    }
    return true;
}

} // namespace aerial_tool
