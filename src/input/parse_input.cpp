#include "input/parse_input.h"

#include <cstring>

#include "input/cell_parse.h"

namespace aerial {

namespace {

// A pointer to the cell's zero-ended text where the table holds one; the cell open at end
// of file has no zero stored after it and is read through a copy, and a cell the scan did
// not write is empty.
const char* cellAt(const InputCells& cells, int column, int line, CellText& copy) {
    if (!cellWritten(cells, column, line)) return "";
    if (column == cells.openColumn && line == cells.openLine) {
        copy = cellText(cells, column, line);
        return copy.text;
    }
    return cells.bytes[column][line];
}

// The field of a parameter, for a const or a writable InputValues.
template <typename Values>
auto realField(Values& v, ParameterId id) -> decltype(&v.samplePitch) {
    switch (id) {
    case ParameterId::kSamplePitch: return &v.samplePitch;
    case ParameterId::kWavelength: return &v.wavelength;
    case ParameterId::kNumericalAperture: return &v.numericalAperture;
    case ParameterId::kSigma: return &v.sigma;
    case ParameterId::kShiftX: return &v.spectrumShiftX;
    case ParameterId::kShiftY: return &v.spectrumShiftY;
    case ParameterId::kDefocus: return &v.defocus;
    case ParameterId::kAberrX1: case ParameterId::kAberrX2: case ParameterId::kAberrX3:
    case ParameterId::kAberrX4: case ParameterId::kAberrX5: case ParameterId::kAberrX6:
        return &v.aberrX[1 + static_cast<int>(id) - static_cast<int>(ParameterId::kAberrX1)];
    case ParameterId::kAberrY1: case ParameterId::kAberrY2: case ParameterId::kAberrY3:
    case ParameterId::kAberrY4: case ParameterId::kAberrY5: case ParameterId::kAberrY6:
        return &v.aberrY[1 + static_cast<int>(id) - static_cast<int>(ParameterId::kAberrY1)];
    case ParameterId::kGridSize:
    case ParameterId::kRectCount: break;
    }
    return nullptr;
}

template <typename Values>
auto integerField(Values& v, ParameterId id) -> decltype(&v.gridSize) {
    return id == ParameterId::kGridSize ? &v.gridSize : id == ParameterId::kRectCount ? &v.rectCount : nullptr;
}

void limitEdge(double& edge, double h) {
    // Strict tests: an edge of exactly +h or -h stays as read; NaN passes both unchanged.
    if (edge > h) {
        edge = h;
    } else if (edge < -h) {
        edge = -h;
    }
}

static_assert(rectangleLine(kMaxRects - 1) < kCellLines, "every rectangle row up to the count limit is stored");

} // namespace

void parseInput(const InputCells& cells, InputValues& values) {
    std::memset(&values, 0, sizeof values);
    CellText copy;
    for (const ParameterCell& p : kParameterCells) {
        const char* text = cellAt(cells, p.column, p.line, copy);
        if (p.kind == CellKind::kInteger) {
            *integerField(values, p.id) = parseIntCell(text);
        } else {
            *realField(values, p.id) = parseRealCell(text);
        }
    }

    if (values.gridSize > kMaxGrid) values.gridSize = kMaxGrid;
    if (values.rectCount > kMaxRects) values.rectCount = kMaxRects;

    const double h = static_cast<double>(values.gridSize / 2);
    for (int r = 0; r < values.rectCount; ++r) {
        MaskRectangle& rect = values.rects[r];
        double* fields[kRectangleCellCount] = {&rect.transRe, &rect.transIm, &rect.xStart,
                                               &rect.xEnd,    &rect.yStart,  &rect.yEnd};
        for (int k = 0; k < kRectangleCellCount; ++k) {
            const RectangleCell& cell = kRectangleCells[k];
            *fields[k] = parseRealCell(cellAt(cells, cell.column, rectangleLine(r), copy));
            if (cell.isEdge) limitEdge(*fields[k], h);
        }
    }
}

double* realParameterField(InputValues& values, ParameterId id) { return realField(values, id); }

double parameterValue(const InputValues& values, ParameterId id) {
    if (const int* field = integerField(values, id)) return static_cast<double>(*field);
    return *realField(values, id);
}

} // namespace aerial
