// Image metrics on profiles with known answers, and the table reader against the
// library's own table writer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "aerial/engine.hpp"

#include "analysis/image_samples.h"
#include "analysis/metrics.h"
#include "input/input_layout.h"
#include "output/result_tables.h"
#include "io/result_table.h"
#include "io/table_files.h"
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
    CutMetrics m = measureProfile(p, 0.75);
    ASSERT_EQ(m.crossings.size(), 2u);
    EXPECT_DOUBLE_EQ(m.runs[0].width, 10);
    EXPECT_FALSE(m.runs[0].bright);
    EXPECT_DOUBLE_EQ(m.crossings[0].slope, -0.25);
    EXPECT_DOUBLE_EQ(m.crossings[0].logSlope, 0.25 / 0.75);
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
    const Profile flat = sampledProfile({0, 1, 2, 3}, {0.5, 0.5, 0.5, 0.5});
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
    const Profile flat = sampledProfile({0, 1, 2}, {0.5, 0.5, 0.5});
    CutMetrics never = measureProfile(flat, 0.8);
    EXPECT_TRUE(never.crossings.empty());
    ASSERT_EQ(never.runs.size(), 1u);
    EXPECT_FALSE(never.runs[0].bright);
    EXPECT_TRUE(never.runs[0].wholePeriod);
    EXPECT_EQ(never.runs[0].width, 3);
    // A sample exactly on the threshold counts as bright: the crossing is at that sample.
    const Profile step = sampledProfile({0, 1, 2, 3}, {0, 0.5, 1, 0});
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

    // Cuts of the samples (no pupil: the continuous image is not known): along X at the
    // centre row, along Y at the nearest column, positions from the pitch.
    ImageSamples image;
    image.size = t.size;
    image.samplePitch = 0.25;
    image.values = t.values;
    Profile row;
    double at = 0;
    ASSERT_TRUE(imageCut(image, CutAxis::kX, 0, row, at, error)) << error;
    EXPECT_TRUE(row.sampled());
    EXPECT_EQ(at, 0);
    EXPECT_EQ(row.intensity[3], s.II[3][2]);
    EXPECT_EQ(row.position[0], -0.5);
    Profile column;
    ASSERT_TRUE(imageCut(image, CutAxis::kY, 0.26, column, at, error));
    EXPECT_EQ(at, 0.25);
    EXPECT_EQ(column.intensity[1], s.II[3][1]);
    EXPECT_FALSE(imageCut(image, CutAxis::kX, 0.6, row, at, error));
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

namespace {

// The text of the cell at (line, column), both from 1 as an editor counts them.
std::string cellOfText(const std::string& text, int line, int column) {
    std::istringstream lines(text);
    std::string row;
    for (int l = 0; l < line; ++l) std::getline(lines, row);
    std::istringstream cells(row);
    std::string cell;
    for (int c = 0; c < column; ++c) std::getline(cells, cell, '\t');
    return cell;
}

// A 3 x 3 table laid out as the library lays its tables out: a title, the axis row after an
// empty cell, rows led by their labels, a tab after every number and CR LF after each line.
std::string tableText(const std::vector<std::string>& axis, const std::vector<std::vector<std::string>>& rows) {
    std::string text = "title\r\n\t";
    for (const std::string& label : axis) text += label + "\t";
    text += "\r\n";
    for (const std::vector<std::string>& row : rows) {
        for (const std::string& cell : row) text += cell + "\t";
        text += "\r\n";
    }
    return text + "\r\n";
}

} // namespace

