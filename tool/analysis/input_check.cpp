#include "analysis/input_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "analysis/option_values.h"
#include "input/cell_parse.h"
#include "input/parse_input.h"
#include "io/input_folder.h"
#include "state/simulation_state.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace {

using aerial::CellKind;
using aerial::ParameterCell;
using aerial::ParameterId;

std::string cellAt(const aerial::InputCells& cells, int column, int line) {
    return aerial::cellText(cells, column, line).text;
}

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char ch) { return std::isspace(static_cast<unsigned char>(ch)); });
}

// The findings carry their line; a cell is named with its column.
std::string where(const char* name, int column) {
    return std::string(name) + " (column " + std::to_string(column) + ")";
}

// The sentence about a cell the run does not read whole, or empty when it does. A number
// followed by white space and more text (a unit, "0.5 um") counts as read whole.
std::string cellTextProblem(const std::string& text, CellKind kind, double valueUsed) {
    const int consumed = kind == CellKind::kInteger ? aerial::parseIntPrefix(text.c_str()).consumed
                                                    : aerial::parseRealPrefix(text.c_str()).consumed;
    const std::string rest = text.substr(static_cast<size_t>(consumed));
    if (consumed == 0) {
        if (isBlank(text)) return ""; // an empty cell reads as 0, as a user leaving it empty means
        return "'" + text + "' is not " + (kind == CellKind::kInteger ? "a whole number" : "a number") +
               "; it reads as 0";
    }
    if (isBlank(rest) || std::isspace(static_cast<unsigned char>(rest[0]))) return "";
    std::string number = text.substr(0, static_cast<size_t>(consumed));
    number.erase(0, number.find_first_not_of(" \t\n\v\f\r"));
    std::string message = "only '" + number + "' of '" + text + "' is read, so the run uses " + showNumber(valueUsed);
    if (rest[0] == ',') {
        // The hint of every decimal comma, on the cell's first word ("1,5" of "1,5 um").
        const std::string word = text.substr(0, text.find_first_of(" \t\n\v\f\r", consumed));
        const std::string hint = decimalCommaHint(word.substr(word.find_first_not_of(" \t\n\v\f\r")));
        message += hint.empty() ? " (the decimal separator is the point)" : hint;
    } else if (kind == CellKind::kInteger && (rest[0] == '.' || rest[0] == 'e' || rest[0] == 'E' || rest[0] == 'x')) {
        message += " (this cell takes a whole number in decimal digits)";
    } else {
        message += " (set a unit off with a space)";
    }
    return message;
}

// A finite-looking number too large for a double: strtod gives an infinity.
bool overflows(const std::string& text, double value) {
    if (!std::isinf(value)) return false;
    const size_t p = text.find_first_not_of(" \t\n\v\f\r+-");
    return p != std::string::npos && std::isdigit(static_cast<unsigned char>(text[p]));
}

// Words that by custom name a parameter in its label cell. Labels are free text and never
// read by a run; a label naming another line shows a line missing or inserted above.
struct LabelWords {
    ParameterId id;
    const char* words[3]; // any of them, as a part of the lower-case label
    char axis;            // 'x' or 'y' when the label must name that axis alone, else 0
    int power;            // for aberrations: the power of rho the label must name
};

constexpr LabelWords kLabelWords[] = {
    {ParameterId::kGridSize, {"grid"}, 0, 0},
    {ParameterId::kSamplePitch, {"pitch"}, 0, 0},
    {ParameterId::kWavelength, {"wavelength", "lambda"}, 0, 0},
    {ParameterId::kNumericalAperture, {"aperture"}, 0, 0},
    {ParameterId::kSigma, {"sigma", "coherence"}, 0, 0},
    {ParameterId::kShiftX, {"shift"}, 'x', 0},
    {ParameterId::kShiftY, {"shift"}, 'y', 0},
    {ParameterId::kDefocus, {"focus"}, 0, 0},
    {ParameterId::kAberrX1, {"rho"}, 'x', 1}, {ParameterId::kAberrX2, {"rho"}, 'x', 2},
    {ParameterId::kAberrX3, {"rho"}, 'x', 3}, {ParameterId::kAberrX4, {"rho"}, 'x', 4},
    {ParameterId::kAberrX5, {"rho"}, 'x', 5}, {ParameterId::kAberrX6, {"rho"}, 'x', 6},
    {ParameterId::kAberrY1, {"rho"}, 'y', 1}, {ParameterId::kAberrY2, {"rho"}, 'y', 2},
    {ParameterId::kAberrY3, {"rho"}, 'y', 3}, {ParameterId::kAberrY4, {"rho"}, 'y', 4},
    {ParameterId::kAberrY5, {"rho"}, 'y', 5}, {ParameterId::kAberrY6, {"rho"}, 'y', 6},
    {ParameterId::kRectCount, {"rectangle", "count"}, 0, 0},
};

