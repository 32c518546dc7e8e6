// Generated gratings against imaging theory: the runs go through the input file the mask
// command writes and the library's whole pipeline, in a scratch folder.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "io/input_writer.h"
#include "io/result_table.h"
#include "masks/pattern_generator.h"
#include "optics/source_points.h"
#include "state/simulation_context.h"
#include "test_support.h"

using namespace aerial_tool;
using aerial::ParameterId;

namespace {

constexpr double kExactPi = 3.14159265358979323846;

PatternRequest grating(Tone tone, double pitch, double cd) {
    PatternRequest p;
    p.kind = PatternKind::kLines;
    p.tone = tone;
    p.pitch = pitch;
    p.cd = cd;
    return p;
}

InputParameters optics(double sigma) {
    InputParameters p = bundledExampleParameters(); // N 128 at 0.01 um, 193 nm, NA 0.75
    p[ParameterId::kSigma] = sigma;
    return p;
}

// Draws the pattern, writes its input into the current folder and runs it there.
void run(const PatternRequest& request, const InputParameters& parameters) {
    const Grid grid{static_cast<int>(parameters[ParameterId::kGridSize]),
                    parameters[ParameterId::kSamplePitch]};
    std::vector<aerial::MaskRectangle> rects;
    std::string error;
    ASSERT_TRUE(generatePattern(request, grid, rects, error)) << error;
    ASSERT_TRUE(fitPeriod(request.pitch, grid).whole);
    aerial_test::writeFile(aerial::kInputFileName, inputFileText(parameters, rects, "test"));
    aerial::runSimulation();
}

// The mask spectrum as the amplitude and phase tables give it.
std::vector<std::complex<double>> spectrumFromTables() {
    ResultTableData amplitude, phase;
    std::string error;
    EXPECT_TRUE(readResultTable(aerial::kSpectrumAmplitudeFileName, amplitude, error)) << error;
    EXPECT_TRUE(readResultTable(aerial::kSpectrumPhaseFileName, phase, error)) << error;
    std::vector<std::complex<double>> out;
    for (size_t k = 0; k < amplitude.values.size(); ++k) out.push_back(std::polar(amplitude.values[k], phase.values[k]));
    return out;
}

} // namespace

TEST(GratingPhysics, CoherentOneToOneGratingGivesTheThreeBeamImage) {
    // Clear spaces of 0.16 um at 0.32 um: 4 periods fill the 1.28 um grid. The orders sit
    // 128 / 32 = 4 spectral samples apart; the pupil radius is NA x 0.01 x 128 / 0.193 =
    // 4.97 samples, so at sigma 0 the 0 and +-1 orders pass and +-2 (and +-3) do not.
    // A 1:1 grating of transmission 0 and 1 has the Fourier coefficients a0 = 1/2 and
    // a1 = sin(pi/2) / pi = 1/pi, so the image is (a0 + 2 a1 cos(2 pi x / p))^2: peak
    // (a0 + 2 a1)^2 in the middle of a space, and in the middle of a line, where the
    // amplitude is at its minimum, (a0 - 2 a1)^2.
    aerial_test::ScratchFolder folder;
    const InputParameters p = optics(0);
    const aerial::DerivedOptics derived = aerial::deriveOptics(128, 0.01, 0.193, 0.75, 0);
    ASSERT_GE(derived.pupilRadius, 4);
    ASSERT_LT(derived.pupilRadius, 8);
    run(grating(Tone::kClear, 0.32, 0.16), p);

    const double a0 = 0.5, a1 = 1 / kExactPi;
    const double peak = (a0 + 2 * a1) * (a0 + 2 * a1), minimum = (a0 - 2 * a1) * (a0 - 2 * a1);
    const int c = 64;
    double highest = 0, lowest = 1e9;
    for (int x = 0; x < 128; ++x) {
        for (int y = 0; y < 128; ++y) {
            highest = std::fmax(highest, aerial::workspace().II[x][y]);
            lowest = std::fmin(lowest, aerial::workspace().II[x][y]);
            // Everywhere the three-beam image (the lines run along Y).
            const double u = a0 + 2 * a1 * std::cos(2 * kExactPi * (x - c) / 32.0);
            ASSERT_NEAR(aerial::workspace().II[x][y], u * u, 1e-9) << x << "," << y;
        }
    }
    EXPECT_NEAR(aerial::workspace().II[c][c], peak, 1e-9);      // 1.291905...
    EXPECT_NEAR(aerial::workspace().II[c + 16][c], minimum, 1e-9); // 0.018665...
    EXPECT_NEAR(highest, peak, 1e-9);
    // The amplitude is lowest in the middle of the line, a0 - 2 a1 < 0: it passes through
    // zero on either side, so the intensity there is a small local maximum between two
    // dark fringes, and the lowest sample is darker still.
    EXPECT_LT(lowest, minimum);
    // The image table carries the same to its six decimals.
    ResultTableData image;
    std::string error;
    ASSERT_TRUE(readResultTable(aerial::kImageIntensityFileName, image, error)) << error;
    EXPECT_NEAR(image.at(c, c), peak, 1e-6);
    EXPECT_NEAR(image.at(c + 16, c), minimum, 1e-6);
}

