// The grammar of the tool's option values, the same for every command: the readers of
// each kind of value, the one decimal-comma rule, the checks of study points and of
// `set`, and the tool's answers to usage errors (one line, exit status 2).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/input_check.h"
#include "analysis/option_values.h"
#include "analysis/sweep_plan.h"
#include "input/input_cells.h"
#include "input/input_layout.h"
#include "test_support.h"

using namespace aerial_tool;
namespace fs = std::filesystem;

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

using Reader = bool (*)(const std::string&, double&, std::string&);

struct ValueCase {
    const char* kind;
    Reader read;
    std::string text;
    bool accepted;
    double value;      // when accepted
    const char* words; // in the reason when refused
};

} // namespace

TEST(OptionValues, EachKindAcceptsItsRangeAndSaysWhyNot) {
    const std::string hint = "(the decimal separator is the point: write 0.5 for 0,5)";
    const ValueCase cases[] = {
        {"threshold", parseThreshold, "0.3", true, 0.3, ""},
        {"threshold", parseThreshold, "2.5e-1", true, 0.25, ""},
        {"threshold", parseThreshold, "0x1p-2", true, 0.25, ""}, // the core reads what strtod reads
        {"threshold", parseThreshold, "0", false, 0, "must be a finite intensity above 0, got '0'"},
        {"threshold", parseThreshold, "-1", false, 0, "got '-1'"},
        {"threshold", parseThreshold, "nan", false, 0, "got 'nan'"},
        {"threshold", parseThreshold, "inf", false, 0, "got 'inf'"},
        {"threshold", parseThreshold, "1e999", false, 0, "got '1e999'"}, // beyond a double: infinite
        {"threshold", parseThreshold, "0.3 ", false, 0, "got '0.3 '"},   // the whole text is the number
        {"threshold", parseThreshold, "", false, 0, "got ''"},
        {"threshold", parseThreshold, "0,5", false, 0, hint.c_str()},
        {"dose", parseDose, "1.05", true, 1.05, ""},
        {"dose", parseDose, "0", false, 0, "must be a finite relative dose above 0"},
        {"sigma", parseSigma, "0", true, 0, ""},
        {"sigma", parseSigma, "1", true, 1, ""},
        {"sigma", parseSigma, "1.2", false, 0, "must be a partial coherence from 0 to 1"},
        {"sigma", parseSigma, "-0.5", false, 0, "from 0 to 1"},
        {"sigma", parseSigma, "0,5", false, 0, hint.c_str()},
        {"fraction", parseFraction, "0.1", true, 0.1, ""},
        {"fraction", parseFraction, "1", false, 0, "above 0 and below 1"},
        {"fraction", parseFraction, "0", false, 0, "above 0 and below 1"},
        {"length", parseLength, "-0.05", true, -0.05, ""},
        {"length", parseLength, "nan", false, 0, "must be a finite distance"},
        {"positive length", parsePositiveLength, "0.01", true, 0.01, ""},
        {"positive length", parsePositiveLength, "0", false, 0, "a finite distance above 0"},
        {"positive number", parsePositiveNumber, "0,5", false, 0, hint.c_str()},
    };
    for (const ValueCase& c : cases) {
        double value = -7;
        std::string error;
        const bool ok = c.read(c.text, value, error);
        EXPECT_EQ(ok, c.accepted) << c.kind << " '" << c.text << "': " << error;
        if (ok && c.accepted) {
            EXPECT_EQ(value, c.value) << c.kind << " '" << c.text << "'";
        }
        if (!ok && !c.accepted) {
            EXPECT_TRUE(has(error, c.words)) << c.kind << " '" << c.text << "': " << error;
        }
    }
}

