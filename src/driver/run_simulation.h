// The run driver, callable from the static library by the tests and the benchmarks, and
// the engine's run over values in memory.
#pragma once

#include "aerial/input_values.hpp"
#include "state/simulation_state.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

// One complete run in the current folder: what main4 does, with the given options (main4
// takes the defaults). Without a readable input it does nothing, and earlier tables stay
// as they are.
void runSimulation(const RunOptions& options = {});

// Everything after the input is in the workspace: sets the constants every stage reads
// (pi) and the options, computes the spectrum and the image and writes the three tables.
void runStages(const RunOptions& options = {});

// Only the constants every stage reads and the options, for running single stages on a
// workspace set up by hand.
void prepareStages(const RunOptions& options = {});

// Where a run in memory leaves what the three tables would print: n = gridSize labels
// and n x n cells each, row y at [y * n] (ResultTable order, result_tables.h).
struct TableValues {
    double* spectrumLabels;  // direction sines, the labels of both spectrum tables
    double* imageLabels;     // positions, the labels of the image table
    double* amplitude;
    double* phase;
    double* intensity;
};

// The stages of runStages on values in memory, in the same order: every number the
// tables would print, into out (each array with room for the run's N), and no file.
void runInMemory(const InputValues& values, const RunOptions& options, const TableValues& out);

AERIAL_STATE_SCOPE_END
} // namespace aerial
