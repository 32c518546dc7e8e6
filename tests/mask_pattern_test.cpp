// Pattern generators: the rectangles each pattern gives on the grid, what is refused, the
// whole-period rule, and the input files and recipes written for them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "input/input_cells.h"
#include "input/parse_input.h"
#include "io/input_writer.h"
#include "masks/mask_recipe.h"
#include "masks/pattern_generator.h"

using namespace aerial_tool;
using aerial::MaskRectangle;

namespace {

const Grid kGrid{128, 0.01}; // h = 64 samples, 1.28 um

PatternRequest lines(Tone tone, double pitch, double cd) {
    PatternRequest p;
    p.kind = PatternKind::kLines;
    p.tone = tone;
    p.pitch = pitch;
    p.cd = cd;
    return p;
}

// The transmission the mask has at a point: the sum over the rectangles that hold it.
Transmission at(const std::vector<MaskRectangle>& rects, double x, double y) {
    Transmission t;
    for (const MaskRectangle& r : rects) {
        if (x > r.xStart && x < r.xEnd && y > r.yStart && y < r.yEnd) {
            t.re += r.transRe;
            t.im += r.transIm;
        }
    }
    return t;
}

double overlapArea(const MaskRectangle& a, const MaskRectangle& b) {
    const double w = std::fmin(a.xEnd, b.xEnd) - std::fmax(a.xStart, b.xStart);
    const double h = std::fmin(a.yEnd, b.yEnd) - std::fmax(a.yStart, b.yStart);
    return w > 0 && h > 0 ? w * h : 0;
}

std::vector<MaskRectangle> generate(const PatternRequest& request, const Grid& grid = kGrid) {
    std::vector<MaskRectangle> rects;
    std::string error;
    EXPECT_TRUE(generatePattern(request, grid, rects, error)) << error;
    for (size_t i = 0; i < rects.size(); ++i) {
        const MaskRectangle& r = rects[i];
        EXPECT_TRUE(r.xStart < r.xEnd && r.yStart < r.yEnd) << "rectangle " << i;
        EXPECT_TRUE(r.xStart >= -64 && r.xEnd <= 64 && r.yStart >= -64 && r.yEnd <= 64) << "rectangle " << i;
        for (size_t j = i + 1; j < rects.size(); ++j)
            EXPECT_EQ(overlapArea(r, rects[j]), 0) << "rectangles " << i << " and " << j << " overlap";
    }
    return rects;
}

// Stretches of [-64, 64] along the period axis as (lo, hi, transmission re).
struct Stretch {
    double lo, hi, re;
};

void expectProfile(const std::vector<MaskRectangle>& rects, const std::vector<Stretch>& profile,
                   bool alongX = true) {
    for (const Stretch& s : profile) {
        for (double f : {0.01, 0.5, 0.99}) {
            const double u = s.lo + f * (s.hi - s.lo);
            for (double v : {-63.9, 0.0, 63.9}) {
                const Transmission t = alongX ? at(rects, u, v) : at(rects, v, u);
                EXPECT_DOUBLE_EQ(t.re, s.re) << "at " << u << " across " << v;
                EXPECT_DOUBLE_EQ(t.im, 0) << "at " << u;
            }
        }
    }
}

} // namespace

TEST(PatternGenerator, DarkLinesOnAClearFieldAreTheSpacesBetweenThem) {
    // Lines of 16 samples every 32, one on the centre: the field is clear from 8 to 24,
    // 40 to 56 and the mirror images; the lines at +-64 are cut in half by the grid edge
    // and, with the image periodic over 128 samples, make one whole line there.
    const auto rects = generate(lines(Tone::kDark, 0.32, 0.16));
    EXPECT_EQ(rects.size(), 4u); // a dark line of transmission 0 needs no rectangle
    expectProfile(rects, {{-64, -56, 0}, {-56, -40, 1}, {-40, -24, 0}, {-24, -8, 1}, {-8, 8, 0},
                          {8, 24, 1}, {24, 40, 0}, {40, 56, 1}, {56, 64, 0}});
}

