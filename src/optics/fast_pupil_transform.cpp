// The fast evaluation of the separable pupil transform.
//
// Every output sample is the same trapezoid sum as in the direct evaluation, term by term
// in increasing interval order, each term ((A0 + A1) / 2.0) formed from the same products
// of the same samples with the same factors. Only the loop nesting differs: the interval
// loop runs inside the loop over blocks of outputs, with the block's sums in vector
// registers, so each product is formed once instead of twice.
//
// Zero samples: with finite factors, the product of a zero sample is a zero, and an
// interval whose two ends are zero adds a signed zero. A sum that starts at +0.0 can never
// become -0.0 by addition, so adding a signed zero leaves it unchanged. The intervals
// before the first and after the last non-zero sample of a line are therefore skipped, and
// a line without data transforms to +0.0 throughout.
//
// Doubled sums: where every sample is zero or between kSmallestModerate (2^-900) and
// kLargestModerate (2^900) in magnitude, and every factor zero or at least 2^-100, each
// sum runs twice as large, S = S + (A0 + A1), and is halved once at the end, which saves a
// multiplication per term and gives the same bits. Every product is then zero or at least
// 2^-1000, so products, terms and sums are all multiples of 2^-1073, (A0 + A1) / 2.0 is
// exact, and rounding commutes with doubling: fl(2s + t) = 2 fl(s + t/2) for normal
// results, while sums in the subnormal range are exact anyway. No value comes near
// overflow (at most 127 terms below 2^902 each). Lines with other values take the plain
// sums.
#include <algorithm>
#include <cmath>

#include "optics/lanes.h"
#include "optics/phase_table.h"
#include "optics/vector_paths.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

