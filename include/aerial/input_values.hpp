// The values of one simulation, as the reader of IN_FM.txt produces them and as the
// engine (aerial/engine.hpp) takes them: the grid, the optics and the mask rectangles,
// with the capacities every run has. The library's own stages use these very types.
#pragma once

namespace aerial {

inline constexpr int kMaxGrid = 128;  // samples per axis, at most
inline constexpr int kMaxRects = 1000; // mask rectangles, at most

// One mask rectangle of constant complex amplitude transmission. Edges are in samples,
// relative to the grid centre, within [-N/2, +N/2] (integer division).
struct MaskRectangle {
    double transRe;
    double transIm;
    double xStart;
    double xEnd;
    double yStart;
    double yEnd;
};

// Every value a run reads from its input, the input limits applied: the grid size at
// most kMaxGrid, the rectangle count at most kMaxRects, each edge within [-h, +h] for
// h = gridSize / 2. Lengths share one unit, whichever it is (only their ratios occur).
struct InputValues {
    int gridSize;
    double samplePitch;
    double wavelength;
    double numericalAperture;
    double sigma;
    double spectrumShiftX; // direction sines
    double spectrumShiftY;
    double defocus;
    double aberrX[7]; // [j]: coefficient of rho^j, j = 1..6; element 0 is never used
    double aberrY[7];
    int rectCount; // may be 0 or negative: no rectangle is read then
    MaskRectangle rects[kMaxRects]; // rows at and beyond rectCount are zero
};

// How the spectrum and the image are evaluated. Both give the same bits: the direct
// evaluation computes every term where the formulas state it and is the reference the
// fast one is tested and benchmarked against.
enum class Evaluation { kFast, kDirect };

// The choices of one run that leave its results as they are: the evaluation, and whether
// the fast evaluation keeps to the baseline vector code even where the processor has AVX2
// (both give the same bits). The defaults are all zero, as main4's context is at load.
struct RunOptions {
    Evaluation evaluation = Evaluation::kFast;
    bool baselineVectorsOnly = false;
};

} // namespace aerial
