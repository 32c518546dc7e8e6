#include "analysis/report_content.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "io/csv_table.h"
#include "io/study_outputs.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

using json = nlohmann::json;

bool isNumber(const std::string& text, double* value = nullptr) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    if (value != nullptr) *value = v;
    return true;
}

// Right-aligned: the columns whose cells are mostly numbers.
std::vector<bool> numericColumns(const ReportTable& t) {
    std::vector<bool> out(t.columns.size(), false);
    for (size_t k = 0; k < t.columns.size(); ++k) {
        size_t numbers = 0, filled = 0;
        for (const auto& row : t.rows) {
            if (k >= row.size() || row[k].empty()) continue;
            ++filled;
            if (isNumber(row[k])) ++numbers;
        }
        out[k] = filled > 0 && 2 * numbers >= filled;
    }
    return out;
}

ReportTable finished(ReportTable t) {
    t.numeric = numericColumns(t);
    return t;
}

ReportLine alert(const std::string& text) { return {text, LineStyle::kAlert}; }

// The column headers of a results table as a reader names them; unknown columns (added
// by a later version) keep their names, spaced.
std::string columnTitle(const std::string& name, const std::string& unit) {
    static const std::map<std::string, std::string> kTitles = {
        {"cd", "CD"},
        {"effective_sigma", "effective sigma"},
        {"left_slope", "left slope"},
        {"left_nils", "left NILS"},
        {"right_slope", "right slope"},
        {"right_nils", "right NILS"},
        {"mask_cd", "mask CD"},
        {"wafer_cd", "wafer CD"},
        {"meef_local", "local MEEF"},
        {"meef_fitted", "fitted MEEF"},
    };
    const auto known = kTitles.find(name);
    std::string title = known != kTitles.end() ? known->second : name;
    if (known == kTitles.end()) std::replace(title.begin(), title.end(), '_', ' ');
    if (name == "cd" || name == "mask_cd" || name == "wafer_cd") title += " (" + unit + ")";
    return title;
}

// The chosen columns of a CSV table (all when `names` is empty), every number to six digits.
ReportTable csvTable(const CsvTable& csv, const std::string& title, const std::vector<std::string>& names,
                     const std::string& unit) {
    ReportTable t;
    t.title = title;
    std::vector<int> picked;
    if (names.empty()) {
        for (size_t k = 0; k < csv.columns.size(); ++k) picked.push_back(static_cast<int>(k));
    } else {
        for (const std::string& n : names)
            if (csv.column(n) >= 0) picked.push_back(csv.column(n));
    }
    for (int k : picked) t.columns.push_back(columnTitle(csv.columns[k], unit));
    for (const auto& row : csv.rows) {
        std::vector<std::string> cells;
        for (int k : picked) cells.push_back(tableCell(showText(row[k])));
        t.rows.push_back(std::move(cells));
    }
    return finished(std::move(t));
}

std::optional<double> numberAt(const json& j, const char* key) {
    if (!j.is_object() || !j.contains(key) || !j[key].is_number()) return std::nullopt;
    return j[key].get<double>();
}

std::string textAt(const json& j, const char* key) {
    if (!j.is_object() || !j.contains(key) || !j[key].is_string()) return "";
    return showText(j[key].get<std::string>());
}

std::string orNone(std::optional<double> v, const std::string& suffix = "") {
    return v ? shortText(*v) + suffix : "none";
}

bool hasExtension(const std::string& file, const char* ext) { return fs::path(file).extension() == ext; }

bool listed(const StudyManifest& m, const std::string& file) {
    return std::find(m.files.begin(), m.files.end(), file) != m.files.end();
}

class StudyBuilder {
public:
    StudyBuilder(const std::string& folder, const std::string& name, const StudyManifest& m, const std::string& unit)
        : folder_(folder), name_(name), m_(m), unit_(unit) {}

