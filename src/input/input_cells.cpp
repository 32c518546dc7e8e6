#include "input/input_cells.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace aerial {

namespace {

constexpr int kLastColumn = kCellColumns - 1;
constexpr int kLastPosition = kCellBytes - 1;
constexpr int kLinePastTable = kCellLines; // bytes on this line or later are not stored

// The three counters of the scan and what it records about the file on the way.
class CellScanner {
public:
    explicit CellScanner(InputCells& cells) : cells_(cells) { cells_.sawTab = false; }

    void take(int ch) {
        if (column_ > kLastColumn) column_ = kLastColumn;
        if (position_ > kLastPosition) position_ = kLastPosition;
        const bool stored = line_ < kLinePastTable;
        if (ch == '\n') {
            if (stored) {
                cells_.bytes[column_][line_][position_] = '\0';
                // Columns only grow along a line (the later cells of a long one fold into
                // the last), so the cell ended here is the line's last.
                cells_.cellsOnLine[line_] = static_cast<unsigned char>(column_ + 1);
            }
            column_ = 0;
            if (line_ < kLinePastTable) ++line_; // saturates, so no file length can overflow it
            position_ = 0;
            if (lineCount_ < INT_MAX) ++lineCount_;
            lineOpen_ = false;
        } else if (ch == '\t') {
            if (stored) cells_.bytes[column_][line_][position_] = '\0';
            ++column_;
            if (column_ > kLastColumn) column_ = kLastColumn + 1; // no overflow on long lines
            position_ = 0;
            cells_.sawTab = true;
            lineOpen_ = true;
        } else if (ch == '\r') {
            // ignored wherever it stands: LF and CR LF files read alike
        } else {
            if (stored) cells_.bytes[column_][line_][position_] = static_cast<char>(ch);
            ++position_;
            lineOpen_ = true;
        }
    }

    // No zero byte is stored for the cell open at the end: it keeps exactly the bytes the
    // file put there, and its length says where they end.
    void finish() {
        const int openColumn = column_ > kLastColumn ? kLastColumn : column_;
        if (line_ < kLinePastTable) cells_.cellsOnLine[line_] = static_cast<unsigned char>(openColumn + 1);
        cells_.storedLines = line_ < kLinePastTable ? line_ + 1 : kCellLines;
        cells_.lineCount = lineCount_ + (lineOpen_ && lineCount_ < INT_MAX ? 1 : 0);
        cells_.openColumn = openColumn;
        cells_.openLine = line_ < kLinePastTable ? line_ : -1;
        cells_.openLength = position_;
    }

private:
    InputCells& cells_;
    int column_ = 0;
    int line_ = 0;
    int position_ = 0; // at most kCellBytes: limited before each byte is stored
    int lineCount_ = 0;
    bool lineOpen_ = false;
};

} // namespace

bool scanInputFile(const char* path, InputCells& cells) {
    // Binary mode: the scan drops carriage returns itself, and text mode on some platforms
    // would stop at a 0x1A byte.
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    CellScanner scanner(cells);
    // In blocks rather than a byte per call: the stream's lock is taken once a block.
    unsigned char block[4096];
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, file);
        for (std::size_t k = 0; k < got; ++k) scanner.take(block[k]);
        if (got < sizeof block) break;
    }
    scanner.finish();
    // A directory opened as a file, an I/O fault.
    const bool readable = !std::ferror(file);
    std::fclose(file);
    return readable;
}

void scanInputText(std::string_view text, InputCells& cells) {
    CellScanner scanner(cells);
    for (char ch : text) scanner.take(static_cast<unsigned char>(ch));
    scanner.finish();
}

bool locateCell(std::string_view text, int column, int line, CellSpan& span) {
    if (line < 0 || line >= kLinePastTable || column < 0 || column > kLastColumn) return false;
    // The scan's counters for the line and the column (folded as the scan folds it); the
    // line is found first, then each of its cells in turn.
    std::size_t at = 0;
    const std::size_t size = text.size();
    for (int l = 0; l < line; ++l) {
        while (at < size && text[at] != '\n') ++at;
        if (at == size) return false; // the file ends on an earlier line
        ++at;
    }
    bool found = false;
    int c = 0;
    for (;;) {
        const std::size_t start = at;
        while (at < size && text[at] != '\t' && text[at] != '\n') ++at;
        if (c == column) {
            // A later cell folded into the last column replaces this one: the last wins.
            // A cell of carriage returns alone is empty where it starts, before them.
            std::size_t first = start, last = at;
            while (first < last && text[first] == '\r') ++first;
            while (last > first && text[last - 1] == '\r') --last;
            span = first == last ? CellSpan{start, start} : CellSpan{first, last};
            found = true;
        }
        if (at == size || text[at] == '\n') break;
        ++at; // past the tab
        if (c < kLastColumn) ++c;
        if (c > column) break;
    }
    return found;
}

CellText cellText(const InputCells& cells, int column, int line) {
    CellText out{};
    if (!cellWritten(cells, column, line)) return out;
    const char* stored = cells.bytes[column][line];
    int length = 0;
    if (column == cells.openColumn && line == cells.openLine) {
        length = cells.openLength;
    } else {
        while (length < kCellBytes && stored[length] != '\0') ++length;
    }
    std::memcpy(out.text, stored, static_cast<std::size_t>(length));
    out.text[length] = '\0';
    return out;
}

} // namespace aerial
