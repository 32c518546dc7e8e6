// The pure parts of a focus series, and its Bossung picture as a file.
#include <gtest/gtest.h>

#include <cairo.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>

#include "pictures/plot_drawing.h"
#include "io/result_table.h"
#include "analysis/sweep_plan.h"
#include "io/input_edit.h"
#include "io/input_folder.h"
#include "input/input_cells.h"
#include "io/study_points.h"
#include "io/table_files.h"
#include "pictures/window_pictures.h"
#include "input/input_layout.h"
#include "test_support.h"

using namespace aerial_tool;

TEST(SweepPlan, RangesIncludeBothEndsWithoutDriftAndSayWhenTheStepMissesTheEnd) {
    std::vector<double> v;
    std::string error;
    bool missed = true;
    ASSERT_TRUE(parseRange("-0.2:0.2:0.1", v, error, &missed)) << error;
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v[1], -0.1);
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[4], 0.2);
    EXPECT_FALSE(missed);
    ASSERT_TRUE(parseRange("0:0.1:0.03", v, error, &missed)); // 0.1 is off the step
    EXPECT_EQ(v, (std::vector<double>{0, 0.03, 0.06, 0.09}));
    EXPECT_TRUE(missed);
    ASSERT_TRUE(parseValues("0.5,0.8,0.65", v, error, &missed));
    EXPECT_EQ(v, (std::vector<double>{0.5, 0.8, 0.65}));
    EXPECT_FALSE(missed);
    struct Bad {
        const char* text;
        const char* reason;
    } bad[] = {{"0:1", "not START:STOP:STEP"},          {"0:1:0", "step must be above zero"},
               {"0:1:-0.1", "step must be above zero"}, {"1:0:0.1", "STOP lies below START"},
               {"a:1:0.1", "not START:STOP:STEP"}, {"0:1:0.0001", "more than 1000"},
               {"0.1,x", "is neither"},        {"0.1,0.1", "twice"}};
    for (const Bad& b : bad) {
        EXPECT_FALSE(parseValues(b.text, v, error)) << b.text;
        EXPECT_NE(error.find(b.reason), std::string::npos) << b.text << ": " << error;
    }
}

TEST(SweepPlan, VariedNamesComeFromTheInputLayout) {
    SweepAxis axis;
    std::string error;
    ASSERT_TRUE(parseVary("sigma=0.5,0.8", axis, error)) << error;
    EXPECT_EQ(axis.cell, aerial::findParameter("sigma"));
    EXPECT_EQ(axis.cell->line, aerial::parameterCell(aerial::ParameterId::kSigma).line);
    EXPECT_FALSE(parseVary("sigmaa=0.5", axis, error));
    EXPECT_NE(error.find("unknown parameter 'sigmaa'"), std::string::npos);
    EXPECT_NE(error.find("ay6"), std::string::npos); // the message lists the names
    EXPECT_FALSE(parseVary("grid=32,64", axis, error));
    EXPECT_FALSE(parseVary("defocus", axis, error));
    EXPECT_EQ(variableNames().substr(0, 32), "sample-pitch, wavelength, na, si");
}

TEST(SweepPlan, PointsAreTheGridOfCombinationsNamedInVaryOrder) {
    std::vector<SweepAxis> axes(2);
    std::string error;
    ASSERT_TRUE(parseVary("sigma=0.5,0.8", axes[0], error));
    ASSERT_TRUE(parseVary("defocus=-0.1:0:0.1", axes[1], error));
    ASSERT_TRUE(checkAxes(axes, error));
    const std::vector<SweepPoint> points = sweepPoints(axes);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].folder, "sigma_0.5_defocus_-0.1");
    EXPECT_EQ(points[1].folder, "sigma_0.5_defocus_0");
    EXPECT_EQ(points[3].folder, "sigma_0.8_defocus_0");
    EXPECT_EQ(points[2].values, (std::vector<double>{0.8, -0.1}));
    EXPECT_TRUE(variesSourceRounding(axes));
    EXPECT_FALSE(variesSourceRounding({axes[1]}));
    std::vector<SweepAxis> twice = {axes[1], axes[1]};
    EXPECT_FALSE(checkAxes(twice, error));
    EXPECT_EQ(error, "'defocus' is varied twice");
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
}