    StudyContent build(const std::vector<std::string>& problems) {
        std::string varied;
        for (const StudyVariable& v : m_.variables) varied += (varied.empty() ? "" : " x ") + showText(v.name);
        out_.section.heading = showText(name_) + "/: " + (m_.study == kWindowFolderName ? "process window" : "sweep") +
                               (varied.empty() ? "" : " of " + varied);
        stale_ = !problems.empty();
        std::vector<ReportLine> lines;
        for (const std::string& p : problems) lines.push_back(alert(name_ + "/: " + p));
        lines.push_back({"made by", LineStyle::kBold});
        lines.push_back({m_.command.empty() ? "(the command is not recorded)" : showText(m_.command), LineStyle::kCode});
        varied.clear();
        for (const StudyVariable& v : m_.variables)
            varied += (varied.empty() ? "" : ", ") + showText(v.name) + " " + showText(v.values) + " (" +
                      std::to_string(v.count) + (v.count == 1 ? " value)" : " values)");
        std::string from;
        for (const StudyInput& i : m_.inputs)
            from += (from.empty() ? "" : " and ") + showText(i.file) + " (SHA-256 " + showText(i.sha256.substr(0, 12)) +
                    "...)";
        lines.push_back({"on " + showText(m_.written) + " from " + from + ": " + std::to_string(m_.points) +
                             (m_.points == 1 ? " point" : " points") + (varied.empty() ? "" : ", varying " + varied),
                         LineStyle::kPlain});
        out_.section.blocks.push_back(linesBlock(lines));

        if (listed(m_, kSweepResultsFileName)) sweep();
        if (listed(m_, kMeefTableFileName)) meef();
        if (listed(m_, kWindowSummaryFileName)) window();
        if (listed(m_, kFemTableFileName)) fem();
        for (const std::string& f : m_.files) {
            const bool known = f == kSweepResultsFileName || f == kMeefTableFileName || f == kWindowSummaryFileName || f == kFemTableFileName;
            if (!known && hasExtension(f, ".csv")) other(f);
        }
        pictures();
        return std::move(out_);
    }

private:
    std::string path(const std::string& file) const { return (fs::path(folder_) / file).string(); }

    void add(ReportBlock b) { out_.section.blocks.push_back(std::move(b)); }
    void problem(const std::string& text) { add(linesBlock({alert(text)})); }

    bool readCsv(const std::string& file, CsvTable& csv) {
        std::string error;
        if (readCsvFile(path(file), csv, error)) return true;
        problem(showText(name_ + "/" + file + ": " + error));
        return false;
    }

    void headline(const std::string& figure, const std::string& value) {
        out_.headline.push_back({name_, figure, value, stale_});
    }

    void sweep() {
        CsvTable csv;
        if (!readCsv(kSweepResultsFileName, csv)) return;
        size_t measured = 0;
        double lo = INFINITY, hi = -INFINITY;
        for (size_t r = 0; r < csv.rows.size(); ++r) {
            double cd = 0;
            if (csv.cell(r, "status") != "measured" || !isNumber(csv.cell(r, "cd"), &cd)) continue;
            ++measured;
            lo = std::min(lo, cd);
            hi = std::max(hi, cd);
        }
        std::string count = std::to_string(m_.points);
        for (size_t k = 0; k < m_.variables.size(); ++k)
            count += (k == 0 ? " (" : " x ") + std::to_string(m_.variables[k].count) + " " +
                      showText(m_.variables[k].name) + (k + 1 == m_.variables.size() ? ")" : "");
        if (csv.rows.size() != m_.points) count += ", " + std::to_string(csv.rows.size()) + " rows";
        headline("points", count);
        headline("CD measured", std::to_string(measured) + " of " + std::to_string(csv.rows.size()) + " rows" +
                                    (measured > 0 ? ", " + shortText(lo) + " .. " + shortText(hi) + " " + unit_ : ""));
        ReportTable points = csvTable(csv, "The points (results.csv)", {}, unit_);
        points.notes.push_back("status: measured, or why the feature has no CD (merged with its neighbours, not "
                               "printed); the figures of a point without a CD hold its status.");
        add(tablesBlock({points}));

        // Through pitch: the CD and the NILS of both edges at each pitch.
        bool byPitch = false;
        for (const StudyVariable& v : m_.variables) byPitch = byPitch || v.name == "mask.pitch";
        if (!byPitch) return;
        std::vector<std::string> names;
        for (const StudyVariable& v : m_.variables) names.push_back(v.name);
        if (csv.column("mask.pitch") < 0) return;
        std::vector<std::string> thresholds;
        for (size_t r = 0; r < csv.rows.size(); ++r)
            if (std::find(thresholds.begin(), thresholds.end(), csv.cell(r, "threshold")) == thresholds.end())
                thresholds.push_back(csv.cell(r, "threshold"));
        if (thresholds.size() > 1) names.push_back("threshold");
        for (const char* n : {"cd", "left_nils", "right_nils", "status"}) names.push_back(n);
        // By pitch, within each group of the other values.
        CsvTable sorted = csv;
        const int pitch = csv.column("mask.pitch");
        std::stable_sort(sorted.rows.begin(), sorted.rows.end(), [&](const auto& a, const auto& b) {
            double x = 0, y = 0;
            isNumber(a[pitch], &x);
            isNumber(b[pitch], &y);
            return x < y;
        });
        ReportTable t = csvTable(sorted, "CD and NILS through pitch", names, unit_);
        t.notes.push_back("NILS of each edge: its image log slope times the feature's CD.");
        add(tablesBlock({t}));
    }

