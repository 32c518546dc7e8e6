// The layout of the input file and the names of the files a run reads and writes, as data.
//
// The input is positional: a grid of cells, lines ended by line feeds and cells by tabs,
// lines and columns counted from 0. No label is ever read; each value is found by its line
// and column alone. Everything that needs to know where a value sits (the reader, the host
// tool, tests, benchmarks) asks this header.
#pragma once

#include <string_view>

namespace aerial {

// Files in the folder of a run: the input, then the three result tables.
inline constexpr const char kInputFileName[] = "IN_FM.txt";
inline constexpr const char kSpectrumAmplitudeFileName[] = "OUT_MR.xls";
inline constexpr const char kSpectrumPhaseFileName[] = "OUT_MI.xls";
inline constexpr const char kImageIntensityFileName[] = "OUT_M.xls";

// Capacities of the scanned cell table. Later cells of a line fold into the last column;
// lines past the last one are not stored; a cell keeps 99 bytes and a terminating zero.
inline constexpr int kCellColumns = 10;
inline constexpr int kCellLines = 1025; // lines 0..1024: every rectangle row up to kMaxRects
inline constexpr int kCellBytes = 100;

// How a cell's text becomes a number: the C library's atoi or atof rules (cell_parse.h).
enum class CellKind { kInteger, kReal };

enum class ParameterId {
    kGridSize,
    kSamplePitch,
    kWavelength,
    kNumericalAperture,
    kSigma,
    kShiftX,
    kShiftY,
    kDefocus,
    kAberrX1, kAberrX2, kAberrX3, kAberrX4, kAberrX5, kAberrX6,
    kAberrY1, kAberrY2, kAberrY3, kAberrY4, kAberrY5, kAberrY6,
    kRectCount,
};

struct ParameterCell {
    ParameterId id;
    const char* name; // the name users give on the command line
    int line;
    int column;
    CellKind kind;
    bool isLength; // in the length unit the pitch and the wavelength share
    const char* meaning;
};

inline constexpr int kParameterCount = 21;

// In reading order, which is line order; entry i has id ParameterId(i).
inline constexpr ParameterCell kParameterCells[kParameterCount] = {
    {ParameterId::kGridSize, "grid", 2, 2, CellKind::kInteger, false,
     "samples per axis N (limited to 128)"},
    {ParameterId::kSamplePitch, "sample-pitch", 3, 2, CellKind::kReal, true,
     "distance between neighbouring samples"},
    {ParameterId::kWavelength, "wavelength", 4, 2, CellKind::kReal, true, "illumination wavelength"},
    {ParameterId::kNumericalAperture, "na", 5, 2, CellKind::kReal, false,
     "numerical aperture of the projection lens"},
    {ParameterId::kSigma, "sigma", 6, 2, CellKind::kReal, false, "partial-coherence factor"},
    {ParameterId::kShiftX, "shift-x", 7, 2, CellKind::kReal, false,
     "shift of the X spectral coordinates, in direction sines"},
    {ParameterId::kShiftY, "shift-y", 8, 2, CellKind::kReal, false,
     "shift of the Y spectral coordinates, in direction sines"},
    {ParameterId::kDefocus, "defocus", 9, 2, CellKind::kReal, true, "defocus distance"},
    {ParameterId::kAberrX1, "ax1", 10, 2, CellKind::kReal, true, "X-axis aberration, coefficient of rho^1"},
    {ParameterId::kAberrX2, "ax2", 11, 2, CellKind::kReal, true, "X-axis aberration, coefficient of rho^2"},
    {ParameterId::kAberrX3, "ax3", 12, 2, CellKind::kReal, true, "X-axis aberration, coefficient of rho^3"},
    {ParameterId::kAberrX4, "ax4", 13, 2, CellKind::kReal, true, "X-axis aberration, coefficient of rho^4"},
    {ParameterId::kAberrX5, "ax5", 14, 2, CellKind::kReal, true, "X-axis aberration, coefficient of rho^5"},
    {ParameterId::kAberrX6, "ax6", 15, 2, CellKind::kReal, true, "X-axis aberration, coefficient of rho^6"},
    {ParameterId::kAberrY1, "ay1", 16, 2, CellKind::kReal, true, "Y-axis aberration, coefficient of rho^1"},
    {ParameterId::kAberrY2, "ay2", 17, 2, CellKind::kReal, true, "Y-axis aberration, coefficient of rho^2"},
    {ParameterId::kAberrY3, "ay3", 18, 2, CellKind::kReal, true, "Y-axis aberration, coefficient of rho^3"},
    {ParameterId::kAberrY4, "ay4", 19, 2, CellKind::kReal, true, "Y-axis aberration, coefficient of rho^4"},
    {ParameterId::kAberrY5, "ay5", 20, 2, CellKind::kReal, true, "Y-axis aberration, coefficient of rho^5"},
    {ParameterId::kAberrY6, "ay6", 21, 2, CellKind::kReal, true, "Y-axis aberration, coefficient of rho^6"},
    {ParameterId::kRectCount, "rectangles", 22, 2, CellKind::kInteger, false,
     "number of mask rectangles (limited to 1000)"},
};

namespace layout_detail {
constexpr bool indexedById() {
    for (int i = 0; i < kParameterCount; ++i) {
        if (static_cast<int>(kParameterCells[i].id) != i) return false;
    }
    return true;
}
} // namespace layout_detail
static_assert(layout_detail::indexedById(), "kParameterCells[i] must describe ParameterId(i)");

constexpr const ParameterCell& parameterCell(ParameterId id) {
    return kParameterCells[static_cast<int>(id)];
}

// The parameter of that name, or nullptr when no parameter has it.
constexpr const ParameterCell* findParameter(std::string_view name) {
    for (const ParameterCell& cell : kParameterCells) {
        if (name == cell.name) return &cell;
    }
    return nullptr;
}

// Free cells that by custom label a parameter line: its name, and for a length the unit
// that the pitch, the wavelength and the other lengths share (never read by a run).
inline constexpr int kLabelColumn = 0;
inline constexpr int kUnitColumn = 1;

// Rectangle r is the line kFirstRectangleLine + r; every one of its cells is read as a real.
inline constexpr int kFirstRectangleLine = 25;

struct RectangleCell {
    const char* name;
    int column;
    bool isEdge; // in samples from the grid centre, limited to [-N/2, N/2]
};

inline constexpr int kRectangleCellCount = 6;

// In reading order, the order of MaskRectangle's fields.
inline constexpr RectangleCell kRectangleCells[kRectangleCellCount] = {
    {"trans-re", 1, false}, {"trans-im", 2, false}, {"x-start", 3, true},
    {"x-end", 4, true},     {"y-start", 5, true},   {"y-end", 6, true},
};

constexpr int rectangleLine(int r) { return kFirstRectangleLine + r; }

} // namespace aerial