namespace {

// The line loops are compiled for the baseline instruction set and for AVX2 (see
// vector_paths.h); both give the same bits.

// Intervals that carry data: from the one ending at the first non-zero sample to the one
// starting at the last.
SampleRange intervalsWithData(SampleRange samples, int n) {
    return {std::max(samples.first - 1, 0), std::min(samples.last, n - 2)};
}

SampleRange nonZeroSamples(const double* re, const double* im, int n) {
    int first = 0;
    while (first < n && re[first] == 0.0 && im[first] == 0.0) ++first;
    int last = n - 1;
    while (last >= first && re[last] == 0.0 && im[last] == 0.0) --last;
    return {first, last};
}

// Samples of moderate size: zero, or a magnitude between these bounds.
constexpr double kSmallestModerate = 0x1p-900;
constexpr double kLargestModerate = 0x1p+900;

bool moderateSamples(const double* re, const double* im, int n) {
    bool moderate = true;
    for (int j = 0; j < n; ++j) {
        const double a = std::fabs(re[j]);
        const double b = std::fabs(im[j]);
        moderate = moderate && (a == 0.0 || (a >= kSmallestModerate && a <= kLargestModerate));
        moderate = moderate && (b == 0.0 || (b >= kSmallestModerate && b <= kLargestModerate));
    }
    return moderate;
}

// Sums in vector registers: a block of outputs runs through all its intervals before the
// next block starts, so the sums and the previous interval's products never leave the
// registers. Each output still adds its terms in increasing interval order, each term
// ((A0 + A1) / 2.0) formed as in the direct evaluation; x * 0.5 is x / 2.0 to the bit
// (both round the same exact half). Outputs beyond the last whole block of lanes take the
// same sums one at a time.
constexpr int kBlockVectors = 2; // vectors of kLaneCount outputs per block
constexpr int kBlock = kBlockVectors * kLaneCount;
static_assert(kBlock == kColumnBlockWidth, "the column block holds one block of X lines");

// Outputs p..p+kBlock-1 of one line along Y; their factors are contiguous in each
// sample's table row.
template <bool Doubled>
AERIAL_INLINE_BODY void transformYBlock(const double* re, const double* im, SampleRange intervals,
                                        const PhaseTable& t, int p, double* outRe, double* outIm) {
    const Lanes half = broadcastLanes(0.5);
    Lanes accRe[kBlockVectors], accIm[kBlockVectors], prevRe[kBlockVectors], prevIm[kBlockVectors];
    const int k0 = intervals.first;
    const Lanes r0 = broadcastLanes(re[k0]);
    const Lanes i0 = broadcastLanes(im[k0]);
    for (int v = 0; v < kBlockVectors; ++v) {
        const Lanes c0 = loadLanes(t.cosine + k0 * kMaxGrid + p + v * kLaneCount);
        const Lanes s0 = loadLanes(t.sine + k0 * kMaxGrid + p + v * kLaneCount);
        accRe[v] = broadcastLanes(0.0);
        accIm[v] = broadcastLanes(0.0);
        prevRe[v] = r0 * c0 - i0 * s0;
        prevIm[v] = i0 * c0 + r0 * s0;
    }
    for (int k = k0; k <= intervals.last; ++k) {
        const Lanes r1 = broadcastLanes(re[k + 1]);
        const Lanes i1 = broadcastLanes(im[k + 1]);
        for (int v = 0; v < kBlockVectors; ++v) {
            const Lanes c1 = loadLanes(t.cosine + (k + 1) * kMaxGrid + p + v * kLaneCount);
            const Lanes s1 = loadLanes(t.sine + (k + 1) * kMaxGrid + p + v * kLaneCount);
            const Lanes a1 = r1 * c1 - i1 * s1;
            const Lanes b1 = i1 * c1 + r1 * s1;
            accRe[v] = Doubled ? accRe[v] + (prevRe[v] + a1) : accRe[v] + (prevRe[v] + a1) * half;
            accIm[v] = Doubled ? accIm[v] + (prevIm[v] + b1) : accIm[v] + (prevIm[v] + b1) * half;
            prevRe[v] = a1;
            prevIm[v] = b1;
        }
    }
    for (int v = 0; v < kBlockVectors; ++v) {
        storeLanes(outRe + p + v * kLaneCount, Doubled ? accRe[v] * half : accRe[v]);
        storeLanes(outIm + p + v * kLaneCount, Doubled ? accIm[v] * half : accIm[v]);
    }
}

template <bool Doubled>
AERIAL_INLINE_BODY void transformYSingle(const double* re, const double* im, SampleRange intervals,
                                         const PhaseTable& t, int p, double* outRe, double* outIm) {
    const int k0 = intervals.first;
    double accRe = 0.0, accIm = 0.0;
    const double c0 = t.cosine[k0 * kMaxGrid + p];
    const double s0 = t.sine[k0 * kMaxGrid + p];
    double prevRe = re[k0] * c0 - im[k0] * s0;
    double prevIm = im[k0] * c0 + re[k0] * s0;
    for (int k = k0; k <= intervals.last; ++k) {
        const double c1 = t.cosine[(k + 1) * kMaxGrid + p];
        const double s1 = t.sine[(k + 1) * kMaxGrid + p];
        const double a1 = re[k + 1] * c1 - im[k + 1] * s1;
        const double b1 = im[k + 1] * c1 + re[k + 1] * s1;
        accRe = Doubled ? accRe + (prevRe + a1) : accRe + (prevRe + a1) / 2.0;
        accIm = Doubled ? accIm + (prevIm + b1) : accIm + (prevIm + b1) / 2.0;
        prevRe = a1;
        prevIm = b1;
    }
    outRe[p] = Doubled ? accRe / 2.0 : accRe;
    outIm[p] = Doubled ? accIm / 2.0 : accIm;
}

template <bool Doubled>
AERIAL_INLINE_BODY void transformYLine(const double* re, const double* im, int n, SampleRange intervals,
                                       const PhaseTable& t, double* outRe, double* outIm) {
    int p = 0;
    for (; p + kBlock <= n; p += kBlock) transformYBlock<Doubled>(re, im, intervals, t, p, outRe, outIm);
    for (; p < n; ++p) transformYSingle<Doubled>(re, im, intervals, t, p, outRe, outIm);
}

// One line along Y, in place: line[y] for y = 0..n-1.
AERIAL_INLINE_BODY void transformYBody(double* re, double* im, int n, SampleRange samples, const PhaseTable& t) {
    double outRe[kMaxGrid];
    double outIm[kMaxGrid];
    if (samples.first > samples.last) {
        for (int p = 0; p < n; ++p) re[p] = im[p] = 0.0;
        return;
    }
    const SampleRange intervals = intervalsWithData(samples, n);
    if (t.moderate && moderateSamples(re, im, n)) {
        transformYLine<true>(re, im, n, intervals, t, outRe, outIm);
    } else {
        transformYLine<false>(re, im, n, intervals, t, outRe, outIm);
    }
    for (int q = 0; q < n; ++q) {
        re[q] = outRe[q];
        im[q] = outIm[q];
    }
}

// The samples of the X lines y..y+width-1 in the rows with data are copied out
// (ColumnBlock, stage_buffers.h), so that the outputs can replace them.
void copyColumns(ColumnBlock& columns, SampleRange intervals, int y, int width) {
    const SimulationState& s = workspace();
    for (int k = intervals.first; k <= intervals.last + 1; ++k) {
        for (int l = 0; l < width; ++l) {
            columns.re[k][l] = s.fieldRe[k][y + l];
            columns.im[k][l] = s.fieldIm[k][y + l];
        }
    }
}

// Output row p of the X lines y..y+kBlock-1. The table is stored by output
// (cosine[p][k]), so the factors of one output are contiguous.
template <bool Doubled>
AERIAL_INLINE_BODY void transformXBlock(const ColumnBlock& columns, SampleRange intervals, const PhaseTable& t,
                                        int p, int y) {
    SimulationState& s = workspace();
    const Lanes half = broadcastLanes(0.5);
    // Factors of output p, indexed by k - kf.
    const int kf = t.first;
    const double* c = t.cosine + p * t.span();
    const double* sn = t.sine + p * t.span();
    const int k0 = intervals.first;
    Lanes accRe[kBlockVectors], accIm[kBlockVectors], prevRe[kBlockVectors], prevIm[kBlockVectors];
    const Lanes c0 = broadcastLanes(c[k0 - kf]);
    const Lanes s0 = broadcastLanes(sn[k0 - kf]);
    for (int v = 0; v < kBlockVectors; ++v) {
        const Lanes r0 = loadLanes(columns.re[k0] + v * kLaneCount);
        const Lanes i0 = loadLanes(columns.im[k0] + v * kLaneCount);
        accRe[v] = broadcastLanes(0.0);
        accIm[v] = broadcastLanes(0.0);
        prevRe[v] = r0 * c0 - i0 * s0;
        prevIm[v] = i0 * c0 + r0 * s0;
    }
    for (int k = k0; k <= intervals.last; ++k) {
        const Lanes c1 = broadcastLanes(c[k + 1 - kf]);
        const Lanes s1 = broadcastLanes(sn[k + 1 - kf]);
        for (int v = 0; v < kBlockVectors; ++v) {
            const Lanes r1 = loadLanes(columns.re[k + 1] + v * kLaneCount);
            const Lanes i1 = loadLanes(columns.im[k + 1] + v * kLaneCount);
            const Lanes a1 = r1 * c1 - i1 * s1;
            const Lanes b1 = i1 * c1 + r1 * s1;
            accRe[v] = Doubled ? accRe[v] + (prevRe[v] + a1) : accRe[v] + (prevRe[v] + a1) * half;
            accIm[v] = Doubled ? accIm[v] + (prevIm[v] + b1) : accIm[v] + (prevIm[v] + b1) * half;
            prevRe[v] = a1;
            prevIm[v] = b1;
        }
    }
    for (int v = 0; v < kBlockVectors; ++v) {
        storeLanes(s.fieldRe[p] + y + v * kLaneCount, Doubled ? accRe[v] * half : accRe[v]);
        storeLanes(s.fieldIm[p] + y + v * kLaneCount, Doubled ? accIm[v] * half : accIm[v]);
    }
}

template <bool Doubled>
AERIAL_INLINE_BODY void transformXSingle(const ColumnBlock& columns, SampleRange intervals, const PhaseTable& t,
                                         int p, int y, int l) {
    SimulationState& s = workspace();
    // Factors of output p, indexed by k - kf.
    const int kf = t.first;
    const double* c = t.cosine + p * t.span();
    const double* sn = t.sine + p * t.span();
    const int k0 = intervals.first;
    double accRe = 0.0, accIm = 0.0;
    double prevRe = columns.re[k0][l] * c[k0 - kf] - columns.im[k0][l] * sn[k0 - kf];
    double prevIm = columns.im[k0][l] * c[k0 - kf] + columns.re[k0][l] * sn[k0 - kf];
    for (int k = k0; k <= intervals.last; ++k) {
        const double r1 = columns.re[k + 1][l];
        const double i1 = columns.im[k + 1][l];
        const double a1 = r1 * c[k + 1 - kf] - i1 * sn[k + 1 - kf];
        const double b1 = i1 * c[k + 1 - kf] + r1 * sn[k + 1 - kf];
        accRe = Doubled ? accRe + (prevRe + a1) : accRe + (prevRe + a1) / 2.0;
        accIm = Doubled ? accIm + (prevIm + b1) : accIm + (prevIm + b1) / 2.0;
        prevRe = a1;
        prevIm = b1;
    }
    s.fieldRe[p][y + l] = Doubled ? accRe / 2.0 : accRe;
    s.fieldIm[p][y + l] = Doubled ? accIm / 2.0 : accIm;
}

template <bool Doubled>
AERIAL_INLINE_BODY void transformXLines(SampleRange intervals, int n, const PhaseTable& t) {
    ColumnBlock& columns = stageBuffers().transform.columns;
    int y = 0;
    for (; y + kBlock <= n; y += kBlock) {
        copyColumns(columns, intervals, y, kBlock);
        for (int p = 0; p < n; ++p) transformXBlock<Doubled>(columns, intervals, t, p, y);
    }
    if (y < n) {
        copyColumns(columns, intervals, y, n - y);
        for (int p = 0; p < n; ++p) {
            for (int l = 0; l < n - y; ++l) transformXSingle<Doubled>(columns, intervals, t, p, y, l);
        }
    }
}

// Every line along X, in place, a block of lines at a time. rows: the field rows that may
// be non-zero.
AERIAL_INLINE_BODY void transformXBody(SampleRange rows, int n, const PhaseTable& t) {
    SimulationState& s = workspace();
    if (rows.first > rows.last) {
        for (int p = 0; p < n; ++p) {
            for (int y = 0; y < n; ++y) s.fieldRe[p][y] = s.fieldIm[p][y] = 0.0;
        }
        return;
    }
    const SampleRange intervals = intervalsWithData(rows, n);
    bool moderate = t.moderate;
    for (int k = intervals.first; k <= intervals.last + 1; ++k) {
        moderate = moderate && moderateSamples(s.fieldRe[k], s.fieldIm[k], n);
    }
    if (moderate) {
        transformXLines<true>(intervals, n, t);
    } else {
        transformXLines<false>(intervals, n, t);
    }
}

void transformYBaseline(double* re, double* im, int n, SampleRange samples, const PhaseTable& t) {
    transformYBody(re, im, n, samples, t);
}

void transformXBaseline(SampleRange rows, int n, const PhaseTable& t) {
    transformXBody(rows, n, t);
}

#if AERIAL_HAS_AVX2_PATH
AERIAL_AVX2 void transformYAvx2(double* re, double* im, int n, SampleRange samples,
                                const PhaseTable& t) {
    transformYBody(re, im, n, samples, t);
}

AERIAL_AVX2 void transformXAvx2(SampleRange rows, int n, const PhaseTable& t) {
    transformXBody(rows, n, t);
}
#endif

struct LineKernels {
    void (*alongY)(double*, double*, int, SampleRange, const PhaseTable&);
    void (*alongX)(SampleRange, int, const PhaseTable&);
};

LineKernels chooseKernels() {
#if AERIAL_HAS_AVX2_PATH
    if (useAvx2Path()) return {transformYAvx2, transformXAvx2};
#endif
    return {transformYBaseline, transformXBaseline};
}

} // namespace

