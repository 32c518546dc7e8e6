// The measurement on the continuous image, against answers written from the physics: a
// trigonometric polynomial's own roots and slopes, the model's image between its samples
// (the same mask moved by half a sample), a grating's image as the Abbe sum of its
// diffraction orders, and the area of a coherent four-beam image by quadrature.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/feature_gauge.h"
#include "analysis/image_samples.h"
#include "analysis/metrics.h"
#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "io/result_table.h"
#include "io/run_folder.h"
#include "test_support.h"

using namespace aerial_tool;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The root of f on [a, b], where f(a) and f(b) have opposite signs, by bisection.
double bisect(const std::function<double(double)>& f, double a, double b) {
    const bool rising = f(a) < 0;
    for (int k = 0; k < 200; ++k) {
        const double m = a + (b - a) / 2;
        if (m == a || m == b) break;
        ((f(m) < 0) == rising ? a : b) = m;
    }
    return a + (b - a) / 2;
}

// A table's value as "%f" prints it.
double printed(double v) { return std::round(v * 1e6) / 1e6; }

// An image constant along Y whose rows are f, N samples at pitch h, positions (p - N/2) h.
ImageSamples rowsOf(const std::function<double(double)>& f, int n, double h, double pupilRadius, bool print) {
    ImageSamples image;
    image.size = n;
    image.samplePitch = h;
    image.pupilRadius = pupilRadius;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) image.values.push_back(print ? printed(f(image.position(x))) : f(image.position(x)));
    return image;
}

// Runs the model on the input in the current folder and reads its image as samples.
ImageSamples runModel(const aerial_test::TestInput& draft) {
    aerial_test::writeInput(draft);
    aerial::runSimulation();
    ResultTableData table;
    std::string error;
    EXPECT_TRUE(readResultTable(aerial::kImageIntensityFileName, table, error)) << error;
    const RunInput input = readRunInput(".");
    ImageSamples image;
    EXPECT_TRUE(input.values && imageSamples(table, *input.values, image, error)) << error;
    return image;
}

} // namespace

TEST(ContinuousImage, ATrigonometricPolynomialIsRecoveredWithItsRootsSlopesAndExtrema) {
    // I(x) = 0.55 + 0.3 cos(2 phi) + 0.12 sin(3 phi) - 0.05 cos(6 phi), phi = 2 pi x / L: degree 6,
    // on 32 samples (6 < 32 / 2), with a pupil radius of 3.4 samples (2 floor(3.4) = 6).
    const int n = 32;
    const double h = 0.02, length = n * h;
    auto phi = [&](double x) { return 2 * kPi * x / length; };
    auto intensity = [&](double x) {
        return 0.55 + 0.3 * std::cos(2 * phi(x)) + 0.12 * std::sin(3 * phi(x)) - 0.05 * std::cos(6 * phi(x));
    };
    auto slope = [&](double x) {
        const double w = 2 * kPi / length;
        return w * (-0.6 * std::sin(2 * phi(x)) + 0.36 * std::cos(3 * phi(x)) + 0.3 * std::sin(6 * phi(x)));
    };
    const double t = 0.5;
    // Its crossings of t, found on the formula: sign changes on a fine scan, then bisection.
    std::vector<double> roots;
    const double first = -length / 2;
    for (int k = 0; k < 4096; ++k) {
        const double a = first + length * k / 4096, b = first + length * (k + 1) / 4096;
        if ((intensity(a) >= t) != (intensity(b) >= t))
            roots.push_back(bisect([&](double x) { return intensity(x) - t; }, a, b));
    }
    ASSERT_GE(roots.size(), 2u);
    double peak = 0;
    for (int k = 0; k < 4096; ++k) {
        const double a = first + length * k / 4096, b = first + length * (k + 1) / 4096;
        if (slope(a) > 0 && slope(b) <= 0) peak = std::fmax(peak, intensity(bisect(slope, a, b)));
    }

    // Exact samples are matched to rounding; printed ones (six decimals, as the tables) to
    // what 5e-7 in the intensity moves an edge: 5e-7 x (Lebesgue constant, about 2.5) / |I'|.
    for (bool print : {false, true}) {
        const ImageSamples image = rowsOf(intensity, n, h, 3.4, print);
        ASSERT_EQ(image.degree(), 6);
        Profile cut;
        double across = 0;
        std::string error;
        ASSERT_TRUE(imageCut(image, CutAxis::kX, 0.013, cut, across, error)) << error; // between two rows
        ASSERT_FALSE(cut.sampled());
        const CutMetrics m = measureProfile(cut, t);
        ASSERT_EQ(m.crossings.size(), roots.size()) << print;
        for (size_t k = 0; k < roots.size(); ++k) {
            const double bound = print ? 1.25e-6 / std::fabs(slope(roots[k])) : 1e-12;
            EXPECT_NEAR(m.crossings[k].position, roots[k], bound) << print << " crossing " << k;
            EXPECT_NEAR(m.crossings[k].slope, slope(roots[k]), print ? 2e-4 : 1e-10) << print << " crossing " << k;
        }
        EXPECT_NEAR(m.peak, peak, print ? 1.25e-6 : 1e-12);
    }
    // The same samples with a pupil whose degree reaches N / 2 are measured on the samples.
    const ImageSamples coarse = rowsOf(intensity, n, h, 8.2, true);
    EXPECT_EQ(coarse.degree(), -1);
    Profile cut;
    double across = 0;
    std::string error;
    ASSERT_TRUE(imageCut(coarse, CutAxis::kX, 0.013, cut, across, error));
    EXPECT_TRUE(cut.sampled());
    EXPECT_EQ(across, 0.02); // the nearest row
    EXPECT_STREQ(imageKindText(cut), "sampled");
    EXPECT_EQ(imageBasisText(coarse), "sampled (2 floor(R) = 16, R = 8.2, is not below N/2 = 16)");
}

