// The scan of an input file into a fixed table of text cells, from any path.
//
// A line feed ends a cell and the line, a tab ends a cell, a carriage return is ignored
// wherever it stands; every other byte is cell text. Oversized input is brought within the
// table's capacities (input_layout.h): a cell keeps its first 99 bytes and every later byte
// lands on position 99; the eleventh and later cells of a line are written into column 9,
// each from position 0; lines past the last one of the table are not stored.
#pragma once

#include <cstddef>
#include <string_view>

#include "input/input_layout.h"

namespace aerial {

struct InputCells {
    // [column][line][byte]. The scan clears nothing: the cells it wrote hold its bytes,
    // and every other cell reads as empty (cellWritten), so a run touches only the memory
    // of the cells its file has, not the whole megabyte.
    char bytes[kCellColumns][kCellLines][kCellBytes];
    // Lines 0 .. storedLines-1 are the stored lines of the file; line l holds the cells
    // 0 .. cellsOnLine[l]-1. Entries at and after storedLines belong to no scan.
    int storedLines;
    unsigned char cellsOnLine[kCellLines];
    // Lines of the file as the reader counts them: each line feed ends one, and a last line
    // without one counts when it holds anything but carriage returns.
    int lineCount;
    bool sawTab; // any tab in the file: without one, every value reads as 0
    // The cell that was open when the file ended: the last cell of a file without a final
    // line feed, or the empty cell after a final tab or line feed. No zero byte is stored
    // for it, so its text is its first openLength bytes (at most kCellBytes) and not what
    // the table holds after them. openLine is -1 when that line is not stored.
    int openColumn;
    int openLine;
    int openLength;
};

// Scans the file at path (opened in binary mode; no working folder is involved). Returns
// false when it cannot be opened or a read fails; the cells are then not meaningful. The
// table needs no clearing or initialisation before: a table of any content works.
bool scanInputFile(const char* path, InputCells& cells);

// The same scan over bytes in memory, as if they were a file's content.
void scanInputText(std::string_view text, InputCells& cells);

// Whether the last scan wrote the cell; a cell it did not write reads as empty, whatever
// the table held before.
inline bool cellWritten(const InputCells& cells, int column, int line) {
    return line >= 0 && line < cells.storedLines && column >= 0 && column < cells.cellsOnLine[line];
}

// A cell's text with room for its terminator: exactly the bytes stored in the cell, up to
// its terminating zero or, for the cell open at end of file, its openLength bytes.
struct CellText {
    char text[kCellBytes + 1];
};

// An empty text for a column or line outside the table.
CellText cellText(const InputCells& cells, int column, int line);

// The bytes text[begin, end) of a file that the scan stores as one cell.
struct CellSpan {
    std::size_t begin;
    std::size_t end;
};

// Where the cell the scan of text stores at (column, line) comes from, by the scan's own
// rules: lines counted by line feeds, cells by tabs, the eleventh and later cells of a line
// folded into the last column (whose text is then the line's last cell), no line stored
// past the table. The span runs from the first to the last byte of the cell's text between
// its tabs or line ends, without the carriage returns at its ends (so a CR LF stays whole);
// a carriage return inside the text is inside the span. Replacing the span with a text of
// fewer than kCellBytes bytes, none of them a tab, line feed, carriage return or zero,
// gives a file whose scan stores that text in the cell and leaves every other cell as it
// was. False when the scan writes no such cell (cellWritten would be false).
bool locateCell(std::string_view text, int column, int line, CellSpan& span);

} // namespace aerial