TEST(OptionValues, WholeNumbersTransmissionsAndLists) {
    int n = 0;
    std::string error;
    EXPECT_TRUE(parseWholeNumber("128", 2, aerial::kMaxGrid, n, error));
    EXPECT_EQ(n, 128);
    for (const char* text : {"129", "1", "64.5", "1e2", "", "0x10", "64 "}) {
        EXPECT_FALSE(parseWholeNumber(text, 2, aerial::kMaxGrid, n, error)) << text;
        EXPECT_TRUE(has(error, "must be a whole number from 2 to 128")) << error;
    }

    // RE,IM: a passive mask transmits at most what it receives, |t| <= 1.
    struct Pair {
        const char* text;
        bool accepted;
        const char* words;
    };
    const Pair pairs[] = {
        {"-0.245,0", true, ""},  // 6 % attenuated, in antiphase
        {"-1,0", true, ""},      // |t| = 1: a clear phase shifter
        {"0.6,0.8", true, ""},   // |t| = sqrt(0.36 + 0.64) = 1
        {"0,5", false, "'0,5' is 0 + 5i, above 1 in magnitude"}, // |5i| = 5
        {"1,-1", false, "'1,-1' is 1 - 1i, above 1"},            // sqrt(2)
        {"0.5", false, "must be RE,IM"},
        {"0.5,nan", false, "must be RE,IM"},
        {"0.5,0,0", false, "must be RE,IM"},
    };
    for (const Pair& p : pairs) {
        double re = 0, im = 0;
        EXPECT_EQ(parseTransmission(p.text, re, im, error), p.accepted) << p.text << ": " << error;
        if (!p.accepted) {
            EXPECT_TRUE(has(error, p.words)) << p.text << ": " << error;
        }
    }
    double re = 0, im = 0;
    ASSERT_FALSE(parseTransmission("0,5", re, im, error));
    EXPECT_TRUE(has(error, "(the decimal separator is the point: write 0.5 for 0,5)")) << error;

    // Lists and ranges: one reader; a list that could be a decimal comma is read as a list
    // and noted, a range with a decimal comma is refused with the same words.
    std::vector<double> values;
    ASSERT_TRUE(parseValues("0,5", values, error));
    EXPECT_EQ(values, (std::vector<double>{0, 5}));
    EXPECT_EQ(listCommaNote("0,5"),
              "'0,5' is read as the two values 0 and 5 (the decimal separator is the point: write 0.5 for 0,5)");
    EXPECT_EQ(listCommaNote("0.3,0.5"), "");
    EXPECT_EQ(listCommaNote("1,2,3"), "");
    EXPECT_EQ(listCommaNote("-0.1:0.1:0.05"), "");
    EXPECT_FALSE(parseValues("-0,1:0,1:0,05", values, error));
    EXPECT_TRUE(has(error, "(the decimal separator is the point: write -0.1 for -0,1)")) << error;
    EXPECT_TRUE(parseDoseList("0.9:1.1:0.1", values, error)) << error;
    EXPECT_EQ(values, (std::vector<double>{0.9, 1, 1.1}));
    EXPECT_FALSE(parseDoseList("0.9,0", values, error));
    EXPECT_TRUE(has(error, "every relative dose must lie above 0")) << error;
}

// The text `set` writes must be what a run reads: a number, then optionally white space and
// a unit, as the stored files hold them.
TEST(OptionValues, CellTextIsWhatTheRunReadsWhole) {
    using aerial::CellKind;
    struct Cell {
        const char* text;
        CellKind kind;
        const char* problem; // empty: read whole
    };
    const Cell cells[] = {
        {"0.5", CellKind::kReal, ""},
        {"0.5 um", CellKind::kReal, ""},
        {"inf", CellKind::kReal, ""},
        {"64", CellKind::kInteger, ""},
        {"abc", CellKind::kReal, "'abc' is not a number; it reads as 0"},
        {"0,5", CellKind::kReal, "(the decimal separator is the point: write 0.5 for 0,5)"},
        {"1,5 um", CellKind::kReal, "(the decimal separator is the point: write 1.5 for 1,5)"},
        {"0.5um", CellKind::kReal, "set a unit off with a space"},
        {"64.5", CellKind::kInteger, "this cell takes a whole number"},
    };
    for (const Cell& c : cells) {
        const std::string problem = cellTextProblem(c.text, c.kind);
        if (*c.problem == 0) {
            EXPECT_EQ(problem, "") << c.text;
        } else {
            EXPECT_TRUE(has(problem, c.problem)) << c.text << ": " << problem;
        }
    }
}

