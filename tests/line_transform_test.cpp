#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "driver/run_simulation.h"
#include "optics/optics.h"
#include "state/simulation_context.h"

using aerial::workspace;

namespace {

// Optics where every coordinate is simple: g = n, a = 1/n.
void setUpOptics(int n) {
    std::memset(&workspace(), 0, sizeof workspace());
    workspace().gridSize = n;
    workspace().samplePitch = 1;
    workspace().wavelength = 1;
    workspace().numericalAperture = 1;
    aerial::prepareStages();
}

struct Line {
    std::vector<double> re, im;
    explicit Line(int n) : re(n, 0.0), im(n, 0.0) {}
};

// The Fourier angle of sample k at output p with no defocus and no aberration.
double fourierAngle(int k, int p, int n) {
    const double u = k - n / 2.0;
    const double x = p - n / 2.0;
    return ((2.0 * aerial::kPi) * (u * x)) / n;
}

} // namespace

struct WorkedCase {
    aerial::AxisPass pass;
    double re[4], im[4];
};

void PrintTo(const WorkedCase& c, std::ostream* os) { *os << "pass=" << c.pass; }

class WorkedExample : public testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedExample, MatchesTheHandComputedLine) {
    setUpOptics(4);
    workspace().defocus = 1;
    workspace().aberrX[2] = 0.25;
    Line line(4);
    line.re[1] = 1;
    aerial::lineTransform(line.re.data(), line.im.data(), 4, GetParam().pass);
    for (int p = 0; p < 4; ++p) {
        EXPECT_NEAR(line.re[p], GetParam().re[p], 5e-7) << p;
        EXPECT_NEAR(line.im[p], GetParam().im[p], 5e-7) << p;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothAxes, WorkedExample,
    testing::Values(
        // Y pass: aberrX has no effect, the angle at p = 2 is -pi/16.
        WorkedCase{aerial::kPassY,
                   {-0.980785, 0.195090, 0.980785, -0.195090},
                   {0.195090, 0.980785, -0.195090, -0.980785}},
        // X pass: T_2 = 0.0625 brings the angle at p = 2 to -pi/32.
        WorkedCase{aerial::kPassX,
                   {-0.995185, 0.098017, 0.995185, -0.098017},
                   {0.098017, 0.995185, -0.098017, -0.995185}},
        // Every selector other than 1 means the X axis.
        WorkedCase{7,
                   {-0.995185, 0.098017, 0.995185, -0.098017},
                   {0.098017, 0.995185, -0.098017, -0.995185}}));

struct ImpulseCase {
    int n, k;
    double weight; // 1 inside, 1/2 at the two ends
};

void PrintTo(const ImpulseCase& c, std::ostream* os) {
    *os << "n=" << c.n << ",k=" << c.k << ",weight=" << c.weight;
}

class ImpulseLine : public testing::TestWithParam<ImpulseCase> {};

TEST_P(ImpulseLine, GivesTheWeightedFourierKernel) {
    const ImpulseCase c = GetParam();
    setUpOptics(c.n);
    Line line(c.n);
    line.re[c.k] = 1;
    aerial::lineTransform(line.re.data(), line.im.data(), c.n, aerial::kPassX);
    for (int p = 0; p < c.n; ++p) {
        const double theta = fourierAngle(c.k, p, c.n);
        EXPECT_EQ(line.re[p], std::cos(theta) * c.weight) << p;
        EXPECT_EQ(line.im[p], std::sin(theta) * c.weight) << p;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ImpulseLine,
                         testing::Values(ImpulseCase{8, 3, 1.0}, ImpulseCase{8, 0, 0.5},
                                         ImpulseCase{8, 7, 0.5}, ImpulseCase{7, 3, 1.0},
                                         ImpulseCase{16, 11, 1.0}));

TEST(LineTransform, UniformLineSumsWithHalfWeightEnds) {
    setUpOptics(8);
    Line line(8);
    for (double& v : line.re) v = 1;
    aerial::lineTransform(line.re.data(), line.im.data(), 8, aerial::kPassY);
    EXPECT_EQ(line.re[4], 7.0);
    EXPECT_EQ(line.im[4], 0.0);
}

TEST(LineTransform, CentreSampleCarriesNoDefocusOrAberration) {
    setUpOptics(8);
    workspace().defocus = 0.7;
    for (int j = 1; j <= 6; ++j) workspace().aberrX[j] = workspace().aberrY[j] = 0.3 * j;
    Line line(8);
    line.re[4] = 1;
    aerial::lineTransform(line.re.data(), line.im.data(), 8, aerial::kPassX);
    for (int p = 0; p < 8; ++p) {
        EXPECT_EQ(line.re[p], 1.0);
        EXPECT_EQ(line.im[p], 0.0);
    }
}

TEST(LineTransform, EachPassUsesOnlyItsOwnCoefficients) {
    const int n = 8;
    Line plain(n);
    plain.re[2] = 1;
    setUpOptics(n);
    Line reference = plain;
    aerial::lineTransform(reference.re.data(), reference.im.data(), n, aerial::kPassX);

    setUpOptics(n);
    workspace().aberrY[3] = 0.2; // Y only: the X pass does not see it
    Line xLine = plain;
    aerial::lineTransform(xLine.re.data(), xLine.im.data(), n, aerial::kPassX);
    EXPECT_EQ(xLine.re, reference.re);
    EXPECT_EQ(xLine.im, reference.im);
    Line yLine = plain;
    aerial::lineTransform(yLine.re.data(), yLine.im.data(), n, aerial::kPassY);
    EXPECT_NE(yLine.re, reference.re);
}

TEST(LineTransform, TiltTermAddsALinearPhase) {
    const int n = 8;
    setUpOptics(n);
    workspace().wavelength = 0.5; // g = 16, a = 1/16
    workspace().aberrX[1] = 0.01;
    Line line(n);
    line.re[6] = 1;
    aerial::lineTransform(line.re.data(), line.im.data(), n, aerial::kPassX);
    const double rho = 0.0625 * (6 - n / 2.0);
    for (int p = 0; p < n; ++p) {
        const double theta = fourierAngle(6, p, n) + 2 * aerial::kPi * 0.01 * rho / 0.5;
        EXPECT_NEAR(line.re[p], std::cos(theta), 1e-14);
        EXPECT_NEAR(line.im[p], std::sin(theta), 1e-14);
    }
}

TEST(LineTransform, DegenerateLengths) {
    setUpOptics(4);
    double re[1] = {3}, im[1] = {4};
    aerial::lineTransform(re, im, 1, aerial::kPassX);
    EXPECT_EQ(re[0], 0.0);
    EXPECT_EQ(im[0], 0.0);
    re[0] = 3;
    aerial::lineTransform(re, im, 0, aerial::kPassX);
    aerial::lineTransform(re, im, -2, aerial::kPassX);
    EXPECT_EQ(re[0], 3.0);
    static double longRe[aerial::kMaxLine + 1], longIm[aerial::kMaxLine + 1];
    longRe[0] = 5;
    aerial::lineTransform(longRe, longIm, aerial::kMaxLine + 1, aerial::kPassX);
    EXPECT_EQ(longRe[0], 5.0); // beyond the accumulators' capacity: unchanged
}

TEST(LineTransform, ZeroApertureTurnsTheLineIntoNaN) {
    setUpOptics(4);
    workspace().numericalAperture = 0;
    Line line(4);
    line.re[1] = 1;
    aerial::lineTransform(line.re.data(), line.im.data(), 4, aerial::kPassX);
    for (int p = 0; p < 4; ++p) EXPECT_TRUE(std::isnan(line.re[p])) << p;
}

// The two-dimensional transform.

TEST(PupilTransform, CentredImpulseBecomesOneEverywhere) {
    const int n = 16;
    setUpOptics(n);
    workspace().samplePitch = 0.01;
    workspace().wavelength = 0.193;
    workspace().numericalAperture = 0.75;
    workspace().defocus = 0.3;
    for (int j = 1; j <= 6; ++j) workspace().aberrX[j] = 0.01 * j, workspace().aberrY[j] = -0.02 * j;
    workspace().fieldRe[n / 2][n / 2] = 1;
    workspace().fieldRe[n][0] = 9; // outside the square
    aerial::pupilTransform2D();
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            ASSERT_EQ(workspace().fieldRe[x][y], 1.0) << x << "," << y;
            ASSERT_EQ(workspace().fieldIm[x][y], 0.0) << x << "," << y;
        }
    EXPECT_EQ(workspace().fieldRe[n][0], 9.0);
}

TEST(PupilTransform, FirstIndexIsTheXAxis) {
    const int n = 8, k = 2;
    for (bool alongX : {true, false}) {
        setUpOptics(n);
        workspace().defocus = 0.2;
        workspace().aberrX[2] = 0.05;
        workspace().aberrY[3] = -0.04;
        Line line(n);
        line.re[k] = 1;
        aerial::lineTransform(line.re.data(), line.im.data(), n,
                              alongX ? aerial::kPassX : aerial::kPassY);
        if (alongX)
            workspace().fieldRe[k][n / 2] = 1;
        else
            workspace().fieldRe[n / 2][k] = 1;
        aerial::pupilTransform2D();
        for (int a = 0; a < n; ++a)
            for (int b = 0; b < n; ++b) {
                const int x = alongX ? b : a, y = alongX ? a : b;
                EXPECT_NEAR(workspace().fieldRe[x][y], line.re[b], 1e-15) << x << "," << y;
                EXPECT_NEAR(workspace().fieldIm[x][y], line.im[b], 1e-15) << x << "," << y;
            }
    }
}

TEST(PupilTransform, DegenerateGrids) {
    setUpOptics(1);
    workspace().fieldRe[0][0] = 2;
    aerial::pupilTransform2D();
    EXPECT_EQ(workspace().fieldRe[0][0], 0.0);
    setUpOptics(0);
    workspace().fieldRe[0][0] = 2;
    aerial::pupilTransform2D();
    EXPECT_EQ(workspace().fieldRe[0][0], 2.0);
}
