#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "driver/run_simulation.h"
#include "optics/optics.h"
#include "state/simulation_context.h"

using aerial::workspace;

namespace {

void setUpGrid(int n, std::initializer_list<aerial::MaskRectangle> rects, double shiftX = 0,
               double shiftY = 0) {
    workspace().gridSize = n;
    workspace().samplePitch = 0.01;
    workspace().wavelength = 0.193;
    workspace().spectrumShiftX = shiftX;
    workspace().spectrumShiftY = shiftY;
    aerial::prepareStages();
    workspace().rectCount = 0;
    for (const aerial::MaskRectangle& r : rects) workspace().rects[workspace().rectCount++] = r;
}

double re(int x, int y) { return workspace().fieldRe[x][y]; }
double im(int x, int y) { return workspace().fieldIm[x][y]; }

} // namespace

TEST(MaskSpectrum, NoRectanglesClearsThePlanes) {
    setUpGrid(8, {});
    workspace().fieldRe[3][5] = 7;
    workspace().fieldIm[0][0] = -1;
    workspace().fieldRe[8][8] = 42; // outside the square: untouched
    aerial::computeMaskSpectrum();
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) {
            EXPECT_EQ(re(x, y), 0.0);
            EXPECT_EQ(im(x, y), 0.0);
        }
    EXPECT_EQ(workspace().fieldRe[8][8], 42);
}

TEST(MaskSpectrum, CentredSquareMatchesTheClosedForm) {
    setUpGrid(16, {{1, 0, -4, 4, -4, 4}});
    aerial::computeMaskSpectrum();
    const int c = 8;
    EXPECT_DOUBLE_EQ(re(c, c), 0.25);
    EXPECT_EQ(im(c, c), 0.0);
    EXPECT_NEAR(re(c + 1, c), 0.5 / M_PI, 1e-12);
    EXPECT_NEAR(im(c + 1, c), 0.0, 1e-15);
    EXPECT_NEAR(re(c + 1, c + 1), 0.101321, 1e-6);
    EXPECT_NEAR(re(c + 2, c), 0.0, 1e-15); // edges on zeros of the sine
    // Symmetric about the centre with a real transmission: no imaginary part.
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) EXPECT_NEAR(im(x, y), 0.0, 1e-15);
}

TEST(MaskSpectrum, OffCentreRectangleTakesTheKernelSign) {
    setUpGrid(16, {{1, 0, 0, 4, -4, 4}});
    aerial::computeMaskSpectrum();
    EXPECT_DOUBLE_EQ(re(8, 8), 0.125);
    EXPECT_NEAR(re(9, 8), 0.0795775, 1e-7);
    EXPECT_NEAR(im(9, 8), -0.0795775, 1e-7);
}

TEST(MaskSpectrum, OpenFrameIsAnImpulseAtZeroFrequency) {
    setUpGrid(16, {{1, 0, -8, 8, -8, 8}});
    aerial::computeMaskSpectrum();
    EXPECT_EQ(re(8, 8), 1.0);
    EXPECT_EQ(im(8, 8), 0.0);
    for (int x = 0; x < 16; ++x) {
        for (int y = 0; y < 16; ++y) {
            if (x != 8 || y != 8) {
                EXPECT_LT(std::hypot(re(x, y), im(x, y)), 1e-14);
            }
        }
    }
}

TEST(MaskSpectrum, ImaginaryTransmissionTurnsByAQuarter) {
    setUpGrid(16, {{1, 0, -3, 5, -2, 6}});
    aerial::computeMaskSpectrum();
    static double pr[16][16], pim[16][16];
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) {
            pr[x][y] = re(x, y);
            pim[x][y] = im(x, y);
        }
    setUpGrid(16, {{0, 1, -3, 5, -2, 6}});
    aerial::computeMaskSpectrum();
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) {
            EXPECT_EQ(re(x, y), -pim[x][y]);
            EXPECT_EQ(im(x, y), pr[x][y]);
        }
}

TEST(MaskSpectrum, RectanglesAddUp) {
    setUpGrid(16, {{1, 0, -4, 4, -4, 4}});
    aerial::computeMaskSpectrum();
    static double whole[16][16][2];
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) whole[x][y][0] = re(x, y), whole[x][y][1] = im(x, y);
    setUpGrid(16, {{1, 0, -4, 1, -4, 4}, {1, 0, 1, 4, -4, 4}});
    aerial::computeMaskSpectrum();
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) {
            EXPECT_NEAR(re(x, y), whole[x][y][0], 1e-15);
            EXPECT_NEAR(im(x, y), whole[x][y][1], 1e-15);
        }
    setUpGrid(16, {{1, 0, -4, 4, -4, 4}, {1, 0, -4, 4, -4, 4}}); // overlap counts twice
    aerial::computeMaskSpectrum();
    EXPECT_DOUBLE_EQ(re(8, 8), 0.5);
}

TEST(MaskSpectrum, HalfSampleShiftKeepsTheCentreBranch) {
    // sx = shift * pitch * N / wavelength = 0.5 with pitch 0.01, N 16, wavelength 0.193.
    const double shift = 0.5 * 0.193 / (0.01 * 16);
    setUpGrid(16, {{1, 0, -4, 4, -4, 4}}, shift);
    aerial::computeMaskSpectrum();
    const double sx = ((shift * 0.01) * 16.0) / 0.193;
    ASSERT_NEAR(sx, 0.5, 1e-15);
    EXPECT_DOUBLE_EQ(re(8, 8), 0.25); // (b - a)/N on X times (b' - a')/N on Y
    // Index 9 uses fx = 1.5 in the general formula; the Y factor at c is 0.5.
    const double w = (2.0 * aerial::kPi) * (1.0 + sx);
    const double fxr = (std::sin((w * 4) / 16.0) - std::sin((w * -4) / 16.0)) / w;
    EXPECT_EQ(re(9, 8), fxr * 0.5);
}

TEST(MaskSpectrum, WholeSampleShiftGivesNoNaN) {
    // sx = -1 exactly: the true zero frequency falls on index c + 1.
    setUpGrid(16, {{1, 0, -4, 4, -4, 4}}, -1.0);
    workspace().samplePitch = 0.0625; // pitch * N / wavelength = 1: sx = shift exactly
    workspace().wavelength = 1.0;
    aerial::computeMaskSpectrum();
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) {
            ASSERT_FALSE(std::isnan(re(x, y))) << x << "," << y;
            ASSERT_FALSE(std::isnan(im(x, y))) << x << "," << y;
        }
    EXPECT_DOUBLE_EQ(re(9, 8), 0.25); // the limit value, as at zero frequency
}

TEST(MaskSpectrum, SingleSampleGridUsesOnlyTheZeroFrequencyBranch) {
    setUpGrid(1, {{1, 0, 0, 0, 0, 0}, {3, 2, 0, 0, 0, 0}});
    aerial::computeMaskSpectrum();
    EXPECT_EQ(re(0, 0), 0.0);
    EXPECT_EQ(im(0, 0), 0.0);
}
