#include "io/input_writer.h"

#include <cmath>
#include <memory>

#include "io/file_reason.h"
#include "io/input_folder.h"
#include "input/input_cells.h"
#include "input/parse_input.h"
#include "io/input_edit.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace {

using aerial::kParameterCells;
using aerial::ParameterId;

bool isFreeLine(int line) {
    for (const aerial::ParameterCell& p : kParameterCells)
        if (p.line == line) return false;
    return line < aerial::kFirstRectangleLine;
}

std::string join(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t k = 0; k < cells.size(); ++k) line += (k ? "\t" : "") + cells[k];
    return line;
}

void put(std::vector<std::string>& cells, int column, const std::string& text) {
    if (static_cast<int>(cells.size()) <= column) cells.resize(column + 1);
    cells[column] = text;
}

std::vector<std::string> rectangleRow(const aerial::MaskRectangle& r, const std::string& label) {
    const double values[aerial::kRectangleCellCount] = {r.transRe, r.transIm, r.xStart,
                                                        r.xEnd,    r.yStart,  r.yEnd};
    std::vector<std::string> cells;
    put(cells, aerial::kLabelColumn, label);
    for (int k = 0; k < aerial::kRectangleCellCount; ++k)
        put(cells, aerial::kRectangleCells[k].column, exactText(values[k]));
    return cells;
}

std::string rowLabel(const std::vector<std::string>& labels, size_t r) {
    if (r < labels.size()) return labels[r];
    std::string label = "r";
    label += std::to_string(r);
    return label;
}

} // namespace

InputParameters bundledExampleParameters() {
    InputParameters p;
    p[ParameterId::kGridSize] = 128;
    p[ParameterId::kSamplePitch] = 0.01;
    p[ParameterId::kWavelength] = 0.193;
    p[ParameterId::kNumericalAperture] = 0.75;
    p[ParameterId::kSigma] = 0.5;
    p.unit = "um";
    return p;
}

bool readInputParameters(const std::string& path, InputParameters& parameters, std::string& error) {
    // About a megabyte of cells and the values: not for the stack.
    auto cells = newInputCells();
    if (!aerial::scanInputFile(path.c_str(), *cells)) {
        error = path + ": " + notReadable(path);
        return false;
    }
    auto values = std::make_unique<aerial::InputValues>();
    aerial::parseInput(*cells, *values);
    for (const aerial::ParameterCell& p : kParameterCells)
        parameters[p.id] = aerial::parameterValue(*values, p.id);
    const aerial::CellText unit = aerial::cellText(
        *cells, aerial::kUnitColumn, aerial::parameterCell(ParameterId::kSamplePitch).line);
    std::string text = unit.text;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
    parameters.unit = text.empty() ? "um" : text;
    return true;
}

namespace {

// Each length unit's size in metres and as a power of ten.
struct LengthUnit {
    const char* name;
    double metres;
    int power;
};
constexpr LengthUnit kLengthUnits[] = {{"nm", 1e-9, -9}, {"um", 1e-6, -6}, {"\xC2\xB5m", 1e-6, -6},
                                       {"micron", 1e-6, -6}, {"mm", 1e-3, -3}, {"m", 1, 0}};

const LengthUnit* lengthUnit(const std::string& name) {
    for (const LengthUnit& u : kLengthUnits)
        if (name == u.name) return &u;
    return nullptr;
}

} // namespace

bool unitMetres(const std::string& unit, double& metres) {
    const LengthUnit* u = lengthUnit(unit);
    if (u != nullptr) metres = u->metres;
    return u != nullptr;
}

bool convertLengthUnit(InputParameters& parameters, const std::string& unit, std::string& error) {
    if (unit == parameters.unit) return true;
    const LengthUnit* from = lengthUnit(parameters.unit);
    const LengthUnit* to = lengthUnit(unit);
    if (from == nullptr || to == nullptr) {
        error = "cannot convert lengths from '" + parameters.unit + "' to '" + unit +
                "' (known units: nm, um, mm, m)";
        return false;
    }
    for (const aerial::ParameterCell& p : kParameterCells)
        if (p.isLength) parameters[p.id] = decimalShifted(parameters[p.id], from->power - to->power);
    parameters.unit = unit;
    return true;
}

