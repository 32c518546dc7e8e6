// Image metrics on profiles with known answers, and the table reader against the
// library's own table writer.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/metrics.h"
#include "output/result_tables.h"
#include "io/result_table.h"
#include "state/simulation_state.h"
#include "test_support.h"

using namespace aerial_tool;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Flat at 0 up to x = 4, rising linearly to 1 at x = 8, flat to 12, falling to 0 at 16,
// flat to 20: every crossing lies on a straight edge, so interpolation is exact.
Profile trapezoid() {
    Profile p;
    for (int i = 0; i <= 20; ++i) {
        double x = i;
        double v = x <= 4 ? 0 : x <= 8 ? (x - 4) / 4 : x <= 12 ? 1 : x <= 16 ? (16 - x) / 4 : 0;
        p.position.push_back(x);
        p.intensity.push_back(v);
    }
    return p;
}

} // namespace

TEST(Metrics, TrapezoidGivesExactCrossingsWidthsAndSlopes) {
    CutMetrics m = measureProfile(trapezoid(), 0.25);
    EXPECT_EQ(m.peak, 1);
    EXPECT_EQ(m.peakPosition, 8);
    EXPECT_EQ(m.minimum, 0);
    EXPECT_EQ(m.contrast, 1);
    ASSERT_EQ(m.crossings.size(), 2u);
    EXPECT_DOUBLE_EQ(m.crossings[0].position, 5);
    EXPECT_DOUBLE_EQ(m.crossings[1].position, 15);
    EXPECT_DOUBLE_EQ(m.crossings[0].slope, 0.25);
    EXPECT_DOUBLE_EQ(m.crossings[1].slope, -0.25);
    EXPECT_DOUBLE_EQ(m.crossings[0].logSlope, 1.0); // |dI/dx| / T
    EXPECT_DOUBLE_EQ(m.crossings[0].nils, 10.0);    // times the bright run's width
    ASSERT_EQ(m.runs.size(), 3u);
    EXPECT_FALSE(m.runs[0].bright);
    EXPECT_FALSE(m.runs[0].bounded);
    EXPECT_TRUE(m.runs[1].bright);
    EXPECT_TRUE(m.runs[1].bounded);
    EXPECT_DOUBLE_EQ(m.runs[1].width(), 10);
    EXPECT_EQ(m.runs[2].end, 20);
    EXPECT_FALSE(m.runs[2].bounded);
    EXPECT_EQ(runAt(m, 10), &m.runs[1]);
    EXPECT_EQ(runAt(m, 25), nullptr);
}

TEST(Metrics, DarkLineOnBrightFieldNormalisesByTheLine) {
    Profile p = trapezoid();
    for (double& v : p.intensity) v = 1 - v;
    CutMetrics m = measureProfile(p, 0.75);
    ASSERT_EQ(m.crossings.size(), 2u);
    EXPECT_DOUBLE_EQ(m.runs[1].width(), 10);
    EXPECT_FALSE(m.runs[1].bright);
    EXPECT_DOUBLE_EQ(m.crossings[0].slope, -0.25);
    EXPECT_DOUBLE_EQ(m.crossings[0].logSlope, 0.25 / 0.75);
    EXPECT_DOUBLE_EQ(m.crossings[0].nils, 10 * 0.25 / 0.75);
}

TEST(Metrics, SampledCosineMatchesTheAnalyticCrossingsAndSlopes) {
    // I = 0.6 + 0.4 cos(2 pi x / P), sampled finely: contrast 0.8 / 1.2, and at T = 0.5 the
    // crossings sit at +-x0 + k P with x0 = acos(-0.25) P / (2 pi), slope 0.4 (2 pi / P) sin.
    const double period = 1.0, h = 1.0 / 256;
    Profile p;
    for (int i = -256; i <= 256; ++i) {
        p.position.push_back(i * h);
        p.intensity.push_back(0.6 + 0.4 * std::cos(2 * kPi * i * h / period));
    }
    CutMetrics m = measureProfile(p, 0.5);
    EXPECT_DOUBLE_EQ(m.peak, 1.0);
    EXPECT_NEAR(m.contrast, 0.8 / 1.2, 1e-12);
    const double x0 = std::acos(-0.25) * period / (2 * kPi);
    const double slope = 0.4 * 2 * kPi / period * std::sin(2 * kPi * x0 / period);
    // The segment's slope is the profile's slope within |I''| h / 2 at its ends.
    const double slopeBound = 0.4 * (2 * kPi / period) * (2 * kPi / period) * h / 2;
    ASSERT_EQ(m.crossings.size(), 4u);
    const double expected[4] = {-period + x0, -x0, x0, period - x0};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(m.crossings[k].position, expected[k], 2e-5) << k;
        EXPECT_NEAR(std::fabs(m.crossings[k].slope), slope, slopeBound) << k;
        EXPECT_NEAR(m.crossings[k].logSlope, slope / 0.5, slopeBound / 0.5) << k;
    }
    EXPECT_GT(m.crossings[1].slope, 0); // rising into the bright run round x = 0
    const aerial_tool::Run* centre = runAt(m, 0);
    ASSERT_NE(centre, nullptr);
    EXPECT_TRUE(centre->bright);
    EXPECT_NEAR(centre->width(), 2 * x0, 4e-5);
    EXPECT_NEAR(m.crossings[1].nils, m.crossings[1].logSlope * centre->width(), 1e-12);
}

