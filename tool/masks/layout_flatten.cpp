#include "masks/layout_flatten.h"

#include <cmath>
#include <set>
#include <unordered_map>

#include "io/number_text.h"

namespace aerial_tool {

namespace {

// x' = a x + b y + tx, y' = c x + d y + ty; scale: the product of the magnifications.
struct Transform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0, scale = 1;
    PointD apply(double x, double y) const { return {a * x + b * y + tx, c * x + d * y + ty}; }
};

// Cosine and sine of an angle in degrees, exact for multiples of 90 so that Manhattan
// shapes stay Manhattan.
void turn(double degrees, double& cosine, double& sine) {
    const double r = std::fmod(degrees, 360.0);
    const double q = r < 0 ? r + 360.0 : r;
    if (q == 0) { cosine = 1; sine = 0; return; }
    if (q == 90) { cosine = 0; sine = 1; return; }
    if (q == 180) { cosine = -1; sine = 0; return; }
    if (q == 270) { cosine = 0; sine = -1; return; }
    const double radians = q * (3.14159265358979323846 / 180.0);
    cosine = std::cos(radians);
    sine = std::sin(radians);
}

// The parent's transform followed by a reference placed at (ox, oy): reflection about X,
// then magnification, then rotation, then the offset.
Transform compose(const Transform& parent, const GdsReference& ref, double ox, double oy) {
    double cs, sn;
    turn(ref.angle, cs, sn);
    const double m = ref.magnification;
    const double f = ref.reflected ? -1.0 : 1.0;
    // M = m R(angle) diag(1, f)
    const double ma = m * cs, mb = -m * sn * f, mc = m * sn, md = m * cs * f;
    Transform t;
    t.a = parent.a * ma + parent.b * mc;
    t.b = parent.a * mb + parent.b * md;
    t.c = parent.c * ma + parent.d * mc;
    t.d = parent.c * mb + parent.d * md;
    const PointD o = parent.apply(ox, oy);
    t.tx = o.x;
    t.ty = o.y;
    t.scale = parent.scale * m;
    return t;
}

std::string cellList(const GdsLibrary& library) {
    std::string names;
    size_t shown = 0;
    for (const GdsStructure& s : library.structures) {
        if (shown == 8) {
            names += ", ...";
            break;
        }
        names += (shown++ ? ", '" : "'") + displayName(s.name) + "'";
    }
    return names.empty() ? "none" : names;
}

bool onLayer(const GdsShape& s, LayerId layer) {
    return s.layer == layer.layer && s.datatype == layer.datatype;
}

// Vertices a shape places: a path gives a five-point outline per segment and, with round
// ends, two caps.
double shapeVertices(const GdsShape& s) {
    if (!s.isPath) return static_cast<double>(s.points.size());
    return 5.0 * static_cast<double>(s.points.size()) + (s.pathType == 1 ? 2 * 20 : 0);
}

double shapeCount(const GdsShape& s) {
    return s.isPath ? static_cast<double>(s.points.size()) + 1 : 1;
}

constexpr int kCapSegments = 16;

void pathOutlines(const GdsShape& path, const Transform& t, int structure, int index,
                  std::vector<PlacedShape>& out) {
    std::vector<PointD> p;
    for (const GdsPoint& q : path.points) {
        PointD placed = t.apply(q.x, q.y);
        if (p.empty() || placed.x != p.back().x || placed.y != p.back().y) p.push_back(placed);
    }
    const double width = path.width >= 0 ? path.width * t.scale : -static_cast<double>(path.width);
    const double half = width / 2;
    if (p.size() < 2 || !(half > 0)) return; // a path of no length or width covers nothing
    auto extension = [&](bool begin) {
        switch (path.pathType) {
        case 2: return half;
        case 4: return (begin ? path.beginExtension : path.endExtension) * t.scale;
        default: return 0.0;
        }
    };
    for (size_t k = 0; k + 1 < p.size(); ++k) {
        const double dx = p[k + 1].x - p[k].x, dy = p[k + 1].y - p[k].y;
        const double length = std::hypot(dx, dy);
        const double ux = dx / length, uy = dy / length;
        const double e0 = k == 0 ? extension(true) : half;
        const double e1 = k + 2 == p.size() ? extension(false) : half;
        const PointD a{p[k].x - ux * e0, p[k].y - uy * e0};
        const PointD b{p[k + 1].x + ux * e1, p[k + 1].y + uy * e1};
        const double nx = -uy * half, ny = ux * half;
        // Axis-parallel segments stay exact: the normal is then exactly on an axis.
        PlacedShape s;
        s.structure = structure;
        s.shape = index;
        s.points = {{a.x - nx, a.y - ny}, {b.x - nx, b.y - ny}, {b.x + nx, b.y + ny},
                    {a.x + nx, a.y + ny}, {a.x - nx, a.y - ny}};
        out.push_back(std::move(s));
    }
    if (path.pathType != 1) return;
    // Round ends: half discs beyond the first and the last point.
    for (int end = 0; end < 2; ++end) {
        const PointD centre = end == 0 ? p.front() : p.back();
        const PointD towards = end == 0 ? p[1] : p[p.size() - 2];
        const double base = std::atan2(centre.y - towards.y, centre.x - towards.x);
        PlacedShape s;
        s.structure = structure;
        s.shape = index;
        s.roundCap = true;
        for (int k = 0; k <= kCapSegments; ++k) {
            const double angle = base - 1.5707963267948966 + k * (3.141592653589793 / kCapSegments);
            s.points.push_back({centre.x + half * std::cos(angle), centre.y + half * std::sin(angle)});
        }
        s.points.push_back(s.points.front());
        out.push_back(std::move(s));
    }
}

bool overlaps(const std::vector<PointD>& points, const Box* keep, bool& finite) {
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const PointD& q : points) {
        x0 = std::fmin(x0, q.x);
        x1 = std::fmax(x1, q.x);
        y0 = std::fmin(y0, q.y);
        y1 = std::fmax(y1, q.y);
    }
    finite = std::isfinite(x0) && std::isfinite(x1) && std::isfinite(y0) && std::isfinite(y1);
    if (!finite || keep == nullptr) return finite;
    return x1 > keep->x0 && x0 < keep->x1 && y1 > keep->y0 && y0 < keep->y1;
}

} // namespace

