#include "cli/report_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "analysis/input_check.h"
#include "input/input_layout.h"
#include "io/picture_loader.h"
#include "io/result_table.h"
#include "io/run_folder.h"
#include "io/study_outputs.h"
#include "io/tile_manifest.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

std::string format(const char* pattern, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

// What `aerial check` reports on the folder's input, warnings first.
std::vector<std::string> inputSummary(const fs::path& dir) {
    const fs::path file = dir / aerial::kInputFileName;
    InputReport r;
    if (!checkInputFile(file.string(), r)) return {file.string() + ": cannot be read"};

    std::vector<std::string> out;
    out.push_back(format("input %s: %d lines (aerial check gives the whole report)", file.c_str(), r.fileLines));
    out.push_back("");
    auto findings = [&](const char* heading, const std::vector<Finding>& list) {
        out.push_back(heading);
        for (const Finding& f : list)
            out.push_back(f.line >= 0 ? format("  line %d: %s", f.line, f.message.c_str()) : "  " + f.message);
    };
    if (r.warnings.empty()) out.push_back("no warnings");
    else findings("warnings", r.warnings);
    if (!r.notes.empty()) findings("notes", r.notes);
    out.push_back("");
    out.push_back("line col  name          cell             value used");
    for (const ParameterEntry& p : r.parameters) {
        const std::string value = showNumber(p.value) + (p.limit.empty() ? "" : "  " + p.limit);
        out.push_back(format("%4d %3d  %-12s  %-16s %s", p.cell->line, p.cell->column, p.cell->name,
                             ("'" + p.text + "'").c_str(), value.c_str()));
    }
    out.push_back("");
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

// The process window's threshold when the folder has one, so the run's page shows the
// edges the window was measured at; else the usual 0.3.
double defaultThreshold(const fs::path& dir) {
    std::ifstream in(dir / "window" / "window.json", std::ios::binary);
    const nlohmann::json window = nlohmann::json::parse(in, nullptr, false);
    if (!window.is_discarded() && window.is_object() && window.contains("t0") && window["t0"].is_number())
        return window["t0"].get<double>();
    return 0.3;
}

// A page for each study the folder holds: its pictures and the start of its summaries.
std::vector<ReportFilesPage> studyPages(const fs::path& dir, const std::string& name) {
    std::vector<ReportFilesPage> pages;
    for (const StudyOutputs& study : findStudyOutputs(dir.string())) {
        ReportFilesPage page;
        page.heading = name + ": " + study.folder;
        page.pictures = study.pictures;
        // The page embeds PNG files only: a study drawn as SVG or PDF is named, not shown.
        if (!study.vectorOnly.empty()) {
            std::string names;
            for (const std::string& file : study.vectorOnly)
                names += std::string(names.empty() ? "" : ", ") + fs::path(file).filename().string();
            std::fprintf(stderr, "aerial: note: %s: %s not in the report: it embeds PNG pictures only "
                                 "(the study's command again with --no-run --format png draws them)\n",
                         (dir / study.folder).c_str(), names.c_str());
            page.text.push_back("not shown (the report embeds PNG pictures only; the study's");
            page.text.push_back("command again with --no-run --format png draws them):");
            for (const std::string& file : study.vectorOnly)
                page.text.push_back("  " + fs::path(file).filename().string());
            page.text.push_back("");
        }
        for (const std::string& file : study.summaries) {
            page.text.push_back(fs::path(file).filename().string());
            std::vector<std::string> lines = headLines(file, 60);
            if (fs::path(file).extension() == ".csv") {
                lines = alignedColumns(lines);
            } else {
                // JSON as indented lines, when it parses; else as written.
                std::ifstream in(file, std::ios::binary);
                const nlohmann::json summary = nlohmann::json::parse(in, nullptr, false);
                if (!summary.is_discarded()) {
                    lines.clear();
                    std::istringstream dump(summary.dump(1));
                    for (std::string line; std::getline(dump, line);) lines.push_back(line);
                }
            }
            for (const std::string& line : lines) page.text.push_back("  " + line);
            page.text.push_back("");
        }
        // More than four pictures go on further pages of the same study.
        while (page.pictures.size() > 4) {
            ReportFilesPage rest{page.heading + " (continued)", {}, {}};
            rest.pictures.assign(page.pictures.begin() + 4, page.pictures.end());
            page.pictures.resize(4);
            pages.push_back(page);
            page = rest;
        }
        pages.push_back(page);
    }
    return pages;
}

// A tiling's folder: a page of its verification (or, before verify, its stitched image) with
// the tiling and the verification's figures.
bool tilingPage(const fs::path& dir, ReportFilesPage& page, std::string& error) {
    TileManifest manifest;
    if (!readManifest(dir.string(), manifest, error)) return false;
    const Tiling& t = manifest.tiling;
    const std::string& u = manifest.unit;
    page.heading = folderNameOf(dir.string()) + ": " + std::to_string(t.columns) + " x " + std::to_string(t.rows) +
                   " tiles of " + manifest.layer + " of cell " + manifest.cell;
    for (const char* picture : {"verify.png", "stitched.png"})
        if (fs::exists(dir / picture)) page.pictures.push_back((dir / picture).string());
    if (page.pictures.empty()) {
        error = "no verify.png or stitched.png: run aerial stitch or aerial verify on it first";
        return false;
    }
    page.pictures.resize(1); // the verification's picture holds the stitched image
    auto& text = page.text;
    text.push_back(format("region %g,%g,%g,%g %s; cores of %g, halo %g (%s)", t.region.x0, t.region.y0,
                          t.region.x1, t.region.y1, u.c_str(), t.core, t.halo, manifest.haloRule.c_str()));
    text.push_back(format("grids of %d x %g %s; layout %s", t.gridSize, t.samplePitch, u.c_str(),
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
        text.push_back(format("threshold %g; EPE limit %g, pinch below %g, bridge below %g %s",
                              v.at("threshold").get<double>(), v.at("limits").at("epe").get<double>(),
                              v.at("limits").at("minWidth").get<double>(), v.at("limits").at("minSpace").get<double>(),
                              u.c_str()));
        text.push_back(format("%d EPE sites every %g %s, %d measured", sites.at("count").get<int>(),
                              sites.at("spacing").get<double>(), u.c_str(), sites.at("measured").get<int>()));
        if (sites.at("largestAbsEpe").is_number())
            text.push_back(format("EPE: largest |EPE| %.4f, mean %.4f, RMS %.4f %s",
                                  sites.at("largestAbsEpe").get<double>(), sites.at("meanEpe").get<double>(),
                                  sites.at("rmsEpe").get<double>(), u.c_str()));
        text.push_back(format("PV band %.4f %s^2 over the foci %s and the doses %s",
                              v.at("band").at("total").get<double>(), u.c_str(), v.at("foci").dump().c_str(),
                              v.at("doses").dump().c_str()));
        text.push_back(format("hotspots: %d EPE, %d pinch, %d bridge", h.at("epe").get<int>(),
                              h.at("pinch").get<int>(), h.at("bridge").get<int>()));
        int listed = 0;
        for (const auto& spot : h.at("list")) {
            if (spot.at("kind") == "epe" || ++listed > 30) continue;
            const bool pinch = spot.at("kind") == "pinch";
            const auto& value = spot.at(pinch ? "smallestWidth" : "smallestSpace");
            text.push_back(format("  %-6s at (%.3f, %.3f): printed %s %s", spot.at("kind").get<std::string>().c_str(),
                                  spot.at("x").get<double>(), spot.at("y").get<double>(), pinch ? "width" : "space",
                                  value.is_number() ? format("%.4f", value.get<double>()).c_str() : "none"));
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
        ReportFilesPage page;
        std::string error;
        if (!tilingPage(dir, page, error)) {
            std::fprintf(stderr, "aerial: %s: %s\n", dir.c_str(), error.c_str());
            return 2;
        }
        document.further.push_back(std::move(page));
        const PictureFunctions* draw = loadPictureFunctions(error);
        const fs::path output = options.output.empty() ? dir / "report.pdf" : fs::path(options.output);
        if (draw == nullptr || !draw->report(document, output.string(), error)) {
            std::fprintf(stderr, "aerial: %s: %s\n", output.c_str(), error.c_str());
            return 2;
        }
        if (!options.quiet) std::printf("%s: 1 page\n", output.c_str());
        return 0;
    }
    ResultTableData image, amplitude;
    std::string error;
    for (auto [name, table] : {std::pair{aerial::kImageIntensityFileName, &image},
                               std::pair{aerial::kSpectrumAmplitudeFileName, &amplitude}}) {
        if (readResultTable((dir / name).string(), *table, error)) continue;
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        if (!fs::exists(dir / name))
            std::fprintf(stderr, "aerial: run the simulation first: aerial run %s\n", dir.c_str());
        return 2;
    }
    const RunInput input = readRunInput(options.directory);
    if (!input.values) {
        std::fprintf(stderr, "aerial: %s: cannot be read\n", (dir / aerial::kInputFileName).c_str());
        return 2;
    }
    PictureOptions pictures = options.pictures;
    if (pictures.thresholds.empty()) pictures.thresholds = {defaultThreshold(dir)};
    const PictureChoices choices = pictureChoices(pictures);

    ReportDocument document;
    ReportRunPage page;
    page.heading = input.folderName + "   " + conditionsLine(input, {});
    page.summary = inputSummary(dir);
    CutlineResult cut;
    if (!cutlineOf(input, image, choices, cut, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
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
    document.further = studyPages(dir, input.folderName);

    std::string moduleError;
    const PictureFunctions* draw = loadPictureFunctions(moduleError);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", moduleError.c_str());
        return 2;
    }
    const fs::path output = options.output.empty() ? dir / "report.pdf" : fs::path(options.output);
    errno = 0;
    if (!draw->report(document, output.string(), error)) {
        std::fprintf(stderr, "aerial: %s: %s%s%s\n", output.c_str(), error.c_str(), errno ? ": " : "",
                     errno ? std::strerror(errno) : "");
        return 2;
    }
    if (!options.quiet) {
        std::printf("%s: %zu pages\n", output.c_str(), document.runs.size() + document.further.size());
    }
    return 0;
}

} // namespace aerial_tool
