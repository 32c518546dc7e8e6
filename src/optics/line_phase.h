// The phase of one spectral sample in a line transform, shared by the direct evaluation and
// the phase tables of the fast one, so that both compute every angle by the same
// operations in the same order.
#pragma once

#include "optics/optics.h"
#include "state/simulation_context.h"

namespace aerial {

// Parameters of one line transform that do not depend on the sample.
struct LinePhase {
    double g;              // gridSize / wavelength
    double a;              // pupil coordinate per spectral sample
    double defocusNumer;   // defocus * wavelength, the first rounding of ((defocus * wavelength) * u) * u
    double defocusDenom;   // (2N * samplePitch) * samplePitch
    const double* coeff;   // c_1..c_6 at coeff[1..6]
    double twoPi;
    double dn;             // the line length n as a double
};

AERIAL_STATE_SCOPE_BEGIN
inline LinePhase linePhase(int n, AxisPass pass) {
    const SimulationState& s = workspace();
    LinePhase lp;
    lp.g = static_cast<double>(s.gridSize) / s.wavelength;
    lp.a = s.wavelength / ((static_cast<double>(s.gridSize) * s.samplePitch) * s.numericalAperture);
    lp.defocusNumer = s.defocus * s.wavelength;
    lp.defocusDenom = (static_cast<double>(2 * s.gridSize) * s.samplePitch) * s.samplePitch;
    lp.coeff = (pass == kPassY) ? s.aberrY : s.aberrX;
    lp.twoPi = 2.0 * s.pi;
    lp.dn = static_cast<double>(n);
    return lp;
}
AERIAL_STATE_SCOPE_END

// The parts of the angle that depend on the sample alone: its coordinate u, the defocus
// term and the wavefront terms.
struct SamplePhase {
    double u;
    double defocus;
    double t3, t4, t1, t2, t56;
};

inline SamplePhase samplePhase(const LinePhase& lp, double u) {
    const double rho = lp.a * u;
    double t[7];
    for (int j = 1; j <= 6; ++j) {
        double term = lp.coeff[j] * lp.g;
        for (int m = 0; m < j; ++m) term = term * rho;
        t[j] = term;
    }
    SamplePhase sp;
    sp.u = u;
    sp.defocus = ((lp.defocusNumer * u) * u) / lp.defocusDenom;
    sp.t3 = t[3];
    sp.t4 = t[4];
    sp.t1 = t[1];
    sp.t2 = t[2];
    sp.t56 = t[5] + t[6];
    return sp;
}

// The angle of the sample for output position x. The order is fixed: defocus, then the
// wavefront terms of degree 3, 4, 1, 2 and the sum of 5 and 6.
inline double phaseAngleAt(const LinePhase& lp, const SamplePhase& sp, double x) {
    double phi = sp.u * x - sp.defocus;
    phi = phi + sp.t3;
    phi = phi + sp.t4;
    phi = phi + sp.t1;
    phi = phi + sp.t2;
    phi = phi + sp.t56;
    return (lp.twoPi * phi) / lp.dn;
}

// The angle of the sample at spectral coordinate u for output position x.
inline double phaseAngle(const LinePhase& lp, double u, double x) {
    return phaseAngleAt(lp, samplePhase(lp, u), x);
}

} // namespace aerial
