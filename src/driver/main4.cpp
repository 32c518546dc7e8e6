// The library's only export.
#include "aerial/main4.h"

#include "driver/float_environment.h"
#include "driver/run_simulation.h"

extern "C" void main4(void) {
    // The run computes in the library's own floating-point environment; the host's is back
    // when main4 returns.
    aerial::HostFloatEnvironment host;
    aerial::enterRunFloatEnvironment(host);
    aerial::runSimulation();
    aerial::leaveRunFloatEnvironment(host);
}