TEST(ResultTableReader, NamesTheFirstNonFiniteCellInTheFilesOrder) {
    // Line 1 is the title, line 2 the axis row (label x in column x + 2), row y is line y + 3
    // with its label in column 1 and cell x in column x + 2.
    struct Case {
        const char* what;
        std::string text;
        int line, column;
    };
    const std::vector<std::string> axis = {"-1", "0", "1"};
    const Case cases[] = {
        {"a cell (x 2, y 1)", tableText(axis, {{"-1", "1", "2", "3"}, {"0", "4", "5", "nan"}, {"1", "7", "8", "9"}}), 1 + 3, 2 + 2},
        {"an axis label before every row", tableText({"-1", "inf", "1"}, {{"-1", "nan", "2", "3"}, {"0", "4", "5", "6"}, {"1", "7", "8", "9"}}), 2, 1 + 2},
        {"a row's label before its cells", tableText(axis, {{"-1", "1", "2", "3"}, {"-inf", "-nan", "5", "6"}, {"1", "7", "8", "9"}}), 1 + 3, 1},
        {"a cell before a later row's label", tableText(axis, {{"-1", "1", "2", "-inf"}, {"nan", "4", "5", "6"}, {"1", "7", "8", "9"}}), 0 + 3, 2 + 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResultTableData t;
        std::string error;
        ASSERT_TRUE(parseResultTable(c.text, t, error)) << error;
        const std::optional<TableCellPlace> place = firstNonFiniteCell(t);
        ASSERT_TRUE(place);
        EXPECT_EQ(place->line, c.line);
        EXPECT_EQ(place->column, c.column);
        // The place names the file's own text of that number.
        const std::string word = cellOfText(c.text, place->line, place->column);
        EXPECT_TRUE(word == "nan" || word == "-nan" || word == "inf" || word == "-inf") << word;
    }
    ResultTableData finite;
    std::string error;
    ASSERT_TRUE(parseResultTable(tableText(axis, {{"-1", "1", "2", "3"}, {"0", "4", "5", "6"}, {"1", "7", "8", "9"}}),
                                 finite, error));
    EXPECT_FALSE(firstNonFiniteCell(finite));
}

TEST(ResultTableReader, FindsTheNonFiniteCellOfATableTheLibraryWroteAndOfItsValuesInMemory) {
    aerial_test::ScratchFolder folder;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    aerial::SimulationResult result;
    result.gridSize = 3;
    result.positions = {-0.1, 0, 0.1};
    result.directionSines = {-0.5, 0, 0.5};
    result.amplitude = result.phase = result.intensity = std::vector<double>(9, 0.25);
    aerial_test::writeFile("finite.xls", aerial::formatTable(result, aerial::Table::kImageIntensity));
    EXPECT_FALSE(firstNonFiniteInTable("finite.xls"));
    EXPECT_FALSE(firstNonFiniteInTable("absent.xls"));

    // Sample (x 1, y 2) of the image: row 2 of the table, line 2 + 3, its column 1 + 2.
    result.intensity[2 * 3 + 1] = -nan;
    result.intensity[2 * 3 + 2] = std::numeric_limits<double>::infinity();
    const std::string text = aerial::formatTable(result, aerial::Table::kImageIntensity);
    aerial_test::writeFile(aerial::kImageIntensityFileName, text);
    const std::optional<TableCellPlace> inFile = firstNonFiniteInTable(aerial::kImageIntensityFileName);
    ASSERT_TRUE(inFile);
    EXPECT_EQ(inFile->line, 2 + 3);
    EXPECT_EQ(inFile->column, 1 + 2);
    EXPECT_TRUE(std::isnan(inFile->value));
    EXPECT_NE(cellOfText(text, inFile->line, inFile->column).find("nan"), std::string::npos);
    const std::optional<TableCellPlace> inMemory = firstNonFiniteCell(result.gridSize, result.intensity);
    ASSERT_TRUE(inMemory);
    EXPECT_EQ(inMemory->line, inFile->line);
    EXPECT_EQ(inMemory->column, inFile->column);
    const std::string image = std::string("run/") + aerial::kImageIntensityFileName;
    EXPECT_EQ(nonFiniteText(image, *inFile),
              image + ": line 5, column 3 holds nan: the run's input gives no finite image (see aerial check)");
    const std::string amplitude = std::string("run/") + aerial::kSpectrumAmplitudeFileName;
    EXPECT_EQ(nonFiniteText(amplitude, {2, 2, -std::numeric_limits<double>::infinity()}),
              amplitude + ": line 2, column 2 holds -inf: the run's input gives no finite spectrum (see aerial check)");
}
