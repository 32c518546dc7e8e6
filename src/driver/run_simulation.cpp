#include "driver/run_simulation.h"

#include "input/load_input.h"
#include "optics/optics.h"
#include "output/result_tables.h"
#include "state/simulation_state.h"

namespace aerial {

// Seven stages in a fixed order, all data passing through the workspace.
void runSimulation() {
    // Without readable input there is nothing to simulate; earlier tables stay as they are.
    if (!loadInput()) return;
    workspace.pi = kPi;
    computeMaskSpectrum();
    // The spectrum tables must be written before imaging reuses the field planes.
    writeResultTables(kSpectrumAmplitude);
    writeResultTables(kSpectrumPhase);
    imagePartiallyCoherent();
    writeResultTables(kImageIntensity);
}

} // namespace aerial
