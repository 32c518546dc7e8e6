#include "optics/phase_table.h"

#include <cmath>

#include "optics/line_phase.h"

namespace aerial {

void buildPhaseTable(PhaseTable& table, int n, AxisPass pass) {
    table.n = n;
    table.finite = true;
    if (n <= 0 || n > kMaxGrid) return;
    const LinePhase lp = linePhase(n, pass);
    const double half = lp.dn / 2.0;
    for (int k = 0; k < n; ++k) {
        // The direct evaluation reaches sample k as u0 of interval k and as u1 = u0 + 1.0 of
        // interval k - 1; both are exactly k - n/2.0, so one angle serves both.
        const double u = static_cast<double>(k) - half;
        for (int p = 0; p < n; ++p) {
            const double x = static_cast<double>(p) - half;
            const double theta = phaseAngle(lp, u, x);
            const double c = std::cos(theta);
            const double s = std::sin(theta);
            table.cosine[k][p] = c;
            table.sine[k][p] = s;
            if (!std::isfinite(c) || !std::isfinite(s)) table.finite = false;
        }
    }
}

} // namespace aerial
