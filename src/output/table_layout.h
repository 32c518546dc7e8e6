// The layout of the three result tables as data: which file each is, and where its lines
// and cells lie. The writer (result_tables.cpp) lays its text out by these, and everything
// that reads a table back (the host tool, tests) asks this header.
//
// A table of an N x N grid has N + 3 lines, each ended by CR LF: a title line, the axis
// row (an empty cell, then the N labels), N rows each led by its Y label, then an empty
// closing line. Every number is followed by a tab, the last of its line too. So table row
// y, column x holds plane sample [x][y], and the label of index c = N/2 is 0.
#pragma once

#include "input/input_layout.h"

namespace aerial {

// The three tables, in the order their file names are listed here.
inline constexpr int kResultTableCount = 3;
inline constexpr const char* kResultTableFileNames[kResultTableCount] = {
    kSpectrumAmplitudeFileName, kSpectrumPhaseFileName, kImageIntensityFileName};

// Lines and columns counted from 0, as the input's are.
inline constexpr int kTableTitleLine = 0;
inline constexpr int kTableAxisLine = 1;     // column 0 empty, label x in column x + 1
inline constexpr int kTableFirstRowLine = 2; // row y on line y + 2: its label, then its N cells
inline constexpr int kTableLabelColumn = 0;
inline constexpr int kTableFirstValueColumn = 1;

constexpr int tableRowLine(int y) { return kTableFirstRowLine + y; }
constexpr int tableValueColumn(int x) { return kTableFirstValueColumn + x; }
// Title, axis row, N rows and the closing empty line.
constexpr long long tableLineCount(int n) { return (n > 0 ? n : 0) + 3LL; }

inline constexpr char kTableCellEnd = '\t';
inline constexpr char kTableLineEnd[2] = {'\r', '\n'};
// The bytes every finished table ends with: the tab after the last number of its last row
// (or of its axis row), that row's line end, and the closing empty line.
inline constexpr char kTableEnding[5] = {kTableCellEnd, '\r', '\n', '\r', '\n'};

} // namespace aerial
