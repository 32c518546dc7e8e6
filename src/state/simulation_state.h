// The one process-wide workspace through which every stage of a run communicates.
//
// Conventions every stage relies on:
//   - N = gridSize samples per axis, centre index c = N/2 (integer division).
//   - X is the first plane index, Y the second; plane[x][y] sits at x*kMaxGrid + y,
//     so a line of constant x is contiguous.
//   - Image sample [x][y] lies at ((x - c)*samplePitch, (y - c)*samplePitch).
//   - Spectral sample [x][y] is the direction sine ((x - c), (y - c))*wavelength/(N*samplePitch);
//     the zero frequency lies at [c][c].
//   - samplePitch, wavelength, defocus and the aberration coefficients share one length
//     unit, whichever it is: only their ratios and products occur.
#pragma once

#include "state/precision_guard.h"

namespace aerial {

constexpr int kMaxGrid = 128;       // capacity of a plane per axis
constexpr int kMaxRects = 1000;     // the reader limits rectCount to this
constexpr int kRectCapacity = 1280; // rows of the rectangle table

// Deliberately this decimal literal and not the double nearest to pi: the last digits of
// every table depend on it.
constexpr double kPi = 3.14159265358979;

using FieldPlane = double[kMaxGrid][kMaxGrid];

// One mask rectangle of constant complex amplitude transmission. Edges are in samples,
// relative to the grid centre.
struct MaskRectangle {
    double transRe;
    double transIm;
    double xStart;
    double xEnd;
    double yStart;
    double yEnd;
};

struct SimulationState {
    int gridSize;
    int rectCount;
    double samplePitch;
    double wavelength;
    double numericalAperture;
    double sigma;
    double spectrumShiftX; // direction sines
    double spectrumShiftY;
    double defocus;
    // aberrX[j] is the coefficient of rho^j, j = 1..6; element 0 is never used.
    double aberrX[7];
    double aberrY[7];
    MaskRectangle rects[kRectCapacity];
    FieldPlane fieldRe;
    FieldPlane fieldIm;
    FieldPlane II;
    double pi; // set to kPi by the driver on every run
};

// Static storage: all zero when the library is loaded, reused by every run.
extern SimulationState workspace;

} // namespace aerial
