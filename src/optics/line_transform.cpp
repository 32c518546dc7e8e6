#include <cmath>

#include "optics/optics.h"
#include "state/simulation_state.h"

namespace aerial {

namespace {

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

LinePhase linePhase(int n, AxisPass pass) {
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
double phaseAngle(const LinePhase& lp, double u, double x) {
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

} // namespace

// The direct evaluation: both phases of every interval, for every output sample.
void lineTransform(double* re, double* im, int n, AxisPass pass) {
    if (n <= 0 || n > kMaxLine) return;
    const LinePhase lp = linePhase(n, pass);
    const double half = lp.dn / 2.0;

    double UR[kMaxLine];
    double UI[kMaxLine];
    for (int p = 0; p < n; ++p) {
        const double x = static_cast<double>(p) - half;
        UR[p] = 0.0;
        UI[p] = 0.0;
        for (int k = 0; k < n - 1; ++k) {
            const double u0 = static_cast<double>(k) - half;
            const double u1 = u0 + 1.0;
            const double theta0 = phaseAngle(lp, u0, x);
            const double theta1 = phaseAngle(lp, u1, x);
            const double c0 = std::cos(theta0);
            const double s0 = std::sin(theta0);
            const double c1 = std::cos(theta1);
            const double s1 = std::sin(theta1);
            const double a0 = re[k] * c0 - im[k] * s0;
            const double b0 = im[k] * c0 + re[k] * s0;
            const double a1 = re[k + 1] * c1 - im[k + 1] * s1;
            const double b1 = im[k + 1] * c1 + re[k + 1] * s1;
            UR[p] = UR[p] + (a0 + a1) / 2.0;
            UI[p] = UI[p] + (b0 + b1) / 2.0;
        }
    }
    for (int p = 0; p < n; ++p) {
        re[p] = UR[p];
        im[p] = UI[p];
    }
}

} // namespace aerial
