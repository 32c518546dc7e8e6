// The pure parts of a focus series, and its Bossung picture as a file.
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

TEST(Pictures, BossungPictureIsAValidPng) {
    aerial_test::ScratchFolder folder;
    ASSERT_TRUE(writeLinePlotPng({{"T 0.3", {-0.1, 0, 0.1}, {0.1, NAN, 0.12}}}, "Bossung", "defocus",
                                 "CD", "bossung.png"));
    cairo_surface_t* s = cairo_image_surface_create_from_png("bossung.png");
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), 720);
    EXPECT_EQ(cairo_image_surface_get_height(s), 460);
    cairo_surface_destroy(s);
    EXPECT_FALSE(writeLinePlotPng({}, "Bossung", "defocus", "CD", "no/such/folder/b.png"));
}
