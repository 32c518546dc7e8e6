// Reading the three tab-separated tables a run leaves (their names in input/input_layout.h)
// back into numbers.
//
// Layout: a title line, a row of X labels after one empty cell, then one row per Y value,
// its label first; every cell is followed by a tab and every line ends with CR LF. So
// table row y, column x holds plane sample [x][y], and the label of index c = N/2 is 0.
#pragma once

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

// Reads and parses a table file; the error names the file.
bool readResultTable(const std::string& path, ResultTableData& table, std::string& error);

} // namespace aerial_tool
