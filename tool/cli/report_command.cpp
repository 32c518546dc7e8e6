#include "cli/report_command.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "analysis/input_check.h"
#include "analysis/option_defaults.h"
#include "analysis/report_content.h"
#include "cli/table_messages.h"
#include "input/input_layout.h"
#include "output/table_layout.h"
#include "io/file_reason.h"
#include "io/input_edit.h"
#include "io/input_folder.h"
#include "io/picture_loader.h"
#include "io/result_table.h"
#include "io/run_folder.h"
#include "io/study_manifest.h"
#include "io/study_outputs.h"
#include "io/tile_manifest.h"
#include "io/number_text.h"

#ifndef AERIAL_VERSION
#define AERIAL_VERSION "unknown"
#endif

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

std::string format(const char* pattern, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

// More rectangles than the run's page has room for go to a table of their own.
constexpr size_t kRectanglesOnRunPage = 24;

std::string findingLine(const Finding& f) {
    return f.line >= 0 ? format("line %d: %s", f.line, showText(f.message).c_str()) : showText(f.message);
}

// What `aerial check` reports on the folder's input, warnings first, for the run's page.
std::vector<std::string> inputSummary(const fs::path& file, const InputReport& r) {
    std::vector<std::string> out;
    out.push_back(format("input %s: %d lines (aerial check gives the whole report)", showText(file.string()).c_str(),
                         r.fileLines));
    out.push_back("");
    auto findings = [&](const char* heading, const std::vector<Finding>& list) {
        out.push_back(heading);
        for (const Finding& f : list) out.push_back("  " + findingLine(f));
    };
    if (r.warnings.empty()) out.push_back("no warnings");
    else findings("warnings", r.warnings);
    if (!r.notes.empty()) findings("notes", r.notes);
    out.push_back("");
    out.push_back("line col  name          cell             value used");
    for (const ParameterEntry& p : r.parameters) {
        const std::string value = showNumber(p.value) + (p.limit.empty() ? "" : "  " + p.limit);
        out.push_back(format("%4d %3d  %-12s  %-16s %s", p.cell->line, p.cell->column, p.cell->name,
                             ("'" + showText(p.text) + "'").c_str(), value.c_str()));
    }
    out.push_back("");
    if (r.rectangles.size() > kRectanglesOnRunPage) {
        out.push_back(format("%zu rectangles: their table follows the studies", r.rectangles.size()));
    } else {
        out.push_back(format("%zu rectangles (edges in samples from the grid centre; * limited)", r.rectangles.size()));
        std::string header = "  row ";
        for (const aerial::RectangleCell& c : aerial::kRectangleCells) header += format(" %9s", c.name);
        out.push_back(header);
        for (const RectangleEntry& e : r.rectangles) {
            std::string line = format("  r%-3d", e.index);
            for (int k = 0; k < aerial::kRectangleCellCount; ++k)
                line += format(" %9s%s", showNumber(e.values[k]).c_str(), e.limited[k] ? "*" : "");
            out.push_back(line);
        }
    }
    const aerial::DerivedOptics& d = r.optics;
    out.push_back("");
    out.push_back("derived optics");
    out.push_back("  pupil radius     " + showNumber(d.pupilRadius) + " spectral samples");
    std::string shifts = "  source shifts    ";
    for (const aerial::SourcePoint& p : d.points) {
        const std::string one = p.passes ? format("(%d,%d) ", p.shiftX, p.shiftY) : std::string("(none) ");
        if (shifts.size() + one.size() > 80) {
            out.push_back(shifts);
            shifts = "                   ";
        }
        shifts += one;
    }
    out.push_back(shifts + "samples");
    out.push_back("  effective sigma  " + showNumber(d.effectiveSigma) + " (largest rounded shift / pupil radius)");
    out.push_back("  resolution       " + showNumber(r.resolution) + " " + r.lengthUnit + " (wavelength / NA)");
    return out;
}

// The rectangles as a table of their own, for masks too large for the run's page.
ReportSection rectanglesSection(const std::string& name, const InputReport& r) {
    ReportTable t;
    t.title = "Rectangles (edges in samples from the grid centre; * limited to the grid)";
    t.columns = {"row", "line"};
    for (const aerial::RectangleCell& c : aerial::kRectangleCells) t.columns.push_back(c.name);
    t.numeric.assign(t.columns.size(), true);
    for (const RectangleEntry& e : r.rectangles) {
        std::vector<std::string> row = {std::to_string(e.index), std::to_string(e.line)};
        for (int k = 0; k < aerial::kRectangleCellCount; ++k)
            row.push_back(showNumber(e.values[k]) + (e.limited[k] ? "*" : ""));
        t.rows.push_back(std::move(row));
    }
    return {name + ": the mask", {tablesBlock({t})}};
}

// Why the run's tables do not show the input as it is now, one sentence each.
std::vector<std::string> tableAlerts(const fs::path& dir) {
    std::vector<std::string> older, missing;
    for (const char* name : aerial::kResultTableFileNames) {
        const TableState state = tableState(dir.string(), name);
        if (state == TableState::kOlderThanInput) older.push_back(name);
        if (state == TableState::kMissing) missing.push_back(name);
    }
    std::vector<std::string> out;
    auto list = [](const std::vector<std::string>& names) {
        std::string s;
        for (size_t k = 0; k < names.size(); ++k) s += (k == 0 ? "" : k + 1 == names.size() ? " and " : ", ") + names[k];
        return s;
    };
    if (!older.empty())
        out.push_back("The tables " + list(older) + " are older than " + aerial::kInputFileName +
                      ": the run's pictures and figures show an earlier input than the conditions below "
                      "(run it again: aerial run " + showText(dir.string()) + ").");
    if (!missing.empty()) out.push_back(list(missing) + (missing.size() == 1 ? " is" : " are") + " missing.");
    return out;
}

// The lines of the notes file, blank lines kept as the paragraph breaks they are.
bool notesLines(const std::string& path, std::vector<ReportLine>& lines, std::string& error) {
    std::string bytes;
    if (!readFileBytes(path, bytes)) {
        error = path + ": " + notReadable(path);
        return false;
    }
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back({showText(line), LineStyle::kPlain});
        start = end + 1;
    }
    return true;
}

