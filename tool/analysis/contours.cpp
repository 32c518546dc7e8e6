#include "analysis/contours.h"

#include <cmath>

namespace aerial_tool {

namespace {

// Where the level crosses the edge from p to q (values vp, vq on opposite sides).
PlanePoint crossing(PlanePoint p, PlanePoint q, double vp, double vq, double level) {
    const double t = (level - vp) / (vq - vp);
    return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

} // namespace

std::vector<ContourSegment> contourSegments(const std::vector<double>& values, int nx, int ny,
                                            double level) {
    std::vector<ContourSegment> out;
    if (nx < 2 || ny < 2 || values.size() < static_cast<size_t>(nx) * ny) return out;
    auto at = [&](int x, int y) { return values[static_cast<size_t>(y) * nx + x]; };
    for (int y = 0; y + 1 < ny; ++y) {
        for (int x = 0; x + 1 < nx; ++x) {
            // Corners counter-clockwise from the bottom left; edge e joins corner e and e+1.
            const PlanePoint p[4] = {{double(x), double(y)}, {double(x + 1), double(y)},
                                     {double(x + 1), double(y + 1)}, {double(x), double(y + 1)}};
            const double v[4] = {at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y + 1)};
            if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]) ||
                !std::isfinite(v[3]))
                continue;
            bool inside[4];
            for (int k = 0; k < 4; ++k) inside[k] = v[k] >= level;
            PlanePoint cut[4];
            bool crossed[4];
            int count = 0;
            for (int e = 0; e < 4; ++e) {
                const int f = (e + 1) % 4;
                crossed[e] = inside[e] != inside[f];
                if (crossed[e]) {
                    cut[e] = crossing(p[e], p[f], v[e], v[f], level);
                    ++count;
                }
            }
            if (count == 2) {
                PlanePoint ends[2];
                int k = 0;
                for (int e = 0; e < 4; ++e)
                    if (crossed[e]) ends[k++] = cut[e];
                out.push_back({ends[0], ends[1]});
            } else if (count == 4) {
                // Corners 0 and 2 share a side, 1 and 3 the other. When the centre sides
                // with corners 0 and 2 they are joined through it, and the line cuts off
                // corners 1 and 3 (edges 0-1 and 2-3); otherwise it cuts off 0 and 2.
                const double centre = (v[0] + v[1] + v[2] + v[3]) / 4;
                if ((centre >= level) == inside[0]) {
                    out.push_back({cut[0], cut[1]});
                    out.push_back({cut[2], cut[3]});
                } else {
                    out.push_back({cut[3], cut[0]});
                    out.push_back({cut[1], cut[2]});
                }
            }
        }
    }
    return out;
}

} // namespace aerial_tool
