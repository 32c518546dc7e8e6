#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "input/cell_parse.h"
#include "input/input_cells.h"
#include "input/input_layout.h"
#include "input/load_input.h"
#include "input/parse_input.h"
#include "state/simulation_context.h"
#include "test_support.h"

using aerial::ParameterId;
using aerial::workspace;
using namespace aerial_test;

namespace {

// Loads text as the input file of a scratch folder, with main4's reader.
bool loadText(const std::string& text) {
    ScratchFolder folder;
    writeInput(text);
    return aerial::loadInput();
}

// About 1 MB each: static, like the reader's own.
aerial::InputCells scanned;
aerial::InputValues parsed;

// Scans and parses text without any file.
const aerial::InputValues& parseText(const std::string& text) {
    aerial::scanInputText(text, scanned);
    aerial::parseInput(scanned, parsed);
    return parsed;
}

// Where a line of text begins (its length when the text has fewer lines).
std::size_t lineStart(const std::string& text, int line) {
    std::size_t at = 0;
    for (int k = 0; k < line && at < text.size(); ++k) {
        const std::size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return at;
}

// The text of a cell of the table the last loadInput scanned.
std::string cell(int column, int line) {
    return aerial::cellText(aerial::loadedInputCells(), column, line).text;
}

} // namespace

TEST(InputReader, ReadsTheTwoRectangleExample) {
    ASSERT_TRUE(loadText(twoRectangleExample().text()));
    EXPECT_EQ(workspace().gridSize, 128);
    EXPECT_EQ(workspace().samplePitch, 0.01);
    EXPECT_EQ(workspace().wavelength, 0.193);
    EXPECT_EQ(workspace().numericalAperture, 0.75);
    EXPECT_EQ(workspace().sigma, 0.5);
    EXPECT_EQ(workspace().rectCount, 2);
    const aerial::MaskRectangle& a = workspace().rects[0];
    EXPECT_EQ(a.transRe, 1);
    EXPECT_EQ(a.xStart, -20);
    EXPECT_EQ(a.yEnd, 40);
    const aerial::MaskRectangle& b = workspace().rects[1];
    EXPECT_EQ(b.transRe, -1);
    EXPECT_EQ(b.yStart, -64); // limited to h = 64
    EXPECT_EQ(b.yEnd, 64);
}

TEST(InputReader, EveryParameterLandsInItsField) {
    TestInput inputFile;
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
    EXPECT_EQ(workspace().gridSize, 32);
    EXPECT_EQ(workspace().spectrumShiftX, 0.125);
    EXPECT_EQ(workspace().spectrumShiftY, -0.25);
    EXPECT_EQ(workspace().defocus, 0.4);
    for (int j = 1; j <= 6; ++j) {
        EXPECT_EQ(workspace().aberrX[j], j * 0.01) << j;
        EXPECT_EQ(workspace().aberrY[j], -j * 0.001) << j;
    }
    EXPECT_EQ(workspace().rectCount, 0);
}

TEST(InputReader, CrLfAndLfFilesReadAlike) {
    TestInput lf = twoRectangleExample();
    lf.defocus = 0.1;
    lf.aberrY[3] = 0.02;
    TestInput crlf = lf;
    crlf.lineEnd = "\r\n";
    ASSERT_TRUE(loadText(lf.text()));
    aerial::SimulationState fromLf = workspace();
    ASSERT_TRUE(loadText(crlf.text()));
    EXPECT_EQ(workspace().gridSize, fromLf.gridSize);
    EXPECT_EQ(workspace().samplePitch, fromLf.samplePitch);
    EXPECT_EQ(workspace().defocus, fromLf.defocus);
    EXPECT_EQ(workspace().aberrY[3], fromLf.aberrY[3]);
    EXPECT_EQ(workspace().rectCount, fromLf.rectCount);
    EXPECT_EQ(workspace().rects[1].yEnd, fromLf.rects[1].yEnd);
}

struct GridCase {
    const char* cell;
    int gridSize;
};

class GridSizeCell : public testing::TestWithParam<GridCase> {};

TEST_P(GridSizeCell, ParsesAsLimitedInteger) {
    TestInput inputFile;
    inputFile.gridSize = GetParam().cell;
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace().gridSize, GetParam().gridSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridSizeCell,
    testing::Values(GridCase{"200", 128}, GridCase{"64.9", 64}, GridCase{"1e2", 1},
                    GridCase{"  48 samples", 48}, GridCase{"", 0}, GridCase{"n/a", 0},
                    GridCase{"-7", -7}, GridCase{"99999999999999999999", 128},
                    GridCase{"-99999999999999999999", INT_MIN}));

TEST(InputReader, LimitsTheRectangleCountButNotBelowZero) {
    TestInput inputFile;
    inputFile.rects = {{1, 0, 0, 1, 0, 1}};
    InputGrid many = inputFile.grid();
    many.setParameter(ParameterId::kRectCount, "1500");
    ASSERT_TRUE(loadText(many.text()));
    EXPECT_EQ(workspace().rectCount, 1000);

    workspace().rects[0] = {7, 7, 7, 7, 7, 7};
    InputGrid negative = inputFile.grid();
    negative.setParameter(ParameterId::kRectCount, "-3");
    ASSERT_TRUE(loadText(negative.text()));
    EXPECT_EQ(workspace().rectCount, -3);
    EXPECT_EQ(workspace().rects[0].transRe, 7); // no row was read
}

TEST(InputReader, LimitsEdgesToHalfTheGrid) {
    TestInput inputFile;
    inputFile.rects = {{2.5, -1, 70, -70, 64, -64}, {1, 0, 10, -10, 0, 0}};
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace().rects[0].transRe, 2.5); // transmissions are not limited
    EXPECT_EQ(workspace().rects[0].xStart, 64);
    EXPECT_EQ(workspace().rects[0].xEnd, -64);
    EXPECT_EQ(workspace().rects[0].yStart, 64); // exactly h stays
    EXPECT_EQ(workspace().rects[0].yEnd, -64);
    EXPECT_EQ(workspace().rects[1].xStart, 10); // reversed edges stay as read
    EXPECT_EQ(workspace().rects[1].xEnd, -10);