// The parameter a label names, or nullptr when it names none or is ambiguous.
const ParameterCell* parameterNamedBy(const std::string& label) {
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
    auto has = [&](const std::string& w) { return std::find(words.begin(), words.end(), w) != words.end(); };
    if (text == "na") return &aerial::parameterCell(ParameterId::kNumericalAperture);
    const bool rho = text.find("rho") != std::string::npos;
    for (const LabelWords& entry : kLabelWords) {
        bool named = false;
        for (const char* w : entry.words) named = named || (w != nullptr && text.find(w) != std::string::npos);
        if (!named) continue;
        if (entry.power == 0 && rho) continue; // "rho^2" labels an aberration, whatever else it says
        if (entry.power != 0) {
            const std::string power = std::to_string(entry.power);
            if (text.find("rho^" + power) == std::string::npos && !has("rho" + power)) continue;
        }
        if (entry.axis != 0) {
            const bool x = has("x"), y = has("y");
            if ((entry.axis == 'x' && !(x && !y)) || (entry.axis == 'y' && !(y && !x))) continue;
        }
        return &aerial::parameterCell(entry.id);
    }
    return nullptr;
}

// What a negative pitch, wavelength or aperture does in a run. Each enters the formulas
// as a factor, so only the signs of some terms change; with s_p, s_l, s_na their signs:
// - the spectrum shift, shift * pitch * N / wavelength: s_p * s_l;
// - the aberration term c_j * (N / wavelength) * rho^j, rho = u * wavelength / (N * pitch
//   * NA): s_l * (s_l * s_p * s_na)^j, that is s_p * s_na for odd j and s_l for even j;
// - the defocus term defocus * wavelength * u^2 / pitch^2: s_l;
// - the pupil radius: its sign only, which the pupil test R * R >= d does not see;
// - the source shifts: s_l * s_p * s_na, which mirrors the 13 points onto themselves;
// - the labels: direction sines wavelength / (N * pitch) by s_l * s_p, positions by s_p.
std::string signEffects(double pitch, double wavelength, double na) {
    const int sp = pitch < 0 ? -1 : 1, sl = wavelength < 0 ? -1 : 1, sna = na < 0 ? -1 : 1;
    std::vector<std::string> flipped;
    if (sl < 0) flipped.push_back("the defocus");
    if (sp * sna < 0) flipped.push_back("the rho^1, rho^3, rho^5 aberration coefficients");
    if (sl < 0) flipped.push_back("the rho^2, rho^4, rho^6 aberration coefficients");
    if (sp * sl < 0) flipped.push_back("the spectrum shift");
    std::string positive;
    if (sp < 0) positive += "pitch " + showNumber(-pitch);
    if (sl < 0) positive += std::string(positive.empty() ? "" : ", ") + "wavelength " + showNumber(-wavelength);
    if (sna < 0) positive += std::string(positive.empty() ? "" : ", ") + "na " + showNumber(-na);
    std::string out = "the run gives the image for " + positive + " with the opposite sign of ";
    for (size_t k = 0; k < flipped.size(); ++k)
        out += (k == 0 ? "" : k + 1 == flipped.size() ? " and of " : ", of ") + flipped[k];
    if (sl < 0) out += " (defocus +0.1 gives the image of defocus -0.1 at the positive wavelength)";
    std::vector<std::string> labels;
    if (sl * sp < 0) labels.push_back("direction sines");
    if (sp < 0) labels.push_back("positions");
    if (!labels.empty()) {
        out += "; the tables label their ";
        for (size_t k = 0; k < labels.size(); ++k) out += (k == 0 ? "" : " and ") + labels[k];
        out += " with the opposite sign";
    }
    return out;
}

