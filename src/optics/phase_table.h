// The phase factors exp(i*theta(k, p)) of one axis, computed once per run. The angle of a
// sample depends only on k, p, the axis and the run's parameters, so the fast transform
// takes each factor from here instead of evaluating it again for every interval, line,
// pass and source point.
#pragma once

#include "optics/optics.h"
#include "state/simulation_state.h"

namespace aerial {

// Only the samples that can carry data after the pupil cut, and their neighbours, get
// factors: samples first..last. A small pupil needs a few rows of a table, and a run then
// evaluates and touches only those.
struct PhaseTable {
    int n;
    int first, last;               // the samples with factors
    bool finite;                   // every factor finite: zero samples contribute only zeros
    bool moderate;                 // every factor zero or at least 2^-100 in magnitude
    // Each in the order its pass reads them. Along Y by sample: factor (k, p) at
    // k * kMaxGrid + p, contiguous over the outputs p. Along X by output: at
    // p * span + (k - first), contiguous over the samples k, span = last - first + 1.
    alignas(64) double cosine[kMaxGrid * kMaxGrid]; // on cache lines, for the vector loads
    alignas(64) double sine[kMaxGrid * kMaxGrid];

    int span() const { return last - first + 1; }
};

AERIAL_STATE_SCOPE_BEGIN

// Fills table for lines of n samples (n <= kMaxGrid) along the axis of pass, for the
// samples inside the run's pupil (radius ((NA * pitch) * n) / wavelength about the
// centre) and one more on each side.
void buildPhaseTable(PhaseTable& table, int n, AxisPass pass);

// fieldRe/fieldIm from the pupil plane to the image plane, the Y lines first and then the
// X lines, with the same bits as pupilTransform2D. Requires finite factors in both tables
// and a finite field. Data at samples without factors (which the pupil cut never leaves)
// would be sent to pupilTransform2D.
void pupilTransform2DFast(const PhaseTable& alongY, const PhaseTable& alongX);

AERIAL_STATE_SCOPE_END

} // namespace aerial
