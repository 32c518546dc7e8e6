#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "input/cell_parse.h"
#include "input/load_input.h"
#include "state/simulation_state.h"
#include "input/input_layout.h"
#include "test_support.h"

using aerial::workspace;
using namespace aerial_test;

namespace {

// Loads text as IN_FM.txt in a scratch folder.
bool loadText(const std::string& text) {
    ScratchFolder folder;
    writeFile(aerial::kInputFileName, text);
    return aerial::loadInput();
}

// The text of a cell of the table the last loadInput scanned.
std::string cell(int column, int line) {
    return aerial::cellText(aerial::loadedInputCells(), column, line).text;
}

} // namespace

TEST(InputReader, ReadsTheTwoRectangleExample) {
    ASSERT_TRUE(loadText(twoRectangleExample().text()));
    EXPECT_EQ(workspace.gridSize, 128);
    EXPECT_EQ(workspace.samplePitch, 0.01);
    EXPECT_EQ(workspace.wavelength, 0.193);
    EXPECT_EQ(workspace.numericalAperture, 0.75);
    EXPECT_EQ(workspace.sigma, 0.5);
    EXPECT_EQ(workspace.rectCount, 2);
    const aerial::MaskRectangle& a = workspace.rects[0];
    EXPECT_EQ(a.transRe, 1);
    EXPECT_EQ(a.xStart, -20);
    EXPECT_EQ(a.yEnd, 40);
    const aerial::MaskRectangle& b = workspace.rects[1];
    EXPECT_EQ(b.transRe, -1);
    EXPECT_EQ(b.yStart, -64); // limited to h = 64
    EXPECT_EQ(b.yEnd, 64);
}

TEST(InputReader, EveryParameterLandsInItsField) {
    InputSpec inputFile;
    inputFile.gridSize = "32";
    inputFile.samplePitch = 0.02;
    inputFile.wavelength = 0.248;
    inputFile.numericalAperture = 0.6;
    inputFile.sigma = 0.3;
    inputFile.shiftX = 0.125;
    inputFile.shiftY = -0.25;
    inputFile.defocus = 0.4;
    for (int j = 1; j <= 6; ++j) {
        inputFile.aberrX[j] = j * 0.01;
        inputFile.aberrY[j] = -j * 0.001;
    }
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace.gridSize, 32);
    EXPECT_EQ(workspace.spectrumShiftX, 0.125);
    EXPECT_EQ(workspace.spectrumShiftY, -0.25);
    EXPECT_EQ(workspace.defocus, 0.4);
    for (int j = 1; j <= 6; ++j) {
        EXPECT_EQ(workspace.aberrX[j], j * 0.01) << j;
        EXPECT_EQ(workspace.aberrY[j], -j * 0.001) << j;
    }
    EXPECT_EQ(workspace.rectCount, 0);
}

TEST(InputReader, CrLfAndLfFilesReadAlike) {
    InputSpec lf = twoRectangleExample();
    lf.defocus = 0.1;
    lf.aberrY[3] = 0.02;
    InputSpec crlf = lf;
    crlf.lineEnd = "\r\n";
    ASSERT_TRUE(loadText(lf.text()));
    aerial::SimulationState fromLf = workspace;
    ASSERT_TRUE(loadText(crlf.text()));
    EXPECT_EQ(workspace.gridSize, fromLf.gridSize);
    EXPECT_EQ(workspace.samplePitch, fromLf.samplePitch);
    EXPECT_EQ(workspace.defocus, fromLf.defocus);
    EXPECT_EQ(workspace.aberrY[3], fromLf.aberrY[3]);
    EXPECT_EQ(workspace.rectCount, fromLf.rectCount);
    EXPECT_EQ(workspace.rects[1].yEnd, fromLf.rects[1].yEnd);
}

struct GridCase {
    const char* cell;
    int gridSize;
};

class GridSizeCell : public testing::TestWithParam<GridCase> {};

TEST_P(GridSizeCell, ParsesAsLimitedInteger) {
    InputSpec inputFile;
    inputFile.gridSize = GetParam().cell;
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace.gridSize, GetParam().gridSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridSizeCell,
    testing::Values(GridCase{"200", 128}, GridCase{"64.9", 64}, GridCase{"1e2", 1},
                    GridCase{"  48 samples", 48}, GridCase{"", 0}, GridCase{"n/a", 0},
                    GridCase{"-7", -7}, GridCase{"99999999999999999999", 128},
                    GridCase{"-99999999999999999999", INT_MIN}));