TEST(PatternGenerator, ClearSpacesSitWhereTheDarkLinesOfTheSameGratingSit) {
    const auto rects = generate(lines(Tone::kClear, 0.32, 0.16));
    EXPECT_EQ(rects.size(), 5u);
    expectProfile(rects, {{-64, -56, 1}, {-56, -40, 0}, {-40, -24, 1}, {-24, -8, 0}, {-8, 8, 1},
                          {8, 24, 0}, {24, 40, 1}, {40, 56, 0}, {56, 64, 1}});
}

TEST(PatternGenerator, EdgesAreNotSnappedToSamples) {
    // A CD of 0.125 um is 12.5 samples: the space runs from -6.25 to 6.25.
    const auto rects = generate(lines(Tone::kClear, 0.32, 0.125));
    expectProfile(rects, {{-6.25, 6.25, 1}, {6.25, 25.75, 0}, {25.75, 38.25, 1}});
    bool found = false;
    for (const MaskRectangle& r : rects) found |= r.xStart == -6.25 && r.xEnd == 6.25;
    EXPECT_TRUE(found);
}

TEST(PatternGenerator, OrientationYRunsThePeriodAlongY) {
    PatternRequest request = lines(Tone::kClear, 0.32, 0.16);
    request.orientation = Orientation::kY;
    expectProfile(generate(request), {{-8, 8, 1}, {8, 24, 0}, {24, 40, 1}}, false);
}

TEST(PatternGenerator, AttenuatedLinesAndAlternatingSpaces) {
    // 6 % attenuated lines: the line rectangles carry -0.245 beside the clear field ones.
    PatternRequest att = lines(Tone::kDark, 0.32, 0.16);
    att.hasTransmission = true;
    att.transmission = {-0.245, 0};
    const auto attRects = generate(att);
    EXPECT_EQ(attRects.size(), 9u);
    expectProfile(attRects, {{-64, -56, -0.245}, {-56, -40, 1}, {-8, 8, -0.245}, {8, 24, 1}});

    // Alternating phase: neighbouring spaces at 0 and 180 degrees, the centre one at 0;
    // the halves at +-64 both at 0, so the space across the grid edge is one space.
    PatternRequest alt = lines(Tone::kClear, 0.32, 0.16);
    alt.alternating = true;
    expectProfile(generate(alt), {{-64, -56, 1}, {-40, -24, -1}, {-8, 8, 1}, {24, 40, -1}, {56, 64, 1}});

    // Dark lines with alternating phase: the field between them alternates instead.
    PatternRequest altDark = lines(Tone::kDark, 0.32, 0.16);
    altDark.alternating = true;
    expectProfile(generate(altDark), {{-56, -40, 1}, {-24, -8, -1}, {8, 24, 1}, {40, 56, -1}});
}

TEST(PatternGenerator, IsolatedLineAndSpace) {
    PatternRequest line;
    line.kind = PatternKind::kLine;
    line.cd = 0.1;
    expectProfile(generate(line), {{-64, -5, 1}, {-5, 5, 0}, {5, 64, 1}});
    PatternRequest space = line;
    space.kind = PatternKind::kSpace;
    space.bias = 0.02; // drawn 0.12 wide
    expectProfile(generate(space), {{-64, -6, 0}, {-6, 6, 1}, {6, 64, 0}});
}