TEST(ContinuousImage, APeriodsContrastIsThatOfItsExtremaWhateverTheThreshold) {
    // I = 0.6 - 0.4 cos(theta) + 0.1 cos(2 theta), theta = 2 pi x / P, P a quarter of the grid:
    // dI/dtheta = 0.4 sin(theta) (1 - cos(theta)) vanishes at 0 and pi only, so over a period
    // the minimum is I(0) = 0.3 and the peak I(P / 2) = 1.1, between the samples when P / 2
    // is not on one. Contrast (1.1 - 0.3) / (1.1 + 0.3) at every threshold, over the pattern's
    // period or over the line and its neighbours alike.
    const int n = 36;
    const double h = 0.01, period = n * h / 4;
    auto intensity = [&](double x) {
        const double theta = 2 * kPi * x / period;
        return 0.6 - 0.4 * std::cos(theta) + 0.1 * std::cos(2 * theta);
    };
    ImageSamples image = rowsOf(intensity, n, h, 4.5, true);
    for (const std::optional<double> pattern : {std::optional<double>(period), std::optional<double>()}) {
        FeatureGauge gauge;
        std::string error;
        ASSERT_TRUE(prepareGauge(image, CutChoice{}, PatternPeriods{pattern, {}}, gauge, error)) << error;
        for (double t : {0.45, 0.7, 0.95}) {
            const FeatureMetrics f = gaugeFeature(gauge, t, false);
            ASSERT_EQ(f.status, FeatureStatus::kMeasured) << t;
            EXPECT_NEAR(f.peak, 1.1, 1e-6) << t;
            EXPECT_NEAR(std::fabs(f.peakPosition), period / 2, 1e-6) << t;
            EXPECT_NEAR(f.minimum, 0.3, 1e-6) << t;
            EXPECT_NEAR(f.contrast, 0.8 / 1.4, 1e-6) << t;
        }
    }
}

