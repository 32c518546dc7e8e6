// main4's reader: the input file of the working folder into the workspace.
#pragma once

#include "input/input_cells.h"

namespace aerial {

// Scans kInputFileName in the current folder and parses it (parse_input.h) into the
// workspace's parameters and rectangle rows 0 .. rectCount-1; later rows stay as they
// were. Returns false, having changed nothing in the workspace, when the file cannot be
// opened or read. The cells and values live in static storage: no heap, no large stack.
bool loadInput();

// The cell table the last loadInput call scanned.
const InputCells& loadedInputCells();

} // namespace aerial
