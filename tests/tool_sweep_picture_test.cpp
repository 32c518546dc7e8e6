// The pure parts of a focus series, and the pictures as files: valid PNGs of the expected
// size with the colours the scale promises where a known sample sits.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <string>

#include "pictures/plot_drawing.h"
#include "io/result_table.h"
#include "analysis/sweep_plan.h"
#include "io/input_edit.h"
#include "test_support.h"

using namespace aerial_tool;

TEST(SweepPlan, RangesIncludeBothEndsWithoutDrift) {
    std::vector<double> v;
    std::string error;
    ASSERT_TRUE(parseRange("-0.2:0.2:0.1", v, error)) << error;
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v[1], -0.1);
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[4], 0.2);
    ASSERT_TRUE(parseRange("0.3:0:-0.1", v, error));
    EXPECT_EQ(v.size(), 4u);
    EXPECT_EQ(v[3], 0);
    ASSERT_TRUE(parseRange("0:1:0.3", v, error)); // STOP off the step: the last value is 0.9
    EXPECT_EQ(v.back(), 0.9);
    for (const char* bad : {"0:1", "0:1:0", "1:0:0.1", "a:1:0.1", "0:1:0.0001"})
        EXPECT_FALSE(parseRange(bad, v, error)) << bad;
}

TEST(SweepPlan, ReplacingACellKeepsEveryOtherByte) {
    const std::string crlf = "a\tb\r\nname\tunit\t0\r\nlast\tx\tkeep\r\n";
    std::string out;
    ASSERT_TRUE(replaceCell(crlf, 1, 2, "0.15", out));
    EXPECT_EQ(out, "a\tb\r\nname\tunit\t0.15\r\nlast\tx\tkeep\r\n");
    ASSERT_TRUE(replaceCell("x\ty\tz\tlabel\n", 0, 2, "9", out));
    EXPECT_EQ(out, "x\ty\t9\tlabel\n");
    EXPECT_FALSE(replaceCell("one line\n", 3, 2, "9", out));
    EXPECT_FALSE(replaceCell("a\tb\n", 0, 2, "9", out));
    EXPECT_EQ(memberFolderName(-0.1), "defocus_-0.1");
    EXPECT_EQ(memberFolderName(-0.0), "defocus_0");
}

TEST(SweepPlan, CsvHasOneLinePerRowAndEmptyCellsForMissingValues) {
    std::vector<SweepRow> rows = {{-0.1, 0.3, 0.12, "bright", 0.8, 0.9},
                                  {0, 0.3, NAN, "", 0.7, 0.85}};
    EXPECT_EQ(sweepCsv(rows),
              "defocus,threshold,cd,feature,peak,contrast\n"
              "-0.1,0.3,0.12,bright,0.8,0.9\n"
              "0,0.3,,,0.7,0.85\n");
}

namespace {

struct Pixel {
    int r, g, b;
};

// Reads a PNG back with cairo; returns false when it is not one.
bool readPng(const std::string& path, int& width, int& height, cairo_surface_t*& surface) {
    surface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return false;
    width = cairo_image_surface_get_width(surface);
    height = cairo_image_surface_get_height(surface);
    return true;
}

Pixel pixelAt(cairo_surface_t* s, int x, int y) {
    const unsigned char* data = cairo_image_surface_get_data(s);
    const uint32_t v = *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s) + 4 * x);
    return {int((v >> 16) & 255), int((v >> 8) & 255), int(v & 255)};
}

void expectColour(Pixel p, Rgb c, const char* where) {
    EXPECT_NEAR(p.r, c.r, 1) << where;
    EXPECT_NEAR(p.g, c.g, 1) << where;
    EXPECT_NEAR(p.b, c.b, 1) << where;
}

} // namespace

TEST(Pictures, HeatmapPutsSampleZeroBottomLeftInTheScaleColours) {
    aerial_test::ScratchFolder folder;
    // A 4 x 4 table: the sample [0][0] holds the minimum, [3][3] the maximum, the rest
    // the middle of the range.
    ResultTableData t;
    t.size = 4;
    t.xLabels = t.yLabels = {-0.2, -0.1, 0, 0.1};
    t.values.assign(16, 0.5);
    t.values[0] = 0;
    t.values[15] = 1;
    ASSERT_TRUE(writeHeatmapPng(
        t, {.title = "title", .axisX = "x (um)", .axisY = "y (um)", .valueName = "intensity"}, "map.png"));
    EXPECT_EQ(aerial_test::readFile("map.png").substr(1, 3), "PNG");
    int w = 0, h = 0;
    cairo_surface_t* s = nullptr;
    ASSERT_TRUE(readPng("map.png", w, h, s));
    EXPECT_EQ(w, HeatmapLayout::kWidth);
    EXPECT_EQ(h, HeatmapLayout::kHeight);
    const int cell = HeatmapLayout::kPlotSize / 4;
    const int left = HeatmapLayout::kPlotLeft, top = HeatmapLayout::kPlotTop;
    expectColour(pixelAt(s, left + cell / 2, top + 3 * cell + cell / 2), viridis(0), "bottom left");
    expectColour(pixelAt(s, left + 3 * cell + cell / 2, top + cell / 2), viridis(1), "top right");
    expectColour(pixelAt(s, left + cell / 2, top + cell / 2), viridis(0.5), "top left");
    Pixel white = pixelAt(s, 4, h - 4);
    EXPECT_EQ(white.r + white.g + white.b, 3 * 255);
    cairo_surface_destroy(s);
    // The ends of the map are viridis's own: dark violet and yellow.
    EXPECT_EQ(viridis(0).r, 71);
    EXPECT_GT(viridis(1).r, 240);
    EXPECT_LT(viridis(1).b, 40);
}

TEST(Pictures, CutlineAndLinePlotAreValidPngs) {
    aerial_test::ScratchFolder folder;
    Profile p{{-1, 0, 1}, {0.1, 0.9, 0.1}};
    ASSERT_TRUE(writeCutlinePng({{"along x", p}}, 0.3, "cut", "x (um)", "cut.png"));
    ASSERT_TRUE(writeLinePlotPng({{"T 0.3", {-0.1, 0, 0.1}, {0.1, NAN, 0.12}}}, "Bossung", "defocus",
                                 "CD", "bossung.png"));
    for (const char* f : {"cut.png", "bossung.png"}) {
        int w = 0, h = 0;
        cairo_surface_t* s = nullptr;
        ASSERT_TRUE(readPng(f, w, h, s)) << f;
        EXPECT_EQ(w, 720);
        EXPECT_EQ(h, 460);
        cairo_surface_destroy(s);
    }
    EXPECT_FALSE(writeCutlinePng({{"x", p}}, std::nullopt, "cut", "x", "no/such/folder/cut.png"));
}