std::string shapeName(const GdsLibrary& library, const PlacedShape& shape) {
    const GdsStructure& s = library.structures[shape.structure];
    return std::string(s.shapes[shape.shape].isPath ? "path " : "boundary ") +
           std::to_string(shape.shape) + " of cell '" + displayName(s.name) + "'";
}

bool flattenLayer(const GdsLibrary& library, const std::string& cell, LayerId layer,
                  const Box* keep, const FlattenLimits& limits, std::vector<PlacedShape>& shapes,
                  std::string& error) {
    shapes.clear();
    const int count = static_cast<int>(library.structures.size());
    std::unordered_map<std::string_view, int> byName;
    for (int k = 0; k < count; ++k) {
        if (!byName.emplace(library.structures[k].name, k).second) {
            error = "the file defines cell '" + displayName(library.structures[k].name) + "' twice";
            return false;
        }
    }
    const auto top = byName.find(cell);
    if (top == byName.end()) {
        error = "the file has no cell named '" + displayName(cell) + "' (cells: " + cellList(library) + ")";
        return false;
    }

    // Depth-first over the references with an explicit stack (a deep chain of cells must
    // not exhaust the call stack): every referenced cell resolved, no cell on the path
    // reached again. Cells finish in post-order, children before their parents.
    std::vector<std::vector<int>> children(count);
    std::vector<int> state(count, 0); // 0 unseen, 1 on the current path, 2 finished
    std::vector<int> order;
    struct Frame {
        int structure;
        size_t next;
    };
    std::vector<Frame> stack{{top->second, 0}};
    state[top->second] = 1;
    while (!stack.empty()) {
        Frame& f = stack.back();
        const GdsStructure& s = library.structures[f.structure];
        if (f.next == s.references.size()) {
            state[f.structure] = 2;
            order.push_back(f.structure);
            stack.pop_back();
            continue;
        }
        const GdsReference& ref = s.references[f.next++];
        const auto child = byName.find(ref.structure);
        if (child == byName.end()) {
            error = "cell '" + displayName(s.name) + "' references cell '" + displayName(ref.structure) +
                    "', which the file does not define";
            return false;
        }
        children[f.structure].push_back(child->second);
        if (state[child->second] == 1) {
            std::string loop = "'" + displayName(ref.structure) + "'";
            bool inLoop = false;
            for (const Frame& g : stack) {
                if (g.structure == child->second) inLoop = true;
                if (inLoop && g.structure != child->second)
                    loop += " -> '" + displayName(library.structures[g.structure].name) + "'";
            }
            loop += " -> '" + displayName(ref.structure) + "'";
            error = child->second == f.structure
                        ? "cell '" + displayName(s.name) + "' references itself"
                        : "cells reference each other in a loop: " + loop;
            return false;
        }
        if (state[child->second] == 0) {
            state[child->second] = 1;
            stack.push_back({child->second, 0});
        }
    }

    // What each cell places, children first; saturating well above the budget.
    const double cap = 1e30;
    std::vector<double> placedShapes(count, 0), placedVertices(count, 0);
    std::set<std::pair<int, int>> layersSeen;
    for (int k : order) {
        const GdsStructure& s = library.structures[k];
        double n = 0, v = 0;
        for (const GdsShape& shape : s.shapes) {
            layersSeen.insert({shape.layer, shape.datatype});
            if (!onLayer(shape, layer)) continue;
            n += shapeCount(shape);
            v += shapeVertices(shape);
        }
        for (size_t r = 0; r < s.references.size(); ++r) {
            const GdsReference& ref = s.references[r];
            const double instances = static_cast<double>(ref.columns) * ref.rows;
            const int child = children[k][r];
            n = std::fmin(cap, n + instances * placedShapes[child]);
            v = std::fmin(cap, v + instances * placedVertices[child]);
        }
        placedShapes[k] = n;
        placedVertices[k] = v;
    }
    const int root = top->second;
    if (placedShapes[root] == 0) {
        std::string present;
        for (const auto& [l, d] : layersSeen)
            present += (present.empty() ? "" : ", ") + std::to_string(l) + "/" + std::to_string(d);
        error = "cell '" + displayName(cell) + "' has no shape on layer " + std::to_string(layer.layer) + "/" +
                std::to_string(layer.datatype) + " (layers in its hierarchy: " +
                (present.empty() ? "none" : present) + ")";
        return false;
    }
    if (placedShapes[root] > limits.maxShapes || placedVertices[root] > limits.maxVertices) {
        error = "cell '" + cell + "' would place " + fixedText(placedShapes[root], 0) + " shapes with " +
                fixedText(placedVertices[root], 0) + " vertices on the layer once flattened, more than the " +
                fixedText(limits.maxShapes, 0) + " shapes and " + fixedText(limits.maxVertices, 0) +
                " vertices allowed";
        return false;
    }

    struct Placement {
        int structure;
        Transform transform;
    };
    std::vector<Placement> work{{root, Transform{}}};
    std::vector<PlacedShape> pieces;
    while (!work.empty()) {
        const Placement p = work.back();
        work.pop_back();
        const GdsStructure& s = library.structures[p.structure];
        for (size_t k = 0; k < s.shapes.size(); ++k) {
            const GdsShape& shape = s.shapes[k];
            if (!onLayer(shape, layer) || placedShapes[p.structure] == 0) continue;
            pieces.clear();
            if (shape.isPath) {
                pathOutlines(shape, p.transform, p.structure, static_cast<int>(k), pieces);
            } else {
                PlacedShape placed;
                placed.structure = p.structure;
                placed.shape = static_cast<int>(k);
                for (const GdsPoint& q : shape.points) placed.points.push_back(p.transform.apply(q.x, q.y));
                pieces.push_back(std::move(placed));
            }
            for (PlacedShape& piece : pieces) {
                bool finite = true;
                const bool kept = overlaps(piece.points, keep, finite);
                if (!finite) {
                    error = shapeName(library, piece) + " lands at a coordinate that is not finite once placed";
                    return false;
                }
                if (kept) shapes.push_back(std::move(piece));
            }
        }
        for (size_t r = 0; r < s.references.size(); ++r) {
            const GdsReference& ref = s.references[r];
            const int child = children[p.structure][r];
            if (placedShapes[child] == 0) continue;
            const double cx = (static_cast<double>(ref.columnEnd.x) - ref.origin.x) / ref.columns;
            const double cy = (static_cast<double>(ref.columnEnd.y) - ref.origin.y) / ref.columns;
            const double rx = (static_cast<double>(ref.rowEnd.x) - ref.origin.x) / ref.rows;
            const double ry = (static_cast<double>(ref.rowEnd.y) - ref.origin.y) / ref.rows;
            for (int i = 0; i < ref.columns; ++i) {
                for (int j = 0; j < ref.rows; ++j) {
                    const double ox = ref.isArray ? ref.origin.x + i * cx + j * rx : ref.origin.x;
                    const double oy = ref.isArray ? ref.origin.y + i * cy + j * ry : ref.origin.y;
                    work.push_back({child, compose(p.transform, ref, ox, oy)});
                }
            }
        }
    }
    return true;
}

} // namespace aerial_tool
