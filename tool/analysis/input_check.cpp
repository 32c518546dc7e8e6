#include "analysis/input_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

#include "input/cell_parse.h"
#include "input/load_input.h"
#include "state/simulation_state.h"

namespace aerial_tool {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string inputCell(int column, int line) {
    return aerial::cellText(aerial::loadedInputCells(), column, line).text;
}
constexpr int kValueColumn = 2;
constexpr int kFirstRectLine = 25;

const char* const kRectColumns[6] = {"trans re", "trans im", "x start", "x end", "y start", "y end"};

std::string parameterName(int line) {
    static const char* const names[] = {"grid size", "sample pitch", "wavelength",
                                        "numerical aperture", "sigma", "spectrum shift x",
                                        "spectrum shift y", "defocus"};
    if (line >= 2 && line <= 9) return names[line - 2];
    if (line >= 10 && line <= 15) return "aberration x rho^" + std::to_string(line - 9);
    if (line >= 16 && line <= 21) return "aberration y rho^" + std::to_string(line - 15);
    return "rectangles";
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string show(double value) { return format("%.10g", value); }

enum class CellKind { kEmpty, kNumber, kNumberWithText, kText };

// What atof makes of a cell: the number it reads, and whether text follows that is not a
// unit set off by white space.
struct CellReading {
    CellKind kind;
    std::string number; // the leading number as written
    bool whole;         // the number has neither a point nor an exponent
};

CellReading readCell(const std::string& text) {
    size_t p = 0;
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
    if (p == text.size()) return {CellKind::kEmpty, "", true};
    const size_t begin = p;
    if (text[p] == '+' || text[p] == '-') ++p;
    size_t digits = 0;
    bool whole = true;
    while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) { ++p; ++digits; }
    if (p < text.size() && text[p] == '.') {
        whole = false;
        ++p;
        while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) { ++p; ++digits; }
    }
    if (digits == 0) return {CellKind::kText, "", true};
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        size_t q = p + 1;
        if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
        if (q < text.size() && std::isdigit(static_cast<unsigned char>(text[q]))) {
            whole = false;
            p = q;
            while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) ++p;
        }
    }
    std::string number = text.substr(begin, p - begin);
    if (p == text.size() || std::isspace(static_cast<unsigned char>(text[p])))
        return {CellKind::kNumber, number, whole};
    return {CellKind::kNumberWithText, number, whole};
}

