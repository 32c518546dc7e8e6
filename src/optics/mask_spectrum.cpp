#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "optics/optics.h"
#include "optics/vector_paths.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

namespace {

// Whether the C library's sine is odd and its cosine even to the bit: sin(-x) == -sin(x)
// and cos(-x) == cos(x) for every finite x. glibc's are by construction (each branch
// reduces |x| and restores the sign at the end), and a test checks it on many arguments;
// elsewhere the fast evaluation evaluates every angle.
#if defined(__GLIBC__)
constexpr bool kMirroredSines = true;
#else
constexpr bool kMirroredSines = false;
#endif

enum class AngleEvaluation { kEvery, kMirrored };

// One argument, taken by value: the compiler then makes the two calls one sincos call,
// which gives the bits of sin and cos (a store between the two through a pointer that may
// alias the argument would keep them apart).
inline void sineAndCosine(double angle, double& sine, double& cosine) {
    sine = std::sin(angle);
    cosine = std::cos(angle);
}

// The sines and cosines of n angles. Mirrored: where angle[j] is exactly the negation of
// a finite angle[m] already evaluated (m = 2c - j: without a shift, the frequencies of j
// and m are opposite, and so are their angles), its sine and cosine are those of m, the
// sine negated.
void sinesAndCosines(const double* angle, int n, int c, AngleEvaluation how, double* sine,
                     double* cosine) {
    if (how == AngleEvaluation::kEvery || !kMirroredSines) {
        for (int j = 0; j < n; ++j) sineAndCosine(angle[j], sine[j], cosine[j]);
        return;
    }
    for (int j = c; j < n; ++j) sineAndCosine(angle[j], sine[j], cosine[j]);
    for (int j = 0; j < c; ++j) {
        const int m = 2 * c - j;
        if (m < n && std::isfinite(angle[m]) &&
            std::bit_cast<std::uint64_t>(-angle[m]) == std::bit_cast<std::uint64_t>(angle[j])) {
            sine[j] = -sine[m];
            cosine[j] = cosine[m];
        } else {
            sineAndCosine(angle[j], sine[j], cosine[j]);
        }
    }
}

// One axis factor of one rectangle: (1/N) * integral of exp(-i*2*pi*f*u/N) du over
// [start, end], at f = (j - c) + shift for every spectral index j. The angles, the sines
// and cosines, and the quotients are three loops, so that the first and the last run in
// vectors around the library's sine and cosine.
void buildAxisFactor(double* factorRe, double* factorIm, int n, int c, double shift,
                     double start, double end, AngleEvaluation how) {
    if (n <= 0) return;
    const double pi = workspace().pi;
    const double dn = static_cast<double>(n);
    // x / N by a multiplication where 1/N is exact (N a power of two): both are the
    // rounding of the same exact value.
    const bool exactReciprocal = how == AngleEvaluation::kMirrored && (n & (n - 1)) == 0;
    const double reciprocal = 1.0 / dn;
    double w[kMaxGrid], angleEnd[kMaxGrid], angleStart[kMaxGrid];
    double sinEnd[kMaxGrid], sinStart[kMaxGrid], cosEnd[kMaxGrid], cosStart[kMaxGrid];
    for (int j = 0; j < n; ++j) {
        const double f = static_cast<double>(j - c) + shift;
        w[j] = (2.0 * pi) * f;
    }
    if (exactReciprocal) {
        for (int j = 0; j < n; ++j) {
            angleEnd[j] = (w[j] * end) * reciprocal;
            angleStart[j] = (w[j] * start) * reciprocal;
        }
    } else {
        for (int j = 0; j < n; ++j) {
            angleEnd[j] = (w[j] * end) / dn;
            angleStart[j] = (w[j] * start) / dn;
        }
    }
    sinesAndCosines(angleEnd, n, c, how, sinEnd, cosEnd);
    sinesAndCosines(angleStart, n, c, how, sinStart, cosStart);
    const double width = (end - start) / dn;
    for (int j = 0; j < n; ++j) {
        const double re = (sinEnd[j] - sinStart[j]) / w[j];
        const double im = (cosEnd[j] - cosStart[j]) / w[j];
        // Index c always takes the zero-frequency limit. A whole-number shift can put the
        // true zero frequency on another index, where the general formula would be 0/0:
        // it takes the same limit.
        const bool zeroFrequency = j == c || w[j] == 0.0;
        factorRe[j] = zeroFrequency ? width : re;
        factorIm[j] = zeroFrequency ? 0.0 : im;
    }
}

// A factor whose values are all within this bound keeps every product of two factors and
// their sum or difference finite, so no NaN can arise inside a product.
constexpr double kTameFactor = 1e150;

bool tameFactor(const double* re, const double* im, int n) {
    bool tame = true;
    for (int j = 0; j < n; ++j) {
        // A NaN fails both comparisons.
        tame = tame && std::fabs(re[j]) <= kTameFactor && std::fabs(im[j]) <= kTameFactor;
    }
    return tame;
}

// Axis factors already built in this run, by edge pair (FactorCache, stage_buffers.h).
// Masks drawn on a layout grid repeat edge pairs (every line of a line array shares its Y
// edges), and a repeated pair gets back exactly the values buildAxisFactor gave it the
// first time. A pair looks in a few neighbouring slots, so that pairs whose hashes collide
// can share the cache.
void clearCache(FactorCache& cache) {
    for (bool& u : cache.used) u = false;
    cache.nextVictim = 0;
}

// Same bits, not just equal values: -0.0 and +0.0 edges give factors of different signs.
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Edges on a layout grid are short binary fractions whose low mantissa bits are all zero:
// the hash mixes every bit into the slot number.
int slotOf(double start, double end) {
    std::uint64_t a, b;
    std::memcpy(&a, &start, sizeof a);
    std::memcpy(&b, &end, sizeof b);
    std::uint64_t h = a ^ ((b << 32) | (b >> 32)) ^ 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
    h ^= h >> 31;
    return static_cast<int>(h % FactorCache::kEntries);
}

// The factor of one axis for the edge pair, from the cache when the pair was seen before.
// The entry stays valid until the next call on the same cache.
const FactorCache::Entry& axisFactor(FactorCache& cache, int n, int c, double shift,
                                     double start, double end) {
    const int home = slotOf(start, end);
    int slot = -1;
    for (int probe = 0; probe < FactorCache::kProbes; ++probe) {
        const int candidate = (home + probe) % FactorCache::kEntries;
        if (!cache.used[candidate]) {
            slot = candidate;
            break; // entries are never removed within a run: the pair is not further on
        }
        const FactorCache::Entry& e = cache.entries[candidate];
        if (sameBits(e.start, start) && sameBits(e.end, end)) return e;
    }
    if (slot < 0) {
        slot = (home + cache.nextVictim) % FactorCache::kEntries;
        cache.nextVictim = (cache.nextVictim + 1) % FactorCache::kProbes;
    }
    FactorCache::Entry& e = cache.entries[slot];
    buildAxisFactor(e.re, e.im, n, c, shift, start, end, AngleEvaluation::kMirrored);
    cache.used[slot] = true;
    e.tame = tameFactor(e.re, e.im, n);
    e.start = start;
    e.end = end;
    return e;
}

// One rectangle's product of the axis factors, times its transmission, added to the
// planes. Each element's sum over the rectangles keeps the rectangle order. This is the
// reference evaluation, and the fast one's for rectangles with non-finite or huge values:
// compiled once, for the baseline instruction set, it orders the operands of every
// operation the same way on every processor, which decides the sign of a NaN where two
// NaNs meet.
AERIAL_ONE_COPY void accumulateOne(int n, double tr, double ti, const double* Fxr,
                                   const double* Fxi, const double* Fyr, const double* Fyi) {
    SimulationState& s = workspace();
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            const double pr = Fxr[x] * Fyr[y] - Fxi[x] * Fyi[y];
            const double pim = Fxr[x] * Fyi[y] + Fxi[x] * Fyr[y];
            s.fieldRe[x][y] = (tr * pr + s.fieldRe[x][y]) - ti * pim;
            s.fieldIm[x][y] = (tr * pim + s.fieldIm[x][y]) + ti * pr;
        }
    }
}

