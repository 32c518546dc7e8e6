#include "io/input_edit.h"

namespace aerial_tool {

bool replaceCell(const std::string& bytes, int line, int column, const std::string& text,
                 std::string& result) {
    size_t lineStart = 0;
    for (int k = 0; k < line; ++k) {
        lineStart = bytes.find('\n', lineStart);
        if (lineStart == std::string::npos) return false;
        ++lineStart;
    }
    size_t lineEnd = bytes.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = bytes.size();
    size_t cellStart = lineStart;
    for (int k = 0; k < column; ++k) {
        cellStart = bytes.find('\t', cellStart);
        if (cellStart == std::string::npos || cellStart >= lineEnd) return false;
        ++cellStart;
    }
    size_t cellEnd = bytes.find('\t', cellStart);
    if (cellEnd == std::string::npos || cellEnd > lineEnd) cellEnd = lineEnd;
    // The carriage return of a CR LF line stays where it was.
    if (cellEnd > cellStart && bytes[cellEnd - 1] == '\r') --cellEnd;
    result = bytes.substr(0, cellStart) + text + bytes.substr(cellEnd);
    return true;
}

} // namespace aerial_tool