    inputFile.gridSize = "127";
    inputFile.rects = {{1, 0, 63.5, -63.5, 0, 0}};
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace().rects[0].xStart, 63);
    EXPECT_EQ(workspace().rects[0].xEnd, -63);

    inputFile.gridSize = "500"; // h comes from the limited size, 64
    inputFile.rects = {{1, 0, 250, -250, 0, 0}};
    ASSERT_TRUE(loadText(inputFile.text()));
    EXPECT_EQ(workspace().rects[0].xStart, 64);
    EXPECT_EQ(workspace().rects[0].xEnd, -64);
}

TEST(InputReader, ValueCellsFollowTheNumberParsingRules) {
    InputGrid g = TestInput().grid();
    g.setParameter(ParameterId::kSigma, "0.5 um");
    g.setParameter(ParameterId::kSamplePitch, "");
    ASSERT_TRUE(loadText(g.text()));
    EXPECT_EQ(workspace().sigma, 0.5);
    EXPECT_EQ(workspace().samplePitch, 0.0);
}

TEST(InputReader, LongCellsKeepTheirFirst99Bytes) {
    std::string digits = "1" + std::string(149, '0');
    InputGrid g = TestInput().grid();
    g.setParameter(ParameterId::kSamplePitch, digits);
    ASSERT_TRUE(loadText(g.text()));
    EXPECT_EQ(workspace().samplePitch, std::strtod(digits.substr(0, 99).c_str(), nullptr));
    EXPECT_EQ(workspace().wavelength, 0.193); // the next line is unaffected
}

