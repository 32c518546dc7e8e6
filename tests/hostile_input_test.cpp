// main4 on input files no user means to write: every one must let the run finish and
// leave three tables of the layout of the grid size the reader settled on.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <functional>
// GCC 12 with AddressSanitizer reports std::regex's own states as maybe uninitialised
// (GCC bug 105616); only the regex header's code is exempt.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#else
#include <regex>
#endif
#include <string>
#include <vector>

#include "aerial/main4.h"
#include "input/input_layout.h"
#include "state/simulation_context.h"
#include "test_support.h"

using aerial::workspace;
using namespace aerial_test;

namespace {

constexpr const char* kTables[] = {aerial::kSpectrumAmplitudeFileName, aerial::kSpectrumPhaseFileName,
                                   aerial::kImageIntensityFileName};
const std::string k40Digits = "1234567890123456789012345678901234567890";

// An input given cell by cell as text: the grid size, the 19 optics values between it and
// the rectangle count, the count and the rows.
struct Cells {
    std::string grid = "8";
    std::vector<std::string> optics = {"0.01", "0.193", "0.75", "0.5", "0", "0", "0", "0",
                                       "0",    "0",     "0",    "0",   "0", "0", "0", "0",
                                       "0",    "0",     "0"};
    std::string count = "1";
    std::vector<std::vector<std::string>> rows = {{"1", "0", "-2", "2", "-3", "3"}};

    std::string text() const {
        using aerial::ParameterId;
        InputGrid g;
        g.set(0, 0, "hostile");
        g.setParameter(ParameterId::kGridSize, grid);
        for (std::size_t i = 0; i < optics.size(); ++i) {
            g.setParameter(static_cast<ParameterId>(static_cast<int>(ParameterId::kSamplePitch) + i),
                           optics[i]);
        }
        g.setParameter(ParameterId::kRectCount, count);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            g.set(aerial::rectangleLine(static_cast<int>(r)), 0, "r");
            g.setRectangle(static_cast<int>(r), rows[r]);
        }
        return g.text();
    }
};

Cells everyRealCell(const std::string& token) {
    Cells c;
    for (std::string& v : c.optics) v = token;
    for (std::string& v : c.rows[0]) v = token;
    return c;
}

Cells withGrid(const std::string& grid) {
    Cells c;
    c.grid = grid;
    return c;
}

Cells withCount(const std::string& count) {
    Cells c;
    c.count = count;
    return c;
}

Cells withRow(std::vector<std::string> row) {
    Cells c;
    c.rows = {std::move(row)};
    return c;
}

// Bytes of every value from a fixed generator, so a failure can be reproduced.
std::string garbage(std::size_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    for (char& ch : out) {
        seed = seed * 1664525u + 1013904223u;
        ch = static_cast<char>(seed >> 24);
    }
    return out;
}

enum NaNCells { kSomeFinite, kAllNaN };

// The bytes are made when the case runs: the large ones would otherwise be built in every
// test process at start-up.
struct HostileCase {
    const char* name;
    std::function<std::string()> bytes;
    int grid;           // the grid size the reader must settle on
    NaNCells nanCells;  // kAllNaN: every data cell of every table is a NaN
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name << " (grid " << c.grid << (c.nanCells == kAllNaN ? ", all NaN)" : ")");
}

