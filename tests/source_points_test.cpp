// The source and pupil in spectral samples, as the imaging stage uses them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "driver/run_simulation.h"
#include "optics/optics.h"
#include "optics/source_points.h"
#include "state/simulation_context.h"

using aerial::DerivedOptics;
using aerial::SourcePoint;

namespace {

const SourcePoint& pointAt(const DerivedOptics& d, int j, int k) {
    for (const SourcePoint& p : d.points) {
        if (p.j == j && p.k == k) return p;
    }
    ADD_FAILURE() << "no source point (" << j << ", " << k << ")";
    return d.points[0];
}

} // namespace

// NA 0.5, sigma 0.5, pitch 10, N 64, wavelength 32: R = 0.5 * 10 * 64 / 32 = 10 samples,
// and the source grid pitch is sigma * R / 2 = 2.5 samples, every step exact.
TEST(SourcePoints, WorkedExample) {
    const DerivedOptics d = aerial::deriveOptics(64, 10, 32, 0.5, 0.5);
    EXPECT_EQ(d.pupilRadius, 10.0);
    const int expectedShift[5] = {-5, -2, 0, 3, 5}; // for j = -2 .. 2
    for (const SourcePoint& p : d.points) {
        EXPECT_TRUE(p.passes);
        EXPECT_EQ(p.ux, 2.5 * p.j);
        EXPECT_EQ(p.uy, 2.5 * p.k);
        EXPECT_EQ(p.shiftX, expectedShift[p.j + 2]) << p.j;
        EXPECT_EQ(p.shiftY, expectedShift[p.k + 2]) << p.k;
    }
    // Exact halves go up: j = 1 moves by 3 but j = -1 by -2, so the rounded source is not
    // symmetric.
    EXPECT_EQ(pointAt(d, 1, 0).shiftX, 3);
    EXPECT_EQ(pointAt(d, -1, 0).shiftX, -2);
    EXPECT_EQ(pointAt(d, 0, -1).shiftY, -2);
    EXPECT_EQ(pointAt(d, -1, -1).shiftX, -2);
    // The outermost points at (+-5, 0) and (0, +-5): 5 / 10.
    EXPECT_EQ(d.effectiveSigma, 0.5);
}

// Thirteen points of the disc j*j + k*k <= 4, j outer and k inner.
TEST(SourcePoints, TheThirteenPointsInSummationOrder) {
    const int expected[13][2] = {{-2, 0}, {-1, -1}, {-1, 0}, {-1, 1}, {0, -2}, {0, -1}, {0, 0},
                                 {0, 1},  {0, 2},   {1, -1}, {1, 0},  {1, 1},  {2, 0}};
    const DerivedOptics d = aerial::deriveOptics(64, 10, 32, 0.5, 0.5);
    for (int i = 0; i < aerial::kSourcePointCount; ++i) {
        EXPECT_EQ(d.points[i].j, expected[i][0]) << i;
        EXPECT_EQ(d.points[i].k, expected[i][1]) << i;
    }
}

// A written sigma of 0.5 with a pupil of 4.97 samples: the outer points at 2.485 samples
// round to 2, the inner ones at 1.24 to 1, so the source reaches 2 / 4.97 of the pupil.
TEST(SourcePoints, EffectiveSigmaIsTheLargestRoundedRadiusOverR) {
    const DerivedOptics d = aerial::deriveOptics(71, 0.1, 1, 0.7, 0.5);
    EXPECT_NEAR(d.pupilRadius, 4.97, 1e-12);
    EXPECT_NEAR(pointAt(d, 2, 0).ux, 2.485, 1e-12);
    EXPECT_EQ(pointAt(d, 2, 0).shiftX, 2);
    EXPECT_EQ(pointAt(d, 1, 1).shiftX, 1);
    EXPECT_EQ(pointAt(d, 1, 1).shiftY, 1);
    EXPECT_NEAR(d.effectiveSigma, 2 / 4.97, 1e-12);

    // A coherent source: every point at the centre.
    EXPECT_EQ(aerial::deriveOptics(71, 0.1, 1, 0.7, 0).effectiveSigma, 0.0);
    // A negative wavelength mirrors every shift; the source keeps its size.
    const DerivedOptics mirrored = aerial::deriveOptics(71, 0.1, -1, 0.7, 0.5);
    EXPECT_EQ(pointAt(mirrored, 2, 0).shiftX, -2);
    EXPECT_NEAR(mirrored.effectiveSigma, 2 / 4.97, 1e-12);
}