TEST(InputReader, ExtraCellsChangeNoValue) {
    InputGrid g = twoRectangleExample().grid();
    const aerial::ParameterCell& wavelength = aerial::parameterCell(ParameterId::kWavelength);
    g.set(wavelength.line, wavelength.column + 1, "extra");
    g.set(wavelength.line, wavelength.column + 2, "more");
    g.setRectangle(0, {"1", "0", "-20", "20", "-40", "40", "7", "8", "9", "10", "11", "12"});
    ASSERT_TRUE(loadText(g.text()));
    EXPECT_EQ(workspace().wavelength, 0.193);
    EXPECT_EQ(workspace().rects[0].xEnd, 20);
    EXPECT_EQ(workspace().rects[0].yEnd, 40);
    // Later cells fold into the last column: it holds the line's last cell.
    EXPECT_EQ(cell(aerial::kCellColumns - 1, aerial::rectangleLine(0)), "12");
}

TEST(InputReader, OneBlankLineShiftsEveryLaterValue) {
    std::string text = TestInput().text();
    text.insert(lineStart(text, aerial::parameterCell(ParameterId::kGridSize).line), "\n");
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace().gridSize, 0);         // line 2 is now the blank line
    EXPECT_EQ(workspace().samplePitch, 128.0);  // the former line 2
    EXPECT_EQ(workspace().wavelength, 0.01);
}

TEST(InputReader, ReadsAllThousandRectangleRows) {
    TestInput inputFile;
    for (int r = 0; r < 1000; ++r) inputFile.rects.push_back({r + 0.5, 0, -1, 1, -2, 2});
    std::string text = inputFile.text();
    for (int extra = 0; extra < 50; ++extra) text += "\t9\t9\t9\t9\t9\t9\n"; // past line 1024
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace().rectCount, 1000);
    EXPECT_EQ(workspace().rects[975].transRe, 975.5);
    EXPECT_EQ(workspace().rects[976].transRe, 976.5);
    EXPECT_EQ(workspace().rects[999].transRe, 999.5); // line 1024, not overwritten
    EXPECT_EQ(workspace().rects[999].yEnd, 2);
}

TEST(InputReader, LastLineWithoutLineFeedAndShortFile) {
    TestInput inputFile;
    inputFile.rects = {{0.25, 0, -3, 3, -4, 4}};
    std::string text = inputFile.text();
    text.pop_back(); // no final line feed
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace().rects[0].yEnd, 4);

    // A file that ends early: every unwritten cell reads as 0.
    InputGrid onlyTheGrid;
    onlyTheGrid.setParameter(ParameterId::kGridSize, "16");
    ASSERT_TRUE(loadText(onlyTheGrid.text()));
    EXPECT_EQ(workspace().gridSize, 16);
    EXPECT_EQ(workspace().samplePitch, 0.0);
    EXPECT_EQ(workspace().rectCount, 0);
}

// A cell ended by a tab or a line feed keeps its first 99 bytes: later bytes land on
// position 99 and its zero lands there last. The cell open at the end of a file without a
// final line feed gets no zero: it reads as exactly the bytes stored in it, its first 99
// bytes and the last one at position 99.
struct LongCellCase {
    int length; // 2 bytes "17" after length - 2 spaces
    bool terminated;
    std::string text; // what the cell holds
    double value;
};

