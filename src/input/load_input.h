// main4's reader: the input file of the working folder into the workspace.
#pragma once

#include "input/input_cells.h"
#include "input/parse_input.h"
#include "state/simulation_state.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

// Scans kInputFileName in the current folder and parses it (parse_input.h) into the
// workspace's parameters and rectangle rows 0 .. rectCount-1; later rows stay as they
// were. Returns false, having changed nothing in the workspace, when the file cannot be
// opened or read. The cells and values live in the run's context: no heap, no large stack.
bool loadInput();

// The same from values already read: every parameter and rows 0 .. rectCount-1 (at most
// kMaxRects) into the workspace.
void loadValues(const InputValues& values);

// The cell table the last loadInput call scanned.
const InputCells& loadedInputCells();

AERIAL_STATE_SCOPE_END
} // namespace aerial
