#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "driver/run_simulation.h"
#include "optics/optics.h"
#include "state/simulation_context.h"

using aerial::workspace;

namespace {

struct Optics {
    int n = 32;
    double pitch = 0.01, wavelength = 0.193, na = 0.75, sigma = 0.5, defocus = 0;
};

void setUp(const Optics& o, std::initializer_list<aerial::MaskRectangle> rects) {
    std::memset(&workspace(), 0, sizeof workspace());
    workspace().gridSize = o.n;
    workspace().samplePitch = o.pitch;
    workspace().wavelength = o.wavelength;
    workspace().numericalAperture = o.na;
    workspace().sigma = o.sigma;
    workspace().defocus = o.defocus;
    aerial::prepareStages();
    for (const aerial::MaskRectangle& r : rects) workspace().rects[workspace().rectCount++] = r;
}

void runImaging() {
    aerial::computeMaskSpectrum();
    aerial::imagePartiallyCoherent();
}

double II(int x, int y) { return workspace().II[x][y]; }

} // namespace

TEST(Imaging, OpenFrameImagesAsUniformIntensity) {
    Optics o;
    o.defocus = 0.15;
    setUp(o, {{1, 0, -16, 16, -16, 16}});
    for (int j = 1; j <= 6; ++j) workspace().aberrX[j] = 0.003 * j, workspace().aberrY[j] = -0.002 * j;
    runImaging();
    for (int x = 0; x < o.n; ++x)
        for (int y = 0; y < o.n; ++y) ASSERT_NEAR(II(x, y), 1.0, 1e-12) << x << "," << y;
}

TEST(Imaging, DarkMaskGivesNoLight) {
    setUp(Optics{}, {{0, 0, -8, 8, -8, 8}});
    runImaging();
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y) ASSERT_EQ(II(x, y), 0.0);
}

TEST(Imaging, CoherentIlluminationIsTheMeanOfThirteenEqualImages) {
    Optics o;
    o.sigma = 0;
    o.defocus = 0.05;
    setUp(o, {{1, 0, -5, 3, -7, 7}, {0.5, 0.5, 4, 9, -2, 2}});
    aerial::computeMaskSpectrum();
    static double spectrumRe[128][128], spectrumIm[128][128];
    std::memcpy(spectrumRe, workspace().fieldRe, sizeof spectrumRe);
    std::memcpy(spectrumIm, workspace().fieldIm, sizeof spectrumIm);
    aerial::imagePartiallyCoherent();

    // One coherent image by hand: cut by the pupil, transform, square.
    const int n = o.n, c = n / 2;
    const double r = ((o.na * o.pitch) * n) / o.wavelength;
    static double coherent[128][128];
    std::memset(workspace().fieldRe, 0, sizeof workspace().fieldRe);
    std::memset(workspace().fieldIm, 0, sizeof workspace().fieldIm);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            if (r * r >= (x - c) * (x - c) + (y - c) * (y - c)) {
                workspace().fieldRe[x][y] = spectrumRe[x][y];
                workspace().fieldIm[x][y] = spectrumIm[x][y];
            }
    aerial::pupilTransform2D();
    double peak = 0;
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            coherent[x][y] = workspace().fieldRe[x][y] * workspace().fieldRe[x][y] +
                             workspace().fieldIm[x][y] * workspace().fieldIm[x][y];
            peak = std::max(peak, coherent[x][y]);
        }
    ASSERT_GT(peak, 0.1);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) ASSERT_NEAR(II(x, y), coherent[x][y], 1e-14 * peak);
}

TEST(Imaging, PupilBelowOneSamplePassesOnlyZeroFrequency) {
    Optics o;
    o.n = 8;
    o.sigma = 0;
    o.na = 0.3; // R = 0.3 * 0.01 * 8 / 0.193, about 0.12
    setUp(o, {{1, 0, -2, 1, -3, 2}});
    aerial::computeMaskSpectrum();
    const double re = workspace().fieldRe[4][4], im = workspace().fieldIm[4][4];
    aerial::imagePartiallyCoherent();
    const double expected = re * re + im * im;
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) ASSERT_NEAR(II(x, y), expected, 1e-15) << x << "," << y;
}

struct PupilCase {
    double na; // with pitch 1, N 12, wavelength 2: R = 6 * na
    double samples;
};

void PrintTo(const PupilCase& c, std::ostream* os) { *os << "NA=" << c.na << ",samples=" << c.samples; }

class PupilCount : public testing::TestWithParam<PupilCase> {};

