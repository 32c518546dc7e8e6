// Pictures of a focus-exposure window: the CD through focus at each dose with the band of
// CDs in tolerance shaded, and the exposure latitude against the depth of focus.
#pragma once

#include <string>
#include <vector>

#include "pictures/picture_format.h"

namespace aerial_tool {

struct DoseCurve {
    double dose;
    std::vector<double> focus;
    std::vector<double> cd; // NaN where the feature has no CD (merged or not printed)
};

struct FemPictureText {
    PictureTitle title;
    std::string focusAxis; // e.g. "defocus (um)"
    std::string cdAxis;
};

// One curve per dose, coloured from low to high dose, over the band [bandLow, bandHigh]
// of CDs in tolerance. Returns false when the file cannot be written.
bool writeFemBossung(const std::vector<DoseCurve>& curves, double bandLow, double bandHigh,
                     const FemPictureText& text, PictureFormat format, const std::string& path);

struct LatitudePoint {
    double dof;
    double el; // a fraction; drawn in per cent
};

// The exposure latitude against the depth of focus, a point per window, joined by straight
// lines, or with `steps` as a staircase: the DOF of sampled foci changes by whole focus
// steps, and holds between them.
bool writeExposureDefocus(const std::vector<LatitudePoint>& points, const PictureTitle& title,
                          const std::string& dofAxis, bool steps, PictureFormat format, const std::string& path);

} // namespace aerial_tool
