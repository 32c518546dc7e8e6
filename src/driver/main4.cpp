// The library's only export.
#include "aerial/main4.h"

#include "driver/run_simulation.h"

extern "C" void main4(void) { aerial::runSimulation(); }
