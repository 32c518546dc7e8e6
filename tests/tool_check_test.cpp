// The rules of `aerial check` on a table of broken inputs: each must give its warning,
// and a clean file none.
#include <gtest/gtest.h>

#include <string>

#include "input/load_input.h"
#include "analysis/input_check.h"
#include "analysis/sweep_plan.h"
#include "io/input_edit.h"
#include "test_support.h"

using namespace aerial_tool;
using aerial_test::InputSpec;
using enum aerial::ParameterId;

namespace {

InputSpec smallClean() {
    InputSpec inputFile;
    inputFile.gridSize = "32";
    inputFile.rects = {{1, 0, -4, 4, -10, 10}, {0.5, 0.1, 6, 10, -10, 10}};
    return inputFile;
}

// Reads the text with the library's reader and checks it.
InputReport check(const std::string& text) {
    aerial_test::ScratchFolder folder;
    aerial_test::writeInput(text);
    EXPECT_TRUE(aerial::loadInput());
    return checkLoadedInput(countLines(text));
}

std::string withCell(const std::string& text, int line, int column, const std::string& cell) {
    std::string out;
    EXPECT_TRUE(replaceCell(text, line, column, cell, out));
    return out;
}

std::string withParameter(const std::string& text, aerial::ParameterId id, const std::string& cell) {
    const aerial::ParameterCell& p = aerial::parameterCell(id);
    return withCell(text, p.line, p.column, cell);
}

int line(aerial::ParameterId id) { return aerial::parameterCell(id).line; }

std::string allWarnings(const InputReport& r) {
    std::string all;
    AERIAL_GCC12_STRING_RESTRICT_OFF
    for (const Finding& f : r.warnings) all += "[" + std::to_string(f.line) + "] " + f.message + "\n";
    AERIAL_GCC12_STRING_RESTRICT_ON
    return all;
}

struct BrokenCase {
    const char* what;
    std::string text;
    const char* warning; // a part of the warning it must give
    int line;            // the line the warning names
};

} // namespace

TEST(InputCheck, CleanFilesGiveNoWarning) {
    InputReport r = check(smallClean().text());
    EXPECT_TRUE(r.warnings.empty()) << allWarnings(r);
    EXPECT_TRUE(r.notes.empty());
    EXPECT_EQ(r.parameters.size(), 21u);
    EXPECT_EQ(r.parameters[0].cell, "32");
    EXPECT_EQ(r.rectangles.size(), 2u);

    // The bundled example clamps its phase bar to the grid: a note, not a warning.
    InputReport example = check(aerial_test::twoRectangleExample().text());
    EXPECT_TRUE(example.warnings.empty()) << allWarnings(example);
    ASSERT_EQ(example.notes.size(), 2u);
    EXPECT_NE(example.notes[0].message.find("-70 is limited to -64"), std::string::npos);
    EXPECT_TRUE(example.rectangles[1].limited[4]);
    EXPECT_EQ(example.rectangles[1].read[4], -70);
}

TEST(InputCheck, DerivedOpticsFollowTheRun) {
    InputReport r = check(smallClean().text());
    // R = NA * pitch * N / wavelength; shifts round j * NA * sigma / 2 * pitch * N / wavelength.
    EXPECT_DOUBLE_EQ(r.pupilRadius, 0.75 * 0.01 * 32 / 0.193);
    ASSERT_EQ(r.shifts.size(), 13u);
    EXPECT_EQ(r.shifts[0].j, -2);
    EXPECT_EQ(r.shifts[0].x, -1); // -0.62 rounds to -1
    EXPECT_EQ(r.shifts[12].x, 1);
    EXPECT_DOUBLE_EQ(r.resolution, 0.193 / 0.75);
    EXPECT_DOUBLE_EQ(r.depthOfFocus, 0.193 / (0.75 * 0.75));
}

