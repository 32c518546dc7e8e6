// The fast imaging evaluation against the direct one: the same bits in every plane and
// the same bytes in every table, on the bundled example and on randomised masks and optics.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <algorithm>
#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/run_simulation.h"
#include "optics/optics.h"
#include "optics/phase_table.h"
#include "optics/vector_paths.h"
#include "state/simulation_context.h"
#include "test_support.h"

using namespace aerial_test;

namespace {

struct Outcome {
    std::string amplitude, phase, image;
};

Outcome runWith(const aerial::RunOptions& options, const std::string& input) {
    writeInput(input);
    aerial::runSimulation(options);
    const Tables tables = readTables();
    return {tables.amplitude, tables.phase, tables.image};
}

// Runs both evaluations and demands identical bits in II and identical table bytes.
void expectSameResults(const std::string& input) {
    ScratchFolder folder;
    Outcome direct = runWith({aerial::Evaluation::kDirect}, input);
    static double directII[aerial::kMaxGrid][aerial::kMaxGrid];
    std::memcpy(directII, aerial::workspace().II, sizeof directII);
    // The fast evaluation with the widest vectors the processor has, then the baseline.
    for (bool wide : {true, false}) {
        Outcome fast = runWith({aerial::Evaluation::kFast, !wide}, input);
        EXPECT_EQ(std::memcmp(directII, aerial::workspace().II, sizeof directII), 0) << wide;
        EXPECT_TRUE(direct.amplitude == fast.amplitude) << wide;
        EXPECT_TRUE(direct.phase == fast.phase) << wide;
        ASSERT_EQ(direct.image.size(), fast.image.size()) << wide;
        EXPECT_TRUE(direct.image == fast.image) << wide;
    }
}

struct Lcg {
    std::uint64_t state;
    double uniform(double lo, double hi) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * (static_cast<double>(state >> 11) / 9007199254740992.0);
    }
};

struct RandomCase {
    const char* name;
    int n;
    double na, sigma, pitch; // pupil radius na * pitch * n / 0.193 samples
    bool aberrated;
    bool shifted;
    int rectangles;
    std::uint64_t seed;
};

// Test names and failure messages show the case, not its bytes.
void PrintTo(const RandomCase& c, std::ostream* os) {
    *os << c.name << " (N " << c.n << ", NA " << c.na << ", sigma " << c.sigma << ", pitch " << c.pitch
        << ", " << c.rectangles << " rectangles, seed " << c.seed << ")";
}

TestInput randomInput(const RandomCase& c) {
    Lcg random{c.seed};
    TestInput inputFile;
    inputFile.gridSize = std::to_string(c.n);
    inputFile.samplePitch = c.pitch;
    inputFile.wavelength = 0.193;
    inputFile.numericalAperture = c.na;
    inputFile.sigma = c.sigma;
    if (c.shifted) {
        inputFile.shiftX = random.uniform(-0.3, 0.3);
        inputFile.shiftY = random.uniform(-0.3, 0.3);
    }
    if (c.aberrated) {
        inputFile.defocus = random.uniform(-0.3, 0.3);
        for (int j = 1; j <= 6; ++j) {
            inputFile.aberrX[j] = random.uniform(-0.03, 0.03);
            inputFile.aberrY[j] = random.uniform(-0.03, 0.03);
        }
    }
    const double h = c.n / 2;
    for (int r = 0; r < c.rectangles; ++r) {
        double x0 = random.uniform(-h, h), x1 = random.uniform(-h, h);
        double y0 = random.uniform(-h, h), y1 = random.uniform(-h, h);
        inputFile.rects.push_back({random.uniform(-1, 1), random.uniform(-1, 1), std::min(x0, x1),
                              std::max(x0, x1), std::min(y0, y1), std::max(y0, y1)});
    }
    return inputFile;
}

class FastEvaluation : public testing::TestWithParam<RandomCase> {};

TEST_P(FastEvaluation, GivesTheDirectBits) { expectSameResults(randomInput(GetParam()).text()); }