TEST(InputReader, LimitsTheRectangleCountButNotBelowZero) {
    InputSpec inputFile;
    inputFile.rects = {{1, 0, 0, 1, 0, 1}};
    std::string text = inputFile.text();
    std::string many = text;
    many.replace(many.find("rectangles\tunit\t1"), 17, "rectangles\tunit\t1500");
    ASSERT_TRUE(loadText(many));
    EXPECT_EQ(workspace.rectCount, 1000);

    workspace.rects[0] = {7, 7, 7, 7, 7, 7};
    std::string negative = text;
    negative.replace(negative.find("rectangles\tunit\t1"), 17, "rectangles\tunit\t-3");
    ASSERT_TRUE(loadText(negative));
    EXPECT_EQ(workspace.rectCount, -3);
    EXPECT_EQ(workspace.rects[0].transRe, 7); // no row was read
}

TEST(InputReader, LimitsEdgesToHalfTheGrid) {
    InputSpec inputFile;
    inputFile.rects = {{2.5, -1, 70, -70, 64, -64}, {1, 0, 10, -10, 0, 0}};
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace.rects[0].transRe, 2.5); // transmissions are not limited
    EXPECT_EQ(workspace.rects[0].xStart, 64);
    EXPECT_EQ(workspace.rects[0].xEnd, -64);
    EXPECT_EQ(workspace.rects[0].yStart, 64); // exactly h stays
    EXPECT_EQ(workspace.rects[0].yEnd, -64);
    EXPECT_EQ(workspace.rects[1].xStart, 10); // reversed edges stay as read
    EXPECT_EQ(workspace.rects[1].xEnd, -10);

    inputFile.gridSize = "127";
    inputFile.rects = {{1, 0, 63.5, -63.5, 0, 0}};
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace.rects[0].xStart, 63);
    EXPECT_EQ(workspace.rects[0].xEnd, -63);

    inputFile.gridSize = "500"; // h comes from the limited size, 64
    inputFile.rects = {{1, 0, 250, -250, 0, 0}};
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace.rects[0].xStart, 64);
    EXPECT_EQ(workspace.rects[0].xEnd, -64);
}

TEST(InputReader, ValueCellsFollowTheNumberParsingRules) {
    std::string text = InputSpec().text();
    text.replace(text.find("sigma\tunit\t0.5"), 14, "sigma\tunit\t0.5 um");
    text.replace(text.find("pitch\tunit\t0.01"), 15, "pitch\tunit\t");
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.sigma, 0.5);
    EXPECT_EQ(workspace.samplePitch, 0.0);
}

TEST(InputReader, LongCellsKeepTheirFirst99Bytes) {
    std::string digits = "1" + std::string(149, '0');
    std::string text = InputSpec().text();
    text.replace(text.find("pitch\tunit\t0.01"), 15, "pitch\tunit\t" + digits);
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.samplePitch, std::strtod(digits.substr(0, 99).c_str(), nullptr));
    EXPECT_EQ(workspace.wavelength, 0.193); // the next line is unaffected
}

TEST(InputReader, ExtraCellsChangeNoValue) {
    InputSpec inputFile = twoRectangleExample();
    std::string text = inputFile.text();
    text.replace(text.find("0.193"), 5, "0.193\textra\tmore");
    std::string row = "r0\t1\t0\t-20\t20\t-40\t40";
    text.replace(text.find(row), row.size(),
                 "r0\t1\t0\t-20\t20\t-40\t40\t7\t8\t9\t10\t11\t12");
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.wavelength, 0.193);
    EXPECT_EQ(workspace.rects[0].xEnd, 20);
    EXPECT_EQ(workspace.rects[0].yEnd, 40);
    EXPECT_EQ(cell(9, 25), "12"); // later cells fold into the last column
}

TEST(InputReader, OneBlankLineShiftsEveryLaterValue) {
    std::string text = InputSpec().text();
    text.insert(text.find("grid"), "\n");
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.gridSize, 0);         // line 2 is now the blank line
    EXPECT_EQ(workspace.samplePitch, 128.0);  // the former line 2
    EXPECT_EQ(workspace.wavelength, 0.01);
}