TEST(PatternGenerator, ContactHolesAndPostsCoverTheirShareOfTheGrid) {
    PatternRequest holes;
    holes.kind = PatternKind::kContacts;
    holes.tone = Tone::kClear;
    holes.pitchX = holes.pitchY = 0.32;
    holes.sizeX = 0.16;
    holes.sizeY = 0.08;
    const auto h = generate(holes);
    // 5 columns x 5 rows, those at the grid edge cut in half: 16 x 8 holes on a 32 grid.
    EXPECT_EQ(h.size(), 25u);
    double area = 0;
    for (const MaskRectangle& r : h) area += (r.xEnd - r.xStart) * (r.yEnd - r.yStart);
    EXPECT_DOUBLE_EQ(area, 128.0 * 128.0 * (16.0 / 32) * (8.0 / 32));
    EXPECT_DOUBLE_EQ(at(h, 0, 0).re, 1);
    EXPECT_DOUBLE_EQ(at(h, 0, 5).re, 0);
    EXPECT_DOUBLE_EQ(at(h, 32, -32).re, 1);

    // Posts (dark tone): the clear field around them, in rectangles that do not overlap.
    PatternRequest posts = holes;
    posts.tone = Tone::kDark;
    const auto p = generate(posts);
    area = 0;
    for (const MaskRectangle& r : p) area += (r.xEnd - r.xStart) * (r.yEnd - r.yStart);
    EXPECT_DOUBLE_EQ(area, 128.0 * 128.0 * (1 - (16.0 / 32) * (8.0 / 32)));
    EXPECT_DOUBLE_EQ(at(p, 0, 0).re, 0);
    EXPECT_DOUBLE_EQ(at(p, 0, 5).re, 1);
    EXPECT_DOUBLE_EQ(at(p, 16, 0).re, 1);
}