// A tiling's folder: a page of its verification (or, before verify, its stitched image) with
// the tiling and the verification's figures.
bool tilingSection(const fs::path& dir, ReportSection& section, std::string& error) {
    TileManifest manifest;
    if (!readManifest(dir.string(), manifest, error)) return false;
    const Tiling& t = manifest.tiling;
    const std::string& u = manifest.unit;
    section.heading = folderNameOf(dir.string()) + ": " + std::to_string(t.columns) + " x " + std::to_string(t.rows) +
                   " tiles of " + manifest.layer + " of cell " + manifest.cell;
    std::vector<std::string> pictures;
    for (const char* picture : {"verify.png", "stitched.png"})
        if (fs::exists(dir / picture)) pictures.push_back((dir / picture).string());
    if (pictures.empty()) {
        error = "no verify.png or stitched.png: run aerial stitch or aerial verify on it first";
        return false;
    }
    pictures.resize(1); // the verification's picture holds the stitched image
    std::vector<std::string> text;
    // The lines under the picture, whichever way the page ends.
    struct Flush {
        ReportSection& section;
        std::vector<std::string>& text;
        std::vector<std::string>& pictures;
        ~Flush() {
            std::vector<ReportLine> lines;
            for (const std::string& t : text) lines.push_back({t, LineStyle::kCode});
            section.blocks.push_back(linesBlock(std::move(lines)));
            section.blocks.push_back(picturesBlock(std::move(pictures)));
        }
    } flush{section, text, pictures};
    text.push_back(format("region %s,%s,%s,%s %s; cores of %s, halo %s (%s)", shortText(t.region.x0).c_str(),
                          shortText(t.region.y0).c_str(), shortText(t.region.x1).c_str(),
                          shortText(t.region.y1).c_str(), u.c_str(), shortText(t.core).c_str(),
                          shortText(t.halo).c_str(), manifest.haloRule.c_str()));
    text.push_back(format("grids of %d x %s %s; layout %s", t.gridSize, shortText(t.samplePitch).c_str(), u.c_str(),
                          fs::path(manifest.layout).filename().c_str()));
    std::ifstream in(dir / "verify.json", std::ios::binary);
    const nlohmann::json v = nlohmann::json::parse(in, nullptr, false);
    if (v.is_discarded() || !v.is_object()) {
        text.push_back("not verified yet (aerial verify)");
        return true;
    }
    try {
        const auto& sites = v.at("sites");
        const auto& h = v.at("hotspots");
        text.push_back("");
        auto number = [&](const nlohmann::json& j) { return j.get<double>(); };
        text.push_back(format("threshold %s; EPE limit %s, pinch below %s, bridge below %s %s",
                              shortText(number(v.at("threshold"))).c_str(),
                              shortText(number(v.at("limits").at("epe"))).c_str(),
                              shortText(number(v.at("limits").at("minWidth"))).c_str(),
                              shortText(number(v.at("limits").at("minSpace"))).c_str(), u.c_str()));
        text.push_back(format("%d EPE sites every %s %s, %d measured", sites.at("count").get<int>(),
                              shortText(number(sites.at("spacing"))).c_str(), u.c_str(),
                              sites.at("measured").get<int>()));
        if (sites.at("largestAbsEpe").is_number())
            text.push_back(format("EPE: largest |EPE| %s, mean %s, RMS %s %s",
                                  fixedText(number(sites.at("largestAbsEpe")), 4).c_str(),
                                  fixedText(number(sites.at("meanEpe")), 4).c_str(),
                                  fixedText(number(sites.at("rmsEpe")), 4).c_str(), u.c_str()));
        text.push_back(format("PV band %s %s^2 over the foci %s and the doses %s",
                              fixedText(number(v.at("band").at("total")), 4).c_str(), u.c_str(),
                              v.at("foci").dump().c_str(), v.at("doses").dump().c_str()));
        text.push_back(format("hotspots: %d EPE, %d pinch, %d bridge", h.at("epe").get<int>(),
                              h.at("pinch").get<int>(), h.at("bridge").get<int>()));
        int listed = 0;
        for (const auto& spot : h.at("list")) {
            if (spot.at("kind") == "epe" || ++listed > 30) continue;
            const bool pinch = spot.at("kind") == "pinch";
            const auto& value = spot.at(pinch ? "smallestWidth" : "smallestSpace");
            text.push_back(format("  %-6s at (%s, %s): printed %s %s", spot.at("kind").get<std::string>().c_str(),
                                  fixedText(number(spot.at("x")), 3).c_str(),
                                  fixedText(number(spot.at("y")), 3).c_str(),
                                  pinch ? "width" : "space",
                                  value.is_number() ? fixedText(number(value), 4).c_str() : "none"));
        }
        if (listed > 30) text.push_back(format("  ... %d more (verify.json)", listed - 30));
    } catch (const std::exception&) {
        text.push_back("verify.json is not one this tool wrote (aerial verify again)");
    }
    return true;
}

} // namespace

