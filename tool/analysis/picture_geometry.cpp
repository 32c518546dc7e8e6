#include "analysis/picture_geometry.h"

#include <algorithm>
#include <cmath>

#include "input/parse_input.h"

namespace aerial_tool {

PupilOutlines pupilOutlines(const aerial::DerivedOptics& optics, double step) {
    PupilOutlines out;
    const double r = std::fabs(optics.pupilRadius * step);
    out.pupil = {0, 0, r};
    for (const aerial::SourcePoint& p : optics.points) {
        if (!p.passes) continue;
        const Circle c{p.shiftX * step, p.shiftY * step, r};
        const bool seen = std::any_of(out.shifted.begin(), out.shifted.end(),
                                      [&](const Circle& o) { return o.x == c.x && o.y == c.y; });
        if (!seen) out.shifted.push_back(c);
    }
    return out;
}

std::vector<std::vector<PlanePoint>> circleUnionOutline(const std::vector<Circle>& circles,
                                                        int pointsPerCircle) {
    std::vector<std::vector<PlanePoint>> out;
    const int n = std::max(pointsPerCircle, 8);
    for (size_t i = 0; i < circles.size(); ++i) {
        const Circle& c = circles[i];
        if (!(c.r > 0) || !std::isfinite(c.r)) continue;
        auto covered = [&](PlanePoint p) {
            for (size_t k = 0; k < circles.size(); ++k) {
                if (k == i) continue;
                const double dx = p.x - circles[k].x, dy = p.y - circles[k].y;
                // Strictly inside: where two circles touch, both rims stay drawn.
                if (std::hypot(dx, dy) < circles[k].r * (1 - 1e-9)) return true;
            }
            return false;
        };
        std::vector<std::vector<PlanePoint>> arcs;
        std::vector<PlanePoint> arc;
        for (int s = 0; s <= n; ++s) {
            const double a = 2 * M_PI * s / n;
            const PlanePoint p{c.x + c.r * std::cos(a), c.y + c.r * std::sin(a)};
            if (covered(p)) {
                if (arc.size() > 1) arcs.push_back(arc);
                arc.clear();
            } else {
                arc.push_back(p);
            }
        }
        if (arc.size() > 1) {
            // An arc running through angle 0 continues the first one.
            if (!arcs.empty() && !covered({c.x + c.r, c.y})) {
                arc.insert(arc.end(), arcs.front().begin() + 1, arcs.front().end());
                arcs.front() = arc;
            } else {
                arcs.push_back(arc);
            }
        }
        out.insert(out.end(), arcs.begin(), arcs.end());
    }
    return out;
}

double spectrumHalfWidth(const PupilOutlines& pupils) {
    double half = 2 * pupils.pupil.r;
    for (const Circle& c : pupils.shifted)
        half = std::max(half, std::max(std::fabs(c.x), std::fabs(c.y)) + c.r);
    return half;
}

std::vector<ContourSegment> contourInAxisUnits(const ResultTableData& table, double level) {
    std::vector<ContourSegment> segments = contourSegments(table.values, table.size, table.size, level);
    if (table.size < 2) return segments;
    const double x0 = table.xLabels.front(), y0 = table.yLabels.front();
    const double dx = table.xStep(), dy = table.yStep();
    for (ContourSegment& s : segments) {
        for (PlanePoint* p : {&s.a, &s.b}) *p = {x0 + p->x * dx, y0 + p->y * dy};
    }
    return segments;
}

std::vector<AxisRectangle> maskOutlines(const aerial::InputValues& values) {
    std::vector<AxisRectangle> out;
    const double pitch = values.samplePitch;
    for (int r = 0; r < std::min(values.rectCount, aerial::kMaxRects); ++r) {
        const aerial::MaskRectangle& m = values.rects[r];
        out.push_back({std::min(m.xStart, m.xEnd) * pitch, std::max(m.xStart, m.xEnd) * pitch,
                       std::min(m.yStart, m.yEnd) * pitch, std::max(m.yStart, m.yEnd) * pitch});
    }
    return out;
}

std::vector<bool> aboveFractionOfPeak(const ResultTableData& table, double fraction) {
    double peak = 0;
    for (double v : table.values)
        if (std::isfinite(v)) peak = std::max(peak, v);
    std::vector<bool> out(table.values.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = std::isfinite(table.values[i]) && table.values[i] > fraction * peak;
    return out;
}

} // namespace aerial_tool