TEST(PatternGenerator, RefusesWhatCannotBeDrawn) {
    struct Case {
        const char* what;
        PatternRequest request;
        Grid grid;
        const char* reason; // a part of the message
    };
    PatternRequest contacts;
    contacts.kind = PatternKind::kContacts;
    contacts.pitchX = contacts.pitchY = 0.032; // 40 x 40 holes
    contacts.sizeX = contacts.sizeY = 0.016;
    PatternRequest negative = lines(Tone::kDark, 0.32, 0.1);
    negative.bias = -0.1;
    PatternRequest alternatingContacts = contacts;
    alternatingContacts.alternating = true;
    PatternRequest wide;
    wide.kind = PatternKind::kLine;
    wide.cd = 1.28;
    const std::vector<Case> cases = {
        {"a CD of zero", lines(Tone::kDark, 0.32, 0), kGrid, "zero or less"},
        {"a CD biased to zero", negative, kGrid, "zero or less"},
        {"a CD equal to the pitch", lines(Tone::kDark, 0.32, 0.32), kGrid, "not below the pitch"},
        {"a CD above the pitch", lines(Tone::kClear, 0.32, 0.4), kGrid, "not below the pitch"},
        {"a period above the grid", lines(Tone::kDark, 2.0, 0.5), kGrid, "above the grid"},
        {"more than 1000 rectangles (grating)", lines(Tone::kDark, 0.001, 0.0005), kGrid, "1000"},
        {"more than 1000 rectangles (holes)", contacts, kGrid, "1000"},
        {"an odd grid for a grating", lines(Tone::kDark, 0.32, 0.16), Grid{127, 0.01}, "even grid"},
        {"alternating contacts", alternatingContacts, kGrid, "alternating"},
        {"an isolated line as wide as the grid", wide, kGrid, "not below the grid"},
        {"no sample pitch", lines(Tone::kDark, 0.32, 0.16), Grid{128, 0}, "sample pitch"},
    };
    for (const Case& c : cases) {
        std::vector<MaskRectangle> rects;
        std::string error;
        EXPECT_FALSE(generatePattern(c.request, c.grid, rects, error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.what;
        EXPECT_TRUE(rects.empty()) << c.what;
    }
}

TEST(PatternGenerator, WholePeriodsAndTheFittedSamplePitch) {
    // 1.28 um hold 4 periods of 0.32 exactly, 4.267 of 0.3: 0.08 um more than 4 periods,
    // and 4 x 0.3 / 128 = 0.009375 is the sample pitch that holds exactly 4.
    EXPECT_TRUE(fitPeriod(0.32, kGrid).whole);
    const PeriodFit fit = fitPeriod(0.3, kGrid);
    EXPECT_FALSE(fit.whole);
    EXPECT_NEAR(fit.periods, 128 * 0.01 / 0.3, 1e-12);
    EXPECT_EQ(fit.nearestWhole, 4);
    EXPECT_NEAR(fit.shortfall, 0.08, 1e-12);
    EXPECT_DOUBLE_EQ(fit.fittedSamplePitch, 0.009375);
    EXPECT_TRUE(fitPeriod(0.3, Grid{128, fit.fittedSamplePitch}).whole);
    // An alternating grating repeats every two pitches.
    PatternRequest alt = lines(Tone::kClear, 0.32, 0.16);
    alt.alternating = true;
    EXPECT_EQ(patternPeriods(alt), std::vector<double>{0.64});
    PatternRequest line;
    line.kind = PatternKind::kLine;
    EXPECT_TRUE(patternPeriods(line).empty());
}

TEST(InputWriter, TheLibrarysReaderReadsBackEveryValueExactly) {
    InputParameters p = bundledExampleParameters();
    p[aerial::ParameterId::kSamplePitch] = 0.3 * 4 / 128;
    p[aerial::ParameterId::kDefocus] = -0.1;
    p[aerial::ParameterId::kAberrY3] = 1.0 / 3;
    const std::vector<MaskRectangle> rects = {{1, 0, -6.25, 6.25, -64, 64},
                                              {-0.245, 0.1, 1.0 / 3, 2.0 / 3, -64, 64}};
    const std::string text = inputFileText(p, rects, "title");
    auto cells = std::make_unique<aerial::InputCells>();
    aerial::scanInputText(text, *cells);
    auto values = std::make_unique<aerial::InputValues>();
    aerial::parseInput(*cells, *values);
    for (const aerial::ParameterCell& c : aerial::kParameterCells) {
        const double expected = c.id == aerial::ParameterId::kRectCount ? 2.0 : p[c.id];
        EXPECT_EQ(aerial::parameterValue(*values, c.id), expected) << c.name;
    }
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(values->rects[r].transRe, rects[r].transRe);
        EXPECT_EQ(values->rects[r].transIm, rects[r].transIm);
        EXPECT_EQ(values->rects[r].xStart, rects[r].xStart);
        EXPECT_EQ(values->rects[r].xEnd, rects[r].xEnd);
        EXPECT_EQ(values->rects[r].yStart, rects[r].yStart);
        EXPECT_EQ(values->rects[r].yEnd, rects[r].yEnd);
    }
    // The unit sits in the unit cell of every length line.
    const aerial::CellText unit = aerial::cellText(
        *cells, aerial::kUnitColumn, aerial::parameterCell(aerial::ParameterId::kWavelength).line);
    EXPECT_STREQ(unit.text, "um");
}

TEST(InputWriter, UnitsConvertEveryLengthAndOnlyThem) {
    InputParameters p = bundledExampleParameters();
    std::string error;
    ASSERT_TRUE(convertLengthUnit(p, "nm", error)) << error;
    EXPECT_DOUBLE_EQ(p[aerial::ParameterId::kSamplePitch], 10);
    EXPECT_DOUBLE_EQ(p[aerial::ParameterId::kWavelength], 193);
    EXPECT_DOUBLE_EQ(p[aerial::ParameterId::kNumericalAperture], 0.75);
    EXPECT_DOUBLE_EQ(p[aerial::ParameterId::kGridSize], 128);
    EXPECT_FALSE(convertLengthUnit(p, "furlong", error));
}

TEST(InputWriter, ReplacingRectanglesKeepsEveryLineAbove) {
    const InputParameters p = bundledExampleParameters();
    std::string text = inputFileText(p, {{1, 0, -8, 8, -64, 64}}, "title");
    // CR LF line ends stay CR LF.
    std::string crlf;
    for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    for (const std::string& original : {text, crlf}) {
        std::string replaced;
        ASSERT_TRUE(replaceRectangles(original, {{1, 0, -10, 10, -64, 64}, {1, 0, 30, 40, -64, 64}}, replaced));
        const std::string newline = original == crlf ? "\r\n" : "\n";
        const std::string fresh = inputFileText(p, {{1, 0, -10, 10, -64, 64}, {1, 0, 30, 40, -64, 64}}, "title");
        std::string expected;
        for (char ch : fresh) expected += ch == '\n' ? newline : std::string(1, ch);
        EXPECT_EQ(replaced, expected);
    }
}

TEST(MaskRecipe, RoundTripAndStudyParameters) {
    MaskRecipe r;
    r.pattern = lines(Tone::kClear, 0.24, 0.12);
    r.pattern.bias = 0.005;
    r.pattern.alternating = true;
    r.pattern.hasTransmission = true;
    r.pattern.transmission = {-0.245, 0};
    r.pattern.orientation = Orientation::kY;
    r.grid = {128, 0.01};
    r.unit = "um";
    MaskRecipe back;
    std::string error;
    ASSERT_TRUE(parseRecipe(recipeJson(r), back, error)) << error;
    EXPECT_EQ(recipeJson(back), recipeJson(r));
    EXPECT_EQ(back.pattern.tone, Tone::kClear);
    EXPECT_EQ(back.pattern.orientation, Orientation::kY);
    EXPECT_DOUBLE_EQ(back.pattern.transmission.re, -0.245);
    EXPECT_TRUE(setRecipeParameter(back, "mask.pitch", 0.32));
    EXPECT_TRUE(setRecipeParameter(back, "mask.cd", 0.16));
    EXPECT_TRUE(setRecipeParameter(back, "mask.bias", -0.01));
    EXPECT_FALSE(setRecipeParameter(back, "mask.tone", 1));
    EXPECT_EQ(back.pattern.pitch, 0.32);
    EXPECT_EQ(back.pattern.cd, 0.16);
    EXPECT_EQ(back.pattern.bias, -0.01);
    EXPECT_FALSE(parseRecipe("{\"kind\": \"zigzag\"}", back, error));
    EXPECT_FALSE(parseRecipe("not json", back, error));
}

TEST(MaskStudy, EachPointIsTheParentInputWithItsRectanglesDrawnAgain) {
    MaskRecipe recipe;
    recipe.pattern = lines(Tone::kDark, 0.32, 0.12);
    recipe.grid = kGrid;
    recipe.unit = "um";
    std::vector<MaskRectangle> rects;
    std::string error, warning, point;
    ASSERT_TRUE(generatePattern(recipe.pattern, kGrid, rects, error));
    InputParameters parameters = bundledExampleParameters();
    parameters[aerial::ParameterId::kDefocus] = 0.05; // kept at every point
    const std::string parent = inputFileText(parameters, rects, "parent");

    // Pitch 0.256 (5 periods) and a bias of 0.02: the same as drawing it anew.
    ASSERT_TRUE(regenerateInput(parent, recipe, {{"mask.pitch", 0.256}, {"mask.bias", 0.02}}, point, warning, error))
        << error;
    EXPECT_EQ(warning, "");
    PatternRequest expected = lines(Tone::kDark, 0.256, 0.12);
    expected.bias = 0.02;
    ASSERT_TRUE(generatePattern(expected, kGrid, rects, error));
    EXPECT_EQ(point, inputFileText(parameters, rects, "parent"));

    // A pitch the grid does not hold whole is drawn, with a warning.
    ASSERT_TRUE(regenerateInput(parent, recipe, {{"mask.pitch", 0.3}}, point, warning, error)) << error;
    EXPECT_NE(warning.find("4.2667 periods"), std::string::npos) << warning;
    EXPECT_FALSE(regenerateInput(parent, recipe, {{"mask.cd", 0.4}}, point, warning, error));
    EXPECT_FALSE(regenerateInput(parent, recipe, {{"sigma", 0.4}}, point, warning, error));
}
