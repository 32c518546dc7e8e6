// What the tool reads from a folder's input file besides what a run uses, and how the
// folder's tables stand against it.
#pragma once

#include <memory>
#include <string>

#include "input/input_cells.h"

namespace aerial_tool {

// Storage for a scan (about 1 MB), left as the allocator gives it: a scan needs no
// clearing before it.
std::unique_ptr<aerial::InputCells> newInputCells();

// The cells of a file scanned by the library's own scanner, into storage of their own (the
// table is about 1 MB), or nullptr when the file cannot be read.
std::unique_ptr<aerial::InputCells> scanInput(const std::string& path);

// The input file of a folder.
std::string inputPathOf(const std::string& directory);

// The length unit the input names in the cell before its sample pitch value, or "L" when
// the folder has no input or the cell is empty.
std::string lengthUnitOf(const std::string& directory);

enum class TableState {
    kMissing,        // no such file: no run has written it
    kOlderThanInput, // the input changed after the run that wrote it
    kCurrent,
};

TableState tableState(const std::string& directory, const char* tableName);

} // namespace aerial_tool