TEST(SourcePoints, ShiftsWithoutAGridIndexPassNothing) {
    // Zero wavelength: R and the shifts are infinite, the centre's 0 / 0 is NaN.
    const DerivedOptics none = aerial::deriveOptics(32, 0.01, 0, 0.75, 0.5);
    EXPECT_TRUE(std::isinf(none.pupilRadius));
    for (const SourcePoint& p : none.points) {
        EXPECT_FALSE(p.passes) << p.j << "," << p.k;
        EXPECT_EQ(p.shiftX, 0);
        EXPECT_EQ(p.shiftY, 0);
    }
    EXPECT_TRUE(std::isnan(pointAt(none, 0, 0).ux));
    EXPECT_TRUE(std::isnan(none.effectiveSigma));

    // Finite shifts beyond the int range: only the centre passes.
    const DerivedOptics huge = aerial::deriveOptics(32, 0.01, 0.193, 0.75, 1e12);
    for (const SourcePoint& p : huge.points) EXPECT_EQ(p.passes, p.j == 0 && p.k == 0) << p.j << "," << p.k;
    EXPECT_EQ(huge.effectiveSigma, 0.0);

    int shift = 7;
    EXPECT_FALSE(aerial::roundSourceShift(2147483647.5, shift));
    EXPECT_TRUE(aerial::roundSourceShift(2147483646.5, shift));
    EXPECT_EQ(shift, 2147483647);
    EXPECT_TRUE(aerial::roundSourceShift(-2147483648.0, shift));
    EXPECT_EQ(shift, -2147483647 - 1);
}

// What the derived optics report is what the image uses: two sigmas whose points round to
// the same shifts give the same image bits, and a sigma that moves one point does not.
TEST(SourcePoints, TheImageChangesOnlyWithTheRoundedShifts) {
    auto imageFor = [](double sigma) {
        std::memset(&aerial::workspace(), 0, sizeof aerial::workspace());
        aerial::SimulationState& s = aerial::workspace();
        s.gridSize = 32;
        s.samplePitch = 0.01;
        s.wavelength = 0.193;
        s.numericalAperture = 0.75;
        s.sigma = sigma;
        s.rects[0] = {1, 0, -3, 3, -5, 5};
        s.rectCount = 1;
        aerial::prepareStages();
        aerial::computeMaskSpectrum();
        aerial::imagePartiallyCoherent();
        return std::vector<double>(&s.II[0][0], &s.II[0][0] + aerial::kMaxGrid * aerial::kMaxGrid);
    };
    auto shiftsFor = [](double sigma) {
        const DerivedOptics d = aerial::deriveOptics(32, 0.01, 0.193, 0.75, sigma);
        std::vector<int> shifts;
        for (const SourcePoint& p : d.points) shifts.insert(shifts.end(), {p.shiftX, p.shiftY});
        return shifts;
    };
    // R = 1.24 samples: the outer points sit at 0.62 and 0.99 samples, the inner ones at
    // 0.31 and 0.50 (below a half) for sigma 0.5 and 0.8, and at 0.56 for sigma 0.9.
    ASSERT_EQ(shiftsFor(0.5), shiftsFor(0.8));
    ASSERT_NE(shiftsFor(0.5), shiftsFor(0.9));
    const std::vector<double> image = imageFor(0.5);
    EXPECT_TRUE(imageFor(0.8) == image);
    EXPECT_FALSE(imageFor(0.9) == image);
}