TEST(InputReader, LastCellOfTheFileReadsAsTheBytesStoredInIt) {
    auto cellOf = [](int length) { return std::string(length - 2, ' ') + "17"; };
    const LongCellCase cases[] = {
        {98, true, cellOf(98), 17},  {98, false, cellOf(98), 17},
        {99, true, cellOf(99), 17},  {99, false, cellOf(99), 17},
        {100, true, std::string(98, ' ') + "1", 1}, // the zero replaces the 100th byte
        {100, false, cellOf(100), 17},
        {101, true, std::string(99, ' '), 0},
        {101, false, std::string(99, ' ') + "7", 7}, // the last byte lands on position 99
        {122, true, std::string(99, ' '), 0},
        {122, false, std::string(99, ' ') + "7", 7},
    };
    const aerial::ParameterCell& pitch = aerial::parameterCell(ParameterId::kSamplePitch);
    for (const LongCellCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + (c.terminated ? " bytes, terminated" : " bytes, last"));
        InputGrid g;
        g.setParameter(ParameterId::kGridSize, "16");
        g.setParameter(ParameterId::kSamplePitch, cellOf(c.length));
        std::string text = g.text();
        if (!c.terminated) text.pop_back();
        const aerial::InputValues& values = parseText(text);
        EXPECT_EQ(aerial::cellText(scanned, pitch.column, pitch.line).text, c.text);
        EXPECT_EQ(values.samplePitch, c.value);
    }

    // A last rectangle row whose y-end cell is 98 spaces then "17": 17, limited to h = 16.
    TestInput inputFile;
    inputFile.gridSize = "32";
    inputFile.rects = {{1, 0, -2, 2, -3, 3}};
    InputGrid g = inputFile.grid();
    g.setRectangle(0, {"1", "0", "-2", "2", "-3", std::string(98, ' ') + "17"});
    std::string text = g.text();
    text.pop_back();
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace().rects[0].yEnd, 16);
    ASSERT_TRUE(loadText(text.substr(0, text.size() - 1))); // "1": within the grid
    EXPECT_EQ(workspace().rects[0].yEnd, 1);
}

TEST(InputReader, LastCellEndsAtEndOfFile) {
    // The last cell of the whole table, 150 bytes without a terminator.
    const int lastLine = aerial::kCellLines - 1;
    const int lastColumn = aerial::kCellColumns - 1;
    ASSERT_TRUE(loadText(std::string(lastLine, '\n') + std::string(lastColumn, '\t') +
                         std::string(150, '7')));
    EXPECT_EQ(cell(lastColumn, lastLine), std::string(100, '7'));

    // Folded into the last column over a longer cell of the same line: the last cell does
    // not run on into the older bytes.
    ASSERT_TRUE(loadText("\t\t\t\t\t\t\t\t\t9\t" + std::string(60, 'a') + "\tbb"));
    EXPECT_EQ(cell(lastColumn, 0), "bb");
    ASSERT_TRUE(loadText("\t\t\t\t\t\t\t\t\t9\t" + std::string(60, 'a') + "\t"));
    EXPECT_EQ(cell(lastColumn, 0), "");

    TestInput inputFile;
    for (int r = 0; r < 1000; ++r) inputFile.rects.push_back({1, 0, -1, 1, -2, 2});
    std::string text = inputFile.text();
    text += "\t123456\n\t" + std::string(120, '7') + "\t7"; // lines past the table: not stored
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace().rects[999].transRe, 1.0);

    text = inputFile.text();
    text.pop_back();
    text.replace(text.rfind('\n') + 1, std::string::npos, "\t5"); // the last row without line feed
    ASSERT_TRUE(loadText(text));
    EXPECT_EQ(workspace().rects[999].transRe, 5.0);
    EXPECT_EQ(cell(aerial::kRectangleCells[1].column, aerial::rectangleLine(999)), ""); // trans-im
}

// Every cell of a scan as text, with the lines and cells the scan stored.
std::vector<std::vector<std::string>> allCells(const aerial::InputCells& cells) {
    std::vector<std::vector<std::string>> out(static_cast<std::size_t>(cells.storedLines));
    for (int l = 0; l < cells.storedLines; ++l)
        for (int c = 0; c < cells.cellsOnLine[l]; ++c) out[l].push_back(aerial::cellText(cells, c, l).text);
    return out;
}

aerial::InputCells edited; // a second table, for the scan of the edited bytes