    void meef() {
        CsvTable csv;
        if (!readCsv(kMeefTableFileName, csv)) return;
        std::vector<std::string> groups;
        for (size_t r = 0; r < csv.rows.size(); ++r) {
            const std::string& g = csv.cell(r, "group");
            if (std::find(groups.begin(), groups.end(), g) != groups.end()) continue;
            groups.push_back(g);
            headline("MEEF" + (g.empty() ? "" : " (" + showText(g) + ")"), tableCell(csv.cell(r, "meef_fitted")));
        }
        if (groups.empty()) headline("MEEF", "not measured (see the sweep's messages)");
        std::vector<std::string> names = {"mask_cd", "wafer_cd", "meef_local", "meef_fitted"};
        if (groups.size() > 1) names.insert(names.begin(), "group");
        ReportTable t = csvTable(csv, "Mask error factor (meef.csv)", names, unit_);
        t.notes.push_back("MEEF = d(wafer CD) / d(mask CD); local: central differences between neighbouring mask "
                          "CDs (one-sided at the ends); fitted: the least-squares slope.");
        if (groups.size() == 1 && !groups[0].empty()) t.notes.push_back("at " + showText(groups[0]));
        add(tablesBlock({t}));
    }

    void window() {
        std::ifstream in(path(kWindowSummaryFileName), std::ios::binary);
        const json w = json::parse(in, nullptr, false);
        if (w.is_discarded() || !w.is_object()) {
            problem(name_ + "/window.json: not a window summary (it does not parse as JSON)");
            return;
        }
        const std::string unit = textAt(w, "length_unit").empty() ? unit_ : textAt(w, "length_unit");
        out_.t0 = numberAt(w, "t0");
        const std::optional<double> t0 = numberAt(w, "t0"), dts = numberAt(w, "dose_to_size");
        std::optional<double> dof5, dof10;
        if (w.contains("dof_at_el") && w["dof_at_el"].is_array()) {
            for (const json& d : w["dof_at_el"]) {
                const std::optional<double> el = numberAt(d, "el");
                if (el && *el == 0.05) dof5 = numberAt(d, "dof");
                if (el && *el == 0.10) dof10 = numberAt(d, "dof");
            }
        }
        ReportTable summary;
        summary.title = "The window";
        summary.columns = {"figure", "value"};
        auto row = [&](const std::string& figure, const std::string& value) { summary.rows.push_back({figure, value}); };
        const std::string feature = textAt(w, "feature");
        row("feature", (feature.empty() ? std::string("the") : feature) + " feature at " +
                           orNone(numberAt(w, "feature_at")) + " along X at y = 0");
        row("target CD", orNone(numberAt(w, "target_cd"), " " + unit) + ", in tolerance within +-" +
                             (numberAt(w, "tolerance") ? percentText(*numberAt(w, "tolerance")) : std::string("?")));
        row("T0 (threshold at dose 1)", orNone(t0));
        row("best focus", orNone(numberAt(w, "best_focus"), " " + unit));
        row("dose to size", dts ? shortText(*dts) + (t0 ? " (threshold " + shortText(*t0 / *dts) + ")" : "")
                                : "none (no dose gives the target exactly at best focus)");
        row("max EL", numberAt(w, "max_el") ? percentText(*numberAt(w, "max_el")) : "none");
        row("DOF at EL 5 %", dof5 ? shortText(*dof5) + " " + unit : "none");
        row("DOF at EL 10 %", dof10 ? shortText(*dof10) + " " + unit : "none");
        headline("best focus", orNone(numberAt(w, "best_focus"), " " + unit));
        headline("dose to size", dts ? shortText(*dts) : "none");
        headline("max EL", numberAt(w, "max_el") ? percentText(*numberAt(w, "max_el")) : "none");
        headline("DOF at EL 5 % / 10 %", (dof5 ? shortText(*dof5) : "none") + " / " + (dof10 ? shortText(*dof10) : "none") +
                                            " " + unit);

        ReportTable windows;
        windows.title = "Exposure latitude against depth of focus";
        windows.columns = {"EL", "DOF (" + unit + ")", "focus from", "focus to", "dose from", "dose to", ""};
        if (w.contains("windows") && w["windows"].is_array()) {
            for (const json& x : w["windows"]) {
                const bool open = x.is_object() && x.contains("open_end") && x["open_end"].is_boolean() &&
                                  x["open_end"].get<bool>();
                windows.rows.push_back({numberAt(x, "el") ? percentText(*numberAt(x, "el")) : "?", orNone(numberAt(x, "dof")),
                                        orNone(numberAt(x, "focus_min")), orNone(numberAt(x, "focus_max")),
                                        orNone(numberAt(x, "dose_min")), orNone(numberAt(x, "dose_max")),
                                        open ? "reaches the end of the sampled foci" : ""});
            }
        }
        windows.notes.push_back("The widest range of sampled foci that one dose interval of that latitude keeps in "
                                "tolerance; DOF = focus to - focus from.");
        add(tablesBlock({finished(summary), finished(windows)}));

        ReportTable foci;
        foci.title = "Each focus, solved on its own image";
        foci.columns = {"focus (" + unit + ")", "status", "dose to size", "in-tolerance doses from", "to", "EL"};
        if (w.contains("foci") && w["foci"].is_array()) {
            for (const json& f : w["foci"]) {
                foci.rows.push_back({orNone(numberAt(f, "focus")), textAt(f, "status"), orNone(numberAt(f, "dose_to_size")),
                                     orNone(numberAt(f, "dose_min")), orNone(numberAt(f, "dose_max")),
                                     numberAt(f, "el") ? percentText(*numberAt(f, "el")) : "none"});
            }
        }
        add(tablesBlock({finished(foci)}));
    }