std::vector<HostileCase> hostileCases() {
    std::vector<HostileCase> cases = {
        {"Empty", [] { return ""; }, 0, kSomeFinite},
        {"OnlyLineFeeds", [] { return std::string(100000, '\n'); }, 0, kSomeFinite},
        {"OnlyCarriageReturnsAndTabs",
         [] { return std::string(5000, '\r') + std::string(5000, '\t'); }, 0,
         kSomeFinite},
        {"BinaryGarbage", [] { return garbage(1 << 20, 1); }, -1, kSomeFinite},
        {"GarbageRectangleRows", [] { return withCount("1000").text() + garbage(1 << 20, 2); }, 8,
         kSomeFinite},
        {"NulBytesInsideCells",
         [] {
             Cells c;
             c.grid = std::string("1") + '\0' + "6"; // the cell's text ends at the zero byte
             c.optics[0] = std::string("0.0") + '\0' + "1";
             c.rows[0][1] = std::string(1, '\0');
             return c.text();
         },
         1, kSomeFinite},
        {"NulBytesOnly", [] { return std::string(4096, '\0'); }, 0, kSomeFinite},
        {"FiftyMegabytes",
         [] {
             std::string text = withCount("1000").text();
             std::string row = "r\t1\t0\t-1\t1\t-1\t1\n";
             while (text.size() < 50u << 20) text += row;
             return text;
         },
         8, kSomeFinite},
        {"MillionTabsInALine",
         [] {
             Cells c;
             c.rows[0].push_back(std::string(1000000, '\t') + "9");
             return c.text();
         },
         8, kSomeFinite},
        {"MillionByteCell",
         [] {
             Cells c;
             c.optics[0] = "0.01" + std::string(1000000, '7');
             return c.text();
         },
         8, kSomeFinite},
        {"MillionByteLastCellWithoutLineFeed",
         [] {
             std::string text = Cells().text();
             text.pop_back();
             return text + std::string(1000000, '5');
         },
         8, kSomeFinite},
        // A huge grid cell is limited to 128 (the reader's tests); runs at that size are the
        // bundled example's, too slow to repeat here.
        {"GridZero", [] { return withGrid("0").text(); }, 0, kSomeFinite},
        {"GridNegative", [] { return withGrid("-7").text(); }, -7, kSomeFinite},
        {"GridHugeNegative", [] { return withGrid("-" + k40Digits).text(); }, INT_MIN, kSomeFinite},
        {"GridNaN", [] { return withGrid("nan").text(); }, 0, kSomeFinite},
        {"GridInf", [] { return withGrid("inf").text(); }, 0, kSomeFinite},
        {"GridOverflowingExponent", [] { return withGrid("1e400").text(); }, 1, kSomeFinite},
        {"GridNegativeExponent", [] { return withGrid("-1e400").text(); }, -1, kSomeFinite},
        {"GridHex", [] { return withGrid("0x1p3").text(); }, 0, kSomeFinite},
        {"CountZero", [] { return withCount("0").text(); }, 8, kSomeFinite},
        {"CountNegative", [] { return withCount("-5").text(); }, 8, kSomeFinite},
        {"CountHugeNegative", [] { return withCount("-" + k40Digits).text(); }, 8, kSomeFinite},
        {"CountHuge", [] { return withCount(k40Digits).text(); }, 8, kSomeFinite},
        {"CountNaN", [] { return withCount("nan").text(); }, 8, kSomeFinite},
        {"NaNEdge", [] { return withRow({"1", "0", "nan", "2", "-3", "3"}).text(); }, 8, kAllNaN},
        {"NaNTransmission", [] { return withRow({"nan", "0", "-2", "2", "-3", "3"}).text(); }, 8,
         kAllNaN},
        {"InfiniteEdges",
         [] { return withRow({"1", "0", "-inf", "inf", "-1e400", "1e400"}).text(); }, 8,
         kSomeFinite},
        {"InfiniteTransmission",
         [] { return withRow({"inf", "-inf", "-2", "2", "-3", "3"}).text(); }, 8,
         kSomeFinite},
        {"InfiniteSourceShift",
         [] {
             Cells c;
             c.optics[3] = "1e400"; // sigma
             return c.text();
         },
         8, kSomeFinite},
    };
    // Every real cell at once, each kind of awkward number in turn.
    for (const char* token : {"nan", "inf", "-inf", "1e400", "-1e400", "0x1p3", "-0x1p3"}) {
        cases.push_back({token, [token] { return everyRealCell(token).text(); }, 8,
                         std::string(token) == "nan" ? kAllNaN : kSomeFinite});
    }
    cases.push_back(
        {"FortyDigits", [] { return everyRealCell(k40Digits).text(); }, 8, kSomeFinite});
    cases.push_back({"FortyDigitsNegative", [] { return everyRealCell("-" + k40Digits).text(); }, 8,
                     kSomeFinite});
    return cases;
}

bool isNaNText(const std::string& cell) { return cell == "nan" || cell == "-nan"; }