TEST(InputReader, LocatesEachCellByTheScansRules) {
    const std::string pastTable = std::string(aerial::kCellLines - 1, '\n') + "a\tb\nunstored\t1";
    const std::string files[] = {
        "a\tb\r\nname\tunit\t0.5\r\n",                // CR LF lines
        "x\t1\r2\tz\n\r\tq",                          // a CR inside a cell, a cell of a CR alone
        "0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\n",     // the 11th and 12th cells fold into column 9
        "0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t\r\n",         // an empty 11th cell after the last tab
        "a\tb\nc\td",                                 // a last line without a line feed
        "a\t\r\n\n",                                  // empty cells, an empty line, the open cell after it
        "",                                           // no bytes: one empty cell
        pastTable,                                    // lines past the table are not stored
    };
    for (const std::string& text : files) {
        SCOPED_TRACE(::testing::PrintToString(text.size() > 40 ? text.substr(text.size() - 40) : text));
        aerial::scanInputText(text, scanned);
        const auto before = allCells(scanned);
        // One line and one column beyond what the scan stored: those have no cell either.
        for (int line = 0; line <= std::min(scanned.storedLines, aerial::kCellLines - 1); ++line) {
            for (int column = 0; column < aerial::kCellColumns; ++column) {
                aerial::CellSpan span{};
                const bool found = aerial::locateCell(text, column, line, span);
                ASSERT_EQ(found, aerial::cellWritten(scanned, column, line)) << "column " << column << " line " << line;
                if (!found) continue;
                // The span's bytes are the cell's text once the ignored CRs are gone.
                std::string bytes = text.substr(span.begin, span.end - span.begin);
                std::erase(bytes, '\r');
                EXPECT_EQ(bytes, aerial::cellText(scanned, column, line).text);
                // An edit gives this cell the new text and every other cell its old one.
                const std::string edit = text.substr(0, span.begin) + "NEW" + text.substr(span.end);
                aerial::scanInputText(edit, edited);
                auto expected = before;
                expected[line][column] = "NEW";
                EXPECT_EQ(allCells(edited), expected) << "column " << column << " line " << line;
            }
        }
    }
    aerial::CellSpan span{};
    EXPECT_FALSE(aerial::locateCell(pastTable, 0, aerial::kCellLines, span));
    EXPECT_FALSE(aerial::locateCell("a", -1, 0, span));
    EXPECT_FALSE(aerial::locateCell("a", aerial::kCellColumns, 0, span));
    // A CR LF line keeps its CR LF, an empty cell of a CR gets the text before the CR.
    ASSERT_TRUE(aerial::locateCell("a\tb\r\n", 1, 0, span));
    EXPECT_EQ(span.begin, 2u);
    EXPECT_EQ(span.end, 3u);
    ASSERT_TRUE(aerial::locateCell("a\t\r\n", 1, 0, span));
    EXPECT_EQ(span.begin, 2u);
    EXPECT_EQ(span.end, 2u);
}

struct LineCountCase {
    const char* text;
    int lineCount;
    bool sawTab;
};

TEST(InputReader, CountsLinesAndTabsAsTheScanSeesThem) {
    const LineCountCase cases[] = {
        {"", 0, false},          {"a", 1, false},        {"a\n", 1, false},
        {"a\nb", 2, false},      {"\n\n", 2, false},     {"a\r\nb\r\n", 2, false},
        {"a\n\r", 1, false},     // a carriage return alone makes no line
        {"x\t", 1, true},        {"grid 16\npitch 0.01\n", 2, false}, // spaces are no tabs
    };
    for (const LineCountCase& c : cases) {
        aerial::scanInputText(c.text, scanned);
        EXPECT_EQ(scanned.lineCount, c.lineCount) << testing::PrintToString(c.text);
        EXPECT_EQ(scanned.sawTab, c.sawTab) << testing::PrintToString(c.text);
    }
}

