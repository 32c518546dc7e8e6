// The rules of `aerial check`: what a run of the library will make of an input file, and
// where that is meaningless or surprising. Pure logic over the reader's own results: call
// aerial::loadInput() first, then checkLoadedInput() reads the workspace and the cell table
// the reader left.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

struct ParameterEntry {
    std::string name;
    int line;
    int column;
    std::string cell;  // the text of the cell as the reader stored it
    double value;      // the value the run uses, after any limit
    std::string limit; // the limit applied, or empty
};

struct RectangleEntry {
    int index;
    int line;
    std::string cells[6];  // transRe, transIm, xStart, xEnd, yStart, yEnd
    double values[6];      // as the run uses them
    bool limited[6];       // the edge was brought within [-h, +h]
    double read[6];        // the value before the limit
};

struct SourceShift {
    int j, k;       // the source grid indices
    double x, y;    // the spectrum shift in samples (NaN where the optics give none)
};

struct Finding {
    int line; // counted from 0, as in the format; -1 for the file as a whole
    std::string message;
};

struct InputReport {
    int fileLines = 0;
    std::string lengthUnit; // the unit cell of the sample pitch line, or "L"
    std::vector<ParameterEntry> parameters;
    std::vector<RectangleEntry> rectangles;
    double pupilRadius = 0; // in spectral samples
    std::vector<SourceShift> shifts;
    double resolution = 0;   // wavelength / NA
    double depthOfFocus = 0; // wavelength / NA^2
    std::vector<Finding> notes;    // limits that change nothing a user meant
    std::vector<Finding> warnings; // a run would be meaningless or surprising
};

// Counts the lines of a file's text the way the reader does: a line feed ends a line, a
// last line without one still counts.
int countLines(const std::string& text);

// The report for the input the last aerial::loadInput() call read. fileLines is the
// number of lines of that file (countLines).
InputReport checkLoadedInput(int fileLines);

} // namespace aerial_tool
