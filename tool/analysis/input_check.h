// The rules of `aerial check`: what a run of the library makes of an input file, and where
// that is meaningless or surprising. Built on the library's own scan, parse and derived
// optics, so every value shown is the value a run uses.
#pragma once

#include <string>
#include <vector>

#include "input/input_cells.h"
#include "input/input_layout.h"
#include "optics/source_points.h"

namespace aerial_tool {

enum class FindingKind {
    kCellText,  // a value cell the run does not read whole
    kLayout,    // the file's structure: TABs, lines missing or inserted, rows and count
    kLimit,     // an input limit the reader applies
    kOptics,    // the parameters of the optics
    kSource,    // the source as the imaging rounds it
    kRectangle, // the edges of a rectangle
};

struct Finding {
    int line; // counted from 0, as in the format; -1 for the file as a whole
    FindingKind kind;
    std::string message;
    // The file cannot hold what its writer meant at all (no TAB anywhere: every value cell
    // is empty): `aerial run` refuses it unless told --no-check.
    bool refusesRun = false;
};

struct ParameterEntry {
    const aerial::ParameterCell* cell;
    std::string text;  // the text of its cell as the reader stored it
    double value;      // the value the run uses, after any limit
    std::string limit; // the limit applied, or empty
};

struct RectangleEntry {
    int index;
    int line;
    std::string texts[aerial::kRectangleCellCount]; // in kRectangleCells order
    double values[aerial::kRectangleCellCount];     // as the run uses them
    double read[aerial::kRectangleCellCount];       // before the edge limit
    bool limited[aerial::kRectangleCellCount];      // the edge was brought within [-h, +h]
};

struct InputReport {
    int fileLines = 0; // as the reader counts them
    bool sawTab = false;
    std::string lengthUnit; // the unit cell of the sample pitch line, or "L"
    int gridSize = 0;       // as the run uses it
    int rectCount = 0;
    std::vector<ParameterEntry> parameters; // in kParameterCells order
    std::vector<RectangleEntry> rectangles;
    aerial::DerivedOptics optics{}; // pupil radius, source points, effective sigma
    double resolution = 0;          // wavelength / NA
    double rayleighFocusUnit = 0;   // wavelength / NA^2: a scale, not a depth of focus
    std::vector<Finding> notes;     // what a user should know but that changes nothing meant
    std::vector<Finding> warnings;  // a run would be meaningless or surprising
};

// The report on a scanned input.
InputReport checkInputCells(const aerial::InputCells& cells);

// Scans the file at path (any name, any folder) and reports on it. False when it cannot be
// read.
bool checkInputFile(const std::string& path, InputReport& report);

// A number as the report shows it: "%.10g", with "inf", "-inf" and "nan" for the values
// that are not finite.
std::string showNumber(double value);

// Why a run would not read the text of a cell of that kind whole as the number written, or
// empty when it does: "'abc' is not a number; it reads as 0". A number followed by white
// space and more text (a unit, "0.5 um") counts as read whole, as does an empty cell (0).
std::string cellTextProblem(const std::string& text, aerial::CellKind kind);

// The first warning that makes `aerial run` refuse the input, or nullptr.
const Finding* refusingWarning(const InputReport& report);

// Text from the input as a terminal or a page shows it, always valid UTF-8: each control
// character (C0 such as ESC and BEL, DEL, and C1 such as U+009B) and each byte that is not
// part of a UTF-8 sequence as \xHH, a backslash as itself; everything else as it is. The
// input cannot drive the terminal, and a page cannot be refused its text.
std::string showText(const std::string& text);

} // namespace aerial_tool
