#include <cmath>

#include "optics/line_phase.h"
#include "optics/optics.h"
#include "state/simulation_state.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

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

AERIAL_STATE_SCOPE_END
} // namespace aerial
