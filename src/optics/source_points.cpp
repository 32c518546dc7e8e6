#include "optics/source_points.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "input/parse_input.h"

namespace aerial {

double pupilRadiusSamples(int gridSize, double samplePitch, double wavelength, double na) {
    return ((na * samplePitch) * static_cast<double>(gridSize)) / wavelength;
}

double sourceOffset(int index, int gridSize, double samplePitch, double wavelength, double na,
                    double sigma) {
    return (((((static_cast<double>(index) * na) * sigma) / 2.0) * samplePitch) *
            static_cast<double>(gridSize)) /
           wavelength;
}

bool roundSourceShift(double u, int& shift) {
    const double rounded = std::floor(u + 0.5);
    if (!(rounded >= static_cast<double>(INT32_MIN) && rounded <= static_cast<double>(INT32_MAX))) {
        return false;
    }
    shift = static_cast<int>(rounded);
    return true;
}

SourcePoint sourcePoint(SourceIndex index, int gridSize, double samplePitch, double wavelength,
                        double na, double sigma) {
    SourcePoint p{};
    p.j = index.j;
    p.k = index.k;
    p.ux = sourceOffset(index.j, gridSize, samplePitch, wavelength, na, sigma);
    p.uy = sourceOffset(index.k, gridSize, samplePitch, wavelength, na, sigma);
    int shiftX = 0;
    int shiftY = 0;
    const bool okX = roundSourceShift(p.ux, shiftX);
    const bool okY = roundSourceShift(p.uy, shiftY);
    p.passes = okX && okY;
    if (p.passes) {
        p.shiftX = shiftX;
        p.shiftY = shiftY;
    }
    return p;
}

DerivedOptics deriveOptics(int gridSize, double samplePitch, double wavelength, double na,
                           double sigma) {
    DerivedOptics d{};
    d.pupilRadius = pupilRadiusSamples(gridSize, samplePitch, wavelength, na);
    double largest = -1.0;
    for (int i = 0; i < kSourcePointCount; ++i) {
        const SourcePoint p = sourcePoint(kSourceIndices[i], gridSize, samplePitch, wavelength, na, sigma);
        d.points[i] = p;
        if (!p.passes) continue;
        const double x = static_cast<double>(p.shiftX);
        const double y = static_cast<double>(p.shiftY);
        const double radius = std::sqrt(x * x + y * y);
        if (radius > largest) largest = radius;
    }
    const double r = std::fabs(d.pupilRadius);
    d.effectiveSigma = largest >= 0.0 && r > 0.0 ? largest / r : std::numeric_limits<double>::quiet_NaN();
    return d;
}

DerivedOptics deriveOptics(const InputValues& values) {
    return deriveOptics(values.gridSize, values.samplePitch, values.wavelength,
                        values.numericalAperture, values.sigma);
}

} // namespace aerial
