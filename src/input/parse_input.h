// The parse of a scanned input into its values, with every input limit applied: the grid
// size at most kMaxGrid, the rectangle count at most kMaxRects, each edge within
// [-h, +h] for h = gridSize / 2 (integer division, after the grid limit). Nothing else is
// tested: zero or negative optics, reversed edges and any transmission stay as read.
#pragma once

#include "input/input_cells.h"
#include "input/input_layout.h"
#include "state/simulation_state.h"

namespace aerial {

// The values, the limits applied, are an InputValues (aerial/input_values.hpp).

// Fixed capacity and no allocation: main4's own reader parses into static storage.
void parseInput(const InputCells& cells, InputValues& values);

// The value the run uses for that parameter, the integers converted to double.
double parameterValue(const InputValues& values, ParameterId id);

// The field of a real parameter, for setting it by its id; nullptr for the grid size and
// the rectangle count, which are integers.
double* realParameterField(InputValues& values, ParameterId id);

} // namespace aerial