void pupilTransform2DFast(const PhaseTable& alongY, const PhaseTable& alongX) {
    SimulationState& s = workspace();
    const int n = s.gridSize;
    if (n <= 0) return;
    // Rows of the field with data before the Y pass are the only rows with data after it.
    SampleRange* lines = stageBuffers().transform.lines;
    SampleRange rows{n, -1};
    bool covered = true; // every sample an interval reads has factors
    for (int x = 0; x < n; ++x) {
        lines[x] = nonZeroSamples(s.fieldRe[x], s.fieldIm[x], n);
        if (lines[x].first <= lines[x].last) {
            rows.first = std::min(rows.first, x);
            rows.last = std::max(rows.last, x);
            const SampleRange k = intervalsWithData(lines[x], n);
            covered = covered && k.first >= alongY.first && k.last + 1 <= alongY.last;
        }
    }
    if (rows.first <= rows.last) {
        const SampleRange k = intervalsWithData(rows, n);
        covered = covered && k.first >= alongX.first && k.last + 1 <= alongX.last;
    }
    if (!covered) {
        pupilTransform2D();
        return;
    }
    const LineKernels kernels = chooseKernels();
    for (int x = 0; x < n; ++x) kernels.alongY(s.fieldRe[x], s.fieldIm[x], n, lines[x], alongY);
    kernels.alongX(rows, n, alongX);
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
