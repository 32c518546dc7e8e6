#include "input/load_input.h"

#include "input/parse_input.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

void loadValues(const InputValues& v) {
    SimulationState& s = workspace();
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
    for (int r = 0; r < v.rectCount && r < kMaxRects; ++r) s.rects[r] = v.rects[r];
}

bool loadInput() {
    // About 1 MB of cells: more than a small host thread stack holds. No scan clears it: a
    // cell the last scan did not write reads as empty, so nothing of an earlier file
    // survives, and a run touches only the pages of the cells its file has.
    ReaderBuffers& reader = stageBuffers().reader;
    if (!scanInputFile(kInputFileName, reader.cells)) return false;
    parseInput(reader.cells, reader.values);
    loadValues(reader.values);
    return true;
}

const InputCells& loadedInputCells() { return stageBuffers().reader.cells; }

AERIAL_STATE_SCOPE_END
} // namespace aerial