int writeReport(const ReportOptions& options) {
    const fs::path dir = options.directory;
    if (fs::exists(dir / kTileManifestFileName) && !fs::exists(dir / aerial::kImageIntensityFileName)) {
        ReportDocument document;
        ReportSection section;
        std::string error;
        if (!tilingSection(dir, section, error)) {
            std::fprintf(stderr, "aerial: %s: %s\n", dir.c_str(), error.c_str());
            return 2;
        }
        document.title = options.title.empty() ? "aerial report: " + folderNameOf(dir.string()) : showText(options.title);
        document.front = std::move(section);
        document.front.heading = document.title + "   " + document.front.heading;
        const PictureFunctions* draw = loadPictureFunctions(error);
        const fs::path output = options.output.empty() ? dir / "report.pdf" : fs::path(options.output);
        int pages = 0;
        if (draw == nullptr || !draw->report(document, output.string(), pages, error)) {
            std::fprintf(stderr, "aerial: %s: %s\n", output.c_str(), error.c_str());
            return 2;
        }
        // The path alone, for scripts, as for a run's report.
        if (!options.quiet) std::printf("%s\n", output.c_str());
        return 0;
    }
    ResultTableData image, amplitude;
    std::string error;
    for (auto [name, table] : {std::pair{aerial::kImageIntensityFileName, &image},
                               std::pair{aerial::kSpectrumAmplitudeFileName, &amplitude}}) {
        if (readResultTable((dir / name).string(), *table, error)) {
            // Pictures and figures of NaN or infinities would say nothing true.
            if (refuseNonFinite((dir / name).string(), firstNonFiniteCell(*table))) return 1;
            continue;
        }
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        if (!fs::exists(dir / name))
            std::fprintf(stderr, "aerial: run the simulation first: aerial run %s\n", dir.c_str());
        return 2;
    }
    const fs::path inputFile = dir / aerial::kInputFileName;
    const RunInput input = readRunInput(options.directory);
    InputReport check;
    if (!input.values || !checkInputFile(inputFile.string(), check)) {
        std::fprintf(stderr, "aerial: %s: %s\n", inputFile.c_str(), notReadable(inputFile.string()).c_str());
        return 2;
    }
    std::vector<ReportLine> notes;
    if (!options.notes.empty() && !notesLines(options.notes, notes, error)) {
        std::fprintf(stderr, "aerial: --notes %s\n", error.c_str());
        return 2;
    }

    // The studies, as their manifests list them.
    ReportDocument document;
    std::vector<std::string> alerts = tableAlerts(dir);
    std::vector<ReportLine> studyAlerts;
    std::vector<HeadlineFigure> studyFigures;
    std::optional<double> windowT0;
    for (const StudyFolder& folder : studyFolders(dir.string())) {
        const std::string path = (dir / folder.name).string();
        StudyManifest manifest;
        if (!readStudyManifest(path, manifest, error)) {
            studyAlerts.push_back({folder.name + "/: " +
                                       (folder.manifest ? showText(error) : std::string("no ") + kStudyManifestFileName) +
                                       ", so nothing in it is shown (a study writes one; run it again).",
                                   LineStyle::kAlert});
            continue;
        }
        const std::vector<std::string> problems = manifestProblems(path, manifest);
        for (const std::string& p : problems) studyAlerts.push_back({folder.name + "/: " + p, LineStyle::kAlert});
        StudyContent content = studyContent(path, folder.name, manifest, problems, input.lengthUnit);
        if (!content.notEmbedded.empty()) {
            std::string names;
            for (const std::string& f : content.notEmbedded) names += (names.empty() ? "" : ", ") + showText(f);
            std::fprintf(stderr, "aerial: note: %s: %s not in the report: it embeds PNG pictures only "
                                 "(the study's command again with --no-run --format png draws them)\n",
                         showText(path).c_str(), names.c_str());
        }
        if (content.t0 && manifest.study == kWindowFolderName) windowT0 = content.t0;
        studyFigures.insert(studyFigures.end(), content.headline.begin(), content.headline.end());
        document.sections.push_back(std::move(content.section));
    }

    // The run's page, at the window's threshold when the folder has a window. Tables that
    // are not of this input (another grid) cannot be measured: the page is left out and the
    // first page says why, in red, rather than no report at all.
    PictureOptions pictures = options.pictures;
    if (pictures.thresholds.empty()) pictures.thresholds = {windowT0.value_or(kDefaultThreshold)};
    const PictureChoices choices = pictureChoices(pictures);
    CutlineResult cut;
    const bool measured = cutlineOf(input, image, choices, cut, error);
    if (measured) {
        ReportRunPage page;
        page.heading = input.folderName + "   " + conditionsLine(input, {});
        page.alerts = alerts;
        page.summary = inputSummary(inputFile, check);
        page.cutline = cut.picture;
        MetricsText metrics = metricsText(cut, choices, input.lengthUnit);
        page.metrics = std::move(metrics.runs);
        page.crossings = std::move(metrics.crossings);
        page.imagePicture = imagePicture(input, image, choices);
        page.image = std::move(image);
        page.spectrumPicture = amplitudePicture(input, amplitude, choices);
        page.spectrum = std::move(amplitude);
        page.source = sourcePicture(input);
        document.runs.push_back(std::move(page));
    } else {
        alerts.push_back("The run's page is left out: " + showText(error) + ".");
    }
    if (check.rectangles.size() > kRectanglesOnRunPage)
        document.sections.push_back(rectanglesSection(input.folderName, check));

    // The first page: what was simulated, what to distrust, the figures.
    document.title = options.title.empty() ? "aerial report: " + input.folderName : showText(options.title);
    ReportSection& front = document.front;
    front.heading = document.title;
    std::error_code ec;
    front.blocks.push_back(linesBlock(
        {{"folder " + showText(fs::absolute(dir, ec).lexically_normal().string()) + "   report of " + utcNow() +
              " by aerial " AERIAL_VERSION,
          LineStyle::kPlain}}));
    std::vector<ReportLine> red;
    for (const std::string& a : alerts) red.push_back({a, LineStyle::kAlert});
    red.insert(red.end(), studyAlerts.begin(), studyAlerts.end());
    if (!red.empty()) front.blocks.push_back(linesBlock(red));
    if (check.warnings.empty()) {
        front.blocks.push_back(linesBlock({{"aerial check: no warnings on " + std::string(aerial::kInputFileName),
                                            LineStyle::kBold}}));
    } else {
        front.blocks.push_back(headingBlock(std::to_string(check.warnings.size()) +
                                            (check.warnings.size() == 1 ? " warning" : " warnings") +
                                            " from aerial check on " + aerial::kInputFileName));
        std::vector<ReportLine> lines;
        for (const Finding& f : check.warnings) lines.push_back({findingLine(f), LineStyle::kPlain});
        front.blocks.push_back(linesBlock(lines));
    }
    std::vector<HeadlineFigure> figures;
    if (measured) figures = runHeadline(cut, input.lengthUnit);
    for (HeadlineFigure& f : figures) f.stale = !alerts.empty();
    figures.insert(figures.end(), studyFigures.begin(), studyFigures.end());
    front.blocks.push_back(tablesBlock({conditionsTable(check), headlineTable(figures)}));
    if (!notes.empty()) {
        front.blocks.push_back(headingBlock("Notes"));
        front.blocks.push_back(linesBlock(notes));
    }

    std::string moduleError;
    const PictureFunctions* draw = loadPictureFunctions(moduleError);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", moduleError.c_str());
        return 2;
    }
    const fs::path output = options.output.empty() ? dir / "report.pdf" : fs::path(options.output);
    int pages = 0;
    if (!draw->report(document, output.string(), pages, error)) {
        std::fprintf(stderr, "aerial: %s: %s\n", output.c_str(), notWritable(output.string(), error).c_str());
        return 2;
    }
    // The path alone, for scripts: xdg-open "$(aerial report DIR)".
    if (!options.quiet) std::printf("%s\n", output.c_str());
    return 0;
}

} // namespace aerial_tool
