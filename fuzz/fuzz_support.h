// What the fuzz targets share: inputs cut down to a small grid, and the layout every table
// must have.
#pragma once

#include <cstddef>
#include <string>

#include "input/input_layout.h"

namespace aerial_fuzz {

// The imaging cost grows with N^3 and a full grid would leave few runs per second: grids
// above this are cut down before a run.
constexpr int kFuzzGrid = 16;

// The grid-size line replaced by one that holds kFuzzGrid in the grid-size cell.
inline std::string withSmallGrid(const std::string& bytes) {
    const aerial::ParameterCell& grid = aerial::parameterCell(aerial::ParameterId::kGridSize);
    std::size_t start = 0;
    for (int line = 0; line < grid.line; ++line) {
        start = bytes.find('\n', start);
        if (start == std::string::npos) return bytes;
        ++start;
    }
    const std::size_t end = bytes.find('\n', start);
    const std::string line = std::string(grid.column, '\t') + std::to_string(kFuzzGrid);
    return bytes.substr(0, start) + line + (end == std::string::npos ? "" : bytes.substr(end));
}

// Title, axis row, N data rows and the closing empty line, every line ended by CR LF and
// every line but the first and the last by TAB CR LF.
inline bool followsLayout(const std::string& table, int n) {
    const std::size_t rows = static_cast<std::size_t>(n > 0 ? n : 0);
    std::size_t lines = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = table.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const bool framed = lines == 0 || lines == rows + 2;
        if (!framed && (end == start || table[end - 1] != '\t')) return false;
        if (lines == rows + 2 && end != start) return false;
        ++lines;
    }
    return start == table.size() && lines == rows + 3;
}

} // namespace aerial_fuzz