INSTANTIATE_TEST_SUITE_P(
    RandomMasks, FastEvaluation,
    testing::Values(
        RandomCase{"small_pupil_even", 32, 0.75, 0.5, 0.01, true, false, 5, 1},
        RandomCase{"small_pupil_odd", 33, 0.75, 0.5, 0.01, true, true, 7, 2},
        RandomCase{"wide_pupil_even", 40, 0.9, 0.6, 0.08, true, true, 20, 3},
        RandomCase{"wide_pupil_odd", 31, 0.9, 0.3, 0.1, true, false, 12, 4},
        RandomCase{"coherent", 24, 0.6, 0.0, 0.05, true, true, 4, 5},
        RandomCase{"unaberrated", 16, 0.8, 0.9, 0.04, false, false, 3, 6},
        RandomCase{"pupil_below_one_sample", 12, 0.1, 0.5, 0.01, true, false, 2, 7},
        RandomCase{"tiny_odd_grid", 5, 0.9, 0.5, 0.3, true, true, 2, 8},
        RandomCase{"single_sample", 1, 0.9, 0.5, 0.3, true, true, 2, 9},
        RandomCase{"source_beyond_grid", 20, 0.9, 1.0, 0.5, true, true, 6, 10},
        RandomCase{"full_grid_pupil", 128, 0.9, 0.7, 0.1, true, true, 40, 11},
        RandomCase{"full_grid_pupil_unshifted", 128, 0.9, 0.7, 0.1, true, false, 40, 16},
        RandomCase{"unshifted_odd_grid", 45, 0.85, 0.6, 0.06, true, false, 15, 17}),
    [](const testing::TestParamInfo<RandomCase>& info) { return info.param.name; });

TEST(FastEvaluationCases, BundledExample) {
    TestInput inputFile = twoRectangleExample();
    expectSameResults(inputFile.text());
}

TEST(FastEvaluationCases, RepeatedEdgePairsOnALayoutGrid) {
    TestInput inputFile = twoRectangleExample();
    inputFile.gridSize = "32";
    inputFile.rects.clear();
    for (int r = 0; r < 120; ++r) { // 2 x 2 holes at a pitch of 4: edge pairs repeat
        const double x0 = -16 + 4 * (r % 8) + 1, y0 = -16 + 4 * (r / 8 % 8) + 1;
        inputFile.rects.push_back({1, r * 0.01, x0, x0 + 2, y0, y0 + 2});
    }
    std::string text = inputFile.text();
    // Edges of either sign of zero must not share a factor: their sine terms differ in sign.
    text += "z0\t1\t0\t0\t3\t-0\t2\nz1\t1\t0\t-0\t3\t0\t2\n";
    text.replace(text.find("rectangles\tunit\t120"), 20, "rectangles\tunit\t122");
    expectSameResults(text);
}

// More distinct edge pairs than the factor cache holds, each seen several times and in
// shuffled order: entries are evicted and rebuilt, and every hit must give the bits of a
// fresh build. Rectangle counts 1 and 3 leave a group unfilled.
TEST(FastEvaluationCases, FactorCacheAndGroupBoundaries) {
    TestInput inputFile = twoRectangleExample();
    inputFile.gridSize = "48";
    Lcg random{12};
    for (int r = 0; r < 999; ++r) {
        const int a = static_cast<int>(random.uniform(0, 40)), b = static_cast<int>(random.uniform(0, 40));
        const double x0 = -24 + 0.5 * a, y0 = -24 + 0.25 * b;
        inputFile.rects.push_back({random.uniform(-1, 1), random.uniform(-1, 1), x0,
                                   x0 + 0.5 * (a % 7 + 1), y0, y0 + 0.25 * (b % 5 + 1)});
    }
    expectSameResults(inputFile.text());

    for (std::size_t count : {1, 3}) {
        TestInput few = randomInput({"few", 17, 0.8, 0.5, 0.05, true, true, 0, 13});
        few.rects.assign(inputFile.rects.begin(), inputFile.rects.begin() + static_cast<long>(count));
        expectSameResults(few.text());
    }
}

AERIAL_GCC12_STRING_RESTRICT_OFF // the grid size assignments below
TEST(FastEvaluationCases, NonFiniteInputsGiveTheDirectNaNs) {
    TestInput zeroWavelength = twoRectangleExample();
    zeroWavelength.gridSize = "8";
    zeroWavelength.wavelength = 0;
    expectSameResults(zeroWavelength.text());

    TestInput nanMask = twoRectangleExample();
    nanMask.gridSize = "8";
    nanMask.rects[0].transRe = NAN;
    expectSameResults(nanMask.text());

    TestInput mixedNaNs = twoRectangleExample(); // NaNs of both signs meet in one sum
    mixedNaNs.gridSize = "8";
    mixedNaNs.rects[0].transIm = -NAN;
    mixedNaNs.rects[1].transRe = NAN;
    expectSameResults(mixedNaNs.text());

    TestInput hugeMask = twoRectangleExample(); // finite spectrum whose image overflows
    hugeMask.gridSize = "8";
    hugeMask.rects[0].transRe = 1e300;
    expectSameResults(hugeMask.text());
}
AERIAL_GCC12_STRING_RESTRICT_ON