// A flat spectrum through the pupil: the centre of the image sums the passed samples.
TEST_P(PupilCount, RimIsIncluded) {
    Optics o;
    o.n = 12;
    o.pitch = 1;
    o.wavelength = 2;
    o.na = GetParam().na;
    o.sigma = 0;
    setUp(o, {});
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 12; ++y) workspace().fieldRe[x][y] = 1;
    aerial::imagePartiallyCoherent();
    const double s = GetParam().samples;
    EXPECT_NEAR(II(6, 6), s * s, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Radii, PupilCount,
                         testing::Values(PupilCase{0.5, 29},      // R = 3 exactly
                                         PupilCase{0.49, 25},     // just inside 3
                                         PupilCase{0.1, 1}));     // R < 1

TEST(Imaging, IsolatedLineIsSymmetricAndDefocusLowersItsPeak) {
    Optics o;
    o.n = 64;
    auto image = [&](double defocus, double* profile) {
        o.defocus = defocus;
        setUp(o, {{1, 0, -5, 5, -32, 32}}); // a clear line along Y on a dark field
        runImaging();
        for (int x = 0; x < o.n; ++x) profile[x] = II(x, 32);
    };
    double focused[64], defocused[64];
    image(0, focused);
    image(0.3, defocused);

    const int c = 32;
    EXPECT_EQ(std::max_element(focused, focused + 64) - focused, c);
    for (int d = 1; d < 32; ++d) EXPECT_NEAR(focused[c + d], focused[c - d], 1e-12) << d;
    EXPECT_GT(focused[c], 0.3);
    EXPECT_LT(focused[c + 20], 0.1 * focused[c]); // dark far from the line
    EXPECT_LT(defocused[c], focused[c] - 0.01);
    // Along the line the image is uniform away from the ends of the field.
    EXPECT_NEAR(II(c, 28), II(c, 36), 1e-12);
}

TEST(Imaging, NonFiniteSourceShiftsPassNothingButStillCount) {
    Optics o;
    o.n = 8;
    o.sigma = INFINITY;
    setUp(o, {{1, 0, -4, 4, -4, 4}});
    aerial::computeMaskSpectrum();
    const double re = workspace().fieldRe[4][4];
    aerial::imagePartiallyCoherent();
    // Only the centre point (j = k = 0 gives 0 * inf = NaN too), so nothing passes.
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) ASSERT_EQ(II(x, y), 0.0);
    EXPECT_GT(re, 0.0);
}

// An open frame's spectrum is the zero frequency alone, so each source point images as a
// uniform intensity of 1 when its shifted zero frequency lies inside the pupil and 0 when
// it does not: the image is (points inside) / 13 at every sample.
//
// N 16, pitch 1, wavelength 2: the pupil radius is R = NA * 1 * 16 / 2 = 3.6 samples for
// NA 0.45. With sigma 1, source index j shifts by j * NA * sigma / 2 * 16 / 2 = 1.8 j
// samples: 2 for |j| = 1, 4 for |j| = 2 (3.6 rounded). The 13 points (j, k) with
// j*j + k*k <= 4 therefore shift the zero frequency by
//   (0, 0)                    radius 0            inside
//   (+-1, 0), (0, +-1)        radius 2            inside  (4 points)
//   (+-1, +-1)                radius 2 sqrt 2     inside  (4 points, 8 <= 12.96)
//   (+-2, 0), (0, +-2)        radius 4            outside (4 points, 16 > 12.96)
// so 9 of the 13 pass and the image is 9/13. The shifted zero frequency lands at indices
// 8 +- 2 and 8 +- 4, never at an end of a line, where the transform would halve it.
// A wider set such as j*j + k*k <= 5 adds (+-1, +-2) and (+-2, +-1), shifted by radius
// sqrt 20, all outside: 9/21. A set without the axis points at |j| = 2 passes 9 of 9: 1.
TEST(Imaging, ThirteenSourcePointsSomeOutsideThePupilGiveTheirShareOfAnOpenFrame) {
    Optics o;
    o.n = 16;
    o.pitch = 1;
    o.wavelength = 2;
    o.na = 0.45;
    o.sigma = 1;
    setUp(o, {{1, 0, -8, 8, -8, 8}});
    runImaging();
    const double expected = 9.0 / 13.0;
    for (int x = 0; x < o.n; ++x)
        for (int y = 0; y < o.n; ++y) ASSERT_NEAR(II(x, y), expected, 1e-12) << x << "," << y;
}
