// The pure parts of a focus series: the list of values, the input of each member (the
// parent input with one cell changed), folder names and the result table.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

// "START:STOP:STEP", both ends included (STOP is reached when it lies on the step within
// rounding). Returns false with a reason for a malformed range, a zero step, a step
// pointing away from STOP, or more than 1000 values.
bool parseRange(const std::string& text, std::vector<double>& values, std::string& error);

// The shortest text that reads back as the value (up to 12 significant digits), for cells
// and folder names.
std::string valueText(double value);

// The folder of one member of a defocus series: "defocus_<value>".
std::string memberFolderName(double defocus);

struct SweepRow {
    double defocus;
    double threshold;
    double cd;           // width of the run through the grid centre; NaN if not bounded
    std::string feature; // "bright" or "dark": the kind of that run
    double peak;
    double contrast;
};

// The focus series as CSV: a header line, then one line per row.
std::string sweepCsv(const std::vector<SweepRow>& rows);

} // namespace aerial_tool
