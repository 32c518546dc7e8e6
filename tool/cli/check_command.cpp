#include "cli/check_command.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "analysis/input_check.h"
#include "input/input_layout.h"
#include "io/file_reason.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

using nlohmann::json;

// JSON has no infinities or NaN: those are written as the strings "inf", "-inf", "nan",
// so the value a run uses is always there.
json number(double value) { return std::isfinite(value) ? json(value) : json(showNumber(value)); }

const char* kindName(FindingKind kind) {
    switch (kind) {
    case FindingKind::kCellText: return "cell-text";
    case FindingKind::kLayout: return "layout";
    case FindingKind::kLimit: return "limit";
    case FindingKind::kOptics: return "optics";
    case FindingKind::kSource: return "source";
    case FindingKind::kRectangle: return "rectangle";
    }
    return "";
}

json findings(const std::vector<Finding>& list) {
    json out = json::array();
    for (const Finding& f : list) {
        out.push_back({{"line", f.line >= 0 ? json(f.line) : json(nullptr)}, {"kind", kindName(f.kind)},
                       {"message", f.message}});
    }
    return out;
}

json toJson(const std::string& file, const InputReport& r) {
    json out;
    out["file"] = file;
    out["lines"] = r.fileLines;
    out["tabs"] = r.sawTab;
    out["length_unit"] = r.lengthUnit;
    json params = json::array();
    for (const ParameterEntry& p : r.parameters) {
        params.push_back({{"name", p.cell->name}, {"line", p.cell->line}, {"column", p.cell->column},
                          {"cell", p.text}, {"value", number(p.value)},
                          {"limit", p.limit.empty() ? json(nullptr) : json(p.limit)}});
    }
    out["parameters"] = params;
    json rects = json::array();
    for (const RectangleEntry& e : r.rectangles) {
        json cells = json::array(), values = json::array(), limited = json::array();
        for (int k = 0; k < aerial::kRectangleCellCount; ++k) {
            cells.push_back(e.texts[k]);
            values.push_back(number(e.values[k]));
            limited.push_back(e.limited[k]);
        }
        rects.push_back({{"index", e.index}, {"line", e.line}, {"cells", cells},
                         {"values", values}, {"limited", limited}});
    }
    out["rectangles"] = rects;
    json points = json::array();
    for (const aerial::SourcePoint& p : r.optics.points) {
        points.push_back({{"j", p.j}, {"k", p.k}, {"x_before_rounding", number(p.ux)},
                          {"y_before_rounding", number(p.uy)},
                          {"x", p.passes ? json(p.shiftX) : json(nullptr)},
                          {"y", p.passes ? json(p.shiftY) : json(nullptr)}});
    }
    out["optics"] = {{"pupil_radius_samples", number(r.optics.pupilRadius)},
                     {"source_points", points},
                     {"effective_sigma", number(r.optics.effectiveSigma)},
                     {"resolution", number(r.resolution)},
                     {"rayleigh_focus_unit", number(r.rayleighFocusUnit)}};
    out["notes"] = findings(r.notes);
    out["warnings"] = findings(r.warnings);
    return out;
}

void printFindings(const char* heading, const std::vector<Finding>& list) {
    std::printf("\n%s\n", heading);
    for (const Finding& f : list) {
        if (f.line >= 0)
            std::printf("  line %d: %s\n", f.line, showText(f.message).c_str());
        else
            std::printf("  %s\n", showText(f.message).c_str());
    }
}

void printText(const std::string& file, const InputReport& r) {
    std::printf("%s: %d lines (lines and columns count from 0, as in the format)\n\n", showText(file).c_str(),
                r.fileLines);
    std::printf("line col  name          cell             value used\n");
    for (const ParameterEntry& p : r.parameters) {
        std::string cell(1, '\'');
        cell += showText(p.text);
        cell += '\'';
        std::string value = showNumber(p.value) + (p.limit.empty() ? "" : "  " + p.limit);
        std::printf("%4d %3d  %-12s  %-16s %-16s %s\n", p.cell->line, p.cell->column, p.cell->name,
                    cell.c_str(), value.c_str(), p.cell->meaning);
    }
    std::printf("\nrectangles (columns 1..6; edges in samples from the grid centre, limited to [-N/2, +N/2])\n");
    if (!r.rectangles.empty()) {
        std::printf("line  row ");
        for (const aerial::RectangleCell& c : aerial::kRectangleCells) std::printf(" %10s", c.name);
        std::printf("\n");
    }
    for (const RectangleEntry& e : r.rectangles) {
        std::printf("%4d  r%-3d", e.line, e.index);
        for (int k = 0; k < aerial::kRectangleCellCount; ++k) {
            std::printf(" %10s", showNumber(e.values[k]).c_str());
            if (e.limited[k]) std::printf(" (was %s)", showNumber(e.read[k]).c_str());
        }
        std::printf("\n");
    }
    const std::string shownUnit = showText(r.lengthUnit);
    const char* unit = shownUnit.c_str();
    const aerial::DerivedOptics& d = r.optics;
    std::printf("\nderived optics\n");
    std::printf("  pupil radius         %s spectral samples (NA x pitch x N / wavelength)\n",
                showNumber(d.pupilRadius).c_str());
    std::printf("  source shifts        ");
    for (const aerial::SourcePoint& p : d.points) {
        if (p.passes)
            std::printf("(%d,%d) ", p.shiftX, p.shiftY);
        else
            std::printf("(none) ");
    }
    double step = 0; // the unrounded shift of index 1: every point's is (j, k) times it
    for (const aerial::SourcePoint& p : d.points) {
        if (p.j == 1 && p.k == 0) step = p.ux;
    }
    std::printf("samples,\n                       rounded from (j, k) x %s\n", showNumber(step).c_str());
    std::printf("  effective sigma      %s (largest rounded shift / pupil radius)\n",
                showNumber(d.effectiveSigma).c_str());
    std::printf("  resolution           %s %s (wavelength / NA)\n", showNumber(r.resolution).c_str(), unit);
    std::printf("  Rayleigh focus unit  %s %s (wavelength / NA^2; not a depth of focus: measure that with a sweep)\n",
                showNumber(r.rayleighFocusUnit).c_str(), unit);
    if (!r.notes.empty()) printFindings("notes", r.notes);
    if (r.warnings.empty()) {
        std::printf("\nno warnings\n");
        return;
    }
    printFindings("warnings", r.warnings);
}

} // namespace

int printInputCheck(const CheckOptions& options) {
    std::error_code ec;
    fs::path file = options.path;
    if (fs::is_directory(file, ec)) file /= aerial::kInputFileName;
    InputReport report;
    if (!fs::is_regular_file(file, ec) || !checkInputFile(file.string(), report)) {
        std::fprintf(stderr, "aerial: %s: %s\n", showText(file.string()).c_str(), notReadable(file.string()).c_str());
        return 2;
    }
    // A cell may hold bytes that are not UTF-8: JSON gets U+FFFD in their place, not an abort.
    if (options.json)
        std::printf("%s\n", toJson(file.string(), report).dump(2, ' ', false, json::error_handler_t::replace).c_str());
    else
        printText(file.string(), report);
    return report.warnings.empty() ? 0 : 1;
}

} // namespace aerial_tool
