#include "io/result_table.h"

#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <string_view>

#include "output/format_number.h"

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
        if (ch == '\t') {
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
    if (lines.size() < 2) {
        error = "no axis row";
        return false;
    }
    std::vector<std::string> axis = splitCells(lines[1]);
    if (axis.empty() || !axis[0].empty()) {
        error = "the axis row does not start with an empty cell";
        return false;
    }
    const int n = static_cast<int>(axis.size()) - 1;
    if (n < 1) {
        error = "the axis row has no labels";
        return false;
    }
    if (static_cast<int>(lines.size()) - 2 != n) {
        error = "expected " + std::to_string(n) + " rows for " + std::to_string(n) +
                " columns, found " + std::to_string(lines.size() - 2);
        return false;
    }
    ResultTableData result;
    result.size = n;
    result.xLabels.resize(n);
    result.yLabels.resize(n);
    result.values.resize(static_cast<size_t>(n) * n);
    for (int x = 0; x < n; ++x) {
        if (!parseNumber(axis[x + 1], result.xLabels[x])) {
            error = "axis label " + std::to_string(x) + " is not a number: '" + axis[x + 1] + "'";
            return false;
        }
    }
    for (int y = 0; y < n; ++y) {
        std::vector<std::string> cells = splitCells(lines[y + 2]);
        if (static_cast<int>(cells.size()) != n + 1) {
            error = "row " + std::to_string(y) + " has " + std::to_string(cells.size()) +
                    " cells, expected " + std::to_string(n + 1);
            return false;
        }
        for (int k = 0; k <= n; ++k) {
            double& target = k == 0 ? result.yLabels[y] : result.values[static_cast<size_t>(y) * n + k - 1];
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

bool readResultTable(const std::string& path, ResultTableData& table, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read";
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