TEST(ContinuousImage, TheModelsImageBetweenItsSamplesIsTheImageOfTheMaskMovedBy) {
    // The bundled example, and the same mask moved by half a sample along X and a quarter
    // along Y: the second image's samples are the first image's continuous image at
    // (x - h/2, y - h/4), within the two tables' print rounding (2 x 5e-7) and the fit's.
    aerial_test::ScratchFolder folder;
    aerial_test::TestInput draft = aerial_test::twoRectangleExample();
    const ImageSamples image = runModel(draft);
    ASSERT_EQ(image.degree(), 8); // R = 0.75 x 0.01 x 128 / 0.193 = 4.97
    for (aerial_test::Rect& r : draft.rects) {
        r.xStart += 0.5;
        r.xEnd += 0.5;
        r.yStart += 0.25;
        r.yEnd += 0.25;
    }
    const ImageSamples moved = runModel(draft);
    const double h = image.samplePitch;
    double worst = 0;
    for (int y = 0; y < image.size; y += 3) {
        Profile cut;
        double across = 0;
        std::string error;
        ASSERT_TRUE(imageCut(image, CutAxis::kX, image.position(y) - h / 4, cut, across, error));
        for (int x = 0; x < image.size; ++x)
            worst = std::fmax(worst, std::fabs(trigValue(*cut.continuous, image.position(x) - h / 2) - moved.at(x, y)));
    }
    EXPECT_LT(worst, 1.5e-6);
}

TEST(ContinuousImage, OnAnOddGridSampleZeroLiesHalfASampleBeforeTheIntegerCentre) {
    // A clear space centred on 0 in the mask's coordinates, N = 65: the line transform
    // centres its coordinates at N / 2.0 = 32.5, so sample p lies at (p - 32.5) h and the
    // measured space is centred on 0 (on the integer centre index it would be half a
    // sample off).
    aerial_test::ScratchFolder folder;
    aerial_test::TestInput draft;
    draft.gridSize = "65";
    draft.rects = {{1, 0, -10, 10, -32, 32}};
    const ImageSamples image = runModel(draft);
    ASSERT_EQ(image.position(32), -0.005);
    FeatureGauge gauge;
    std::string error;
    ASSERT_TRUE(prepareGauge(image, CutChoice{}, {}, gauge, error)) << error;
    const FeatureMetrics f = gaugeFeature(gauge, 0.5, true);
    ASSERT_EQ(f.status, FeatureStatus::kMeasured);
    EXPECT_NEAR((f.start + f.end) / 2, 0, 1e-7);
    EXPECT_NEAR(f.left.slope, -f.right.slope, 1e-4);
}

namespace {

// The image of a field-filling grating, as the model forms it, written from the physics:
// dark lines of width w (transmission 0) centred on the multiples of the pitch P on a clear
// field. Its diffraction orders are the Fourier coefficients a_0 = 1 - w/P and a_n =
// -sin(pi n w / P) / (pi n); on a grid of whole periods (k = N h / P of them) order n lies
// on spectral sample n k. Each of the 13 source points (j, l), j^2 + l^2 <= 4, moves the
// spectrum by the rounded shifts (sx, sy) = nearest integers (halves up) of (j, l) NA
// sigma / 2 h N / wavelength, and the pupil passes order n when (n k - sx)^2 + sy^2 <= R^2
// (R = NA h N / wavelength, the rim included) and both the moved and the unmoved sample lie
// on the grid. The coherent image of a source point is |sum of the passed a_n e^(2 pi i n x
// / P)|^2 (its tilt is a common phase), and the image is the mean over the 13.
struct Grating {
    double pitch, cd;
    int n;
    double h, wavelength, na, sigma;

    // I(x) and dI/dx.
    std::pair<double, double> at(double x) const {
        const double radius = ((na * h) * n) / wavelength;
        const int k = static_cast<int>(std::lround(n * h / pitch));
        const int c = n / 2;
        auto shift = [&](int j) { return static_cast<int>(std::floor((((((j * na) * sigma) / 2.0) * h) * n) / wavelength + 0.5)); };
        double sum = 0, slope = 0;
        for (int j = -2; j <= 2; ++j) {
            for (int l = -2; l <= 2; ++l) {
                if (j * j + l * l > 4) continue;
                const int sx = shift(j), sy = shift(l);
                std::complex<double> a = 0, da = 0;
                for (int order = -n; order <= n; ++order) {
                    const int f = order * k - sx;
                    const bool onGrid = c + f >= 0 && c + f < n && c + order * k >= 0 && c + order * k < n;
                    if (!onGrid || static_cast<double>(f * f + sy * sy) > radius * radius) continue;
                    const double an = order == 0 ? 1 - cd / pitch : -std::sin(kPi * order * cd / pitch) / (kPi * order);
                    const std::complex<double> wave = std::polar(1.0, 2 * kPi * order * x / pitch);
                    a += an * wave;
                    da += an * std::complex<double>(0, 2 * kPi * order / pitch) * wave;
                }
                sum += std::norm(a);
                slope += 2 * std::real(std::conj(a) * da);
            }
        }
        return {sum / 13, slope / 13};
    }