// The layout of a table of grid size n: the title, an axis row, n data rows, an empty
// line; every label and cell in "%f" form followed by a TAB, every line ended by CR LF.
void expectLayout(const std::string& table, int n, NaNCells nanCells, const char* name) {
    static const std::regex number("-?([0-9]+\\.[0-9]{6}|nan|inf)");
    const std::size_t rows = n > 0 ? static_cast<std::size_t>(n) : 0;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = table.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(table.substr(start, end - start));
    }
    ASSERT_EQ(start, table.size()) << name << ": bytes after the last CR LF";
    ASSERT_EQ(lines.size(), rows + 3) << name;
    EXPECT_EQ(lines[0].size(), 24u) << name << ": title";
    EXPECT_EQ(lines.back(), "") << name;
    for (std::size_t i = 1; i < lines.size() - 1; ++i) {
        const std::string& line = lines[i];
        ASSERT_FALSE(line.empty()) << name << " line " << i;
        ASSERT_EQ(line.back(), '\t') << name << " line " << i;
        std::vector<std::string> cells;
        std::size_t from = 0;
        for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1) {
            cells.push_back(line.substr(from, tab - from));
        }
        ASSERT_EQ(cells.size(), rows + 1) << name << " line " << i;
        if (i == 1) {
            EXPECT_EQ(cells[0], "") << name << ": corner cell";
            cells.erase(cells.begin());
        }
        for (std::size_t k = 0; k < cells.size(); ++k) {
            EXPECT_TRUE(std::regex_match(cells[k], number))
                << name << " line " << i << ": " << cells[k];
            if (nanCells == kAllNaN && i > 1 && k > 0) {
                EXPECT_TRUE(isNaNText(cells[k])) << name << " line " << i << ": " << cells[k];
            }
        }
    }
}

class HostileInput : public testing::TestWithParam<HostileCase> {};

} // namespace

TEST_P(HostileInput, RunFinishesAndWritesEveryTable) {
    const HostileCase& c = GetParam();
    const std::string bytes = c.bytes();
    ScratchFolder folder;
    writeInput(bytes);
    main4();
    const int grid = c.grid == -1 ? workspace().gridSize : c.grid;
    EXPECT_EQ(workspace().gridSize, grid);
    for (const char* table : kTables) {
        ASSERT_TRUE(fileExists(table)) << table;
        expectLayout(readFile(table), grid, c.nanCells, table);
    }
    EXPECT_EQ(readFile(aerial::kInputFileName), bytes) << "the input is never modified";
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileInput, testing::ValuesIn(hostileCases()),
                         [](const testing::TestParamInfo<HostileCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p) {
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             if (name[0] == '_') name = "Minus" + name;
                             return name;
                         });

// Edges beyond the grid, infinite ones too, are limited to it: the tables are those of
// edges on the grid border.
TEST(HostileInputTables, InfiniteEdgesGiveTheTablesOfTheBorder) {
    auto tablesOf = [](const Cells& cells) {
        ScratchFolder folder;
        writeInput(cells.text());
        main4();
        const Tables tables = readTables();
        return tables.amplitude + tables.phase + tables.image;
    };
    const std::string border = tablesOf(withRow({"1", "0.5", "-4", "4", "-4", "4"}));
    EXPECT_EQ(tablesOf(withRow({"1", "0.5", "-inf", "inf", "-1e400", "1e400"})), border);
    EXPECT_EQ(tablesOf(withRow({"1", "0.5", "-" + k40Digits, k40Digits, "-99", "99"})), border);
}

// Inputs kept from fuzzing and from faults once found: each must run to the end and leave
// tables of the layout of its grid.
TEST(HostileInputFixtures, EveryKeptInputRunsToTheEnd) {
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(AERIAL_FIXTURES "/fuzz")) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    ASSERT_FALSE(inputs.empty());
    for (const std::filesystem::path& input : inputs) {
        SCOPED_TRACE(input.filename().string());
        const std::string bytes = readFile(input.string());
        ScratchFolder folder;
        writeInput(bytes);
        main4();
        for (const char* table : kTables) {
            ASSERT_TRUE(fileExists(table)) << table;
            expectLayout(readFile(table), workspace().gridSize, kSomeFinite, table);
        }
    }
}
