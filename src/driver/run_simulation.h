// The run driver, callable from the static library by the tests and the benchmarks.
#pragma once

namespace aerial {

// One complete run in the current folder: what main4 does. Without a readable input it
// does nothing, and earlier tables stay as they are.
void runSimulation();

// Everything after the input is in the workspace: sets the constants every stage reads
// (pi), computes the spectrum and the image and writes the three tables.
void runStages();

// Only the constants every stage reads, for running single stages on a workspace set up
// by hand.
void prepareStages();

} // namespace aerial