// The fast transform doubles its sums where every value is of moderate size and keeps
// plain sums elsewhere: transmissions on both sides of the bounds (2^-900 and 2^900 for
// samples), down to subnormal and up to overflowing fields, and a mask whose rectangles
// differ by 10^500, so that lines of one run take different paths.
TEST(FastEvaluationCases, TinyAndHugeTransmissions) {
    for (double scale : {1e-309, 1e-306, 1e-300, 1e-250, 1e250, 1e275, 1e306, 1e307}) {
        SCOPED_TRACE(scale);
        TestInput inputFile = randomInput({"scaled", 17, 0.8, 0.5, 0.05, true, true, 6, 14});
        for (Rect& r : inputFile.rects) {
            r.transRe *= scale;
            r.transIm *= scale;
        }
        expectSameResults(inputFile.text());
    }
    TestInput mixed = randomInput({"mixed", 24, 0.9, 0.6, 0.08, true, true, 4, 15});
    mixed.rects[0].transRe *= 1e-250;
    mixed.rects[1].transIm *= 1e250;
    mixed.rects.push_back({1e-290, 0, -3, -2, 5, 6});
    expectSameResults(mixed.text());
}

// Where two NaNs meet in one operation, the processor returns one of them, chosen by
// operand order; NaNs of both signs in the edges and the transmissions, and NaNs made
// inside the sums (an infinite transmission times a zero-width factor), must come out with
// the same signs on every path.
TEST(FastEvaluationCases, NaNsOfBothSignsGiveTheDirectBytes) {
    const double inf = INFINITY;
    struct NaNCase {
        const char* name;
        const char* grid;
        std::vector<Rect> rects;
    };
    const NaNCase cases[] = {
        {"nan_edges_of_both_signs", "2", {{1, 0, -NAN, 1, NAN, 1}}},
        {"nan_edges_odd_grid", "3", {{1, 0, NAN, 1, -NAN, 1}, {1, 0, -NAN, 1, NAN, 1}}},
        {"infinite_transmission_zero_width", "4", {{inf, -inf, 1, 1, -1, 1}, {-inf, inf, -1, 1, 0, 0}}},
        {"nan_transmissions", "5", {{NAN, -NAN, -1, 2, -2, 1}, {-NAN, NAN, 0, 1, -1, 1}}},
        {"finite_rectangles_around_nan_ones",
         "6",
         {{1, 0.5, -2, 2, -1, 1}, {0.3, -1, -NAN, 1, 0, 2}, {-1, 0, -3, 0, -2, 2},
          {inf, 0, 2, 2, -1, 1}, {0.5, 0.5, -1, 3, -3, 3}, {1, 0, 1, 2, NAN, 1},
          {-0.7, 0.2, -3, 3, -3, 3}, {NAN, 1, -1, 1, -1, 1}, {0.25, 0, 0, 1, 0, 1},
          {1, -NAN, -2, 2, -2, 2}, {-1, 1, -1, 0, -1, 0}}},
    };
    for (const NaNCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestInput inputFile = twoRectangleExample();
        inputFile.gridSize = c.grid;
        inputFile.rects = c.rects;
        expectSameResults(inputFile.text());
    }
}

// Without a shift the spectrum's angles at opposite frequencies are exact negations, and
// the fast evaluation takes their sines and cosines from the mirrored index where the C
// library's sine is odd and its cosine even. Both properties, to the bit, on arguments of
// every size, the spectrum's range (up to 2 pi * 64 * 64 / 128) above all.
TEST(FastEvaluationCases, LibrarySineIsOddAndCosineEven) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the fast evaluation mirrors angles only with glibc";
#endif
    Lcg random{18};
    auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    volatile double argument; // keeps the compiler from applying the symmetry itself
    int asymmetric = 0;
    for (int k = 0; k < 400000; ++k) {
        double x = 0;
        switch (k % 4) {
        case 0: x = random.uniform(0, 420); break;
        case 1: x = random.uniform(0, 2); break;
        case 2: x = std::ldexp(random.uniform(0.5, 1), static_cast<int>(random.uniform(-1074, 1024))); break;
        case 3: x = k == 3 ? 0.0 : random.uniform(0, 1e9); break;
        }
        argument = x;
        const double plus = argument;
        argument = -x;
        const double minus = argument;
        if (bits(std::sin(minus)) != bits(-std::sin(plus)) || bits(std::cos(minus)) != bits(std::cos(plus))) {
            ++asymmetric;
        }
    }
    EXPECT_EQ(asymmetric, 0);
}