namespace {

std::string warningsOf(const std::vector<aerial_test::Rect>& rects) {
    aerial_test::TestInput input;
    input.gridSize = "32";
    input.samplePitch = 0.04;
    input.rects = rects;
    auto cells = std::make_unique<aerial::InputCells>();
    aerial::scanInputText(input.text(), *cells);
    std::string all;
    for (const Finding& f : checkInputCells(*cells).warnings) all += f.message + "\n";
    return all;
}

} // namespace

// Rectangles that overlap add their transmissions; one reversed along a single axis counts
// with the opposite sign. Where the sum exceeds 1 in magnitude no passive mask is described.
TEST(OptionValues, CheckWarnsWhereTheMaskTransmitsMoreThanItReceives) {
    struct Mask {
        const char* what;
        std::vector<aerial_test::Rect> rects;
        const char* warning; // empty: none about the transmission
    };
    const Mask masks[] = {
        {"0 + 5i, a decimal comma taken for RE,IM", {{0, 5, -4, 4, -4, 4}}, "transmits 0 + 5i where rectangle 0 lies"},
        {"an opening of 1.245 on a field of -0.245 transmits 1", {{-0.245, 0, -16, 16, -16, 16}, {1.245, 0, -4, 4, -4, 4}}, ""},
        {"0.6 + 0.6 where two rectangles overlap", {{0.6, 0, -8, 4, -4, 4}, {0.6, 0, -4, 8, -4, 4}},
         "transmits 1.2 + 0i where rectangles 0 and 1 overlap: magnitude 1.2"},
        {"side by side, 0.6 each", {{0.6, 0, -8, 0, -4, 4}, {0.6, 0, 0, 8, -4, 4}}, ""},
        {"x reversed: 1 - 1 over the overlap, 1 beside it", {{1, 0, -8, 8, -4, 4}, {1, 0, 4, -4, -4, 4}}, ""},
        {"both axes reversed: its own sign, 1 + 1", {{1, 0, -8, 8, -4, 4}, {1, 0, 4, -4, 4, -4}},
         "transmits 2 + 0i where rectangles 0 and 1 overlap"},
    };
    for (const Mask& m : masks) {
        const std::string warnings = warningsOf(m.rects);
        if (*m.warning == 0) {
            EXPECT_FALSE(has(warnings, "transmits")) << m.what << ":\n" << warnings;
        } else {
            EXPECT_TRUE(has(warnings, m.warning)) << m.what << ":\n" << warnings;
        }
    }
}

namespace {

using aerial_test::runTool;
using Outcome = aerial_test::ToolOutcome;

// A 32-sample input in folder `case`: quick to run, its 13 source points apart.
void writeCase() {
    aerial_test::TestInput input;
    input.gridSize = "32";
    input.samplePitch = 0.04;
    input.rects = {{1, 0, -4, 4, -16, 16}};
    std::filesystem::create_directory("case");
    aerial_test::writeFile(std::string("case/") + aerial::kInputFileName, input.text());
}

} // namespace

