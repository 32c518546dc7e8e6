#include "input/load_input.h"

#include "input/parse_input.h"
#include "state/simulation_state.h"

namespace aerial {

namespace {

// About 1 MB: more than a small host thread stack holds. No scan clears it: a cell the
// last scan did not write reads as empty, so nothing of an earlier file survives, and a
// run touches only the pages of the cells its file has.
InputCells loadedCells;
InputValues loadedValues;

void copyIntoWorkspace(const InputValues& v) {
    SimulationState& s = workspace;
    s.gridSize = v.gridSize;
    s.samplePitch = v.samplePitch;
    s.wavelength = v.wavelength;
    s.numericalAperture = v.numericalAperture;
    s.sigma = v.sigma;
    s.spectrumShiftX = v.spectrumShiftX;
    s.spectrumShiftY = v.spectrumShiftY;
    s.defocus = v.defocus;
    for (int j = 1; j <= 6; ++j) {
        s.aberrX[j] = v.aberrX[j];
        s.aberrY[j] = v.aberrY[j];
    }
    s.rectCount = v.rectCount;
    for (int r = 0; r < v.rectCount; ++r) s.rects[r] = v.rects[r];
}

} // namespace

bool loadInput() {
    if (!scanInputFile(kInputFileName, loadedCells)) return false;
    parseInput(loadedCells, loadedValues);
    copyIntoWorkspace(loadedValues);
    return true;
}

const InputCells& loadedInputCells() { return loadedCells; }

} // namespace aerial