// Any path, no working folder involved: the values are those main4's reader finds in the
// same file.
TEST(InputReader, ScansAFileOfAnyNameInAnyFolder) {
    TestInput inputFile = twoRectangleExample();
    inputFile.defocus = 0.07;
    ScratchFolder folder;
    std::filesystem::create_directory("some folder");
    const std::string path = folder.path() + "/some folder/mask 1.txt";
    writeFile(path, inputFile.text());
    writeInput(inputFile.text());
    const std::string here = std::filesystem::current_path().string();
    ASSERT_TRUE(aerial::scanInputFile(path.c_str(), scanned));
    EXPECT_EQ(std::filesystem::current_path().string(), here);
    EXPECT_EQ(scanned.lineCount, aerial::rectangleLine(2));
    EXPECT_TRUE(scanned.sawTab);
    aerial::parseInput(scanned, parsed);
    ASSERT_TRUE(aerial::loadInput());
    EXPECT_EQ(parsed.gridSize, workspace().gridSize);
    EXPECT_EQ(parsed.sigma, workspace().sigma);
    EXPECT_EQ(parsed.defocus, workspace().defocus);
    EXPECT_EQ(parsed.rectCount, workspace().rectCount);
    EXPECT_EQ(parsed.rects[1].yStart, workspace().rects[1].yStart);
    EXPECT_EQ(parsed.rects[2].transRe, 0.0); // rows past the count are zero

    EXPECT_FALSE(aerial::scanInputFile((folder.path() + "/none.txt").c_str(), scanned));
    EXPECT_FALSE(aerial::scanInputFile((folder.path() + "/some folder").c_str(), scanned));
}

// The scan clears nothing, so a table of any earlier content (an earlier, longer file; a
// table never initialised) must read exactly as the new file says.
TEST(InputReader, NothingOfAnEarlierTableSurvivesAScan) {
    const std::string shortFile = "title\n\tone\ttwo\nlast\tcell";
    auto expectShortFile = [&](const aerial::InputCells& cells) {
        EXPECT_EQ(std::string(aerial::cellText(cells, 0, 0).text), "title");
        EXPECT_EQ(std::string(aerial::cellText(cells, 1, 0).text), "");
        EXPECT_EQ(std::string(aerial::cellText(cells, 2, 1).text), "two");
        EXPECT_EQ(std::string(aerial::cellText(cells, 3, 1).text), "");
        EXPECT_EQ(std::string(aerial::cellText(cells, 1, 2).text), "cell");
        EXPECT_EQ(std::string(aerial::cellText(cells, 0, 3).text), "");
        EXPECT_EQ(std::string(aerial::cellText(cells, 2, aerial::kCellLines - 1).text), "");
    };

    // Every byte of the table, its line and cell records included, set to garbage first.
    auto garbage = std::make_unique<aerial::InputCells>();
    std::memset(garbage.get(), 0x5A, sizeof *garbage);
    aerial::scanInputText(shortFile, *garbage);
    expectShortFile(*garbage);
    aerial::parseInput(*garbage, parsed);
    EXPECT_EQ(parsed.gridSize, 0); // its cell was not written
    EXPECT_EQ(parsed.rectCount, 0);

    // main4's own table after the example, whose values sit in the cells now unwritten.
    ASSERT_TRUE(loadText(twoRectangleExample().text()));
    ASSERT_TRUE(loadText(shortFile));
    expectShortFile(aerial::loadedInputCells());
    EXPECT_EQ(workspace().gridSize, 0);
    EXPECT_EQ(workspace().sigma, 0.0);
    EXPECT_EQ(workspace().rectCount, 0);
}

TEST(InputReader, MissingFileChangesNothing) {
    ASSERT_TRUE(loadText(twoRectangleExample().text()));
    ScratchFolder empty;
    EXPECT_FALSE(aerial::loadInput());
    EXPECT_EQ(workspace().gridSize, 128);
    EXPECT_EQ(workspace().rectCount, 2);
}

TEST(InputReader, DirectoryNamedLikeTheInputIsUnreadable) {
    ScratchFolder folder;
    ASSERT_TRUE(std::filesystem::create_directory(aerial::kInputFileName));
    EXPECT_FALSE(aerial::loadInput());
}

