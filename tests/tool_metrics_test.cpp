// Image metrics on profiles with known answers, and the table reader against the
// library's own table writer.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/metrics.h"
#include "input/input_layout.h"
#include "output/result_tables.h"
#include "io/result_table.h"
#include "state/simulation_context.h"
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
    // 21 samples: one period of 21, so the dark run from 15 continues across the grid
    // edge to 5 + 21 and is 11 wide, not cut at the edge.
    const Profile p = trapezoid();
    EXPECT_EQ(profilePeriod(p), 21);
    CutMetrics m = measureProfile(p, 0.25);
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
    ASSERT_EQ(m.runs.size(), 2u);
    EXPECT_TRUE(m.runs[0].bright);
    EXPECT_DOUBLE_EQ(m.runs[0].width, 10);
    EXPECT_FALSE(m.runs[0].acrossEdge());
    EXPECT_FALSE(m.runs[1].bright);
    EXPECT_DOUBLE_EQ(m.runs[1].width, 11);
    EXPECT_TRUE(m.runs[1].acrossEdge());
    EXPECT_EQ(runIndexAt(m, p, 10), 0);
    EXPECT_EQ(runIndexAt(m, p, 20), 1);
    EXPECT_EQ(runIndexAt(m, p, 1), 1);

    const FeatureMetrics f = measureFeature(p, m, 10);
    EXPECT_TRUE(f.bright);
    EXPECT_EQ(f.status, FeatureStatus::kMeasured);
    EXPECT_DOUBLE_EQ(f.cd, 10);
    EXPECT_DOUBLE_EQ(f.left.position, 5);
    EXPECT_DOUBLE_EQ(f.right.slope, -0.25);
    EXPECT_DOUBLE_EQ(f.right.nils, 10.0);
}

TEST(Metrics, ARunAcrossTheGridEdgeIsOneFeature) {
    // The trapezoid moved by half a period: the bright run now reaches both ends of the
    // grid, and the crossing between the last and the first sample is found too.
    Profile p = trapezoid();
    const int n = static_cast<int>(p.intensity.size());
    Profile moved = p;
    for (int i = 0; i < n; ++i) moved.intensity[i] = p.intensity[(i + 10) % n];
    CutMetrics m = measureProfile(moved, 0.25);
    ASSERT_EQ(m.crossings.size(), 2u);
    const FeatureMetrics f = measureFeature(moved, m, 0);
    ASSERT_EQ(f.status, FeatureStatus::kMeasured);
    EXPECT_DOUBLE_EQ(f.cd, 10);
    EXPECT_DOUBLE_EQ(f.start, 16); // 5 + 21 - 10
    EXPECT_DOUBLE_EQ(f.end, 5);
    // The same edge slopes and NILS at both edges, as in the unmoved profile.
    EXPECT_DOUBLE_EQ(f.left.slope, 0.25);
    EXPECT_DOUBLE_EQ(f.left.nils, 10);
    EXPECT_DOUBLE_EQ(f.right.nils, 10);
}

TEST(Metrics, DarkLineOnBrightFieldNormalisesByTheLine) {
    Profile p = trapezoid();
    for (double& v : p.intensity) v = 1 - v;
    CutMetrics m = measureProfile(p, 0.75, false);
    ASSERT_EQ(m.crossings.size(), 2u);
    EXPECT_DOUBLE_EQ(m.runs[0].width, 10);
    EXPECT_FALSE(m.runs[0].bright);
    EXPECT_DOUBLE_EQ(m.crossings[0].slope, -0.25);
    EXPECT_DOUBLE_EQ(m.crossings[0].logSlope, 0.25 / 0.75);
    EXPECT_DOUBLE_EQ(m.crossings[0].nils, 10 * 0.25 / 0.75);
    const FeatureMetrics f = measureFeature(p, m, 10);
    EXPECT_FALSE(f.bright);
    EXPECT_DOUBLE_EQ(f.cd, 10);
    EXPECT_DOUBLE_EQ(f.left.nils, 10 * 0.25 / 0.75);
}