// Rectangles of the fast evaluation waiting to be added in one pass over the planes: each
// element receives them in index order, each by exactly the operations of accumulateOne,
// while the planes are read and written once per group instead of once per rectangle.
// Only rectangles with finite transmissions and tame factors join a group: then at most
// one operand of any operation can be a NaN (one made by an overflowing sum, or already in
// the planes), and the result is that NaN whatever the operand order.
//
// Two rectangles a pass (kRectangleGroupSize, stage_buffers.h): the loop is bound by its
// multiplications, not by the planes' traffic, and with more rectangles the factors no
// longer fit the vector registers (on a Zen 4 core, four or eight a pass measured slower
// than one, two about 5 % faster).
constexpr int kGroupSize = kRectangleGroupSize;

// Adds the G rectangles of the group from index first on.
template <int G>
AERIAL_INLINE_BODY void accumulateGroupBody(int n, const RectangleGroup& g, int first) {
    SimulationState& s = workspace();
    const double* yr = g.yr[first];
    const double* yi = g.yi[first];
    for (int x = 0; x < n; ++x) {
        double fxr[G], fxi[G], tr[G], ti[G];
        for (int q = 0; q < G; ++q) {
            fxr[q] = g.xr[first + q][x];
            fxi[q] = g.xi[first + q][x];
            tr[q] = g.tr[first + q];
            ti[q] = g.ti[first + q];
        }
        double* fieldRe = s.fieldRe[x];
        double* fieldIm = s.fieldIm[x];
        for (int y = 0; y < n; ++y) {
            double re = fieldRe[y];
            double im = fieldIm[y];
            for (int q = 0; q < G; ++q) {
                const double ar = yr[q * kMaxGrid + y];
                const double ai = yi[q * kMaxGrid + y];
                const double pr = fxr[q] * ar - fxi[q] * ai;
                const double pim = fxr[q] * ai + fxi[q] * ar;
                re = (tr[q] * pr + re) - ti[q] * pim;
                im = (tr[q] * pim + im) + ti[q] * pr;
            }
            fieldRe[y] = re;
            fieldIm[y] = im;
        }
    }
}