    // The dark line round 0 at threshold t: its CD and its edges' NILS.
    std::pair<double, double> cdAndNils(double t) const {
        const double edge = bisect([&](double x) { return at(x).first - t; }, 0, pitch / 2);
        return {2 * edge, std::fabs(at(edge).second) / t * 2 * edge};
    }
};

// The grating's input: clear rectangles between lines centred on multiples of the pitch,
// in samples, written out by hand.
aerial_test::TestInput gratingInput(const Grating& g) {
    aerial_test::TestInput draft;
    draft.gridSize = std::to_string(g.n);
    draft.samplePitch = g.h;
    draft.wavelength = g.wavelength;
    draft.numericalAperture = g.na;
    draft.sigma = g.sigma;
    const double p = g.pitch / g.h, w = g.cd / g.h, half = g.n / 2.0;
    for (int line = static_cast<int>(std::floor(-half / p)) - 1; line * p < half; ++line) {
        const double from = std::fmax(line * p + w / 2, -half), to = std::fmin((line + 1) * p - w / 2, half);
        if (to > from) draft.rects.push_back({1, 0, from, to, -half, half});
    }
    return draft;
}

} // namespace

TEST(ContinuousImage, AGratingMeasuresAsItsAbbeSumAtEverySamplingAndUnit) {
    // Lines of 0.09 um at a pitch of 0.32 um at threshold 0.35, on 128 samples of 0.01 um and
    // 64 of 0.02 um (the same field, the same rounded source), in um and in m; and lines at
    // 0.256 um pitch at threshold 0.25, a faint line near the image's maximum. Measured from
    // the model's own tables: CD within 0.02 nm, NILS within 0.5 % (2 % for the faint line).
    struct Case {
        Grating g;
        double threshold, nilsTolerance;
    } cases[] = {
        {{0.32, 0.09, 128, 0.01, 0.193, 0.75, 0.5}, 0.35, 0.005},
        {{0.32, 0.09, 64, 0.02, 0.193, 0.75, 0.5}, 0.35, 0.005},
        {{0.32e-6, 0.09e-6, 128, 0.01e-6, 0.193e-6, 0.75, 0.5}, 0.35, 0.005},
        {{0.32e-6, 0.09e-6, 64, 0.02e-6, 0.193e-6, 0.75, 0.5}, 0.35, 0.005},
        {{0.256, 0.09, 128, 0.01, 0.193, 0.75, 0.5}, 0.25, 0.02},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("pitch " + std::to_string(c.g.pitch) + " on " + std::to_string(c.g.n) + " x " +
                     std::to_string(c.g.h));
        aerial_test::ScratchFolder folder;
        const ImageSamples image = runModel(gratingInput(c.g));
        ASSERT_GE(image.degree(), 0);
        // The closed form is the model's image: every printed sample within its rounding.
        double worst = 0;
        for (int y = 0; y < image.size; y += 7)
            for (int x = 0; x < image.size; ++x)
                worst = std::fmax(worst, std::fabs(image.at(x, y) - c.g.at(image.position(x)).first));
        EXPECT_LE(worst, 5.000001e-7);

        FeatureGauge gauge;
        std::string error;
        ASSERT_TRUE(prepareGauge(image, CutChoice{}, {}, gauge, error)) << error;
        ASSERT_FALSE(gaugeBright(gauge)); // a dark line at 0
        const FeatureMetrics f = gaugeFeature(gauge, c.threshold, false);
        ASSERT_EQ(f.status, FeatureStatus::kMeasured);
        const auto [cd, nils] = c.g.cdAndNils(c.threshold);
        const double nm = 1e-3 * c.g.wavelength / 0.193; // 1 nm in the case's unit (um or m)
        EXPECT_NEAR(f.cd, cd, 0.02 * nm);
        EXPECT_NEAR(f.left.nils, nils, c.nilsTolerance * nils);
        EXPECT_NEAR(f.right.nils, nils, c.nilsTolerance * nils);
    }
}