TEST(GratingPhysics, NoFirstOrderThroughThePupilLeavesAFlatImage) {
    // Spaces of 0.08 um at 0.16 um: the first orders are 8 spectral samples off axis. At
    // sigma 0.5 the source points are shifted by at most 2 samples after rounding, so no
    // point brings a first order within the pupil radius of 4.97: only the zero order
    // passes, and the image is flat at a0^2 = 1/4.
    aerial_test::ScratchFolder folder;
    const aerial::DerivedOptics derived = aerial::deriveOptics(128, 0.01, 0.193, 0.75, 0.5);
    for (const aerial::SourcePoint& s : derived.points) {
        ASSERT_TRUE(s.passes);
        for (int order : {-8, 8})
            ASSERT_GT((order + s.shiftX) * (order + s.shiftX) + s.shiftY * s.shiftY,
                      derived.pupilRadius * derived.pupilRadius);
    }
    run(grating(Tone::kClear, 0.16, 0.08), optics(0.5));
    for (int x = 0; x < 128; ++x)
        for (int y = 0; y < 128; ++y) ASSERT_NEAR(aerial::workspace().II[x][y], 0.25, 1e-9) << x << "," << y;
}

TEST(GratingPhysics, DarkLinesAndClearSpacesOfOneGratingAddUpToTheOpenFrame) {
    // The clear field of the dark-line grating and the spaces of the clear-space grating
    // of the same pitch, CD and placement tile the grid exactly once, so their mask
    // spectra add up to the open frame's: 1 at the zero frequency, 0 elsewhere.
    std::vector<std::complex<double>> dark, clear, open;
    {
        aerial_test::ScratchFolder folder;
        run(grating(Tone::kDark, 0.256, 0.1), optics(0.5));
        dark = spectrumFromTables();
    }
    {
        aerial_test::ScratchFolder folder;
        run(grating(Tone::kClear, 0.256, 0.1), optics(0.5));
        clear = spectrumFromTables();
    }
    {
        aerial_test::ScratchFolder folder;
        aerial_test::writeFile(aerial::kInputFileName,
                               inputFileText(optics(0.5), {{1, 0, -64, 64, -64, 64}}, "open frame"));
        aerial::runSimulation();
        open = spectrumFromTables();
    }
    ASSERT_EQ(dark.size(), 128u * 128u);
    ASSERT_EQ(clear.size(), dark.size());
    ASSERT_EQ(open.size(), dark.size());
    EXPECT_NEAR(std::abs(open[64 * 128 + 64] - 1.0), 0, 1e-6);
    // The gratings themselves are far from zero off axis (the first orders, ~0.25 for a
    // 0.1 / 0.256 grating), so the sum is a real test.
    double largestOffAxis = 0;
    for (size_t k = 0; k < dark.size(); ++k) {
        // Each table value carries six decimals: amplitude and phase rounding.
        ASSERT_NEAR(std::abs(dark[k] + clear[k] - open[k]), 0, 4e-6) << "at " << k % 128 << "," << k / 128;
        if (k != 64 * 128 + 64) largestOffAxis = std::fmax(largestOffAxis, std::abs(clear[k]));
    }
    EXPECT_GT(largestOffAxis, 0.2);
}