// Every command that takes a value of a kind refuses the same texts in the same words,
// before anything runs: one line, exit status 2, nothing written.
TEST(ToolOptions, UsageErrorsAreOneLineWithTheReason) {
    aerial_test::ScratchFolder folder;
    writeCase();
    const std::string input = std::string("case/") + aerial::kInputFileName;
    const std::string before = aerial_test::readFile(input);
    const std::string threshold = "--threshold: must be a finite intensity above 0, got ";
    struct Usage {
        std::string arguments;
        std::string words;
    };
    const Usage usages[] = {
        {"bogus case", "aerial: unknown command 'bogus' (see aerial --help)"},
        {"", "aerial: give a command: run, check,"},
        {"--threshold 0.3 metrics case", "aerial: unknown option '--threshold': options follow the command"},
        {"metrics case --threshold 0", threshold + "'0'"},
        {"sweep case --vary defocus=0,0.1 --threshold 0", threshold + "'0'"},
        {"sweep case --vary defocus=0,0.1 --threshold nan", threshold + "'nan'"},
        {"window case --defocus 0:0.1:0.1 --target-cd 0.1 --threshold inf", threshold + "'inf'"},
        {"stitch case --threshold nan", threshold + "'nan'"},
        {"verify case --threshold -1", threshold + "'-1'"},
        {"plot case --threshold 0,5", threshold + "'0,5' (the decimal separator is the point: write 0.5 for 0,5)"},
        {"verify case --focus 0,1 --bogus", "--bogus"}, // the note on 0,1 waits for a command line that reads
        {"verify case --dose 1,0", "--dose: '1,0': every relative dose must lie above 0"},
        {"window case --defocus 0:0.1:0.1 --target-cd 0.1 --dose 0:1:0.5",
         "--dose: '0:1:0.5': every relative dose must lie above 0"},
        {"window case --defocus 0:0.1:0.1 --target-cd 0.1 --dose 0.9:1,1:0.1",
         "--dose: '0.9:1,1:0.1' is not START:STOP:STEP (the decimal separator is the point: write 1.1 for 1,1)"},
        {"window case --defocus 0:0.1:0.1 --target-cd 0", "--target-cd: must be a finite number above 0, got '0'"},
        {"sweep case --vary defocus=-0,1:0,1:0,05", "write -0.1 for -0,1"},
        {"mask lines m --pitch 0.32 --cd 0.12 --transmission 0,5",
         "--transmission: '0,5' is 0 + 5i, above 1 in magnitude: no passive mask transmits more light than it "
         "receives (the decimal separator is the point: write 0.5 for 0,5)"},
        {"mask lines m --pitch 0.32 --cd 0.12 --field 1.5,0", "--field: '1.5,0' is 1.5 + 0i, above 1"},
        {"mask lines m --pitch 0.32 --cd 0.12 --grid 256", "--grid: must be a whole number from 2 to 128, got '256'"},
        {"mask lines m --pitch 0.32 --cd 0.12 --sigma 0,5", "--sigma: must be a partial coherence from 0 to 1"},
        {"window case --defocus 0:0.1:0.1 --target-cd 0.1 --jobs 0", "--jobs: must be a whole number from 1 to 1024"},
        {"import absent.gds m --cell top --layer 1 --window 0,0,1,28,1,28", "aerial import: --window must be X0,Y0,X1,Y1"},
        {"tile absent.gds m --cell top --layer 1 --region 0,0,nan,20", "aerial tile: --region must be X0,Y0,X1,Y1"},
        {"set case sigma=abc", "aerial set: sigma=abc: 'abc' is not a number; it reads as 0; nothing changed"},
        {"set case sigma=0,5", "(the decimal separator is the point: write 0.5 for 0,5); nothing changed"},
        {"set case grid=64.5", "this cell takes a whole number"},
        {"set case sigma=", "an empty cell reads as 0"},
        {"set case sigma=0.6 nothing=1", "no parameter is named 'nothing'"},
    };
    for (const Usage& u : usages) {
        const Outcome o = runTool(u.arguments);
        EXPECT_EQ(o.status, 2) << u.arguments << "\n" << o.err;
        EXPECT_TRUE(has(o.err, u.words)) << u.arguments << "\n" << o.err;
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << u.arguments << ": one line\n" << o.err;
        EXPECT_EQ(aerial_test::readFile(input), before) << u.arguments;
        EXPECT_FALSE(aerial_test::fileExists("m")) << u.arguments;
    }
}