TEST(InputReader, ReadsAllThousandRectangleRows) {
    InputSpec inputFile;
    for (int r = 0; r < 1000; ++r) inputFile.rects.push_back({r + 0.5, 0, -1, 1, -2, 2});
    std::string text = inputFile.text();
    for (int extra = 0; extra < 50; ++extra) text += "\t9\t9\t9\t9\t9\t9\n"; // past line 1024
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.rectCount, 1000);
    EXPECT_EQ(workspace.rects[975].transRe, 975.5);
    EXPECT_EQ(workspace.rects[976].transRe, 976.5);
    EXPECT_EQ(workspace.rects[999].transRe, 999.5); // line 1024, not overwritten
    EXPECT_EQ(workspace.rects[999].yEnd, 2);
}

TEST(InputReader, LastLineWithoutLineFeedAndShortFile) {
    InputSpec inputFile;
    inputFile.rects = {{0.25, 0, -3, 3, -4, 4}};
    std::string text = inputFile.text();
    text.pop_back(); // no final line feed
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.rects[0].yEnd, 4);

    // A file that ends early: every unwritten cell reads as 0.
    ASSERT_TRUE(loadText("a\nb\nx\ty\t16\n"));
    EXPECT_EQ(workspace.gridSize, 16);
    EXPECT_EQ(workspace.samplePitch, 0.0);
    EXPECT_EQ(workspace.rectCount, 0);
}

// A file that ends inside a cell reads as if it ended with a line feed: a long last cell
// keeps its first 99 bytes and runs into no other cell, also on the last line of the table.
TEST(InputReader, LastCellEndsAtEndOfFile) {
    std::string digits = "1" + std::string(149, '0');
    ASSERT_TRUE(loadText("a\nb\nx\ty\t16\nx\ty\t" + digits));
    EXPECT_EQ(workspace.samplePitch, 1e99); // 99 bytes, then the last byte at position 99
    EXPECT_EQ(cell(2, 3).size(), 100u);

    // The last cell of the whole table: unterminated, it would be read past the table's end.
    ASSERT_TRUE(loadText(std::string(1024, '\n') + std::string(9, '\t') + std::string(150, '7')));
    EXPECT_EQ(cell(9, 1024), std::string(100, '7'));

    InputSpec inputFile;
    for (int r = 0; r < 1000; ++r) inputFile.rects.push_back({1, 0, -1, 1, -2, 2});
    std::string text = inputFile.text();
    text += "\t123456\n\t" + std::string(120, '7') + "\t7"; // lines 1025, 1026: not stored
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.rects[999].transRe, 1.0);

    text = inputFile.text();
    text.pop_back();
    text.replace(text.rfind('\n') + 1, std::string::npos, "\t5"); // line 1024 without line feed
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace.rects[999].transRe, 5.0);
    EXPECT_EQ(cell(2, 1024), "");
}

TEST(InputReader, MissingFileChangesNothing) {
    ASSERT_TRUE(loadText(twoRectangleExample().text()));
    ScratchFolder empty;
    EXPECT_FALSE(aerial::loadInput());
    EXPECT_EQ(workspace.gridSize, 128);
    EXPECT_EQ(workspace.rectCount, 2);
}

TEST(InputReader, DirectoryNamedLikeTheInputIsUnreadable) {
    ScratchFolder folder;
    ASSERT_EQ(std::system((std::string("mkdir ") + aerial::kInputFileName).c_str()), 0);
    EXPECT_FALSE(aerial::loadInput());
}

TEST(CellParse, IntegersSaturateInsteadOfWrapping) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {{" +42x", 42}, {"-17", -17}, {"", 0}, {"abc", 0}, {"2147483647", INT_MAX},
                 {"2147483648", INT_MAX}, {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN},
                 {"\t 12", 12}, {"- 5", 0}, {"0x10", 0}};
    for (const Case& c : cases) EXPECT_EQ(aerial::parseIntCell(c.text), c.value) << c.text;
}

TEST(CellParse, RealsUseThePointWhateverTheLocale) {
    if (!useCommaDecimalLocale()) GTEST_SKIP() << "no comma-decimal locale available";
    EXPECT_EQ(std::atof("1,5"), 1.5); // the host's locale really is in force
    EXPECT_EQ(aerial::parseRealCell("0.193"), 0.193);
    EXPECT_EQ(aerial::parseRealCell("1,5"), 1.0);
    EXPECT_EQ(aerial::parseRealCell(" -2.5e-3 nm"), -2.5e-3);
    EXPECT_TRUE(std::isinf(aerial::parseRealCell("inf")));
    useClassicLocale();
}
