#include "driver/run_simulation.h"

#include "input/load_input.h"
#include "optics/optics.h"
#include "output/result_tables.h"
#include "state/simulation_state.h"

namespace aerial {

void prepareStages() { workspace.pi = kPi; }

// The stages after the input, in a fixed order, all data passing through the workspace.
void runStages() {
    prepareStages();
    computeMaskSpectrum();
    // The spectrum tables must be written before imaging reuses the field planes.
    writeResultTables(kSpectrumAmplitude);
    writeResultTables(kSpectrumPhase);
    imagePartiallyCoherent();
    writeResultTables(kImageIntensity);
}

void runSimulation() {
    if (!loadInput()) return;
    runStages();
}

} // namespace aerial