// A file that cannot be read or written is named with the system's reason, by every
// command: the cases in order, each after its own setting up (a run's tables, then its
// input taken away; folders standing where a file is to be written).
TEST(ToolOptions, FileErrorsNameTheFileAndTheSystemsReason) {
    aerial_test::ScratchFolder folder;
    writeCase();
    const std::string input = aerial::kInputFileName;
    fs::create_directories("m/" + input);
    // Folders that are not empty stand where a study would write its table or its picture:
    // a study removes its earlier files, not these.
    const auto folderAt = [](const std::string& path) {
        return [path] { fs::create_directories(path + "/a file of its own"); };
    };
    struct FileError {
        std::function<void()> before; // null: nothing
        std::string arguments;
        int status;
        std::string words;
    };
    const FileError cases[] = {
        {nullptr, "check absent", 2, "absent: not a readable file (No such file or directory)"},
        {nullptr, "import absent.gds m --cell top --layer 1 --window 0,0,1.28,1.28", 2,
         "cannot read the layout file absent.gds (No such file or directory)"},
        {nullptr, "mask lines m --pitch 0.32 --cd 0.12", 2, "m/" + input + ": cannot write: Is a directory"},
        {folderAt("case/sweep/results.csv"), "sweep case --vary defocus=0 --no-write-tables -q", 2,
         "case/sweep/results.csv: cannot write: Is a directory"},
        {[] { fs::remove_all("case/sweep/results.csv"); fs::create_directories("case/sweep/bossung.png/x"); },
         "sweep case --vary defocus=0 --no-write-tables -q", 2, "case/sweep/bossung.png: cannot write: Is a directory"},
        {nullptr, "run -q case", 0, ""},
        {nullptr, "report -q case --notes absent", 2, "--notes absent: not a readable file (No such file or directory)"},
        {nullptr, "report -q case -o nowhere/report.pdf", 2, "nowhere/report.pdf: cannot write: No such file or directory"},
        {[&input] { fs::rename("case/" + input, "input.txt"); }, "metrics case", 2,
         "case/" + input + ": not a readable file (No such file or directory)"},
        {nullptr, "report -q case", 2, "case/" + input + ": not a readable file (No such file or directory)"},
    };
    for (const FileError& c : cases) {
        if (c.before) c.before();
        const Outcome o = runTool(c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.err;
        EXPECT_TRUE(has(o.err, c.words)) << c.arguments << "\n" << o.err;
    }
    // Without its input plot still draws the tables, saying why there is no mask.
    const Outcome plot = runTool("plot -q case");
    EXPECT_EQ(plot.status, 0) << plot.err;
    EXPECT_TRUE(has(plot.err, "case/" + input + ": not a readable file (No such file or directory): the pictures "
                              "show no mask and no optics"))
        << plot.err;
}

// A repeated option keeps each value; the folder after it is not taken for one more.
TEST(ToolOptions, RepeatedValuesAreEachGivenWithTheirOption) {
    aerial_test::ScratchFolder folder;
    writeCase();
    const Outcome o = runTool("sweep --threshold 0.2 --threshold 0.25 case --vary defocus=0 --no-write-tables -q --print-csv");
    EXPECT_TRUE(has(o.out, "\n0,0.2,") && has(o.out, "\n0,0.25,")) << o.out << o.err;
}

TEST(ToolOptions, SetWritesWhatTheRunReadsWhole) {
    aerial_test::ScratchFolder folder;
    writeCase();
    EXPECT_EQ(runTool("set case 'sigma=0.6 um' defocus=-0.05").status, 0);
    const std::string text = aerial_test::readFile(std::string("case/") + aerial::kInputFileName);
    EXPECT_TRUE(has(text, "\t0.6 um\n")) << text;
    EXPECT_TRUE(has(text, "\t-0.05\n")) << text;
    // Written as given on request: check then names what the run makes of it.
    EXPECT_EQ(runTool("set --any-text case sigma=0,5").status, 0);
    const Outcome o = runTool("check case");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(has(o.out + o.err, "only '0' of '0,5' is read")) << o.out << o.err;
}

// `--vary sigma=0,5` is the list 0 and 5, said so; and sigma 5 is above 1, which the point's
// input check says once, naming the point (the input's own sigma 0.5 gives no warning).
TEST(ToolOptions, StudyPointsAreCheckedAndNamed) {
    aerial_test::ScratchFolder folder;
    writeCase();
    const Outcome o = runTool("sweep case --vary sigma=0,5 --no-write-tables -q");
    EXPECT_TRUE(has(o.err, "aerial: note: sigma: '0,5' is read as the two values 0 and 5 (the decimal separator is "
                           "the point: write 0.5 for 0,5)"))
        << o.err;
    EXPECT_TRUE(has(o.err, "aerial: warning: sigma=5: sigma 5 is above 1")) << o.err;
    EXPECT_FALSE(has(o.err, "sigma=0:")) << o.err;
    const size_t first = o.err.find("sigma 5 is above 1");
    EXPECT_EQ(o.err.find("sigma 5 is above 1", first + 1), std::string::npos) << "printed once:\n" << o.err;
}
