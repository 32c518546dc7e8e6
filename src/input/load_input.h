// Reader of "IN_FM.txt": a positional grid of tab-separated cells.
//
// Line 2 column 2: grid size N; lines 3..21 column 2: the optics; line 22 column 2: the
// rectangle count; line 25 + r, columns 1..6: rectangle r (transRe, transIm, xStart, xEnd,
// yStart, yEnd). Lines and columns count from 0; a line feed ends a line, a tab a cell,
// carriage returns are ignored.
#pragma once

namespace aerial {

constexpr int kCellColumns = 10;  // columns 0..9; later cells of a line fold into column 9
constexpr int kCellLines = 1025;  // lines 0..1024: every rectangle row up to kMaxRects
constexpr int kCellBytes = 100;   // 99 bytes of text and the terminating zero

// Reads "IN_FM.txt" from the current directory into the workspace's parameters and
// rectangle rows, with every limit applied. Returns false, having changed nothing in the
// workspace, when the file cannot be opened or read.
bool loadInput();

// The scanned cell table of the last loadInput call, for tools that show where each value
// came from. Cells the file never wrote read as empty text.
const char* inputCell(int column, int line);

} // namespace aerial
