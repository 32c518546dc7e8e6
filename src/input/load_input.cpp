#include "input/load_input.h"

#include <cstdio>
#include <cstring>

#include "input/cell_parse.h"
#include "state/simulation_state.h"

namespace aerial {

namespace {

using CellTable = char[kCellColumns][kCellLines][kCellBytes];

// About 1 MB: more than a small host thread stack holds, so it has static storage. It is
// cleared at the start of every scan, so nothing of an earlier file survives.
CellTable FIN;

constexpr int kLastColumn = kCellColumns - 1;
constexpr int kLastPosition = kCellBytes - 1;
constexpr int kLinePastTable = kCellLines; // bytes on this line or later are discarded

// Copies the whole file into FIN. Returns false when the stream reports a read error
// (a directory opened as a file, an I/O fault).
bool scanCells(FILE* file) {
    std::memset(FIN, 0, sizeof FIN);
    int column = 0;
    int line = 0;
    int position = 0;
    for (int ch = std::fgetc(file); ch != EOF; ch = std::fgetc(file)) {
        if (column > kLastColumn) column = kLastColumn;
        if (position > kLastPosition) position = kLastPosition;
        const bool stored = line < kLinePastTable;
        if (ch == '\n') {
            if (stored) FIN[column][line][position] = '\0';
            column = 0;
            if (line < kLinePastTable) ++line; // saturates, so no file length can overflow it
            position = 0;
        } else if (ch == '\t') {
            if (stored) FIN[column][line][position] = '\0';
            ++column;
            position = 0;
        } else if (ch == '\r') {
            // ignored wherever it stands: LF and CR LF files read alike
        } else {
            if (stored) FIN[column][line][position] = static_cast<char>(ch);
            ++position;
        }
    }
    // The last cell of a file without a final line feed is ended here as a line feed would
    // end it: otherwise a cell of 100 bytes or more would have no terminating zero within
    // its 100 bytes, and a short one on the last stored line would run on into what an
    // earlier line left there.
    if (line < kLinePastTable) {
        if (column > kLastColumn) column = kLastColumn;
        if (position > kLastPosition) position = kLastPosition;
        FIN[column][line][position] = '\0';
    }
    return !std::ferror(file);
}

void limitEdge(double& edge, double h) {
    // Strict tests: an edge of exactly +h or -h stays as read; NaN passes both unchanged.
    if (edge > h) {
        edge = h;
    } else if (edge < -h) {
        edge = -h;
    }
}

void parseCells() {
    SimulationState& s = workspace;
    constexpr int kValueColumn = 2;
    s.gridSize = parseIntCell(FIN[kValueColumn][2]);
    s.samplePitch = parseRealCell(FIN[kValueColumn][3]);
    s.wavelength = parseRealCell(FIN[kValueColumn][4]);
    s.numericalAperture = parseRealCell(FIN[kValueColumn][5]);
    s.sigma = parseRealCell(FIN[kValueColumn][6]);
    s.spectrumShiftX = parseRealCell(FIN[kValueColumn][7]);
    s.spectrumShiftY = parseRealCell(FIN[kValueColumn][8]);
    s.defocus = parseRealCell(FIN[kValueColumn][9]);
    for (int j = 1; j <= 6; ++j) s.aberrX[j] = parseRealCell(FIN[kValueColumn][9 + j]);
    for (int j = 1; j <= 6; ++j) s.aberrY[j] = parseRealCell(FIN[kValueColumn][15 + j]);
    s.rectCount = parseIntCell(FIN[kValueColumn][22]);

    if (s.gridSize > kMaxGrid) s.gridSize = kMaxGrid;
    if (s.rectCount > kMaxRects) s.rectCount = kMaxRects;

    const double h = static_cast<double>(s.gridSize / 2);
    for (int r = 0; r < s.rectCount; ++r) {
        const int line = 25 + r;
        MaskRectangle& rect = s.rects[r];
        rect.transRe = parseRealCell(FIN[1][line]);
        rect.transIm = parseRealCell(FIN[2][line]);
        rect.xStart = parseRealCell(FIN[3][line]);
        limitEdge(rect.xStart, h);
        rect.xEnd = parseRealCell(FIN[4][line]);
        limitEdge(rect.xEnd, h);
        rect.yStart = parseRealCell(FIN[5][line]);
        limitEdge(rect.yStart, h);
        rect.yEnd = parseRealCell(FIN[6][line]);
        limitEdge(rect.yEnd, h);
    }
}

} // namespace

bool loadInput() {
    // Binary mode: the scan drops carriage returns itself, and text mode on some platforms
    // would stop at a 0x1A byte.
    FILE* file = std::fopen("IN_FM.txt", "rb");
    if (file == nullptr) return false;
    const bool readable = scanCells(file);
    std::fclose(file);
    if (!readable) return false;
    parseCells();
    return true;
}

const char* inputCell(int column, int line) {
    if (column < 0 || column >= kCellColumns || line < 0 || line >= kCellLines) return "";
    return FIN[column][line];
}

} // namespace aerial
