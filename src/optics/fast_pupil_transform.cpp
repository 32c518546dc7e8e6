// The fast evaluation of the separable pupil transform.
//
// Every output sample is the same trapezoid sum as in the direct evaluation, term by term
// in increasing interval order, each term ((A0 + A1) / 2.0) formed from the same products
// of the same samples with the same factors. Only the loop nesting differs: the interval
// loop runs outside the loop over outputs, so each product is formed once instead of twice
// and the inner loop runs over contiguous, independent sums.
//
// Zero samples: with finite factors, the product of a zero sample is a zero, and an
// interval whose two ends are zero adds a signed zero. A sum that starts at +0.0 can never
// become -0.0 by addition, so adding a signed zero leaves it unchanged. The intervals
// before the first and after the last non-zero sample of a line are therefore skipped, and
// a line without data transforms to +0.0 throughout.
#include <algorithm>

#include "optics/phase_table.h"
#include "optics/vector_paths.h"

namespace aerial {

namespace {

// The line loops are compiled for the baseline instruction set and for AVX2 (see
// vector_paths.h); both give the same bits.

// The field after the X pass, [x][y] like the field; scratch for one call.
FieldPlane Hr;
FieldPlane Hi;

struct SampleRange {
    int first; // first non-zero sample; first > last when the line has none
    int last;
};

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

// One line along Y, in place: line[y] for y = 0..n-1.
AERIAL_INLINE_BODY void transformYBody(double* re, double* im, int n, SampleRange samples, const PhaseTable& t) {
    double accRe[kMaxGrid];
    double accIm[kMaxGrid];
    double prevRe[kMaxGrid];
    double prevIm[kMaxGrid];
    if (samples.first > samples.last) {
        for (int p = 0; p < n; ++p) re[p] = im[p] = 0.0;
        return;
    }
    const SampleRange intervals = intervalsWithData(samples, n);
    const int k0 = intervals.first;
    for (int p = 0; p < n; ++p) {
        accRe[p] = 0.0;
        accIm[p] = 0.0;
        prevRe[p] = re[k0] * t.cosine[k0][p] - im[k0] * t.sine[k0][p];
        prevIm[p] = im[k0] * t.cosine[k0][p] + re[k0] * t.sine[k0][p];
    }
    for (int k = k0; k <= intervals.last; ++k) {
        const double r1 = re[k + 1];
        const double i1 = im[k + 1];
        const double* c1 = t.cosine[k + 1];
        const double* s1 = t.sine[k + 1];
        for (int p = 0; p < n; ++p) {
            const double a1 = r1 * c1[p] - i1 * s1[p];
            const double b1 = i1 * c1[p] + r1 * s1[p];
            accRe[p] = accRe[p] + (prevRe[p] + a1) / 2.0;
            accIm[p] = accIm[p] + (prevIm[p] + b1) / 2.0;
            prevRe[p] = a1;
            prevIm[p] = b1;
        }
    }
    for (int p = 0; p < n; ++p) {
        re[p] = accRe[p];
        im[p] = accIm[p];
    }
}

// Every line along X at once: output row p of H gathers, for each y, the sum over the
// field rows k of the factors of output p. rows: the field rows that may be non-zero.
AERIAL_INLINE_BODY void transformXBody(SampleRange rows, int n, const PhaseTable& t) {
    SimulationState& s = workspace;
    double prevRe[kMaxGrid];
    double prevIm[kMaxGrid];
    if (rows.first > rows.last) {
        for (int p = 0; p < n; ++p) {
            for (int y = 0; y < n; ++y) Hr[p][y] = Hi[p][y] = 0.0;
        }
        return;
    }
    const SampleRange intervals = intervalsWithData(rows, n);
    const int k0 = intervals.first;
    for (int p = 0; p < n; ++p) {
        double* accRe = Hr[p];
        double* accIm = Hi[p];
        const double c0 = t.cosine[k0][p];
        const double s0 = t.sine[k0][p];
        for (int y = 0; y < n; ++y) {
            accRe[y] = 0.0;
            accIm[y] = 0.0;
            prevRe[y] = s.fieldRe[k0][y] * c0 - s.fieldIm[k0][y] * s0;
            prevIm[y] = s.fieldIm[k0][y] * c0 + s.fieldRe[k0][y] * s0;
        }
        for (int k = k0; k <= intervals.last; ++k) {
            const double c1 = t.cosine[k + 1][p];
            const double s1 = t.sine[k + 1][p];
            const double* r1 = s.fieldRe[k + 1];
            const double* i1 = s.fieldIm[k + 1];
            for (int y = 0; y < n; ++y) {
                const double a1 = r1[y] * c1 - i1[y] * s1;
                const double b1 = i1[y] * c1 + r1[y] * s1;
                accRe[y] = accRe[y] + (prevRe[y] + a1) / 2.0;
                accIm[y] = accIm[y] + (prevIm[y] + b1) / 2.0;
                prevRe[y] = a1;
                prevIm[y] = b1;
            }
        }
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
    SimulationState& s = workspace;
    const int n = s.gridSize;
    if (n <= 0) return;
    const LineKernels kernels = chooseKernels();
    // Rows of the field with data before the Y pass are the only rows with data after it.
    SampleRange rows{n, -1};
    for (int x = 0; x < n; ++x) {
        const SampleRange line = nonZeroSamples(s.fieldRe[x], s.fieldIm[x], n);
        if (line.first <= line.last) {
            rows.first = std::min(rows.first, x);
            rows.last = std::max(rows.last, x);
        }
        kernels.alongY(s.fieldRe[x], s.fieldIm[x], n, line, alongY);
    }
    kernels.alongX(rows, n, alongX);
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            s.fieldRe[x][y] = Hr[x][y];
            s.fieldIm[x][y] = Hi[x][y];
        }
    }
}

} // namespace aerial
