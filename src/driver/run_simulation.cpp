#include "driver/run_simulation.h"

#include "input/load_input.h"
#include "optics/optics.h"
#include "output/result_tables.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

void prepareStages(const RunOptions& options) {
    workspace().pi = kPi;
    context().options = options;
}

// The stages after the input, in a fixed order, all data passing through the workspace.
void runStages(const RunOptions& options) {
    prepareStages(options);
    computeMaskSpectrum();
    // The spectrum tables must be written before imaging reuses the field planes.
    writeResultTables(kSpectrumAmplitude);
    writeResultTables(kSpectrumPhase);
    imagePartiallyCoherent();
    writeResultTables(kImageIntensity);
}

void runSimulation(const RunOptions& options) {
    // Before the reader touches the first page of the context.
    adviseContextMemory(context());
    if (!loadInput()) return;
    runStages(options);
}

void runInMemory(const InputValues& values, const RunOptions& options, const TableValues& out) {
    loadValues(values);
    prepareStages(options);
    computeMaskSpectrum();
    // Where runStages writes the spectrum tables: before imaging reuses the field planes.
    tableLabels(kSpectrumAmplitude, out.spectrumLabels);
    tableCells(kSpectrumAmplitude, out.amplitude);
    tableCells(kSpectrumPhase, out.phase);
    imagePartiallyCoherent();
    tableLabels(kImageIntensity, out.imageLabels);
    tableCells(kImageIntensity, out.intensity);
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
