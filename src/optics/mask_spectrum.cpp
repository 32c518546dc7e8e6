#include <cmath>

#include "optics/optics.h"
#include "state/simulation_state.h"

namespace aerial {

namespace {

// One axis factor of one rectangle: (1/N) * integral of exp(-i*2*pi*f*u/N) du over
// [start, end], at f = (j - c) + shift for every spectral index j.
void buildAxisFactor(double* factorRe, double* factorIm, int n, int c, double shift,
                     double start, double end) {
    const double pi = workspace.pi;
    const double dn = static_cast<double>(n);
    for (int j = 0; j < n; ++j) {
        const double f = static_cast<double>(j - c) + shift;
        const double w = (2.0 * pi) * f;
        // Index c always takes the zero-frequency limit. A whole-number shift can put the
        // true zero frequency on another index, where the general formula would be 0/0:
        // it takes the same limit.
        if (j == c || w == 0.0) {
            factorRe[j] = (end - start) / dn;
            factorIm[j] = 0.0;
        } else {
            factorRe[j] = (std::sin((w * end) / dn) - std::sin((w * start) / dn)) / w;
            factorIm[j] = (std::cos((w * end) / dn) - std::cos((w * start) / dn)) / w;
        }
    }
}

} // namespace

void computeMaskSpectrum() {
    SimulationState& s = workspace;
    const int n = s.gridSize;
    const int c = n / 2;
    const double dn = static_cast<double>(n);

    const double sx = ((s.spectrumShiftX * s.samplePitch) * dn) / s.wavelength;
    const double sy = ((s.spectrumShiftY * s.samplePitch) * dn) / s.wavelength;

    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            s.fieldRe[x][y] = 0.0;
            s.fieldIm[x][y] = 0.0;
        }
    }

    double Fxr[kMaxLine];
    double Fxi[kMaxLine];
    double Fyr[kMaxLine];
    double Fyi[kMaxLine];
    for (int r = 0; r < s.rectCount; ++r) {
        const MaskRectangle& rect = s.rects[r];
        const double tr = rect.transRe;
        const double ti = rect.transIm;
        buildAxisFactor(Fxr, Fxi, n, c, sx, rect.xStart, rect.xEnd);
        buildAxisFactor(Fyr, Fyi, n, c, sy, rect.yStart, rect.yEnd);
        for (int x = 0; x < n; ++x) {
            for (int y = 0; y < n; ++y) {
                const double pr = Fxr[x] * Fyr[y] - Fxi[x] * Fyi[y];
                const double pim = Fxr[x] * Fyi[y] + Fxi[x] * Fyr[y];
                s.fieldRe[x][y] = (tr * pr + s.fieldRe[x][y]) - ti * pim;
                s.fieldIm[x][y] = (tr * pim + s.fieldIm[x][y]) + ti * pr;
            }
        }
    }
}

} // namespace aerial
