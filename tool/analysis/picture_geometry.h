// What the pictures outline, in the axis units of the tables they are drawn over: the
// pupil and the source-shifted pupils on the spectrum, the spectrum's zoom, the threshold
// contours and the mask's rectangles on the image. Pure functions of the core's derived
// optics, the input values and the tables.
#pragma once

#include <vector>

#include "analysis/contours.h"
#include "io/result_table.h"
#include "optics/source_points.h"

namespace aerial {
struct InputValues;
}

namespace aerial_tool {

struct Circle {
    double x = 0;
    double y = 0;
    double r = 0;
};

// The pupil about the origin, and the pupil as each passing source point moves it over the
// spectrum (by its rounded shift; points that round onto one another give one circle), in
// the spectrum table's direction sines: a spectral sample is `step` direction sines.
struct PupilOutlines {
    Circle pupil;
    std::vector<Circle> shifted;
};

PupilOutlines pupilOutlines(const aerial::DerivedOptics& optics, double step);

// The outline of the union of the circles: the arcs of each circle that lie inside no
// other, as polylines of about `pointsPerCircle` points a full circle.
std::vector<std::vector<PlanePoint>> circleUnionOutline(const std::vector<Circle>& circles,
                                                        int pointsPerCircle);

// Half the width of the spectrum view: twice the pupil radius (|direction sine| <= 2 NA),
// or as far as the shifted pupils reach if that is farther.
double spectrumHalfWidth(const PupilOutlines& pupils);

// The contour of the table at the level, with the ends in the table's axis units.
std::vector<ContourSegment> contourInAxisUnits(const ResultTableData& table, double level);

// A rectangle of the mask in the image's coordinates (lengths): edges in samples from the
// grid centre times the sample pitch, low edge first whichever order the file gives.
struct AxisRectangle {
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
};

std::vector<AxisRectangle> maskOutlines(const aerial::InputValues& values);

// Per sample of the table, whether it is above the fraction of the table's largest finite
// value: where a spectrum's phase means something.
std::vector<bool> aboveFractionOfPeak(const ResultTableData& table, double fraction);

} // namespace aerial_tool