TEST(StudyPoints, EditsLandInTheCellTheCoreReads) {
    struct Case {
        const char* what;
        std::string text;
        int line, column;
        bool present;
        std::string unit; // what follows the number in the cell as the core reads it, kept by a study
    };
    const Case cases[] = {
        {"CR LF lines", "a\tb\r\nname\tunit\t0.5\r\nlast\tx\tkeep\r\n", 1, 2, true, ""},
        {"a CR inside the cell, ignored by the scan", "name\tunit\t0.\r5 um\r\n", 0, 2, true, " um"},
        {"the 11th and 12th cells fold into column 9", "0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11 nm\n", 0, 9, true, " nm"},
        {"a last line without a line feed", "a\tb\nname\tunit\t0.5 um", 1, 2, true, " um"},
        {"a cell of a CR alone", "name\tunit\t\r\n", 0, 2, true, ""},
        {"a cell missing on its line", "name\tunit\n", 0, 2, false, ""},
        {"a line missing", "a\tb\n", 3, 0, false, ""},
    };
    auto cells = newInputCells();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out, error;
        ASSERT_EQ(replaceCell(c.text, c.line, c.column, "0.8", out), c.present);
        ASSERT_EQ(changedInput(c.text, {{c.line, c.column, "0.8"}}, out, error), c.present) << error;
        if (!c.present) continue;
        aerial::scanInputText(c.text, *cells);
        const int lines = cells->storedLines;
        const std::string crlf = c.text.find("\r\n") != std::string::npos ? "\r\n" : "";
        aerial::scanInputText(out, *cells);
        EXPECT_EQ(aerial::cellText(*cells, c.column, c.line).text, "0.8" + c.unit);
        EXPECT_EQ(cells->storedLines, lines);
        if (!crlf.empty()) {
            EXPECT_NE(out.find("0.8" + c.unit + crlf), std::string::npos) << out;
        }
    }
}

TEST(StudyPoints, InputsKeepUnitsAndLineEndsAndCommandsQuoteWhatTheShellWouldSplit) {
    const std::string input = "a\tb\r\nsigma\t\t0.5 (partial)\r\ndefocus\tum\t0\r\n";
    std::string out, error;
    ASSERT_TRUE(changedInput(input, {{1, 2, "0.8"}, {2, 2, "-0.1"}}, out, error)) << error;
    EXPECT_EQ(out, "a\tb\r\nsigma\t\t0.8 (partial)\r\ndefocus\tum\t-0.1\r\n");
    EXPECT_FALSE(changedInput(input, {{7, 2, "1"}}, out, error));
    EXPECT_EQ(error, "has no cell at line 7, column 2");
    EXPECT_EQ(commandLine({"/opt/aerial/bin/aerial", "run", "-q", "/data/my case/it's"}),
              "/opt/aerial/bin/aerial run -q '/data/my case/it'\\''s'");
    const std::vector<std::string> run = pointRunCommand("/bin/aerial", "relative/point", "");
    ASSERT_EQ(run.size(), 5u);
    EXPECT_EQ(run[3], "--no-check");    // the study checks its input once
    EXPECT_EQ(run[4].front(), '/'); // absolute, to run from any working folder
}

TEST(StudyPoints, FoldersOfAnEarlierStudyAreFoundAndUnchangedInputsKeepTheirTime) {
    aerial_test::ScratchFolder folder;
    std::string error;
    ASSERT_TRUE(writePointInput("study/defocus_0", "input\n", error)) << error;
    ASSERT_TRUE(writePointInput("study/defocus_0.1", "input\n", error));
    std::filesystem::create_directories("study/notes"); // no input: not a point
    EXPECT_EQ(staleFolders("study", {"defocus_0"}), (std::vector<std::string>{"defocus_0.1"}));
    const std::filesystem::path input = std::filesystem::path("study/defocus_0") / aerial::kInputFileName;
    const auto before = std::filesystem::last_write_time(input);
    std::filesystem::last_write_time(input, before - std::chrono::hours(1));
    ASSERT_TRUE(writePointInput("study/defocus_0", "input\n", error));
    EXPECT_EQ(std::filesystem::last_write_time(input), before - std::chrono::hours(1));
    EXPECT_EQ(tablesFault("study/defocus_0", 2), std::string(aerial::kSpectrumAmplitudeFileName) + " is missing");
}