// The whole group in index order: one pass for a full group, one for a lone rectangle.
AERIAL_INLINE_BODY void accumulateGroupInPasses(int n, const RectangleGroup& g) {
    if (g.count == kGroupSize) {
        accumulateGroupBody<kGroupSize>(n, g, 0);
    } else {
        for (int first = 0; first < g.count; ++first) accumulateGroupBody<1>(n, g, first);
    }
}

void accumulateGroupBaseline(int n, const RectangleGroup& g) { accumulateGroupInPasses(n, g); }

#if AERIAL_HAS_AVX2_PATH
AERIAL_AVX2 void accumulateGroupAvx2(int n, const RectangleGroup& g) {
    accumulateGroupInPasses(n, g);
}
#endif

void flushGroup(int n, bool wide) {
    RectangleGroup& pending = stageBuffers().spectrum.pending;
    if (pending.count == 0) return;
#if AERIAL_HAS_AVX2_PATH
    if (wide) {
        accumulateGroupAvx2(n, pending);
        pending.count = 0;
        return;
    }
#endif
    (void)wide;
    accumulateGroupBaseline(n, pending);
    pending.count = 0;
}

void joinGroup(int n, double tr, double ti, const FactorCache::Entry& fx,
               const FactorCache::Entry& fy) {
    RectangleGroup& pending = stageBuffers().spectrum.pending;
    const int q = pending.count++;
    pending.tr[q] = tr;
    pending.ti[q] = ti;
    std::memcpy(pending.xr[q], fx.re, sizeof(double) * static_cast<std::size_t>(n));
    std::memcpy(pending.xi[q], fx.im, sizeof(double) * static_cast<std::size_t>(n));
    std::memcpy(pending.yr[q], fy.re, sizeof(double) * static_cast<std::size_t>(n));
    std::memcpy(pending.yi[q], fy.im, sizeof(double) * static_cast<std::size_t>(n));
}

} // namespace

void computeMaskSpectrum() {
    SimulationState& s = workspace();
    const int n = s.gridSize;
    const int c = n / 2;
    const double dn = static_cast<double>(n);
    if (n <= 0 || n > kMaxGrid) return; // no samples; the reader never allows more than kMaxGrid

    const double sx = ((s.spectrumShiftX * s.samplePitch) * dn) / s.wavelength;
    const double sy = ((s.spectrumShiftY * s.samplePitch) * dn) / s.wavelength;

    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            s.fieldRe[x][y] = 0.0;
            s.fieldIm[x][y] = 0.0;
        }
    }

    if (runOptions().evaluation != Evaluation::kFast) {
        // The direct evaluation: every factor built for every rectangle, one pass each.
        double xr[kMaxGrid], xi[kMaxGrid], yr[kMaxGrid], yi[kMaxGrid];
        for (int r = 0; r < s.rectCount; ++r) {
            const MaskRectangle& rect = s.rects[r];
            buildAxisFactor(xr, xi, n, c, sx, rect.xStart, rect.xEnd, AngleEvaluation::kEvery);
            buildAxisFactor(yr, yi, n, c, sy, rect.yStart, rect.yEnd, AngleEvaluation::kEvery);
            accumulateOne(n, rect.transRe, rect.transIm, xr, xi, yr, yi);
        }
        return;
    }

    // The fast evaluation reuses axis factors and adds the rectangles in groups. The cache
    // lives for one run: the shifts, the grid and pi may differ in the next.
    SpectrumBuffers& buffers = stageBuffers().spectrum;
    FactorCache& cacheX = buffers.cacheX;
    FactorCache& cacheY = buffers.cacheY;
    clearCache(cacheX);
    clearCache(cacheY);
    const bool wide = useAvx2Path();
    buffers.pending.count = 0;
    for (int r = 0; r < s.rectCount; ++r) {
        const MaskRectangle& rect = s.rects[r];
        const double tr = rect.transRe;
        const double ti = rect.transIm;
        const FactorCache::Entry& fx = axisFactor(cacheX, n, c, sx, rect.xStart, rect.xEnd);
        const FactorCache::Entry& fy = axisFactor(cacheY, n, c, sy, rect.yStart, rect.yEnd);
        if (std::isfinite(tr) && std::isfinite(ti) && fx.tame && fy.tame) {
            joinGroup(n, tr, ti, fx, fy);
            if (buffers.pending.count == kGroupSize) flushGroup(n, wide);
        } else {
            flushGroup(n, wide); // the rectangles before this one come first
            accumulateOne(n, tr, ti, fx.re, fx.im, fy.re, fy.im);
        }
    }
    flushGroup(n, wide);
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