std::string shiftPair(int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }

class Checker {
public:
    Checker(const aerial::InputCells& cells, const aerial::InputValues& values, InputReport& report)
        : cells_(cells), v_(values), r_(report) {}

    void run() {
        r_.fileLines = cells_.lineCount;
        r_.sawTab = cells_.sawTab;
        r_.gridSize = v_.gridSize;
        r_.rectCount = v_.rectCount;
        const ParameterCell& pitch = aerial::parameterCell(ParameterId::kSamplePitch);
        r_.lengthUnit = cellAt(cells_, pitch.column - 1, pitch.line);
        while (!r_.lengthUnit.empty() && std::isspace(static_cast<unsigned char>(r_.lengthUnit.back())))
            r_.lengthUnit.pop_back();
        if (r_.lengthUnit.empty()) r_.lengthUnit = "L";

        if (!cells_.sawTab) {
            warn(-1, FindingKind::kLayout,
                 "no TAB anywhere in the file: cells are separated by TABs, so every value cell is empty "
                 "and reads as 0 (were the TABs replaced by spaces?)");
            r_.warnings.back().refusesRun = true;
        }
        parameters();
        labels();
        optics();
        source();
        rectangles();
        passiveMask();
        // In the order of the file; the findings about the whole file first.
        auto byLine = [](const Finding& a, const Finding& b) { return a.line < b.line; };
        std::stable_sort(r_.warnings.begin(), r_.warnings.end(), byLine);
        std::stable_sort(r_.notes.begin(), r_.notes.end(), byLine);
    }

private:
    void warn(int line, FindingKind kind, std::string message) { r_.warnings.push_back({line, kind, std::move(message)}); }
    void note(int line, FindingKind kind, std::string message) { r_.notes.push_back({line, kind, std::move(message)}); }

    double value(ParameterId id) const { return aerial::parameterValue(v_, id); }

    void parameters() {
        for (const ParameterCell& p : aerial::kParameterCells) {
            ParameterEntry e{&p, cellAt(cells_, p.column, p.line), value(p.id), ""};
            const int read = aerial::parseIntPrefix(e.text.c_str()).value;
            if (p.id == ParameterId::kGridSize && read > aerial::kMaxGrid)
                e.limit = "limited to " + std::to_string(aerial::kMaxGrid);
            if (p.id == ParameterId::kRectCount && read > aerial::kMaxRects)
                e.limit = "limited to " + std::to_string(aerial::kMaxRects);
            const std::string place = where(p.name, p.column);
            const std::string problem = cellTextProblem(e.text, p.kind, e.value);
            if (!problem.empty()) {
                std::string message = place + ": " + problem;
                if (p.id == ParameterId::kGridSize && aerial::parseRealPrefix(e.text.c_str()).value < 1 &&
                    aerial::parseRealPrefix(e.text.c_str()).value > 0)
                    message += "; it looks like a sample pitch: a line may be missing above";
                warn(p.line, FindingKind::kCellText, message);
            }
            if (isBlank(e.text)) {
                const std::string moved = misplacedValue(p);
                if (!moved.empty()) warn(p.line, FindingKind::kLayout, place + " is empty and reads as 0; " + moved);
            }
            if (overflows(e.text, e.value))
                warn(p.line, FindingKind::kLimit, place + ": '" + e.text + "' is beyond the range of a double and reads as " + showNumber(e.value));
            if (!e.limit.empty()) warn(p.line, FindingKind::kLimit, place + ": " + std::to_string(read) + " is " + e.limit);
            r_.parameters.push_back(e);
        }
    }