bool convertLength(double value, const std::string& from, const std::string& to, double& converted) {
    const LengthUnit* a = lengthUnit(from);
    const LengthUnit* b = lengthUnit(to);
    if (a != nullptr && b != nullptr) converted = decimalShifted(value, a->power - b->power);
    return a != nullptr && b != nullptr;
}

bool startingParameters(const std::string& templatePath, const std::string& unit, InputParameters& parameters,
                        std::string& error) {
    parameters = bundledExampleParameters();
    if (!templatePath.empty() && !readInputParameters(templatePath, parameters, error)) return false;
    return unit.empty() || convertLengthUnit(parameters, unit, error);
}

std::string inputFileText(const InputParameters& parameters,
                          const std::vector<aerial::MaskRectangle>& rects, const std::string& title,
                          const std::vector<std::string>& labels) {
    std::vector<std::vector<std::string>> lines(aerial::kFirstRectangleLine + rects.size());
    for (const aerial::ParameterCell& p : kParameterCells) {
        std::vector<std::string>& cells = lines[p.line];
        const double value = p.id == ParameterId::kRectCount ? static_cast<double>(rects.size())
                                                             : parameters[p.id];
        put(cells, p.column,
            p.kind == aerial::CellKind::kInteger ? std::to_string(static_cast<long long>(value))
                                                 : exactText(value));
        if (p.column != aerial::kLabelColumn) put(cells, aerial::kLabelColumn, p.name);
        if (p.isLength && p.column != aerial::kUnitColumn) put(cells, aerial::kUnitColumn, parameters.unit);
        put(cells, p.column + 1, p.meaning);
    }
    // The free lines before the rectangles: the title first, a heading of the parameter
    // lines next, and a heading of the rectangle rows last.
    std::vector<int> free;
    for (int line = 0; line < aerial::kFirstRectangleLine; ++line)
        if (isFreeLine(line)) free.push_back(line);
    if (!free.empty()) lines[free.front()] = {title};
    if (free.size() > 2) {
        std::vector<std::string>& heading = lines[free[1]];
        put(heading, aerial::kLabelColumn, "name");
        put(heading, aerial::kUnitColumn, "unit");
        put(heading, kParameterCells[0].column, "value");
    }
    if (free.size() > 1) {
        std::vector<std::string>& heading = lines[free.back()];
        put(heading, aerial::kLabelColumn, "rectangle");
        for (const aerial::RectangleCell& c : aerial::kRectangleCells) put(heading, c.column, c.name);
    }
    for (size_t r = 0; r < rects.size(); ++r)
        lines[aerial::rectangleLine(static_cast<int>(r))] = rectangleRow(rects[r], rowLabel(labels, r));
    std::string text;
    for (const std::vector<std::string>& cells : lines) text += join(cells) + "\n";
    return text;
}

bool replaceRectangles(const std::string& bytes, const std::vector<aerial::MaskRectangle>& rects,
                       std::string& result) {
    const aerial::ParameterCell& count = aerial::parameterCell(ParameterId::kRectCount);
    std::string counted;
    if (!replaceCell(bytes, count.line, count.column, std::to_string(rects.size()), counted)) return false;
    // Keep every line before the first rectangle row, with its own line end.
    size_t end = 0;
    for (int line = 0; line < aerial::kFirstRectangleLine; ++line) {
        const size_t feed = counted.find('\n', end);
        if (feed == std::string::npos) {
            counted += "\n";
            end = counted.size();
            continue;
        }
        end = feed + 1;
    }
    const std::string lineEnd = end >= 2 && counted[end - 2] == '\r' ? "\r\n" : "\n";
    result = counted.substr(0, end);
    for (size_t r = 0; r < rects.size(); ++r) result += join(rectangleRow(rects[r], rowLabel({}, r))) + lineEnd;
    return true;
}

} // namespace aerial_tool
