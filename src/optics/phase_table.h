// The phase factors exp(i*theta(k, p)) of one axis, computed once per run. The angle of a
// sample depends only on k, p, the axis and the run's parameters, so the fast transform
// takes each factor from here instead of evaluating it again for every interval, line,
// pass and source point.
#pragma once

#include "optics/optics.h"
#include "state/simulation_state.h"

namespace aerial {

struct PhaseTable {
    int n;
    bool finite;                   // every factor finite: zero samples contribute only zeros
    bool moderate;                 // every factor zero or at least 2^-100 in magnitude
    // Along Y [k][p], contiguous over the output index p; along X [p][k], contiguous over
    // the sample index k: each the order in which its pass reads them.
    double cosine[kMaxGrid][kMaxGrid];
    double sine[kMaxGrid][kMaxGrid];
};

// Fills table for lines of n samples (n <= kMaxGrid) along the axis of pass.
void buildPhaseTable(PhaseTable& table, int n, AxisPass pass);

// fieldRe/fieldIm from the pupil plane to the image plane, the Y lines first and then the
// X lines, with the same bits as pupilTransform2D. Requires finite factors in both tables
// and a finite field.
void pupilTransform2DFast(const PhaseTable& alongY, const PhaseTable& alongX);

} // namespace aerial