// Every parameter from its own cell: a distinct value in each, read back by its id.
TEST(InputLayout, EachParameterIsReadFromItsOwnCell) {
    InputGrid g;
    for (int i = 0; i < aerial::kParameterCount; ++i) {
        const aerial::ParameterCell& p = aerial::kParameterCells[i];
        g.setParameter(p.id, p.kind == aerial::CellKind::kInteger ? std::to_string(i + 2)
                                                                   : std::to_string(i) + ".25");
    }
    const aerial::InputValues& values = parseText(g.text());
    for (int i = 0; i < aerial::kParameterCount; ++i) {
        const aerial::ParameterCell& p = aerial::kParameterCells[i];
        const double written = p.kind == aerial::CellKind::kInteger ? i + 2 : i + 0.25;
        EXPECT_EQ(aerial::parameterValue(values, p.id), written) << p.name;
    }
    EXPECT_EQ(values.gridSize, 2);
    EXPECT_EQ(values.aberrX[1], aerial::parameterValue(values, ParameterId::kAberrX1));
    EXPECT_EQ(values.aberrY[6], aerial::parameterValue(values, ParameterId::kAberrY6));
}

TEST(InputLayout, ParametersAreFoundByName) {
    for (const aerial::ParameterCell& p : aerial::kParameterCells) {
        ASSERT_NE(aerial::findParameter(p.name), nullptr) << p.name;
        EXPECT_EQ(aerial::findParameter(p.name)->id, p.id) << p.name; // names are unique
    }
    EXPECT_EQ(aerial::findParameter("sigma")->line, 6);
    EXPECT_EQ(aerial::findParameter("ax3")->line, 12);
    EXPECT_EQ(aerial::findParameter("rectangles")->kind, aerial::CellKind::kInteger);
    EXPECT_EQ(aerial::findParameter("Sigma"), nullptr);
    EXPECT_EQ(aerial::findParameter(""), nullptr);
    EXPECT_EQ(aerial::rectangleLine(0), 25);
    // The cell table holds every row the count limit allows.
    EXPECT_LT(aerial::rectangleLine(aerial::kMaxRects - 1), aerial::kCellLines);
}

// Where the number stops: the bytes the run reads as the number, white space before it
// included; 0 when the cell does not begin with one.
TEST(CellParse, ReportsHowMuchOfTheTextIsTheNumber) {
    struct IntCase {
        const char* text;
        int value, consumed;
    } ints[] = {{" +42x", 42, 4}, {"12abc", 12, 2}, {"64.9", 64, 2}, {"1e2", 1, 1}, {"", 0, 0},
                {"abc", 0, 0},    {"- 5", 0, 0},    {"0x10", 0, 1},  {"-0", 0, 2},  {"  ", 0, 0}};
    for (const IntCase& c : ints) {
        const aerial::ParsedInt parsed = aerial::parseIntPrefix(c.text);
        EXPECT_EQ(parsed.value, c.value) << c.text;
        EXPECT_EQ(parsed.consumed, c.consumed) << c.text;
    }
    const double inf = std::numeric_limits<double>::infinity();
    struct RealCase {
        const char* text;
        double value;
        int consumed;
    } reals[] = {{"inf", inf, 3},      {"-inf", -inf, 4},    {"0x1p-7", 0.0078125, 6},
                 {"1e400", inf, 5},    {"-0", -0.0, 2},      {"0,5", 0, 1},
                 {"12abc", 12, 2},     {"", 0, 0},           {" 0.5 um", 0.5, 4},
                 {"1e", 1, 1},         {".", 0, 0},          {"-.5e-1", -0.05, 6}};
    for (const RealCase& c : reals) {
        const aerial::ParsedReal parsed = aerial::parseRealPrefix(c.text);
        EXPECT_EQ(parsed.value, c.value) << c.text;
        EXPECT_EQ(std::signbit(parsed.value), std::signbit(c.value)) << c.text;
        EXPECT_EQ(parsed.consumed, c.consumed) << c.text;
    }
    const aerial::ParsedReal nan = aerial::parseRealPrefix("nan");
    EXPECT_TRUE(std::isnan(nan.value));
    EXPECT_EQ(nan.consumed, 3);
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