// The mirrored angles next to the cases where they must not be used: edges at zero of
// either sign and at the grid's rim, and shifts of half and of one whole sample, which
// move the zero frequency off the centre so that no angle has an exact opposite.
TEST(FastEvaluationCases, MirroredAnglesAndShiftedGrids) {
    for (double sx : {0.0, 0.5, -1.0}) {
        for (const char* grid : {"64", "33"}) {
            SCOPED_TRACE(testing::Message() << "shift " << sx << ", N " << grid);
            TestInput inputFile = randomInput({"mirrored", 1, 0.9, 0.5, 0.05, true, false, 12, 19});
            inputFile.gridSize = grid;
            const double n = std::atof(grid);
            inputFile.samplePitch = 1.0 / n; // pitch * N / wavelength = 1: the shift in samples
            inputFile.wavelength = 1.0;
            inputFile.numericalAperture = 0.3;
            inputFile.shiftX = sx;
            inputFile.shiftY = -sx;
            const double h = std::floor(n / 2);
            inputFile.rects.push_back({1, 0.5, 0.0, 3, -0.0, h});
            inputFile.rects.push_back({-0.5, 1, -h, 0.0, -3.25, -0.0});
            inputFile.rects.push_back({0.25, -1, -h, h, 1e-300, 1e-3});
            expectSameResults(inputFile.text());
        }
    }
}

// The phase tables hold factors only for the samples a pupil cut can leave data on; data
// beyond them (which a run never produces) must still transform to the direct bits.
TEST(FastEvaluationCases, DataBeyondTheTabledSamples) {
    aerial::SimulationState& s = aerial::workspace();
    s.gridSize = 32;
    s.samplePitch = 0.01;
    s.wavelength = 0.193;
    s.numericalAperture = 0.9; // pupil radius 1.5 samples: factors for samples 13..19
    s.defocus = 0.1;
    aerial::prepareStages();
    static aerial::PhaseTable alongY, alongX;
    aerial::buildPhaseTable(alongY, 32, aerial::kPassY);
    aerial::buildPhaseTable(alongX, 32, aerial::kPassX);
    ASSERT_EQ(alongY.first, 13);
    ASSERT_EQ(alongY.last, 19);
    for (int spread : {3, 6}) { // data inside the tabled samples, then beyond them
        Lcg random{static_cast<std::uint64_t>(spread)};
        for (int x = 0; x < 32; ++x) {
            for (int y = 0; y < 32; ++y) {
                const bool inside = std::abs(x - 16) <= spread && std::abs(y - 16) <= spread;
                s.fieldRe[x][y] = inside ? random.uniform(-1, 1) : 0.0;
                s.fieldIm[x][y] = inside ? random.uniform(-1, 1) : 0.0;
            }
        }
        static aerial::FieldPlane re, im;
        std::memcpy(re, s.fieldRe, sizeof re);
        std::memcpy(im, s.fieldIm, sizeof im);
        aerial::pupilTransform2D();
        std::swap_ranges(&re[0][0], &re[0][0] + 32 * aerial::kMaxGrid, &s.fieldRe[0][0]);
        std::swap_ranges(&im[0][0], &im[0][0] + 32 * aerial::kMaxGrid, &s.fieldIm[0][0]);
        aerial::pupilTransform2DFast(alongY, alongX);
        EXPECT_EQ(std::memcmp(re, s.fieldRe, sizeof re), 0) << spread;
        EXPECT_EQ(std::memcmp(im, s.fieldIm, sizeof im), 0) << spread;
    }
}

} // namespace

namespace {

// A field of n x n samples for the plane-level comparisons below: the pattern's samples
// are mantissas from [0.75, 1) times the scale, of either sign or (sameSign) positive,
// every other sample zero.
enum class Pattern {
    kWholeField,   // every sample
    kOneFieldRow,  // only the line x = 3: its Y line sums n samples, every X line one
    kCentreColumn, // only y = n/2, whose factor is 1: every Y line passes its one sample on,
                   // and every X line of the Y pass's output sums n of them
    kRealField,    // every sample, imaginary parts zero
};

void fillField(Pattern pattern, double scale, bool sameSign, int n, std::uint64_t seed) {
    aerial::SimulationState& s = aerial::workspace();
    Lcg random{seed};
    auto sample = [&]() {
        const double m = random.uniform(0.75, 1.0);
        return (sameSign || random.uniform(-1, 1) >= 0 ? m : -m) * scale;
    };
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            const bool used = pattern == Pattern::kWholeField || pattern == Pattern::kRealField ||
                              (pattern == Pattern::kOneFieldRow && x == 3) ||
                              (pattern == Pattern::kCentreColumn && y == n / 2);
            s.fieldRe[x][y] = used ? sample() : 0.0;
            s.fieldIm[x][y] = used && pattern != Pattern::kRealField ? sample() : 0.0;
        }
    }
}

} // namespace