TEST(Metrics, FeatureContrastIsOverItsOwnPeriodNotTheWholeCut) {
    // Three bright bumps (peak 1) on a floor of 0.2 between them and a dark field of 0
    // beside them: the middle bump's period holds the bump and the two floors beside it,
    // so its minimum is 0.2 and its contrast (1 - 0.2) / (1 + 0.2), not 1.
    Profile p;
    const double values[] = {0, 0, 0, 1, 0.2, 1, 0.2, 1, 0, 0, 0, 0};
    for (int i = 0; i < 12; ++i) {
        p.position.push_back(i - 6);
        p.intensity.push_back(values[i]);
    }
    CutMetrics m = measureProfile(p, 0.5);
    EXPECT_EQ(m.minimum, 0);
    ASSERT_EQ(m.runs.size(), 6u);
    const FeatureMetrics f = measureFeature(p, m, -1); // the bump at sample 5
    ASSERT_EQ(f.status, FeatureStatus::kMeasured);
    EXPECT_DOUBLE_EQ(f.cd, 1.25); // crossings 3/8 and 5/8 of the way from the floor up and down
    EXPECT_EQ(f.peak, 1);
    EXPECT_EQ(f.minimum, 0.2);
    EXPECT_DOUBLE_EQ(f.contrast, 0.8 / 1.2);
    EXPECT_EQ(m.contrast, 1);
}

TEST(Metrics, StatusesSayWhyThereIsNoCd) {
    Profile flat{{0, 1, 2, 3}, {0.5, 0.5, 0.5, 0.5}};
    struct Case {
        double threshold;
        bool bright;
        FeatureStatus expected;
    } cases[] = {
        {0.4, true, FeatureStatus::kMerged},      // a space bright all round
        {0.6, true, FeatureStatus::kNotPrinted},  // a space that is dark
        {0.6, false, FeatureStatus::kMerged},     // a line dark all round
        {0.4, false, FeatureStatus::kNotPrinted}, // a line that is bright
    };
    for (const Case& c : cases) {
        const FeatureMetrics f = featureAtThreshold(flat, 1, c.bright, c.threshold);
        EXPECT_EQ(f.status, c.expected) << c.threshold << " " << c.bright;
        EXPECT_TRUE(std::isnan(f.cd));
        EXPECT_TRUE(std::isnan(f.left.nils));
        EXPECT_EQ(f.contrast, 0); // still measured, over the whole cut
    }
    // A space of fixed kind at a place that went dark at a higher threshold.
    const FeatureMetrics gone = featureAtThreshold(trapezoid(), 10, true, 2.0);
    EXPECT_EQ(gone.status, FeatureStatus::kNotPrinted);
    EXPECT_STREQ(statusText(FeatureStatus::kNotPrinted), "not printed");
    EXPECT_STREQ(statusText(FeatureStatus::kMerged), "merged");
    std::string error;
    EXPECT_FALSE(checkFeaturePosition(trapezoid(), 30, error));
    EXPECT_EQ(error, "--feature-at 30 lies outside the cut (0 .. 20)");
}

TEST(Metrics, SampledCosineMatchesTheAnalyticCrossingsAndSlopes) {
    // I = 0.6 + 0.4 cos(2 pi x / P), two periods sampled finely: contrast 0.8 / 1.2, and at
    // T = 0.5 the crossings sit at +-x0 + k P with x0 = acos(-0.25) P / (2 pi), slope
    // 0.4 (2 pi / P) sin.
    const double period = 1.0, h = 1.0 / 256;
    Profile p;
    for (int i = -256; i < 256; ++i) {
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
    // Every bright run, the one across the grid edge included, has the same width.
    for (const aerial_tool::Run& r : m.runs) EXPECT_NEAR(r.width, r.bright ? 2 * x0 : period - 2 * x0, 4e-5);
    const FeatureMetrics f = measureFeature(p, m, 0);
    ASSERT_EQ(f.status, FeatureStatus::kMeasured);
    EXPECT_GT(f.left.slope, 0); // rising into the bright run round x = 0
    EXPECT_NEAR(f.cd, 2 * x0, 4e-5);
    EXPECT_NEAR(f.left.nils, f.left.logSlope * f.cd, 1e-12);
}

TEST(Metrics, ThresholdEdgeCases) {
    Profile flat{{0, 1, 2}, {0.5, 0.5, 0.5}};
    CutMetrics never = measureProfile(flat, 0.8);
    EXPECT_TRUE(never.crossings.empty());
    ASSERT_EQ(never.runs.size(), 1u);
    EXPECT_FALSE(never.runs[0].bright);
    EXPECT_TRUE(never.runs[0].wholePeriod);
    EXPECT_EQ(never.runs[0].width, 3);
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
    aerial::SimulationState& s = aerial::workspace();
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
