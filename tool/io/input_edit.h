// Changing cells of an input file in place: the sweeps' members and `aerial set`.
#pragma once

#include <string>
#include <vector>

#include "input/input_layout.h"

namespace aerial_tool {

// The bytes of an input file with the text of one cell replaced and every other byte
// kept, line ends included: the cell the core's scan stores at (column, line), found by
// aerial::locateCell. For a text a cell can hold (fewer than aerial::kCellBytes bytes, no
// TAB, line feed, carriage return or zero byte) the scan of the result stores exactly that
// text there and every other cell as before. Returns false when the scan has no such cell.
bool replaceCell(const std::string& bytes, int line, int column, const std::string& text,
                 std::string& result);

// One NAME=VALUE of `aerial set`: the parameter's cell and the text to write there.
struct CellAssignment {
    const aerial::ParameterCell* cell;
    std::string text;
};

// The names of the parameters, in line order, separated by spaces.
std::string parameterNames();

// Parses "NAME=VALUE" with NAME one of the parameter names. VALUE is written as given
// (any text a cell can hold: no TAB, line feed or carriage return). False with a one-line
// reason otherwise.
bool parseAssignment(const std::string& argument, CellAssignment& assignment, std::string& error);

// The bytes with every assignment applied in order; false with a reason naming the line
// and column when the file has no such cell (a line or a TAB missing).
bool applyAssignments(const std::string& bytes, const std::vector<CellAssignment>& assignments,
                      std::string& result, std::string& error);

// Reads a whole file; false when it cannot be read.
bool readFileBytes(const std::string& path, std::string& bytes);

// Writes the bytes over the file; false with the system's reason when that fails.
bool writeFileBytes(const std::string& path, const std::string& bytes, std::string& error);

} // namespace aerial_tool
