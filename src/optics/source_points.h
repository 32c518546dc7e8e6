// The illumination source and the pupil as the imaging stage sees them, in spectral
// samples: the pupil radius, and for each of the 13 source points its shift of the
// spectrum before and after rounding to whole samples. The imaging stage computes these
// with the functions below, so what a tool reports is what a run uses.
#pragma once

#include <array>

namespace aerial {

struct InputValues;

inline constexpr int kSourcePointCount = 13;

// Source grid indices: j along X (the first plane index), k along Y.
struct SourceIndex {
    int j, k;
};

// The source is the square grid of points inside the disc j*j + k*k <= 4 (the bound
// included), summed with j outer and k inner.
constexpr bool inSourceDisc(int j, int k) { return j * j + k * k <= 4; }

constexpr int sourceDiscPoints() {
    int count = 0;
    for (int j = -2; j <= 2; ++j) {
        for (int k = -2; k <= 2; ++k) count += inSourceDisc(j, k) ? 1 : 0;
    }
    return count;
}
static_assert(sourceDiscPoints() == kSourcePointCount, "the disc holds kSourcePointCount grid points");

constexpr std::array<SourceIndex, kSourcePointCount> sourceIndices() {
    std::array<SourceIndex, kSourcePointCount> out{};
    int count = 0;
    for (int j = -2; j <= 2; ++j) {
        for (int k = -2; k <= 2; ++k) {
            if (inSourceDisc(j, k)) out[count++] = {j, k};
        }
    }
    return out;
}

// In the order the image sums them.
inline constexpr std::array<SourceIndex, kSourcePointCount> kSourceIndices = sourceIndices();

// R = ((na * samplePitch) * N) / wavelength: the pupil radius in spectral samples.
double pupilRadiusSamples(int gridSize, double samplePitch, double wavelength, double na);

// The shift of source grid index j (or k) in spectral samples, before rounding:
// (((((j * na) * sigma) / 2.0) * samplePitch) * N) / wavelength.
double sourceOffset(int index, int gridSize, double samplePitch, double wavelength, double na,
                    double sigma);

// Nearest integer with exact halves going up, floor(u + 0.5): 2.5 gives 3 and -2.5
// gives -2. False, with shift untouched, when the result is not finite or does not fit
// an int: such a shift has no index on the grid.
bool roundSourceShift(double u, int& shift);

struct SourcePoint {
    int j, k;
    double ux, uy;   // the shift before rounding
    bool passes;     // false when a shift has no index on the grid: the point passes no
                     // sample of the spectrum but still counts towards the mean
    int shiftX, shiftY; // after rounding; 0 where passes is false
};

SourcePoint sourcePoint(SourceIndex index, int gridSize, double samplePitch, double wavelength,
                        double na, double sigma);

struct DerivedOptics {
    double pupilRadius; // R, in spectral samples
    SourcePoint points[kSourcePointCount]; // in kSourceIndices order
    // The sigma the rounded source really has: the largest sqrt(shiftX^2 + shiftY^2) of
    // the passing points divided by |R|. NaN when R is 0 or NaN, or no point passes.
    double effectiveSigma;
};

DerivedOptics deriveOptics(int gridSize, double samplePitch, double wavelength, double na,
                           double sigma);
DerivedOptics deriveOptics(const InputValues& values);

} // namespace aerial