    // Where the value of an empty value cell went, when a cell beside it holds a number:
    // in the unit cell before it when the unit cell was left out, in the cell after it
    // when a TAB too many was typed. Empty when neither holds one.
    std::string misplacedValue(const ParameterCell& p) const {
        auto holdsNumber = [&](int column) {
            const std::string text = cellAt(cells_, column, p.line);
            const aerial::ParsedReal read = aerial::parseRealPrefix(text.c_str());
            return read.consumed > 0 && isBlank(text.substr(static_cast<size_t>(read.consumed)));
        };
        auto at = [&](int column) {
            return "the value is in column " + std::to_string(column) + " ('" +
                   cellAt(cells_, column, p.line) + "')";
        };
        if (p.column - 1 == aerial::kUnitColumn && holdsNumber(aerial::kUnitColumn))
            return at(aerial::kUnitColumn) + ": is the unit column missing?";
        if (p.column + 1 < aerial::kCellColumns && holdsNumber(p.column + 1))
            return at(p.column + 1) + ": is there a TAB too many before it?";
        return "";
    }

    // The first line whose label names another parameter: every later value is probably
    // read one line off, so one warning says it all.
    void labels() {
        for (const ParameterCell& p : aerial::kParameterCells) {
            const std::string label = cellAt(cells_, 0, p.line);
            const ParameterCell* named = parameterNamedBy(label);
            if (named == nullptr || named == &p) continue;
            warn(p.line, FindingKind::kLayout,
                 "line " + std::to_string(p.line) + " is labelled '" + label + "', the name of line " +
                     std::to_string(named->line) + " (" + named->name + "): its value cell seems to belong to " +
                     (named->line == p.line - 1   ? "the line above (a line is doubled or inserted above)"
                      : named->line == p.line + 1 ? "the line below (a line is missing above)"
                                                  : "another line") +
                     ", so values are read from the wrong lines");
            return;
        }
    }

    void optics() {
        const int n = v_.gridSize;
        const ParameterCell& grid = aerial::parameterCell(ParameterId::kGridSize);
        if (n <= 0) warn(grid.line, FindingKind::kOptics, "grid size " + std::to_string(n) + ": nothing is simulated and the tables are empty");

        const ParameterId checked[3] = {ParameterId::kSamplePitch, ParameterId::kWavelength, ParameterId::kNumericalAperture};
        opticsSound_ = true;
        bool negative = false;
        for (ParameterId id : checked) {
            const double v = value(id);
            const ParameterCell& p = aerial::parameterCell(id);
            if (std::isfinite(v) && v != 0) {
                negative = negative || v < 0;
                continue;
            }
            opticsSound_ = false;
            const char* why = std::isnan(v) ? "is not a number" : v == 0 ? "is 0" : "is infinite";
            warn(p.line, FindingKind::kOptics, std::string(p.name) + " " + why + ": the tables would be NaN or meaningless");
            r_.warnings.back().refusesRun = true; // every one of them divides or is divided by the others
        }
        const double pitch = v_.samplePitch, wavelength = v_.wavelength, na = v_.numericalAperture;
        if (opticsSound_ && negative) {
            int line = aerial::parameterCell(ParameterId::kSamplePitch).line;
            std::string what;
            for (ParameterId id : checked) {
                if (value(id) >= 0) continue;
                const ParameterCell& p = aerial::parameterCell(id);
                if (what.empty()) line = p.line;
                what += std::string(what.empty() ? "" : ", ") + p.name + " " + showNumber(value(id));
            }
            warn(line, FindingKind::kOptics, "negative " + what + ": " + signEffects(pitch, wavelength, na));
        }
        const ParameterCell& naCell = aerial::parameterCell(ParameterId::kNumericalAperture);
        if (std::fabs(na) > 1 && std::isfinite(na))
            warn(naCell.line, FindingKind::kOptics,
                 "na " + showNumber(na) + " is above 1: the model has no immersion medium, and a direction sine "
                 "above 1 is no wave that reaches the lens");
        const ParameterCell& sigmaCell = aerial::parameterCell(ParameterId::kSigma);
        const double sigma = v_.sigma;
        if (std::fabs(sigma) > 1)
            warn(sigmaCell.line, FindingKind::kOptics,
                 "sigma " + showNumber(sigma) + " is above 1: the outer source points lie outside the pupil, "
                 "so the pupil cuts their zero order (dark-field light)");
        else if (sigma < 0)
            note(sigmaCell.line, FindingKind::kOptics,
                 "sigma " + showNumber(sigma) + " is negative: it mirrors the source onto itself, the same source as " +
                     showNumber(-sigma));

        r_.optics = aerial::deriveOptics(v_);
        r_.resolution = wavelength / na;
        r_.rayleighFocusUnit = wavelength / (na * na);
        if (opticsSound_ && n > 0 && std::fabs(r_.optics.pupilRadius) < 1)
            warn(naCell.line, FindingKind::kOptics,
                 "pupil radius " + shortText(std::fabs(r_.optics.pupilRadius), 4) +
                     " samples is below 1: only the zero frequency passes and the image is uniform"
                     " (raise grid size x pitch or the aperture)");
    }