TEST(InputCheck, EachBrokenFileGivesItsWarning) {
    const std::string clean = smallClean().text();
    InputSpec tinyPupil = smallClean();
    tinyPupil.samplePitch = 0.001;
    InputSpec wideSource = smallClean();
    wideSource.sigma = 30;
    InputSpec reversed = smallClean();
    reversed.rects[1].xStart = 10;
    reversed.rects[1].xEnd = -10;
    InputSpec flatY = smallClean();
    flatY.rects[0].yStart = 5;
    flatY.rects[0].yEnd = 5;
    std::string shortFile = withParameter(clean, kRectCount, "3");
    std::string inserted = clean;
    AERIAL_GCC12_STRING_RESTRICT_OFF
    inserted.insert(inserted.find('\n', inserted.find('\n') + 1) + 1, "\n"); // a blank line after line 1
    AERIAL_GCC12_STRING_RESTRICT_ON
    std::string missing = clean;
    {
        const size_t start = missing.find("\nwavelength") + 1; // drop the wavelength line
        missing.erase(start, missing.find('\n', start) + 1 - start);
    }

    const BrokenCase cases[] = {
        {"zero pitch", withParameter(clean, kSamplePitch, "0"), "sample pitch is 0", line(kSamplePitch)},
        {"negative wavelength", withParameter(clean, kWavelength, "-0.193"), "wavelength is negative", line(kWavelength)},
        {"text aperture", withParameter(clean, kNumericalAperture, "high"), "'high' is not a number; it reads as 0", line(kNumericalAperture)},
        {"text aperture is zero", withParameter(clean, kNumericalAperture, "high"), "numerical aperture is 0", line(kNumericalAperture)},
        {"nan wavelength", withParameter(clean, kWavelength, "nan"), "wavelength is not a number", line(kWavelength)},
        {"comma decimal", withParameter(clean, kSigma, "0,5"), "only '0' of '0,5' is read", line(kSigma)},
        {"grid too large", withParameter(clean, kGridSize, "200"), "is limited to 128", line(kGridSize)},
        {"grid not whole", withParameter(clean, kGridSize, "0.01"), "not a whole number", line(kGridSize)},
        {"grid zero", withParameter(clean, kGridSize, "0"), "nothing is simulated", line(kGridSize)},
        {"count too large", withParameter(clean, kRectCount, "1500"), "is limited to 1000", line(kRectCount)},
        {"count zero", withParameter(clean, kRectCount, "0"), "dark everywhere", line(kRectCount)},
        {"pupil below a sample", tinyPupil.text(), "below 1", line(kNumericalAperture)},
        {"source off the grid", wideSource.text(), "off the grid", line(kSigma)},
        {"reversed x edges", reversed.text(), "x start 10 is at or beyond x end -10", aerial::rectangleLine(1)},
        {"empty y extent", flatY.text(), "y start 5 is at or beyond y end 5", aerial::rectangleLine(0)},
        {"fewer rows than the count", shortFile, "the count says 3 rectangles but the file has 2", line(kRectCount)},
        {"more rows than the count", withParameter(clean, kRectCount, "1"), "1 more rectangle row follows (from line 26)", line(kRectCount)},
        {"text edge", withCell(clean, aerial::rectangleLine(0), aerial::kRectangleCells[2].column, "left"), "'left' is not a number", aerial::rectangleLine(0)},
        {"blank line inserted", inserted, "the name of line 2 (grid size)", line(kSamplePitch)},
        {"line missing", missing, "the name of line 5 (numerical aperture)", line(kWavelength)},
    };
    for (const BrokenCase& c : cases) {
        InputReport r = check(c.text);
        bool found = false;
        for (const Finding& f : r.warnings)
            found = found || (f.message.find(c.warning) != std::string::npos && f.line == c.line);
        EXPECT_TRUE(found) << c.what << ": no warning on line " << c.line << " with '" << c.warning
                           << "', got:\n" << allWarnings(r);
    }
}

TEST(InputCheck, AUnitAfterASpaceIsNoWarning) {
    InputReport r = check(withParameter(smallClean().text(), kSamplePitch, "0.01 um"));
    EXPECT_TRUE(r.warnings.empty()) << allWarnings(r);
    EXPECT_EQ(r.parameters[1].value, 0.01);
}
