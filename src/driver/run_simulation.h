// One complete run in the current directory: what main4 does, callable from the static
// library by the tests and the benchmarks.
#pragma once

namespace aerial {

void runSimulation();

} // namespace aerial
