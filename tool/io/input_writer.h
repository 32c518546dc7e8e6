// Writing input files: the parameters (from a template input, or the bundled example's
// values) and a list of rectangles, every cell where the input layout puts it.
#pragma once

#include <string>
#include <vector>

#include "input/input_layout.h"
#include "state/simulation_state.h"

namespace aerial_tool {

struct InputParameters {
    double values[aerial::kParameterCount] = {}; // by ParameterId, as a run reads them
    std::string unit = "um";                     // the length unit all lengths share

    double& operator[](aerial::ParameterId id) { return values[static_cast<int>(id)]; }
    double operator[](aerial::ParameterId id) const { return values[static_cast<int>(id)]; }
};

// The bundled example's optics: N = 128 at 0.01 um, 193 nm, NA 0.75, sigma 0.5, in focus,
// no aberration.
InputParameters bundledExampleParameters();

// The parameters of an input file of any name, read by the library's own reader, and the
// unit its sample pitch line names ("um" when that cell is empty). False with a reason
// when the file cannot be read.
bool readInputParameters(const std::string& path, InputParameters& parameters, std::string& error);

// A length unit's size in metres: nm, um (also µm, micron), mm, m. False for any other name.
bool unitMetres(const std::string& unit, double& metres);

// Every length of the parameters expressed in another unit, its decimal digits kept (0.193
// um is 193 nm exactly, as a person converts it, not 0.193 * 1000). False with a reason when
// either unit is not one unitMetres knows.
bool convertLengthUnit(InputParameters& parameters, const std::string& unit, std::string& error);

// A length in another unit, its decimal digits kept as convertLengthUnit keeps them. False
// when either unit is not one unitMetres knows.
bool convertLength(double value, const std::string& from, const std::string& to, double& converted);

// The parameters a written input starts from: the template's at templatePath, or the
// bundled example's when it is empty, in `unit` when one is named (else their own). False
// with a reason when the template cannot be read or the unit is unknown.
bool startingParameters(const std::string& templatePath, const std::string& unit, InputParameters& parameters,
                        std::string& error);

// The text of an input file: the title on the first free line, a heading for the
// parameter lines, each parameter with its name, unit and meaning, a heading for the
// rectangle rows, then one row per rectangle (labels[r] in its label cell when given).
// Numbers are written in their shortest form that reads back to the same double.
std::string inputFileText(const InputParameters& parameters,
                          const std::vector<aerial::MaskRectangle>& rects, const std::string& title,
                          const std::vector<std::string>& labels = {});

// An input file's bytes with its rectangle count and rows replaced by rects: every line
// before the first rectangle row kept as it is (line ends included), the rows after it
// written anew. False when the bytes do not reach the count line.
bool replaceRectangles(const std::string& bytes, const std::vector<aerial::MaskRectangle>& rects,
                       std::string& result);

} // namespace aerial_tool
