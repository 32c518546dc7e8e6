// The parse of a scanned input into its values, with every input limit applied: the grid
// size at most kMaxGrid, the rectangle count at most kMaxRects, each edge within
// [-h, +h] for h = gridSize / 2 (integer division, after the grid limit). Nothing else is
// tested: zero or negative optics, reversed edges and any transmission stay as read.
#pragma once

#include "input/input_cells.h"
#include "input/input_layout.h"
#include "state/simulation_state.h"

namespace aerial {

struct InputValues {
    int gridSize;
    double samplePitch;
    double wavelength;
    double numericalAperture;
    double sigma;
    double spectrumShiftX;
    double spectrumShiftY;
    double defocus;
    double aberrX[7]; // [j]: coefficient of rho^j, j = 1..6; element 0 is never used
    double aberrY[7];
    int rectCount; // may be 0 or negative: no rectangle is read then
    MaskRectangle rects[kMaxRects]; // rows at and beyond rectCount are zero
};

// Fixed capacity and no allocation: main4's own reader parses into static storage.
void parseInput(const InputCells& cells, InputValues& values);

// The value the run uses for that parameter, the integers converted to double.
double parameterValue(const InputValues& values, ParameterId id);

} // namespace aerial
