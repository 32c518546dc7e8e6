// Helpers shared by the tests: a scratch folder to run in, and input files built from
// parameters the way users write them.
#pragma once

#include <string>
#include <vector>

#include "aerial/input_values.hpp"
#include "input/input_layout.h"

// GCC 12 at -O2 reports an overlap (-Wrestrict) inside std::string's own inlined copy when
// a short literal is assigned to, inserted into or prepended to a string (GCC bug 105329).
// These bracket the statements where it does, and only for that compiler.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#define AERIAL_GCC12_STRING_RESTRICT_OFF \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wrestrict\"")
#define AERIAL_GCC12_STRING_RESTRICT_ON _Pragma("GCC diagnostic pop")
#else
#define AERIAL_GCC12_STRING_RESTRICT_OFF
#define AERIAL_GCC12_STRING_RESTRICT_ON
#endif

namespace aerial_test {

// Creates a fresh folder, makes it the working directory, and on destruction returns to
// the previous one and removes the folder with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

#ifndef _WIN32
// A command of the tool as a user types it, run by the shell from the working folder: its
// exit status (-1 when it did not exit) and what it printed on stdout and stderr (through
// stdout.txt and stderr.txt there).
struct ToolOutcome {
    int status;
    std::string out, err;
};
ToolOutcome runToolAt(const std::string& tool, const std::string& arguments);
#ifdef AERIAL_TOOL
inline ToolOutcome runTool(const std::string& arguments) { return runToolAt(AERIAL_TOOL, arguments); }
#endif
#endif

// An input file put together cell by cell at the positions of input_layout.h. Cells not
// set are empty; lines up to the last one set are written.
class InputGrid {
public:
    void set(int line, int column, const std::string& text);
    void setParameter(aerial::ParameterId id, const std::string& text);
    // Rectangle r's cells in column order (kRectangleCells), then any extra cells after them.
    void setRectangle(int r, const std::vector<std::string>& cells);
    std::string text(const std::string& lineEnd = "\n") const;

private:
    std::vector<std::vector<std::string>> lines_;
};

struct Rect {
    double transRe, transIm, xStart, xEnd, yStart, yEnd;
};

// The parameters of one run, written out in the positional input format with a name and
// a unit cell before each value.
struct TestInput {
    std::string gridSize = "128";
    double samplePitch = 0.01;
    double wavelength = 0.193;
    double numericalAperture = 0.75;
    double sigma = 0.5;
    double shiftX = 0;
    double shiftY = 0;
    double defocus = 0;
    double aberrX[7] = {};
    double aberrY[7] = {};
    std::vector<Rect> rects;
    std::string lineEnd = "\n";

    // The parameter lines carry their names and a unit cell, and the rectangle rows a
    // heading line and a row label, as users write them.
    InputGrid grid() const;
    std::string text() const { return grid().text(lineEnd); }
};

// The bundled two-rectangle example, as an TestInput.
TestInput twoRectangleExample();

// Writes the input file in the current folder.
void writeInput(const TestInput& inputFile);
void writeInput(const std::string& text);

// The three result tables in the current folder, in the order they are written.
struct Tables {
    std::string amplitude, phase, image;
    bool operator==(const Tables&) const = default;
};
Tables readTables(const std::string& dir = ".");

// Input k of a family of different inputs, the same on every call: grids from 8 to 128,
// masks of 1 to 20 rectangles, optics, defocus and aberrations all varying.
aerial::InputValues variedInput(int k);

// Switches LC_NUMERIC to a locale whose decimal separator is a comma: an installed one, or
// one generated with localedef into a scratch folder. Returns false when neither works.
bool useCommaDecimalLocale();
void useClassicLocale();

} // namespace aerial_test