    // The focus-exposure matrix: the CD at each focus (a row) and dose (a column), the
    // status where there is none; a long list when there are too many doses for a row.
    void fem() {
        CsvTable csv;
        if (!readCsv(kFemTableFileName, csv)) return;
        std::vector<std::string> foci, doses;
        std::map<std::pair<std::string, std::string>, std::string> cd;
        std::map<std::string, std::string> thresholdOf;
        for (size_t r = 0; r < csv.rows.size(); ++r) {
            const std::string& f = csv.cell(r, "focus");
            const std::string& d = csv.cell(r, "dose");
            if (std::find(foci.begin(), foci.end(), f) == foci.end()) foci.push_back(f);
            if (std::find(doses.begin(), doses.end(), d) == doses.end()) doses.push_back(d);
            cd[{f, d}] = tableCell(csv.cell(r, "cd"));
            thresholdOf[d] = csv.cell(r, "threshold");
        }
        if (doses.size() > 14) {
            add(tablesBlock({csvTable(csv, "The focus-exposure matrix (fem.csv)", {}, unit_)}));
            return;
        }
        ReportTable t;
        t.title = "CD (" + unit_ + ") through focus and dose (fem.csv)";
        t.columns.push_back("focus \\ dose");
        for (const std::string& d : doses) t.columns.push_back(tableCell(d));
        for (const std::string& f : foci) {
            std::vector<std::string> row = {tableCell(f)};
            for (const std::string& d : doses) row.push_back(cd.count({f, d}) ? cd[{f, d}] : "");
            t.rows.push_back(std::move(row));
        }
        std::string thresholds;
        for (const std::string& d : doses)
            thresholds += (thresholds.empty() ? "" : ", ") + tableCell(d) + ": " + tableCell(thresholdOf[d]);
        t.notes.push_back("A relative dose E prints at threshold T0 / E (" + thresholds + ").");
        add(tablesBlock({finished(t)}));
    }

    void other(const std::string& file) {
        CsvTable csv;
        if (readCsv(file, csv)) add(tablesBlock({csvTable(csv, showText(file), {}, unit_)}));
    }

    void pictures() {
        std::vector<std::string> pngs;
        for (const std::string& f : m_.files) {
            if (hasExtension(f, ".png")) pngs.push_back(path(f));
            else if (hasExtension(f, ".svg") || hasExtension(f, ".pdf")) out_.notEmbedded.push_back(f);
        }
        if (!out_.notEmbedded.empty()) {
            std::string names;
            for (const std::string& f : out_.notEmbedded) names += (names.empty() ? "" : ", ") + showText(f);
            add(linesBlock({{"Not shown: " + names + " (the report embeds PNG pictures only; the study's command "
                             "again with --no-run --format png draws them from the runs already done).",
                             LineStyle::kPlain}}));
        }
        if (!pngs.empty()) add(picturesBlock(pngs));
    }

    const std::string& folder_;
    const std::string& name_;
    const StudyManifest& m_;
    const std::string& unit_;
    bool stale_ = false;
    StudyContent out_;
};

} // namespace

