#include "cli/check_command.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "input/load_input.h"
#include "analysis/input_check.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

using nlohmann::json;

json number(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

json findings(const std::vector<Finding>& list) {
    json out = json::array();
    for (const Finding& f : list) out.push_back({{"line", f.line}, {"message", f.message}});
    return out;
}

json toJson(const std::string& file, const InputReport& r) {
    json out;
    out["file"] = file;
    out["lines"] = r.fileLines;
    out["length_unit"] = r.lengthUnit;
    json params = json::array();
    for (const ParameterEntry& p : r.parameters) {
        params.push_back({{"name", p.name}, {"line", p.line}, {"column", p.column},
                          {"cell", p.cell}, {"value", number(p.value)},
                          {"limit", p.limit.empty() ? json(nullptr) : json(p.limit)}});
    }
    out["parameters"] = params;
    json rects = json::array();
    for (const RectangleEntry& e : r.rectangles) {
        json cells = json::array(), values = json::array(), limited = json::array();
        for (int k = 0; k < 6; ++k) {
            cells.push_back(e.cells[k]);
            values.push_back(number(e.values[k]));
            limited.push_back(e.limited[k]);
        }
        rects.push_back({{"index", e.index}, {"line", e.line}, {"cells", cells},
                         {"values", values}, {"limited", limited}});
    }
    out["rectangles"] = rects;
    json shifts = json::array();
    for (const SourceShift& s : r.shifts)
        shifts.push_back({{"j", s.j}, {"k", s.k}, {"x", number(s.x)}, {"y", number(s.y)}});
    out["optics"] = {{"pupil_radius_samples", number(r.pupilRadius)},
                     {"source_shifts", shifts},
                     {"resolution", number(r.resolution)},
                     {"depth_of_focus", number(r.depthOfFocus)}};
    out["notes"] = findings(r.notes);
    out["warnings"] = findings(r.warnings);
    return out;
}

void printText(const std::string& file, const InputReport& r) {
    std::printf("%s: %d lines (lines and columns count from 0, as in the format)\n\n", file.c_str(),
                r.fileLines);
    std::printf("line col  parameter            cell             value used\n");
    for (const ParameterEntry& p : r.parameters) {
        std::string cell = "'" + p.cell + "'";
        std::printf("%4d %3d  %-20s %-16s %.10g%s%s\n", p.line, p.column, p.name.c_str(),
                    cell.c_str(), p.value, p.limit.empty() ? "" : "  ", p.limit.c_str());
    }
    std::printf("\nrectangles (columns 1..6: trans re, trans im, x start, x end, y start, y end;\n"
                "edges in samples from the grid centre, limited to [-N/2, +N/2])\n");
    if (!r.rectangles.empty())
        std::printf("line  row     trans re   trans im    x start      x end    y start      y end\n");
    for (const RectangleEntry& e : r.rectangles) {
        std::printf("%4d  r%-3d", e.line, e.index);
        for (int k = 0; k < 6; ++k) {
            std::printf(" %10.6g", e.values[k]);
            if (e.limited[k]) std::printf(" (was %g)", e.read[k]);
        }
        std::printf("\n");
    }
    const char* unit = r.lengthUnit.c_str();
    std::printf("\nderived optics\n");
    std::printf("  pupil radius       %.6g spectral samples (NA x pitch x N / wavelength)\n", r.pupilRadius);
    std::printf("  source shifts      ");
    for (const SourceShift& s : r.shifts) std::printf("(%g,%g) ", s.x, s.y);
    std::printf("samples\n");
    std::printf("  resolution         %.6g %s (wavelength / NA)\n", r.resolution, unit);
    std::printf("  depth of focus     %.6g %s (wavelength / NA^2)\n", r.depthOfFocus, unit);
    if (!r.notes.empty()) {
        std::printf("\nnotes\n");
        for (const Finding& f : r.notes) std::printf("  line %d: %s\n", f.line, f.message.c_str());
    }
    if (r.warnings.empty()) {
        std::printf("\nno warnings\n");
        return;
    }
    std::printf("\nwarnings\n");
    for (const Finding& f : r.warnings) {
        if (f.line >= 0)
            std::printf("  line %d: %s\n", f.line, f.message.c_str());
        else
            std::printf("  %s\n", f.message.c_str());
    }
}

bool readBytes(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return !in.bad();
}

} // namespace

int checkInputFile(const CheckOptions& options) {
    std::error_code ec;
    fs::path file = options.path;
    if (fs::is_directory(file, ec)) file /= "IN_FM.txt";
    std::string bytes;
    if (!fs::is_regular_file(file, ec) || !readBytes(file, bytes)) {
        std::fprintf(stderr, "aerial: %s: not a readable file\n", file.c_str());
        return 2;
    }

    // The reader opens "IN_FM.txt" in the working directory: a file of another name is
    // read through a copy in a scratch folder, so exactly the reader's code sees it.
    fs::path previous = fs::current_path(ec);
    fs::path scratch;
    fs::path runIn = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    if (file.filename() != "IN_FM.txt") {
        std::string pattern = (fs::temp_directory_path(ec) / "aerial-check-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "aerial: cannot create a scratch folder\n");
            return 2;
        }
        scratch = pattern;
        fs::copy_file(file, scratch / "IN_FM.txt", ec);
        runIn = scratch;
    }
    bool loaded = chdir(runIn.c_str()) == 0 && aerial::loadInput();
    if (!previous.empty()) fs::current_path(previous, ec);
    if (!scratch.empty()) fs::remove_all(scratch, ec);
    if (!loaded) {
        std::fprintf(stderr, "aerial: %s: cannot be read\n", file.c_str());
        return 2;
    }

    InputReport report = checkLoadedInput(countLines(bytes));
    if (options.json)
        std::printf("%s\n", toJson(file.string(), report).dump(2).c_str());
    else
        printText(file.string(), report);
    return report.warnings.empty() ? 0 : 1;
}

} // namespace aerial_tool