TEST(Metrics, ThresholdEdgeCases) {
    Profile flat{{0, 1, 2}, {0.5, 0.5, 0.5}};
    CutMetrics never = measureProfile(flat, 0.8);
    EXPECT_TRUE(never.crossings.empty());
    ASSERT_EQ(never.runs.size(), 1u);
    EXPECT_FALSE(never.runs[0].bright);
    EXPECT_FALSE(never.runs[0].bounded);
    // A sample exactly on the threshold counts as bright: the crossing is at that sample.
    Profile step{{0, 1, 2, 3}, {0, 0.5, 1, 0}};
    CutMetrics m = measureProfile(step, 0.5);
    ASSERT_EQ(m.crossings.size(), 2u);
    EXPECT_EQ(m.crossings[0].position, 1);
    EXPECT_DOUBLE_EQ(m.crossings[1].position, 2.5);
    EXPECT_TRUE(measureProfile(trapezoid(), 2.0).crossings.empty()); // above the peak
    CutMetrics none = measureProfile(step, std::nullopt);
    EXPECT_TRUE(none.runs.empty());
    EXPECT_EQ(none.peak, 1);
}

TEST(ResultTableReader, ReadsWhatTheLibraryWritesInPlaneOrientation) {
    aerial_test::ScratchFolder folder;
    aerial::SimulationState& s = aerial::workspace;
    s.gridSize = 4;
    s.samplePitch = 0.25;
    s.wavelength = 1;
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y) s.II[x][y] = x + 10 * y + 0.5;
    aerial::writeResultTables(aerial::kImageIntensity);
    ResultTableData t;
    std::string error;
    ASSERT_TRUE(readResultTable(aerial::kImageIntensityFileName, t, error)) << error;
    ASSERT_EQ(t.size, 4);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y) EXPECT_EQ(t.at(x, y), s.II[x][y]);
    EXPECT_EQ(t.xLabels[2], 0); // c = N/2 sits at position 0
    EXPECT_EQ(t.yLabels[0], -0.5);
    EXPECT_DOUBLE_EQ(t.xStep(), 0.25);

    // Cuts: along X at the centre row, along Y at the centre column, and moved by --at.
    int index = -1;
    ASSERT_TRUE(selectCut(t, CutAxis::kX, 0, index, error));
    EXPECT_EQ(index, 2);
    Profile row = cutProfile(t, CutAxis::kX, index);
    EXPECT_EQ(row.intensity[3], s.II[3][2]);
    EXPECT_EQ(row.position[0], -0.5);
    ASSERT_TRUE(selectCut(t, CutAxis::kY, 0.26, index, error));
    EXPECT_EQ(index, 3);
    EXPECT_EQ(cutProfile(t, CutAxis::kY, index).intensity[1], s.II[3][1]);
    EXPECT_FALSE(selectCut(t, CutAxis::kX, 0.6, index, error));
    EXPECT_NE(error.find("outside the grid"), std::string::npos);
}

TEST(ResultTableReader, RejectsTextThatIsNoTable) {
    ResultTableData t;
    std::string error;
    EXPECT_FALSE(parseResultTable("title\r\n", t, error));
    EXPECT_FALSE(parseResultTable("title\r\n\t1\t2\t\r\n1\t5\t6\t\r\n", t, error)); // one row short
    EXPECT_NE(error.find("expected 2 rows"), std::string::npos);
    EXPECT_FALSE(parseResultTable("title\r\n\t1\t2\t\r\n1\t5\tx\t\r\n2\t7\t8\t\r\n", t, error));
    EXPECT_TRUE(parseResultTable("title\r\n\t1\t2\t\r\n1\t5\t6\t\r\n2\t7\t8\t\r\n\r\n", t, error));
    EXPECT_EQ(t.at(1, 0), 6);
    EXPECT_EQ(t.at(0, 1), 7);
}