std::string tableCell(const std::string& text) {
    double v = 0;
    if (!isNumber(text, &v) || !std::isfinite(v)) return text;
    return shortText(v);
}

ReportTable conditionsTable(const InputReport& r) {
    ReportTable t;
    t.title = "What was simulated";
    t.columns = {"quantity", "value"};
    const std::string& u = r.lengthUnit;
    auto value = [&](aerial::ParameterId id) {
        for (const ParameterEntry& p : r.parameters)
            if (p.cell->id == id) return p.value;
        return 0.0;
    };
    using aerial::ParameterId;
    const double pitch = value(ParameterId::kSamplePitch);
    t.rows.push_back({"grid", std::to_string(r.gridSize) + " x " + std::to_string(r.gridSize) + " samples of " +
                                  showNumber(pitch) + " " + u + " (a period of " + showNumber(r.gridSize * pitch) +
                                  " " + u + ")"});
    t.rows.push_back({"wavelength", showNumber(value(ParameterId::kWavelength)) + " " + u});
    t.rows.push_back({"numerical aperture", showNumber(value(ParameterId::kNumericalAperture))});
    t.rows.push_back({"sigma", showNumber(value(ParameterId::kSigma)) + " written, effective " +
                                   shortText(r.optics.effectiveSigma) + " (the source rounded to whole samples)"});
    t.rows.push_back({"defocus", showNumber(value(ParameterId::kDefocus)) + " " + u});
    t.rows.push_back({"spectrum shift", showNumber(value(ParameterId::kShiftX)) + ", " +
                                            showNumber(value(ParameterId::kShiftY)) + " (direction sines)"});
    std::string aberrations;
    for (const ParameterEntry& p : r.parameters) {
        const bool aberration = p.cell->id >= ParameterId::kAberrX1 && p.cell->id <= ParameterId::kAberrY6;
        if (aberration && p.value != 0)
            aberrations += (aberrations.empty() ? "" : ", ") + std::string(p.cell->name) + " " + showNumber(p.value);
    }
    t.rows.push_back({"aberrations", aberrations.empty() ? "none" : aberrations + " " + u});
    t.rows.push_back({"mask", std::to_string(r.rectCount) + (r.rectCount == 1 ? " rectangle" : " rectangles")});
    t.rows.push_back({"resolution", shortText(r.resolution) + " " + u + " (wavelength / NA)"});
    t.rows.push_back({"pupil radius", shortText(std::fabs(r.optics.pupilRadius)) + " spectral samples"});
    return finished(std::move(t));
}

std::vector<HeadlineFigure> runHeadline(const CutlineResult& cut, const std::string& unit) {
    std::vector<HeadlineFigure> out;
    const CutMetrics& whole = cut.metrics.front();
    out.push_back({"run", "contrast of the cut", shortText(whole.contrast) + " (peak " + shortText(whole.peak) +
                                                     ", minimum " + shortText(whole.minimum) + ")"});
    for (size_t k = 0; k < cut.features.size(); ++k) {
        const FeatureMetrics& f = cut.features[k];
        const std::string at = " (T " + shortText(*cut.metrics[k].threshold) + ")";
        const std::string kind = f.bright ? "space" : "line";
        if (f.status != FeatureStatus::kMeasured) {
            out.push_back({"run", "CD of the " + kind + at, statusText(f.status)});
            continue;
        }
        out.push_back({"run", "CD of the " + kind + at, shortText(f.cd) + " " + unit});
        out.push_back({"run", "NILS, left / right edge" + at, shortText(f.left.nils) + " / " + shortText(f.right.nils)});
        out.push_back({"run", "contrast around the " + kind + at, shortText(f.contrast)});
    }
    return out;
}

ReportTable headlineTable(const std::vector<HeadlineFigure>& figures) {
    ReportTable t;
    t.title = "Headline figures";
    t.columns = {"from", "figure", "value"};
    bool anyStale = false;
    for (const HeadlineFigure& f : figures) {
        t.rows.push_back({f.source + (f.stale ? " *" : ""), f.figure, f.value});
        anyStale = anyStale || f.stale;
    }
    t.numeric = {false, false, false};
    if (anyStale) t.notes.push_back("* older than the input or made from another one: see the lines in red above.");
    return t;
}

StudyContent studyContent(const std::string& folder, const std::string& name, const StudyManifest& manifest,
                          const std::vector<std::string>& problems, const std::string& unit) {
    return StudyBuilder(folder, name, manifest, unit).build(problems);
}

} // namespace aerial_tool