    // The 13 source points as the imaging rounds them to whole spectral samples.
    void source() {
        const int n = v_.gridSize;
        const double sigma = v_.sigma;
        if (!opticsSound_ || n <= 0 || std::isnan(sigma)) return;
        const ParameterCell& sigmaCell = aerial::parameterCell(ParameterId::kSigma);
        const aerial::DerivedOptics& d = r_.optics;
        const int c = n / 2;

        std::string offGrid;
        std::map<std::pair<int, int>, std::vector<int>> byShift;
        for (int i = 0; i < aerial::kSourcePointCount; ++i) {
            const aerial::SourcePoint& p = d.points[i];
            const bool inside = p.passes && c - p.shiftX >= 0 && c - p.shiftX < n && c - p.shiftY >= 0 && c - p.shiftY < n;
            if (!inside) offGrid += " " + shiftPair(p.j, p.k);
            if (p.passes) byShift[{p.shiftX, p.shiftY}].push_back(i);
        }
        if (!offGrid.empty())
            warn(sigmaCell.line, FindingKind::kSource,
                 "source points" + offGrid + " shift the zero frequency off the grid: their light is lost"
                 " (sigma x aperture x pitch x N / wavelength is too large)");
        if (sigma == 0) return;

        // The shifts depend on one source index each: list them per index j (or k).
        std::string before, after;
        bool symmetric = true;
        for (int j = -2; j <= 2; ++j) {
            const aerial::SourcePoint p = aerial::sourcePoint({j, 0}, n, v_.samplePitch, v_.wavelength, v_.numericalAperture, sigma);
            const aerial::SourcePoint m = aerial::sourcePoint({-j, 0}, n, v_.samplePitch, v_.wavelength, v_.numericalAperture, sigma);
            before += (j == -2 ? "" : " ") + shortText(p.ux, 4);
            after += (j == -2 ? "" : " ") + (p.passes ? std::to_string(p.shiftX) : std::string("none"));
            if (p.passes && m.passes && p.shiftX != -m.shiftX) symmetric = false;
        }
        std::string message = "the source points shift the spectrum by whole samples: for the indices -2..2 by " +
                              before + ", rounded to " + after + "; effective sigma " + shortText(d.effectiveSigma, 4) +
                              " (the largest rounded shift / pupil radius " + shortText(std::fabs(d.pupilRadius), 4) +
                              ") where " + showNumber(std::fabs(sigma)) + " is written";
        if (!symmetric)
            message += "; exact halves round up, so the rounded source is not symmetric about the centre";
        note(sigmaCell.line, FindingKind::kSource, message);

        if (std::fabs(sigma) <= 1 && d.effectiveSigma > 1)
            warn(sigmaCell.line, FindingKind::kSource,
                 "the rounding puts the outer source points outside the pupil (effective sigma " +
                     shortText(d.effectiveSigma, 4) + " above 1): the pupil cuts their zero order");
        if (byShift.size() == 1 && byShift.begin()->first == std::make_pair(0, 0)) {
            warn(sigmaCell.line, FindingKind::kSource,
                 "sigma " + showNumber(sigma) + " but every source point rounds to the centre: the image is coherent,"
                 " as with sigma 0 (raise grid size x pitch, or sigma)");
            return;
        }
        std::string shared;
        for (const auto& [shift, points] : byShift) {
            if (points.size() < 2) continue;
            shared += shared.empty() ? " " : "; ";
            for (size_t k = 0; k < points.size(); ++k) {
                if (k > 0) shared += '+';
                shared += shiftPair(d.points[points[k]].j, d.points[points[k]].k);
            }
            shared += " at " + shiftPair(shift.first, shift.second);
        }
        if (!shared.empty())
            warn(sigmaCell.line, FindingKind::kSource,
                 "source points round onto one another, so the source has " + std::to_string(byShift.size()) +
                     " distinct points of unequal weight, not 13:" + shared + " (raise grid size x pitch)");
    }

