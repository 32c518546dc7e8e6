#include "io/result_table.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string_view>

#include "io/file_reason.h"
#include "output/format_number.h"
#include "output/table_layout.h"

namespace aerial_tool {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char ch : text) {
        if (ch == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (ch != '\r') {
            line += ch;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    for (char ch : line) {
        if (ch == aerial::kTableCellEnd) {
            cells.push_back(cell);
            cell.clear();
        } else {
            cell += ch;
        }
    }
    // Every cell ends with a tab, so what follows the last tab is empty unless the line
    // was cut short.
    if (!cell.empty()) cells.push_back(cell);
    return cells;
}

// The tables are written in "%f" form, which from_chars reads without regard to locale.
bool parseNumber(const char* first, const char* last, double& value) {
    const std::string_view text(first, static_cast<std::size_t>(last - first));
    if (first != last && *first == '+') ++first;
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc() && end == last) return true;
    // from_chars rejects "-nan" and "-inf" spelled by printf on some C libraries
    if (text == "-nan" || text == "nan") { value = std::numeric_limits<double>::quiet_NaN(); return true; }
    return false;
}

bool parseNumber(const std::string& text, double& value) { return parseNumber(text.data(), text.data() + text.size(), value); }

} // namespace

double printedValue(double value) {
    char text[aerial::kNumberTextCapacity];
    const std::size_t length = aerial::formatFixed6(value, text);
    double printed = value;
    parseNumber(text, text + length, printed);
    return printed;
}

double ResultTableData::xStep() const {
    return size > 1 ? (xLabels.back() - xLabels.front()) / (size - 1) : 0.0;
}

double ResultTableData::yStep() const {
    return size > 1 ? (yLabels.back() - yLabels.front()) / (size - 1) : 0.0;
}

bool parseResultTable(const std::string& text, ResultTableData& table, std::string& error) {
    std::vector<std::string> lines = splitLines(text);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.size() <= static_cast<size_t>(aerial::kTableAxisLine)) {
        error = "no axis row";
        return false;
    }
    std::vector<std::string> axis = splitCells(lines[aerial::kTableAxisLine]);
    if (axis.empty() || !axis[aerial::kTableLabelColumn].empty()) {
        error = "the axis row does not start with an empty cell";
        return false;
    }
    const int n = static_cast<int>(axis.size()) - aerial::kTableFirstValueColumn;
    if (n < 1) {
        error = "the axis row has no labels";
        return false;
    }
    const long long rows = static_cast<long long>(lines.size()) - aerial::kTableFirstRowLine;
    if (rows != n) {
        error = "expected " + std::to_string(n) + " rows for " + std::to_string(n) + " columns, found " +
                std::to_string(rows);
        return false;
    }
    ResultTableData result;
    result.size = n;
    result.xLabels.resize(n);
    result.yLabels.resize(n);
    result.values.resize(static_cast<size_t>(n) * n);
    for (int x = 0; x < n; ++x) {
        const std::string& label = axis[aerial::tableValueColumn(x)];
        if (!parseNumber(label, result.xLabels[x])) {
            error = "axis label " + std::to_string(x) + " is not a number: '" + label + "'";
            return false;
        }
    }
    const int width = aerial::tableValueColumn(n);
    for (int y = 0; y < n; ++y) {
        std::vector<std::string> cells = splitCells(lines[aerial::tableRowLine(y)]);
        if (static_cast<int>(cells.size()) != width) {
            error = "row " + std::to_string(y) + " has " + std::to_string(cells.size()) + " cells, expected " +
                    std::to_string(width);
            return false;
        }
        for (int k = 0; k < width; ++k) {
            double& target = k == aerial::kTableLabelColumn
                                 ? result.yLabels[y]
                                 : result.values[static_cast<size_t>(y) * n + (k - aerial::kTableFirstValueColumn)];
            if (!parseNumber(cells[k], target)) {
                error = "row " + std::to_string(y) + " cell " + std::to_string(k) +
                        " is not a number: '" + cells[k] + "'";
                return false;
            }
        }
    }
    table = std::move(result);
    return true;
}

std::optional<TableCellPlace> firstNonFiniteCell(int size, const std::vector<double>& values) {
    for (size_t k = 0; k < values.size(); ++k) {
        if (std::isfinite(values[k])) continue;
        const int y = size > 0 ? static_cast<int>(k / static_cast<size_t>(size)) : 0;
        const int x = size > 0 ? static_cast<int>(k % static_cast<size_t>(size)) : 0;
        return TableCellPlace{aerial::tableRowLine(y) + 1, aerial::tableValueColumn(x) + 1, values[k]};
    }
    return std::nullopt;
}

std::optional<TableCellPlace> firstNonFiniteCell(const ResultTableData& table) {
    for (int x = 0; x < static_cast<int>(table.xLabels.size()); ++x) {
        if (!std::isfinite(table.xLabels[x]))
            return TableCellPlace{aerial::kTableAxisLine + 1, aerial::tableValueColumn(x) + 1, table.xLabels[x]};
    }
    const std::optional<TableCellPlace> cell = firstNonFiniteCell(table.size, table.values);
    for (int y = 0; y < static_cast<int>(table.yLabels.size()); ++y) {
        // A row's label comes before its cells, a later row's after them.
        if (cell && aerial::tableRowLine(y) + 1 > cell->line) break;
        if (!std::isfinite(table.yLabels[y]))
            return TableCellPlace{aerial::tableRowLine(y) + 1, aerial::kTableLabelColumn + 1, table.yLabels[y]};
    }
    return cell;
}

std::string nonFiniteText(const std::string& path, const TableCellPlace& cell) {
    const std::string name = std::filesystem::path(path).filename().string();
    const char* result = name == aerial::kImageIntensityFileName ? "image" : "spectrum";
    const char* value = std::isnan(cell.value) ? "nan" : cell.value > 0 ? "inf" : "-inf";
    return path + ": line " + std::to_string(cell.line) + ", column " + std::to_string(cell.column) + " holds " +
           value + ": the run's input gives no finite " + result + " (see aerial check)";
}

bool readResultTable(const std::string& path, ResultTableData& table, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + notReadable(path);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string why;
    if (!parseResultTable(text.str(), table, why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

} // namespace aerial_tool