TEST(SweepPlan, ResultsHoldAStatusWhereNothingWasMeasured) {
    std::vector<SweepAxis> axes(1);
    std::string error;
    ASSERT_TRUE(parseVary("sigma=0.5,0.8", axes[0], error));
    FeatureMetrics measured;
    measured.status = FeatureStatus::kMeasured;
    measured.cd = 0.12;
    measured.left = {-0.06, 2.5, 8.0, 0.96};
    measured.right = {0.06, -2.5, 8.0, 0.96};
    measured.contrast = 0.5;
    measured.peak = 0.6;
    measured.minimum = 0.2;
    FeatureMetrics merged = measured;
    merged.status = FeatureStatus::kMerged;
    merged.cd = NAN;
    merged.sampled = true;
    FeatureMetrics off = measured;
    off.status = FeatureStatus::kNotPeriodic;
    off.area = AreaFigure{FeatureStatus::kNotPeriodic, NAN};
    measured.area = AreaFigure{FeatureStatus::kMeasured, 0.0125};
    merged.area = AreaFigure{FeatureStatus::kMerged, NAN};
    const std::vector<SweepRow> rows = {
        {{0.5}, 0.4, 0.3, measured}, {{0.8}, 0.8, 0.3, merged}, {{0.9}, 0.8, 0.3, off}};
    EXPECT_EQ(resultsCsv(axes, true, Measure::kCd, rows),
              "sigma,effective_sigma,threshold,cd,status,left_slope,left_nils,right_slope,right_nils,contrast,peak,"
              "minimum,image\n"
              "0.5,0.4,0.3,0.12,measured,2.5,0.96,-2.5,0.96,0.5,0.6,0.2,continuous\n"
              "0.8,0.8,0.3,merged,merged,merged,merged,merged,merged,0.5,0.6,0.2,sampled\n"
              "0.9,0.8,0.3,not periodic on this grid,not periodic on this grid,not periodic on this grid,not periodic "
              "on this grid,not periodic on this grid,not periodic on this grid,not periodic on this grid,not periodic "
              "on this grid,not periodic on this grid,not periodic on this grid\n");
    // The area as the figure: its value and status after the CD's columns.
    const std::string areas = resultsCsv(axes, false, Measure::kArea, {rows[0], rows[1]});
    EXPECT_NE(areas.find("minimum,area,area_status,image\n"), std::string::npos) << areas;
    EXPECT_NE(areas.find(",0.2,0.0125,measured,continuous\n"), std::string::npos) << areas;
    EXPECT_NE(areas.find(",0.2,merged,merged,sampled\n"), std::string::npos) << areas;
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

} // namespace

TEST(Pictures, BossungPictureIsAValidPng) {
    aerial_test::ScratchFolder folder;
    ASSERT_TRUE(writeLinePlot({{"T 0.3", {-0.1, 0, 0.1}, {0.1, NAN, 0.12}}}, "Bossung", "defocus", "CD",
                              PictureFormat::kPng, "bossung.png"));
    cairo_surface_t* s = cairo_image_surface_create_from_png("bossung.png");
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), 720);
    EXPECT_EQ(cairo_image_surface_get_height(s), 460);
    cairo_surface_destroy(s);
    EXPECT_FALSE(writeLinePlot({}, "Bossung", "defocus", "CD", PictureFormat::kPng, "no/such/folder/b.png"));
}

TEST(Pictures, WindowPicturesAreValidPngsWithTheBandShaded) {
    aerial_test::ScratchFolder folder;
    const std::vector<DoseCurve> curves = {{0.9, {-0.1, 0, 0.1}, {0.09, 0.1, 0.09}},
                                           {1.0, {-0.1, 0, 0.1}, {0.1, NAN, 0.1}}};
    ASSERT_TRUE(writeFemBossung(curves, 0.095, 0.105, {"FEM", "defocus (um)", "CD (um)"}, PictureFormat::kPng,
                                "fem.png"));
    ASSERT_TRUE(writeExposureDefocus({{0.2, 0}, {0.1, 0.04}}, "ED", "DOF (um)", false, PictureFormat::kPng, "ed.png"));
    for (const char* f : {"fem.png", "ed.png"}) {
        int w = 0, h = 0;
        cairo_surface_t* s = nullptr;
        ASSERT_TRUE(readPng(f, w, h, s)) << f;
        EXPECT_EQ(w, 760);
        EXPECT_EQ(h, 480);
        if (std::string(f) == "fem.png") {
            // Just inside the plot's left edge, halfway up: the CD 0.0975 .. 0.1025 middle
            // of the span lies in the band, a light green.
            const Pixel band = pixelAt(s, 85, 48 + 180);
            EXPECT_GT(band.g, band.r);
            EXPECT_GT(band.g, band.b);
        }
        cairo_surface_destroy(s);
    }
    EXPECT_FALSE(writeExposureDefocus({{0.2, 0}}, "ED", "DOF", false, PictureFormat::kPng, "no/such/folder/ed.png"));
}
