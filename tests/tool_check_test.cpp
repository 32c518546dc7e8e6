// `aerial check` on inputs as users write them: the values it shows are the values a run
// uses, and each broken file gives its warning while a clean one gives none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "analysis/input_check.h"
#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "io/input_edit.h"
#include "state/simulation_context.h"
#include "test_support.h"

using namespace aerial_tool;
using aerial::ParameterId;
using aerial_test::TestInput;

namespace {

// A 32-sample grid whose pupil (R = NA x pitch x N / wavelength = 4.97 samples) holds the
// 13 source points apart, as the 128-sample example does.
TestInput smallClean() {
    TestInput inputFile;
    inputFile.gridSize = "32";
    inputFile.samplePitch = 0.04;
    inputFile.rects = {{1, 0, -4, 4, -10, 10}, {0.5, 0.1, 6, 10, -10, 10}};
    return inputFile;
}

InputReport check(const std::string& text) {
    auto cells = std::make_unique<aerial::InputCells>();
    aerial::scanInputText(text, *cells);
    return checkInputCells(*cells);
}

const aerial::ParameterCell& cellOf(ParameterId id) { return aerial::parameterCell(id); }
int lineOf(ParameterId id) { return cellOf(id).line; }
std::string lineText(int line) { return std::to_string(line); }
const ParameterEntry& entry(const InputReport& r, ParameterId id) { return r.parameters[static_cast<int>(id)]; }

std::string withCell(const std::string& text, const aerial::ParameterCell& cell, const std::string& value) {
    std::string out;
    EXPECT_TRUE(replaceCell(text, cell.line, cell.column, value, out));
    return out;
}
std::string withCell(const std::string& text, ParameterId id, const std::string& value) {
    return withCell(text, cellOf(id), value);
}
std::string withRectangleCell(const std::string& text, int r, int k, const std::string& value) {
    std::string out;
    EXPECT_TRUE(replaceCell(text, aerial::rectangleLine(r), aerial::kRectangleCells[k].column, value, out));
    return out;
}

std::string listed(const std::vector<Finding>& list) {
    std::string all;
    for (const Finding& f : list) {
        all += '[';
        all += std::to_string(f.line);
        all += "] " + f.message + "\n";
    }
    return all;
}

bool has(const std::vector<Finding>& list, const std::string& part, int line) {
    for (const Finding& f : list)
        if (f.message.find(part) != std::string::npos && f.line == line) return true;
    return false;
}

int countOfKind(const std::vector<Finding>& list, FindingKind kind) {
    int n = 0;
    for (const Finding& f : list) n += f.kind == kind ? 1 : 0;
    return n;
}

// The same double, bit for bit up to the payload of a NaN: -0 is not 0.
bool sameValue(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

} // namespace

TEST(InputCheck, CleanFilesGiveNoWarning) {
    InputReport r = check(smallClean().text());
    EXPECT_TRUE(r.warnings.empty()) << listed(r.warnings);
    EXPECT_EQ(r.parameters.size(), static_cast<size_t>(aerial::kParameterCount));
    EXPECT_EQ(entry(r, ParameterId::kGridSize).text, "32");
    EXPECT_EQ(r.rectangles.size(), 2u);

    // The bundled example clamps its phase bar to the grid and rounds its source: notes.
    InputReport example = check(aerial_test::twoRectangleExample().text());
    EXPECT_TRUE(example.warnings.empty()) << listed(example.warnings);
    EXPECT_TRUE(has(example.notes, "-70 is limited to -64", aerial::rectangleLine(1))) << listed(example.notes);
    EXPECT_TRUE(example.rectangles[1].limited[4]);
    EXPECT_EQ(example.rectangles[1].read[4], -70);
    EXPECT_TRUE(has(example.notes, "effective sigma 0.4021", cellOf(ParameterId::kSigma).line)) << listed(example.notes);
}

TEST(InputCheck, DerivedOpticsAreTheImagingStagesOwn) {
    InputReport r = check(smallClean().text());
    const double radius = ((0.75 * 0.04) * 32) / 0.193; // NA x pitch x N / wavelength
    EXPECT_EQ(r.optics.pupilRadius, radius);
    // Index 1 shifts by R x sigma / 2 = 1.24 samples, index 2 by 2.49: rounded 1 and 2.
    EXPECT_EQ(r.optics.points[0].j, -2);
    EXPECT_EQ(r.optics.points[0].shiftX, -2);
    EXPECT_EQ(r.optics.points[aerial::kSourcePointCount - 1].shiftX, 2);
    EXPECT_DOUBLE_EQ(r.optics.effectiveSigma, 2 / radius);
    EXPECT_DOUBLE_EQ(r.resolution, 0.193 / 0.75);
    EXPECT_DOUBLE_EQ(r.rayleighFocusUnit, 0.193 / (0.75 * 0.75));
}

// Each cell text in each kind of cell: check shows the value the run uses, and warns about
// the text exactly where the run does not read it whole.
TEST(InputCheck, ShowsTheValueTheRunUsesForEveryCellText) {
    struct Text {
        const char* text;
        bool wholeAsInteger; // atoi's grammar: optional sign and decimal digits
        bool wholeAsReal;    // strtod's: also points, exponents, hex, inf and nan
    };
    const Text texts[] = {
        {"inf", false, true},   {"-inf", false, true}, {"nan", false, true},
        {"0x1p-7", false, true}, {"1e400", false, true}, {"-0", true, true},
        {"0,5", false, false},  {"12abc", false, false}, {"", true, true},
    };
    constexpr int kXEnd = 3; // a rectangle edge, limited to [-N/2, N/2] after the parse
    enum class Where { kInteger, kReal, kRectangle };
    for (Where where : {Where::kInteger, Where::kReal, Where::kRectangle}) {
        for (const Text& t : texts) {
            const std::string clean = smallClean().text();
            std::string input;
            switch (where) {
            case Where::kInteger: input = withCell(clean, ParameterId::kGridSize, t.text); break;
            case Where::kReal: input = withCell(clean, ParameterId::kSigma, t.text); break;
            case Where::kRectangle: input = withRectangleCell(clean, 0, kXEnd, t.text); break;
            }
            aerial_test::ScratchFolder folder;
            aerial_test::writeFile(aerial::kInputFileName, input);
            aerial::runSimulation();
            InputReport r;
            ASSERT_TRUE(checkInputFile(folder.path() + "/" + aerial::kInputFileName, r));

            const aerial::SimulationState& s = aerial::workspace();
            double shown = 0, used = 0;
            bool whole = true;
            int line = 0;
            switch (where) {
            case Where::kInteger:
                shown = entry(r, ParameterId::kGridSize).value;
                used = s.gridSize;
                whole = t.wholeAsInteger;
                line = cellOf(ParameterId::kGridSize).line;
                break;
            case Where::kReal:
                shown = entry(r, ParameterId::kSigma).value;
                used = s.sigma;
                whole = t.wholeAsReal;
                line = cellOf(ParameterId::kSigma).line;
                break;
            case Where::kRectangle:
                ASSERT_FALSE(r.rectangles.empty());
                shown = r.rectangles[0].values[kXEnd];
                used = s.rects[0].xEnd;
                whole = t.wholeAsReal;
                line = aerial::rectangleLine(0);
                break;
            }
            const std::string what = std::string("'") + t.text + "' in the " +
                                     (where == Where::kInteger ? "grid" : where == Where::kReal ? "sigma" : "x-end") + " cell";
            EXPECT_TRUE(sameValue(shown, used)) << what << ": check shows " << shown << ", the run uses " << used;
            int textWarnings = 0;
            for (const Finding& f : r.warnings) textWarnings += f.kind == FindingKind::kCellText && f.line == line;
            EXPECT_EQ(textWarnings, whole ? 0 : 1) << what << ":\n" << listed(r.warnings);
        }
    }
}

TEST(InputCheck, EachBrokenFileGivesItsWarning) {
    const std::string clean = smallClean().text();
    const int sigmaLine = lineOf(ParameterId::kSigma);
    const int countLine = lineOf(ParameterId::kRectCount);
    TestInput tinyPupil = smallClean();
    tinyPupil.samplePitch = 0.001;
    TestInput wideSource = smallClean();
    wideSource.sigma = 30;
    TestInput reversed = smallClean();
    reversed.rects[1].xStart = 10;
    reversed.rects[1].xEnd = -10;
    TestInput flatY = smallClean();
    flatY.rects[0].yStart = 5;
    flatY.rects[0].yEnd = 5;
    // R = 1.24 samples: index 1 shifts 0.31 samples and index 2 0.62, rounded 0 and 1, so
    // the nine points with |j|, |k| <= 1 land on the centre and 5 distinct points are left;
    // at sigma 0.2 every point lands there.
    TestInput crowded = smallClean();
    crowded.samplePitch = 0.01;
    TestInput coherent = crowded;
    coherent.sigma = 0.2;
    // R = NA x pitch x N / wavelength = 1.99 samples: sigma 1 shifts the outer points by
    // 1.99 samples, rounded to 2, just outside the pupil.
    TestInput edgeOfPupil = smallClean();
    edgeOfPupil.samplePitch = 0.02;
    edgeOfPupil.numericalAperture = 0.6;
    edgeOfPupil.sigma = 1;
    std::string spaces = clean;
    for (char& ch : spaces) ch = ch == '\t' ? ' ' : ch;
    const std::string shortFile = withCell(clean, ParameterId::kRectCount, "3");
    std::string inserted = clean;
    AERIAL_GCC12_STRING_RESTRICT_OFF
    inserted.insert(inserted.find('\n', inserted.find('\n') + 1) + 1, "\n"); // a blank line after line 1
    AERIAL_GCC12_STRING_RESTRICT_ON
    std::string missing = clean;
    {
        const size_t start = missing.find("\nwavelength") + 1; // drop the wavelength line
        missing.erase(start, missing.find('\n', start) + 1 - start);
    }

    // The sigma line typed with its value one cell early (the unit cell left out) or one
    // late (a TAB too many).
    auto sigmaLineAs = [&](const std::string& line) {
        size_t start = 0;
        for (int k = 0; k < sigmaLine; ++k) start = clean.find('\n', start) + 1;
        std::string out = clean;
        out.replace(start, clean.find('\n', start) - start, line);
        return out;
    };

    struct BrokenCase {
        const char* what;
        std::string text;
        std::string warning; // a part of the warning it must give
        int line;            // the line the warning names
    };
    const BrokenCase cases[] = {
        {"spaces instead of TABs", spaces, "no TAB anywhere in the file", -1},
        {"zero pitch", withCell(clean, ParameterId::kSamplePitch, "0"), "sample-pitch is 0", lineOf(ParameterId::kSamplePitch)},
        {"negative wavelength", withCell(clean, ParameterId::kWavelength, "-0.193"),
         "the run gives the image for wavelength 0.193 with the opposite sign of the defocus", lineOf(ParameterId::kWavelength)},
        {"text aperture", withCell(clean, ParameterId::kNumericalAperture, "high"), "'high' is not a number; it reads as 0", lineOf(ParameterId::kNumericalAperture)},
        {"text aperture is zero", withCell(clean, ParameterId::kNumericalAperture, "high"), "na is 0", lineOf(ParameterId::kNumericalAperture)},
        {"aperture above 1", withCell(clean, ParameterId::kNumericalAperture, "1.2"), "no immersion medium", lineOf(ParameterId::kNumericalAperture)},
        {"sigma above 1", withCell(clean, ParameterId::kSigma, "1.5"), "sigma 1.5 is above 1", sigmaLine},
        {"nan wavelength", withCell(clean, ParameterId::kWavelength, "nan"), "wavelength is not a number", lineOf(ParameterId::kWavelength)},
        {"infinite wavelength", withCell(clean, ParameterId::kWavelength, "1e999"), "wavelength is infinite", lineOf(ParameterId::kWavelength)},
        {"comma decimal", withCell(clean, ParameterId::kSigma, "0,5"), "only '0' of '0,5' is read", sigmaLine},
        {"unit column left out", sigmaLineAs("sigma\t0.5"),
         "sigma (column 2) is empty and reads as 0; the value is in column 1 ('0.5'): is the unit column missing?", sigmaLine},
        {"a TAB too many", sigmaLineAs("sigma\t\t\t0.5"), "the value is in column 3 ('0.5'): is there a TAB too many before it?", sigmaLine},
        {"overflowing number", withCell(clean, ParameterId::kDefocus, "1e400"), "beyond the range of a double", lineOf(ParameterId::kDefocus)},
        {"grid too large", withCell(clean, ParameterId::kGridSize, "200"), "200 is limited to 128", lineOf(ParameterId::kGridSize)},
        {"grid not whole", withCell(clean, ParameterId::kGridSize, "0.01"), "looks like a sample pitch", lineOf(ParameterId::kGridSize)},
        {"grid zero", withCell(clean, ParameterId::kGridSize, "0"), "nothing is simulated", lineOf(ParameterId::kGridSize)},
        {"count too large", withCell(clean, ParameterId::kRectCount, "1500"), "is limited to 1000", countLine},
        {"count zero", withCell(clean, ParameterId::kRectCount, "0"), "dark everywhere", countLine},
        {"pupil below a sample", tinyPupil.text(), "below 1", lineOf(ParameterId::kNumericalAperture)},
        {"source off the grid", wideSource.text(), "off the grid", sigmaLine},
        {"source points onto one another", crowded.text(), "the source has 5 distinct points of unequal weight", sigmaLine},
        {"source all at the centre", coherent.text(), "every source point rounds to the centre", sigmaLine},
        {"source rounded outside the pupil", edgeOfPupil.text(), "outside the pupil (effective sigma 1.005 above 1)", sigmaLine},
        {"reversed x edges", reversed.text(), "x start 10 is above x end -10: it acts as the rectangle from -10 to 10 with negated transmission", aerial::rectangleLine(1)},
        {"empty y extent", flatY.text(), "y start and end are both 5: the rectangle is empty", aerial::rectangleLine(0)},
        {"fewer rows than the count", shortFile, "the count says 3 rectangles but the file has 2", countLine},
        {"more rows than the count", withCell(clean, ParameterId::kRectCount, "1"), "1 more rectangle row follows (from line " + lineText(aerial::rectangleLine(1)) + ")", countLine},
        {"text edge", withRectangleCell(clean, 0, 2, "left"), "'left' is not a number", aerial::rectangleLine(0)},
        {"blank line inserted", inserted, "the name of line " + lineText(lineOf(ParameterId::kGridSize)) + " (grid)", lineOf(ParameterId::kSamplePitch)},
        {"line missing", missing, "the name of line " + lineText(lineOf(ParameterId::kNumericalAperture)) + " (na)", lineOf(ParameterId::kWavelength)},
    };
    // What run refuses: a file without TABs holds nothing a run could read, and a pitch,
    // wavelength or aperture of 0, NaN or infinity makes every table NaN (each one divides
    // or is divided by the others); the rest runs, with the warnings.
    const std::set<std::string> refused = {"spaces instead of TABs", "zero pitch", "text aperture",
                                           "text aperture is zero", "nan wavelength", "infinite wavelength"};
    for (const BrokenCase& c : cases) {
        InputReport r = check(c.text);
        EXPECT_TRUE(has(r.warnings, c.warning, c.line))
            << c.what << ": no warning on line " << c.line << " with '" << c.warning << "', got:\n" << listed(r.warnings);
        EXPECT_EQ(refusingWarning(r) != nullptr, refused.count(c.what) == 1) << c.what;
    }
}

// What check, run and report print of the input's text: nothing a terminal obeys, and only
// valid UTF-8, which a page needs.
TEST(ShowText, ControlBytesAndBrokenUtf8AreEscaped) {
    struct Case {
        std::string text, shown;
    };
    const Case cases[] = {
        {"0.5 um", "0.5 um"},
        {"\x1b[31mred\x07", "\\x1b[31mred\\x07"},   // ESC, BEL
        {"a\rb\x7f", "a\\x0db\\x7f"},               // CR, DEL
        {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},          // U+009B, the C1 CSI
        {"\xc2\xb5m \xe2\x80\x93 \xf0\x9f\x94\xac", "\xc2\xb5m \xe2\x80\x93 \xf0\x9f\x94\xac"}, // µm – 🔬
        {"\xff\xfe", "\\xff\\xfe"},                 // not UTF-8
        {"\xe2\x80", "\\xe2\\x80"},                 // a sequence cut short
        {"\xc0\xaf", "\\xc0\\xaf"},                 // an overlong '/'
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},        // a surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(showText(c.text), c.shown) << c.text;
}

TEST(InputCheck, WhatIsNoWarning) {
    // A unit set off by a space is read whole.
    InputReport unit = check(withCell(smallClean().text(), ParameterId::kSamplePitch, "0.04 um"));
    EXPECT_TRUE(unit.warnings.empty()) << listed(unit.warnings);
    EXPECT_EQ(entry(unit, ParameterId::kSamplePitch).value, 0.04);
    // An empty value cell beside a unit that is no number reads as 0 as meant: the shift.
    InputReport emptyShift = check(withCell(smallClean().text(), ParameterId::kShiftX, ""));
    EXPECT_TRUE(emptyShift.warnings.empty()) << listed(emptyShift.warnings);

    // Both axes reversed: the two negations cancel, the rectangle is the one with its
    // edges in order.
    TestInput bothReversed = smallClean();
    bothReversed.rects[0] = {1, 0, 4, -4, 10, -10};
    InputReport reversed = check(bothReversed.text());
    EXPECT_TRUE(reversed.warnings.empty()) << listed(reversed.warnings);
    EXPECT_TRUE(has(reversed.notes, "the signs cancel", aerial::rectangleLine(0))) << listed(reversed.notes);
}

// Exact halves round up: with R = 10 samples and sigma 0.5 index 1 shifts 2.5 samples,
// rounded to 3, and index -1 shifts -2.5, rounded to -2.
TEST(InputCheck, TheRoundedSourceIsANote) {
    TestInput halves;
    halves.gridSize = "64";
    halves.samplePitch = 10;
    halves.wavelength = 32;
    halves.numericalAperture = 0.5;
    halves.sigma = 0.5;
    halves.rects = {{1, 0, -8, 8, -8, 8}};
    InputReport r = check(halves.text());
    EXPECT_TRUE(r.warnings.empty()) << listed(r.warnings);
    const int sigmaLine = lineOf(ParameterId::kSigma);
    EXPECT_TRUE(has(r.notes, "by -5 -2.5 0 2.5 5, rounded to -5 -2 0 3 5", sigmaLine)) << listed(r.notes);
    EXPECT_TRUE(has(r.notes, "not symmetric", sigmaLine)) << listed(r.notes);
    EXPECT_EQ(countOfKind(r.warnings, FindingKind::kSource), 0);
}

TEST(InputCheck, NegativeOpticsSayWhichSignsChange) {
    const std::string clean = smallClean().text();
    InputReport na = check(withCell(clean, ParameterId::kNumericalAperture, "-0.75"));
    EXPECT_TRUE(has(na.warnings, "image for na 0.75 with the opposite sign of the rho^1, rho^3, rho^5 aberration coefficients",
                    lineOf(ParameterId::kNumericalAperture)))
        << listed(na.warnings);
    InputReport pitch = check(withCell(clean, ParameterId::kSamplePitch, "-0.04"));
    EXPECT_TRUE(has(pitch.warnings, "and of the spectrum shift; the tables label their direction sines and positions",
                    lineOf(ParameterId::kSamplePitch)))
        << listed(pitch.warnings);
}

TEST(SetCells, ChangesOnlyTheNamedCells) {
    const std::string crlf = [] {
        TestInput draft = smallClean();
        draft.lineEnd = "\r\n";
        return draft.text();
    }();
    std::vector<CellAssignment> assignments(2);
    std::string error;
    ASSERT_TRUE(parseAssignment("sigma=0,5", assignments[0], error)) << error;
    ASSERT_TRUE(parseAssignment("ax3=", assignments[1], error)) << error;
    std::string edited;
    ASSERT_TRUE(applyAssignments(crlf, assignments, edited, error)) << error;
    std::string expected = withCell(withCell(crlf, ParameterId::kSigma, "0,5"), ParameterId::kAberrX3, "");
    EXPECT_EQ(edited, expected);
    EXPECT_NE(edited.find("sigma\tunit\t0,5\r\n"), std::string::npos);

    CellAssignment a{};
    EXPECT_FALSE(parseAssignment("focus=1", a, error));
    EXPECT_NE(error.find("grid sample-pitch wavelength na sigma"), std::string::npos) << error;
    EXPECT_FALSE(parseAssignment("sigma", a, error));
    EXPECT_FALSE(parseAssignment("sigma=0.5\t1", a, error));

    ASSERT_TRUE(parseAssignment("defocus=0.1", a, error));
    const std::string cut = crlf.substr(0, crlf.find("defocus"));
    EXPECT_FALSE(applyAssignments(cut, {a}, edited, error));
    EXPECT_NE(error.find("no cell at line " + lineText(lineOf(ParameterId::kDefocus)) + ", column " +
                                std::to_string(cellOf(ParameterId::kDefocus).column)), std::string::npos) << error;
}
