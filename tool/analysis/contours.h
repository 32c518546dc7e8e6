// Iso-lines of a sampled plane by marching squares: where a resist threshold lands on the
// aerial image. Pure geometry over a table of values, no drawing.
#pragma once

#include <vector>

namespace aerial_tool {

// A point of the plane in fractional sample indices: (2.5, 0) lies halfway between
// samples [2][0] and [3][0].
struct PlanePoint {
    double x = 0;
    double y = 0;
};

struct ContourSegment {
    PlanePoint a, b;
};

// The segments of the iso-line at `level` through the nx x ny samples values[y * nx + x].
// A sample at or above the level counts as inside (as the metrics count a bright sample);
// each segment ends on cell edges, at the linear interpolation of the level between the
// edge's two samples. A cell whose four corners alternate (a saddle) is split by its
// centre value, the mean of the corners. Cells with a non-finite corner give no segment.
std::vector<ContourSegment> contourSegments(const std::vector<double>& values, int nx, int ny,
                                            double level);

} // namespace aerial_tool