    void rectangles() {
        const ParameterCell& countCell = aerial::parameterCell(ParameterId::kRectCount);
        const int count = v_.rectCount;
        const int fileLines = cells_.lineCount;
        if (count <= 0)
            warn(countCell.line, FindingKind::kRectangle, "rectangle count " + std::to_string(count) + ": the mask is dark everywhere");
        const int rowsInFile = fileLines > aerial::kFirstRectangleLine ? fileLines - aerial::kFirstRectangleLine : 0;
        if (count > rowsInFile)
            warn(countCell.line, FindingKind::kLayout,
                 "the count says " + std::to_string(count) + " rectangles but the file has " + std::to_string(rowsInFile) +
                     " rectangle rows (from line " + std::to_string(aerial::kFirstRectangleLine) +
                     "): the missing ones read as all 0");
        // Rows past the count are never read: a count left behind after adding rows.
        int ignored = 0;
        const int firstIgnored = aerial::rectangleLine(std::max(count, 0));
        for (int line = firstIgnored; line < fileLines && line < aerial::kCellLines; ++line) {
            bool filled = false;
            for (const aerial::RectangleCell& cell : aerial::kRectangleCells) filled = filled || !cellAt(cells_, cell.column, line).empty();
            if (filled) ++ignored;
        }
        if (ignored > 0)
            warn(countCell.line, FindingKind::kLayout,
                 "the count says " + std::to_string(count) + " rectangles but " + std::to_string(ignored) + " more rectangle row" +
                     (ignored == 1 ? " follows" : "s follow") + " (from line " + std::to_string(firstIgnored) + "): they are ignored");

        const double h = static_cast<double>(v_.gridSize / 2);
        for (int r = 0; r < count; ++r) {
            const int line = aerial::rectangleLine(r);
            const aerial::MaskRectangle& m = v_.rects[r];
            const double used[aerial::kRectangleCellCount] = {m.transRe, m.transIm, m.xStart, m.xEnd, m.yStart, m.yEnd};
            RectangleEntry e{};
            e.index = r;
            e.line = line;
            const std::string name = "rectangle " + std::to_string(r);
            for (int k = 0; k < aerial::kRectangleCellCount; ++k) {
                const aerial::RectangleCell& cell = aerial::kRectangleCells[k];
                e.texts[k] = cellAt(cells_, cell.column, line);
                e.values[k] = used[k];
                e.read[k] = aerial::parseRealPrefix(e.texts[k].c_str()).value;
                e.limited[k] = cell.isEdge && e.read[k] != used[k] && !std::isnan(e.read[k]);
                if (e.limited[k])
                    note(line, FindingKind::kLimit, name + " " + cell.name + " " + showNumber(e.read[k]) + " is limited to " +
                                                        showNumber(used[k]) + " (h = N/2 = " + showNumber(h) + ")");
                if (line >= fileLines) continue; // the missing rows are reported once above
                const std::string problem = cellTextProblem(e.texts[k], CellKind::kReal, used[k]);
                if (!problem.empty())
                    warn(line, FindingKind::kCellText, name + " " + where(cell.name, cell.column) + ": " + problem);
                if (overflows(e.texts[k], e.read[k]))
                    warn(line, FindingKind::kLimit, name + " " + where(cell.name, cell.column) + ": '" + e.texts[k] +
                                                        "' is beyond the range of a double and reads as " + showNumber(e.read[k]));
            }
            r_.rectangles.push_back(e);
            const bool emptyX = m.xStart == m.xEnd, emptyY = m.yStart == m.yEnd;
            const bool reversedX = m.xStart > m.xEnd, reversedY = m.yStart > m.yEnd;
            if (emptyX || emptyY) {
                const char* axis = emptyX ? "x" : "y";
                warn(line, FindingKind::kRectangle, name + ": " + axis + " start and end are both " +
                                                        showNumber(emptyX ? m.xStart : m.yStart) + ": the rectangle is empty");
            } else if (reversedX != reversedY) {
                const char* axis = reversedX ? "x" : "y";
                const double a = reversedX ? m.xStart : m.yStart, b = reversedX ? m.xEnd : m.yEnd;
                warn(line, FindingKind::kRectangle,
                     name + ": " + axis + " start " + showNumber(a) + " is above " + axis + " end " + showNumber(b) +
                         ": it acts as the rectangle from " + showNumber(b) + " to " + showNumber(a) +
                         " with negated transmission");
            } else if (reversedX && reversedY) {
                note(line, FindingKind::kRectangle,
                     name + ": both start edges are above their end edges: the signs cancel and it acts as the rectangle "
                            "with its edges swapped and its own transmission");
            }
        }
    }