// The doubled sums at the magnitudes where the guards decide, transform against transform.
// Doubling is exact only for moderate samples and factors: beyond 2^900 a doubled sum
// overflows where the plain one does not (n = 20 samples of one sign up to 2^1019 sum to
// below 2^1024 at the centre output, whose factors are 1; twice that is infinite), and
// where products fall among the subnormal numbers, halving each term rounds where halving
// the sum once does not: subnormal samples, or moderate ones times a sine below 2^-100 (a
// defocus of 5e-44 turns the factors of the output x = 0 by angles near 2^-140, whose
// sines multiply a real field into imaginary parts of about 2^-1040). A guard that let
// such lines through would change these planes, though not any table, whose |field|^2
// under- or overflows at such scales. Samples just inside the bounds take the doubled sums
// and must give the same bits as well.
TEST(FastEvaluationCases, DoubledSumsAtTheMagnitudesWhereTheGuardsDecide) {
    aerial::SimulationState& s = aerial::workspace();
    const int n = 20; // two blocks of eight outputs and four single ones per line
    s.gridSize = n;
    s.samplePitch = 0.1;
    s.wavelength = 0.193;
    s.numericalAperture = 0.9; // pupil radius 9.3 samples: every sample has factors
    for (int j = 1; j <= 6; ++j) s.aberrX[j] = s.aberrY[j] = 0;
    s.pi = aerial::kPi;

    struct GuardCase {
        const char* name;
        Pattern pattern;
        double scale;
        bool sameSign;
        double defocus; // 0: the factors of the centre output are 1
    };
    const GuardCase cases[] = {
        {"Y sums near overflow", Pattern::kOneFieldRow, 0x1p1019, true, 0},
        {"X sums near overflow", Pattern::kCentreColumn, 0x1p1019, true, 0},
        {"subnormal samples", Pattern::kWholeField, 0x1p-1060, false, 0},
        {"samples whose products are subnormal", Pattern::kWholeField, 0x1p-1015, false, 0},
        {"samples whose Y outputs are subnormal", Pattern::kCentreColumn, 0x1p-1030, false, 0},
        {"moderate samples, sines below 2^-100", Pattern::kRealField, 0x1p-899, false, 5e-44},
        {"just below the upper bound", Pattern::kWholeField, 0x1p899, false, 0},
        {"just above the lower bound", Pattern::kWholeField, 0x1p-899, false, 0},
    };
    static aerial::PhaseTable alongY, alongX;
    for (const GuardCase& c : cases) {
        s.defocus = c.defocus;
        aerial::buildPhaseTable(alongY, n, aerial::kPassY);
        aerial::buildPhaseTable(alongX, n, aerial::kPassX);
        ASSERT_EQ(alongY.first, 0);
        ASSERT_EQ(alongY.last, n - 1);
        EXPECT_EQ(alongY.moderate, c.defocus == 0) << c.name;
        for (bool wide : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.name << (wide ? ", widest vectors" : ", baseline vectors"));
            fillField(c.pattern, c.scale, c.sameSign, n, 21);
            aerial::pupilTransform2D();
            static aerial::FieldPlane directRe, directIm;
            std::memcpy(directRe, s.fieldRe, sizeof directRe);
            std::memcpy(directIm, s.fieldIm, sizeof directIm);
            fillField(c.pattern, c.scale, c.sameSign, n, 21);
            aerial::prepareStages({aerial::Evaluation::kFast, !wide});
            aerial::pupilTransform2DFast(alongY, alongX);
            aerial::prepareStages();
            EXPECT_EQ(std::memcmp(directRe, s.fieldRe, sizeof directRe), 0);
            EXPECT_EQ(std::memcmp(directIm, s.fieldIm, sizeof directIm), 0);
            if (c.sameSign) { // finite in the direct sums, where a doubled sum would not be
                EXPECT_TRUE(std::isfinite(directRe[n / 2][n / 2]) && std::isfinite(directIm[n / 2][n / 2]));
            }
        }
    }
    s.defocus = 0;
}
