// The phase of one spectral sample in a line transform, shared by the direct evaluation and
// the phase tables of the fast one, so that both compute every angle by the same
// operations in the same order.
#pragma once

#include "optics/optics.h"
#include "state/simulation_state.h"

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

inline LinePhase linePhase(int n, AxisPass pass) {
    const SimulationState& s = workspace;
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

// The angle of the sample at spectral coordinate u for output position x. The order is
// fixed: defocus, then the wavefront terms of degree 3, 4, 1, 2 and the sum of 5 and 6.
inline double phaseAngle(const LinePhase& lp, double u, double x) {
    const double rho = lp.a * u;
    double t[7];
    for (int j = 1; j <= 6; ++j) {
        double term = lp.coeff[j] * lp.g;
        for (int m = 0; m < j; ++m) term = term * rho;
        t[j] = term;
    }
    const double t56 = t[5] + t[6];
    const double d = ((lp.defocusNumer * u) * u) / lp.defocusDenom;
    double phi = u * x - d;
    phi = phi + t[3];
    phi = phi + t[4];
    phi = phi + t[1];
    phi = phi + t[2];
    phi = phi + t56;
    return (lp.twoPi * phi) / lp.dn;
}


} // namespace aerial
