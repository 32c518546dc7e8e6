// Reading the three tab-separated tables a run leaves back into numbers: their names and
// their layout are the core's (output/table_layout.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace aerial_tool {

struct ResultTableData {
    int size = 0;                // N
    std::vector<double> xLabels; // positions or direction sines along X, one per column
    std::vector<double> yLabels; // the same along Y, one per row
    std::vector<double> values;  // values[y * size + x]

    double at(int x, int y) const { return values[static_cast<size_t>(y) * size + x]; }
    // Label step, from the end labels: the labels carry six decimals only, the step over
    // the whole axis keeps more of the pitch.
    double xStep() const;
    double yStep() const;
};

// Parses the text of a table. Returns false with a one-line reason when the text is not a
// square table with numeric labels and cells.
bool parseResultTable(const std::string& text, ResultTableData& table, std::string& error);

// The value a table cell holds for this double: its "%f" text, as the tables print it, read
// back as parseResultTable reads it. Measurements of results held in memory take their
// values through this, so they agree to the digit with the same measurements of the tables.
double printedValue(double value);

// A cell of a table file by its place as an editor shows it: line and column from 1.
struct TableCellPlace {
    int line = 0;
    int column = 0;
    double value = 0; // NaN or an infinity
};

// The first cell of the table, in the file's order (the axis row's labels, then each row's
// label and cells), that holds NaN or an infinity; none when every number is finite.
std::optional<TableCellPlace> firstNonFiniteCell(const ResultTableData& table);

// The same over the N x N cells of a table held as values (values[y * N + x], as
// ResultTableData::values): the place each would have in the table's file.
std::optional<TableCellPlace> firstNonFiniteCell(int size, const std::vector<double>& values);

// "OUT_M.xls: line 3, column 5 holds nan: the run's input gives no finite image (see aerial
// check)", for the table at `path` (its file name says which table it is).
std::string nonFiniteText(const std::string& path, const TableCellPlace& cell);

// Reads and parses a table file; the error names the file.
bool readResultTable(const std::string& path, ResultTableData& table, std::string& error);

} // namespace aerial_tool
