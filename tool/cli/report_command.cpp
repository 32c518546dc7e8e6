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

} // namespace

int writeReport(const ReportOptions& options) {
    const fs::path dir = options.directory;
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