// Which parameter line a label names, judged by its words; 0 when it names none or is
// ambiguous. Labels are free text, so this only flags files that carry the usual names.
int lineNamedBy(const std::string& label) {
    std::string text;
    for (char ch : label) text += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::vector<std::string> words;
    std::string word;
    for (char ch : text + " ") {
        if (std::isalnum(static_cast<unsigned char>(ch))) {
            word += ch;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    auto has = [&](const char* w) {
        for (const std::string& x : words) if (x == w) return true;
        return false;
    };
    auto contains = [&](const char* s) { return text.find(s) != std::string::npos; };
    for (int k = 1; k <= 6; ++k) {
        if (contains(("rho^" + std::to_string(k)).c_str()) || has(("rho" + std::to_string(k)).c_str())) {
            if (has("x") && !has("y")) return 9 + k;
            if (has("y") && !has("x")) return 15 + k;
            return 0;
        }
    }
    if (contains("grid")) return 2;
    if (contains("pitch")) return 3;
    if (contains("wavelength")) return 4;
    if (contains("aperture") || text == "na") return 5;
    if (contains("sigma") || contains("coherence")) return 6;
    if (contains("shift")) {
        if (has("x") && !has("y")) return 7;
        if (has("y") && !has("x")) return 8;
        return 0;
    }
    if (contains("defocus") || contains("focus")) return 9;
    if (contains("rectangle") || contains("count")) return 22;
    return 0;
}

class Checker {
public:
    explicit Checker(InputReport& report) : r_(report) {}

    void warn(int line, std::string message) { r_.warnings.push_back({line, std::move(message)}); }
    void note(int line, std::string message) { r_.notes.push_back({line, std::move(message)}); }

    // Text where a number belongs: reads as 0, or only its leading number is read.
    void checkValueText(int line, int column, const std::string& what, bool integer) {
        const std::string cell = inputCell(column, line);
        const CellReading reading = readCell(cell);
        const std::string where = what + " (line " + std::to_string(line) + ", column " +
                                  std::to_string(column) + ")";
        if (reading.kind == CellKind::kText) {
            std::string message = where + ": '" + cell + "' is not a number; it reads as 0";
            if (line >= kFirstRectLine && line < kFirstRectLine + 3 && !r_.rectangles.empty() &&
                column == 1)
                message += " (a heading in a rectangle row: a line may be missing above)";
            warn(line, message);
        } else if (reading.kind == CellKind::kNumberWithText) {
            warn(line, where + ": only '" + reading.number + "' of '" + cell +
                           "' is read (the decimal separator is the point; set a unit off with a space)");
        }
        if (integer && reading.kind != CellKind::kText && reading.kind != CellKind::kEmpty &&
            !reading.whole) {
            warn(line, where + ": '" + reading.number +
                           "' is not a whole number; only its leading digits are read" +
                           (line == 2 ? " (it looks like a sample pitch: a line may be missing above)" : ""));
        }
    }

    void checkLabels() {
        // The first line whose label names another parameter line: every later value is
        // probably read one line off, so one warning says it all.
        for (int line = 2; line <= 22; ++line) {
            const int named = lineNamedBy(inputCell(0, line));
            if (named == 0 || named == line) continue;
            std::string message = "line " + std::to_string(line) + " is labelled '" +
                                  inputCell(0, line) + "', the name of line " +
                                  std::to_string(named) + " (" + parameterName(named) +
                                  "): its value cell seems to belong to " +
                                  (named == line - 1 ? "the line above (a line is doubled or inserted above)"
                                   : named == line + 1 ? "the line below (a line is missing above)"
                                                       : "another line") +
                                  ", so values are read from the wrong lines";
            warn(line, message);
            return;
        }
    }

private:
    InputReport& r_;
};

bool positive(double v) { return v > 0 && std::isfinite(v); }

} // namespace

int countLines(const std::string& text) {
    int lines = 0;
    for (char ch : text) if (ch == '\n') ++lines;
    if (!text.empty() && text.back() != '\n') ++lines;
    return lines;
}

InputReport checkLoadedInput(int fileLines) {
    const aerial::SimulationState& s = aerial::workspace;
    InputReport report;
    Checker check(report);
    report.fileLines = fileLines;
    report.lengthUnit = inputCell(1, 3);
    while (!report.lengthUnit.empty() && std::isspace(static_cast<unsigned char>(report.lengthUnit.back())))
        report.lengthUnit.pop_back();
    if (report.lengthUnit.empty()) report.lengthUnit = "L";

    // Parameters, in line order, with the value the run uses.
    const double values[21] = {double(s.gridSize), s.samplePitch, s.wavelength,
                               s.numericalAperture, s.sigma, s.spectrumShiftX,
                               s.spectrumShiftY, s.defocus, s.aberrX[1], s.aberrX[2],
                               s.aberrX[3], s.aberrX[4], s.aberrX[5], s.aberrX[6],
                               s.aberrY[1], s.aberrY[2], s.aberrY[3], s.aberrY[4],
                               s.aberrY[5], s.aberrY[6], double(s.rectCount)};
    for (int line = 2; line <= 22; ++line) {
        ParameterEntry e{parameterName(line), line, kValueColumn, inputCell(kValueColumn, line),
                         values[line - 2], ""};
        if (line == 2 && s.gridSize == aerial::kMaxGrid && readCell(e.cell).kind != CellKind::kText &&
            aerial::parseRealCell(e.cell.c_str()) > aerial::kMaxGrid)
            e.limit = "limited to " + std::to_string(aerial::kMaxGrid);
        if (line == 22 && s.rectCount == aerial::kMaxRects && aerial::parseRealCell(e.cell.c_str()) > aerial::kMaxRects)
            e.limit = "limited to " + std::to_string(aerial::kMaxRects);
        report.parameters.push_back(e);
        check.checkValueText(line, kValueColumn, e.name, line == 2 || line == 22);
        if (!e.limit.empty()) check.warn(line, e.name + " '" + e.cell + "' is " + e.limit);
    }
    check.checkLabels();

    const int n = s.gridSize;
    if (n <= 0) check.warn(2, "grid size " + std::to_string(n) + ": nothing is simulated and the tables are empty");

    const char* const optics[3] = {"sample pitch", "wavelength", "numerical aperture"};
    const double opticsValues[3] = {s.samplePitch, s.wavelength, s.numericalAperture};
    bool opticsSound = true;
    for (int k = 0; k < 3; ++k) {
        const double v = opticsValues[k];
        if (positive(v)) continue;
        opticsSound = false;
        std::string why = std::isnan(v) ? "is not a number" : v == 0 ? "is 0" : std::isinf(v) ? "is infinite" : "is negative";
        check.warn(3 + k, std::string(optics[k]) + " " + why + (v < 0 ? " (" + show(v) + ")" : "") +
                              ": the tables would be NaN or meaningless");
    }

    // Derived optics, with the reader's own formulas and order of operations.
    const double N = static_cast<double>(n);
    report.pupilRadius = ((s.numericalAperture * s.samplePitch) * N) / s.wavelength;
    report.resolution = s.wavelength / s.numericalAperture;
    report.depthOfFocus = s.wavelength / (s.numericalAperture * s.numericalAperture);
    const int c = n / 2;
    bool offGrid = false;
    std::string offGridList;
    for (int j = -2; j <= 2; ++j) {
        for (int k = -2; k <= 2; ++k) {
            if (j * j + k * k > 4) continue;
            auto shift = [&](int index) {
                double u = (((((index * s.numericalAperture) * s.sigma) / 2.0) * s.samplePitch) * N) / s.wavelength;
                return std::isfinite(u) ? std::floor(u + 0.5) : kNaN;
            };
            SourceShift sh{j, k, shift(j), shift(k)};
            report.shifts.push_back(sh);
            if (opticsSound && n > 0) {
                const double zx = c - sh.x, zy = c - sh.y;
                if (!(zx >= 0 && zx < n && zy >= 0 && zy < n)) {
                    offGrid = true;
                    offGridList += " (" + std::to_string(j) + "," + std::to_string(k) + ")";
                }
            }
        }
    }
    if (opticsSound && n > 0 && report.pupilRadius < 1)
        check.warn(5, "pupil radius " + format("%.4g", report.pupilRadius) +
                          " samples is below 1: only the zero frequency passes and the image is uniform"
                          " (raise grid size x pitch or the aperture)");
    if (offGrid)
        check.warn(6, "source points" + offGridList +
                          " shift the zero frequency off the grid: their light is lost (sigma x aperture x pitch x N / wavelength is too large)");

    // Rectangles.
    const int count = s.rectCount;
    if (count <= 0) check.warn(22, "rectangle count " + std::to_string(count) + ": the mask is dark everywhere");
    const double h = static_cast<double>(n / 2);
    const int rowsInFile = fileLines > kFirstRectLine ? fileLines - kFirstRectLine : 0;
    if (count > rowsInFile)
        check.warn(22, "the count says " + std::to_string(count) + " rectangles but the file has " +
                           std::to_string(rowsInFile) + " rectangle rows (from line 25): the missing ones read as all 0");
    // Rows past the count are never read: a count left behind after adding rows.
    int ignored = 0;
    for (int line = kFirstRectLine + std::max(count, 0); line < fileLines && line < aerial::kCellLines; ++line) {
        bool filled = false;
        for (int k = 1; k <= 6; ++k) filled = filled || inputCell(k, line)[0] != '\0';
        if (filled) ++ignored;
    }
    if (ignored > 0)
        check.warn(22, "the count says " + std::to_string(count) + " rectangles but " + std::to_string(ignored) +
                           " more rectangle row" + (ignored == 1 ? " follows" : "s follow") + " (from line " +
                           std::to_string(kFirstRectLine + std::max(count, 0)) + "): they are ignored");
    for (int r = 0; r < count; ++r) {
        const int line = kFirstRectLine + r;
        const aerial::MaskRectangle& m = s.rects[r];
        RectangleEntry e{};
        e.index = r;
        e.line = line;
        const double used[6] = {m.transRe, m.transIm, m.xStart, m.xEnd, m.yStart, m.yEnd};
        for (int k = 0; k < 6; ++k) {
            e.cells[k] = inputCell(k + 1, line);
            e.values[k] = used[k];
            e.read[k] = aerial::parseRealCell(e.cells[k].c_str());
            e.limited[k] = k >= 2 && e.read[k] != used[k] && !std::isnan(e.read[k]);
            if (e.limited[k])
                check.note(line, "rectangle " + std::to_string(r) + " " + kRectColumns[k] + " " +
                                     show(e.read[k]) + " is limited to " + show(used[k]) + " (h = " + show(h) + ")");
        }
        report.rectangles.push_back(e);
        if (line >= fileLines) continue; // reported once above
        for (int k = 0; k < 6; ++k)
            check.checkValueText(line, k + 1, "rectangle " + std::to_string(r) + " " + kRectColumns[k], false);
        if (!(m.xStart < m.xEnd))
            check.warn(line, "rectangle " + std::to_string(r) + ": x start " + show(m.xStart) +
                                 " is at or beyond x end " + show(m.xEnd) + ": the rectangle is empty or inverted");
        if (!(m.yStart < m.yEnd))
            check.warn(line, "rectangle " + std::to_string(r) + ": y start " + show(m.yStart) +
                                 " is at or beyond y end " + show(m.yEnd) + ": the rectangle is empty or inverted");
    }
    return report;
}

} // namespace aerial_tool