    // The mask's transmission where it is largest: rectangles that overlap add theirs, and
    // one whose start edges both lie above its end edges counts with its own sign, one with
    // a single reversed axis with the opposite sign (as the imaging integrates them). Over
    // the cells between the distinct edges, each column of cells summed in one pass.
    void passiveMask() {
        const int count = std::min(v_.rectCount, aerial::kMaxRects);
        if (count <= 0) return;
        struct Box {
            double x0, x1, y0, y1, re, im;
        };
        std::vector<Box> boxes;
        std::vector<double> xs, ys;
        for (int r = 0; r < count; ++r) {
            const aerial::MaskRectangle& m = v_.rects[r];
            const double sign = (m.xStart > m.xEnd) != (m.yStart > m.yEnd) ? -1.0 : 1.0;
            const Box b{std::min(m.xStart, m.xEnd), std::max(m.xStart, m.xEnd), std::min(m.yStart, m.yEnd),
                        std::max(m.yStart, m.yEnd), sign * m.transRe, sign * m.transIm};
            if (!(b.x0 < b.x1) || !(b.y0 < b.y1) || !std::isfinite(b.re) || !std::isfinite(b.im)) {
                boxes.push_back({0, 0, 0, 0, 0, 0}); // empty: keeps the index of rectangle r
                continue;
            }
            boxes.push_back(b);
            xs.insert(xs.end(), {b.x0, b.x1});
            ys.insert(ys.end(), {b.y0, b.y1});
        }
        if (xs.empty()) return;
        for (std::vector<double>* edges : {&xs, &ys}) {
            std::sort(edges->begin(), edges->end());
            edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
        }
        const auto at = [](const std::vector<double>& edges, double v) {
            return static_cast<size_t>(std::lower_bound(edges.begin(), edges.end(), v) - edges.begin());
        };
        double worst = 1 + 1e-9; // above 1 beyond the rounding of sums such as -0.245 + 1.245
        size_t worstX = 0, worstY = 0;
        std::vector<double> re(ys.size()), im(ys.size());
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            const double x = (xs[i] + xs[i + 1]) / 2;
            std::fill(re.begin(), re.end(), 0.0);
            std::fill(im.begin(), im.end(), 0.0);
            for (const Box& b : boxes) {
                if (!(b.x0 < x && x < b.x1)) continue;
                const size_t from = at(ys, b.y0), to = at(ys, b.y1);
                re[from] += b.re, im[from] += b.im;
                re[to] -= b.re, im[to] -= b.im;
            }
            double sumRe = 0, sumIm = 0;
            for (size_t j = 0; j + 1 < ys.size(); ++j) {
                sumRe += re[j], sumIm += im[j];
                const double magnitude = std::hypot(sumRe, sumIm);
                if (magnitude > worst) {
                    worst = magnitude;
                    worstX = i;
                    worstY = j;
                }
            }
        }
        if (worst == 1 + 1e-9) return;
        const double x = (xs[worstX] + xs[worstX + 1]) / 2, y = (ys[worstY] + ys[worstY + 1]) / 2;
        std::vector<int> covering;
        double sumRe = 0, sumIm = 0;
        for (size_t r = 0; r < boxes.size(); ++r) {
            const Box& b = boxes[r];
            if (b.x0 < x && x < b.x1 && b.y0 < y && y < b.y1) {
                covering.push_back(static_cast<int>(r));
                sumRe += b.re, sumIm += b.im;
            }
        }
        if (covering.empty()) return;
        std::string which = covering.size() == 1 ? "rectangle " : "rectangles ";
        for (size_t k = 0; k < covering.size() && k < 4; ++k)
            which.append(k == 0 ? "" : k + 1 == covering.size() ? " and " : ", ").append(std::to_string(covering[k]));
        if (covering.size() > 4) which.append(" and ").append(std::to_string(covering.size() - 4)).append(" more");
        const std::string transmission = showNumber(sumRe) + (sumIm < 0 ? " - " : " + ") + showNumber(std::fabs(sumIm)) + "i";
        warn(aerial::rectangleLine(covering.front()), FindingKind::kRectangle,
             "the mask transmits " + transmission + " where " + which + (covering.size() == 1 ? " lies" : " overlap") +
                 ": magnitude " + shortText(worst, 4) +
                 ", above 1: no passive mask transmits more light than it receives");
    }

    const aerial::InputCells& cells_;
    const aerial::InputValues& v_;
    InputReport& r_;
    bool opticsSound_ = true;
};

} // namespace

