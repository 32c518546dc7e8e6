#include <cmath>
#include <cstdint>
#include <cstring>

#include "optics/optics.h"
#include "optics/vector_paths.h"
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

// Axis factors already built in this run, by edge pair. Masks drawn on a layout grid repeat
// edge pairs (every line of a line array shares its Y edges), and a repeated pair gets
// back exactly the values buildAxisFactor gave it the first time.
struct FactorCache {
    static constexpr int kEntries = 64;
    struct Entry {
        bool used;
        double start, end;
        double re[kMaxGrid];
        double im[kMaxGrid];
    } entries[kEntries];

    void clear() {
        for (Entry& e : entries) e.used = false;
    }
};

FactorCache cacheX;
FactorCache cacheY;

// Same bits, not just equal values: -0.0 and +0.0 edges give factors of different signs.
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

int slotOf(double start, double end) {
    std::uint64_t a, b;
    std::memcpy(&a, &start, sizeof a);
    std::memcpy(&b, &end, sizeof b);
    std::uint64_t h = (a * 0x9E3779B97F4A7C15ull) ^ (b + 0x632BE59BD9B4E019ull + (a << 6));
    h ^= h >> 29;
    return static_cast<int>(h % FactorCache::kEntries);
}

// The factor of one axis for the edge pair, from the cache when the pair was seen before.
void axisFactor(FactorCache& cache, const double*& factorRe, const double*& factorIm,
                double* scratchRe, double* scratchIm, int n, int c, double shift, double start,
                double end) {
    if (n > kMaxGrid) {
        buildAxisFactor(scratchRe, scratchIm, n, c, shift, start, end);
        factorRe = scratchRe;
        factorIm = scratchIm;
        return;
    }
    FactorCache::Entry& e = cache.entries[slotOf(start, end)];
    if (!e.used || !sameBits(e.start, start) || !sameBits(e.end, end)) {
        buildAxisFactor(e.re, e.im, n, c, shift, start, end);
        e.used = true;
        e.start = start;
        e.end = end;
    }
    factorRe = e.re;
    factorIm = e.im;
}

// One rectangle's product of the axis factors, times its transmission, added to the
// planes. Each element's sum over the rectangles keeps the rectangle order.
AERIAL_INLINE_BODY void accumulateBody(int n, double tr, double ti, const double* Fxr,
                                       const double* Fxi, const double* Fyr, const double* Fyi) {
    SimulationState& s = workspace;
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            const double pr = Fxr[x] * Fyr[y] - Fxi[x] * Fyi[y];
            const double pim = Fxr[x] * Fyi[y] + Fxi[x] * Fyr[y];
            s.fieldRe[x][y] = (tr * pr + s.fieldRe[x][y]) - ti * pim;
            s.fieldIm[x][y] = (tr * pim + s.fieldIm[x][y]) + ti * pr;
        }
    }
}

void accumulateBaseline(int n, double tr, double ti, const double* Fxr, const double* Fxi,
                        const double* Fyr, const double* Fyi) {
    accumulateBody(n, tr, ti, Fxr, Fxi, Fyr, Fyi);
}

#if AERIAL_HAS_AVX2_PATH
AERIAL_AVX2 void accumulateAvx2(int n, double tr, double ti, const double* Fxr,
                                const double* Fxi, const double* Fyr, const double* Fyi) {
    accumulateBody(n, tr, ti, Fxr, Fxi, Fyr, Fyi);
}
#endif

void accumulate(int n, double tr, double ti, const double* Fxr, const double* Fxi,
                const double* Fyr, const double* Fyi, bool wide) {
#if AERIAL_HAS_AVX2_PATH
    if (wide) {
        accumulateAvx2(n, tr, ti, Fxr, Fxi, Fyr, Fyi);
        return;
    }
#endif
    (void)wide;
    accumulateBaseline(n, tr, ti, Fxr, Fxi, Fyr, Fyi);
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

    double scratchXr[kMaxLine];
    double scratchXi[kMaxLine];
    double scratchYr[kMaxLine];
    double scratchYi[kMaxLine];
    // The cache lives for one run: the shifts, the grid and pi may differ in the next.
    cacheX.clear();
    cacheY.clear();
    // The fast evaluation reuses axis factors and may run the AVX2 accumulation; the
    // direct one builds every factor and runs the baseline loop, as the formulas read.
    const bool fast = imagingEvaluation == Evaluation::kFast;
    const bool wide = fast && useAvx2Path();
    for (int r = 0; r < s.rectCount; ++r) {
        const MaskRectangle& rect = s.rects[r];
        const double tr = rect.transRe;
        const double ti = rect.transIm;
        const double* Fxr = scratchXr;
        const double* Fxi = scratchXi;
        const double* Fyr = scratchYr;
        const double* Fyi = scratchYi;
        if (fast) {
            axisFactor(cacheX, Fxr, Fxi, scratchXr, scratchXi, n, c, sx, rect.xStart, rect.xEnd);
            axisFactor(cacheY, Fyr, Fyi, scratchYr, scratchYi, n, c, sy, rect.yStart, rect.yEnd);
        } else {
            buildAxisFactor(scratchXr, scratchXi, n, c, sx, rect.xStart, rect.xEnd);
            buildAxisFactor(scratchYr, scratchYi, n, c, sy, rect.yStart, rect.yEnd);
        }
        accumulate(n, tr, ti, Fxr, Fxi, Fyr, Fyi, wide);
    }
}

} // namespace aerial
