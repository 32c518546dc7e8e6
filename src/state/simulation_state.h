// The workspace through which every stage of a run communicates.
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

#include "aerial/input_values.hpp" // kMaxGrid, kMaxRects, MaskRectangle

// The stages are compiled twice from the same sources: for the library, over one
// process-wide context, and for the engine (AERIAL_ENGINE_BUILD), over the context a run
// binds to its thread (simulation_context.h). Everything defined in a source that touches
// a run's state lies in this inline namespace, so the two compilations have symbols of
// their own and link into one program; callers write aerial::... either way.
#if defined(AERIAL_ENGINE_BUILD)
#define AERIAL_STATE_SCOPE_BEGIN inline namespace bound_context {
#else
#define AERIAL_STATE_SCOPE_BEGIN inline namespace process_context {
#endif
#define AERIAL_STATE_SCOPE_END }

namespace aerial {

constexpr int kRectCapacity = 1280; // rows of the rectangle table

// Deliberately this decimal literal and not the double nearest to pi: the last digits of
// every table depend on it.
constexpr double kPi = 3.14159265358979;

using FieldPlane = double[kMaxGrid][kMaxGrid];

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
    // On cache lines: the vector loops then load no value across two of them.
    alignas(64) FieldPlane fieldRe;
    alignas(64) FieldPlane fieldIm;
    alignas(64) FieldPlane II;
    double pi; // set to kPi by the driver on every run
};

} // namespace aerial