std::string cellTextProblem(const std::string& text, aerial::CellKind kind) {
    const double value = kind == CellKind::kInteger ? aerial::parseIntPrefix(text.c_str()).value
                                                    : aerial::parseRealPrefix(text.c_str()).value;
    return cellTextProblem(text, kind, value);
}

std::string showNumber(double value) {
    return shortText(value, 10);
}

const Finding* refusingWarning(const InputReport& report) {
    for (const Finding& f : report.warnings)
        if (f.refusesRun) return &f;
    return nullptr;
}

namespace {

// The length of the well-formed UTF-8 sequence at `at` (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0.
size_t utf8Length(const std::string& s, size_t at) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[at + k]); };
    const unsigned char b0 = byte(0);
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xbf; // the range of the second byte
    if (b0 >= 0xc2 && b0 <= 0xdf) n = 2;
    else if (b0 >= 0xe0 && b0 <= 0xef) {
        n = 3;
        if (b0 == 0xe0) lo = 0xa0;
        if (b0 == 0xed) hi = 0x9f;
    } else if (b0 >= 0xf0 && b0 <= 0xf4) {
        n = 4;
        if (b0 == 0xf0) lo = 0x90;
        if (b0 == 0xf4) hi = 0x8f;
    }
    if (n == 0 || at + n > s.size()) return 0;
    if (byte(1) < lo || byte(1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if (byte(k) < 0x80 || byte(k) > 0xbf) return 0;
    return n;
}

void appendEscaped(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

} // namespace

std::string showText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch < 0x80) {
            if (ch < 0x20 || ch == 0x7f) appendEscaped(out, ch);
            else out += static_cast<char>(ch);
            ++i;
            continue;
        }
        const size_t n = utf8Length(text, i);
        // U+0080..U+009F, the C1 controls (CSI among them), are C2 80..C2 9F.
        const bool c1 = n == 2 && ch == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f;
        if (n == 0 || c1) {
            for (size_t k = 0; k < (n == 0 ? 1 : n); ++k) appendEscaped(out, static_cast<unsigned char>(text[i + k]));
            i += n == 0 ? 1 : n;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out;
}

InputReport checkInputCells(const aerial::InputCells& cells) {
    auto values = std::make_unique<aerial::InputValues>();
    aerial::parseInput(cells, *values);
    InputReport report;
    Checker(cells, *values, report).run();
    return report;
}

bool checkInputFile(const std::string& path, InputReport& report) {
    std::unique_ptr<aerial::InputCells> cells = scanInput(path);
    if (!cells) return false;
    report = checkInputCells(*cells);
    return true;
}

} // namespace aerial_tool