TEST(FeatureArea, AFourBeamImageHasTheAreaItsContourEncloses) {
    // The coherent image of four beams and the undiffracted light, amplitude A = cos(k x) +
    // b cos(q y) + a0 with 2 and 3 periods on a grid of 64 x 0.01 um, intensity A^2 (degree
    // 6, a pupil radius of 3.5 samples). At a threshold t = s^2 with 1 - b + a0 < s (above the
    // saddles between the bright spots) the hole round the origin is {A >= s}: at each x
    // within |x| <= acos(s - b - a0) / k, |y| <= acos((s - a0 - cos k x) / b) / q. Its CD along X
    // and along Y are the two widths through the origin, and its area the integral of the
    // height, here by the midpoint rule on 200000 strips (the integrand is a square root at
    // the ends: an error of about 1e-8 of the area).
    const int n = 64;
    const double h = 0.01, length = n * h, k = 2 * kPi * 2 / length, q = 2 * kPi * 3 / length, b = 0.8, a0 = 0.1;
    ImageSamples image;
    image.size = n;
    image.samplePitch = h;
    image.pupilRadius = 3.5;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double a = std::cos(k * image.position(x)) + b * std::cos(q * image.position(y)) + a0;
            image.values.push_back(printed(a * a));
        }
    }
    // The contour is that of the image linear on the triangles of an 8 x finer grid: it
    // lies off the true one by at most h_f^2 / 8 x |I''| / |grad I| (h_f = h / 8), about
    // 2e-6 um here, and the area by that times the perimeter (about 0.6 um): 2e-4 of the
    // area at the smaller threshold. The tolerance, 5e-4 of the area, allows for the
    // print rounding of the samples too.
    for (double s : {0.5, 1.2}) {
        const double t = s * s;
        const double halfX = std::acos(s - b - a0) / k, halfY = std::acos((s - a0 - 1) / b) / q;
        const int strips = 200000;
        double area = 0;
        for (int i = 0; i < strips; ++i) {
            const double x = -halfX + (i + 0.5) * 2 * halfX / strips;
            const double c = std::fmin(1.0, std::fmax(-1.0, (s - a0 - std::cos(k * x)) / b));
            area += 2 * std::acos(c) / q * (2 * halfX / strips);
        }
        std::string error;
        FeatureGauge cdX, cdY, hole;
        ASSERT_TRUE(prepareGauge(image, CutChoice{CutAxis::kX, 0, 0, Measure::kCd}, {}, cdX, error)) << error;
        ASSERT_TRUE(prepareGauge(image, CutChoice{CutAxis::kX, 0, 0, Measure::kCdY}, {}, cdY, error)) << error;
        ASSERT_TRUE(prepareGauge(image, CutChoice{CutAxis::kX, 0, 0, Measure::kArea}, {}, hole, error)) << error;
        ASSERT_TRUE(gaugeBright(hole));
        EXPECT_NEAR(gaugeFeature(cdX, t, true).cd, 2 * halfX, 1e-6) << s;
        EXPECT_NEAR(gaugeFeature(cdY, t, true).cd, 2 * halfY, 1e-6) << s;
        const FeatureMetrics f = gaugeFeature(hole, t, true);
        ASSERT_EQ(figureStatus(f, Measure::kArea), FeatureStatus::kMeasured) << s;
        EXPECT_NEAR(figureOf(f, Measure::kArea), area, 5e-4 * area) << s;
    }
    // Below the saddles at (0, +-pi / q), where A = 1 - b + a0 = 0.3, the bright spots join
    // along Y into lines round the grid: merged. Above the peak 1 + b + a0 the place is dark.
    FeatureGauge hole;
    std::string error;
    ASSERT_TRUE(prepareGauge(image, CutChoice{CutAxis::kX, 0, 0, Measure::kArea}, {}, hole, error));
    EXPECT_EQ(figureStatus(gaugeFeature(hole, 0.25 * 0.25, true), Measure::kArea), FeatureStatus::kMerged);
    EXPECT_EQ(figureStatus(gaugeFeature(hole, 1.95 * 1.95, true), Measure::kArea), FeatureStatus::kNotPrinted);
}
