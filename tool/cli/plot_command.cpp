#include "cli/plot_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "cli/table_messages.h"
#include "input/input_layout.h"
#include "input/load_input.h"
#include "analysis/metrics.h"
#include "state/simulation_state.h"
#include "io/input_folder.h"
#include "io/picture_loader.h"
#include "io/result_table.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

// The aperture of the input beside the tables, read with the library's reader, for the
// pupil circle on the spectrum pictures; none when the folder has no readable input.
std::optional<double> apertureOf(const fs::path& dir) {
    std::error_code ec;
    const fs::path previous = fs::current_path(ec);
    if (ec || chdir(dir.c_str()) != 0) return std::nullopt;
    const bool loaded = aerial::loadInput();
    fs::current_path(previous, ec);
    if (!loaded || !(aerial::workspace.numericalAperture > 0)) return std::nullopt;
    return aerial::workspace.numericalAperture;
}

// Why a picture could not be written: the system's reason for opening the file, when it
// has one.
std::string whyNotWritten(const fs::path& png) {
    std::error_code ec;
    const bool existed = fs::exists(png, ec);
    errno = 0;
    std::FILE* file = std::fopen(png.c_str(), "ab");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    if (!existed) fs::remove(png, ec);
    return "the drawing failed";
}

} // namespace

int plotTables(const PlotOptions& options) {
    const fs::path dir = options.directory;
    if (!tablesReadable(options.directory, {aerial::kImageIntensityFileName, aerial::kSpectrumAmplitudeFileName,
                                            aerial::kSpectrumPhaseFileName}))
        return 2;
    const std::string unit = lengthUnitOf(options.directory);
    const std::optional<double> aperture = apertureOf(dir);
    struct Picture {
        const char* table;
        const char* png;
        const char* title;
        bool spectrum;
        const char* valueName;
    };
    const Picture pictures[] = {
        {"OUT_M.xls", "OUT_M.png", "aerial image intensity", false, "intensity"},
        {"OUT_MR.xls", "OUT_MR.png", "mask spectrum amplitude", true, "|spectrum|"},
        {"OUT_MI.xls", "OUT_MI.png", "mask spectrum phase", true, "phase (rad)"},
    };
    std::string moduleError;
    const PictureFunctions* draw = loadPictureFunctions(moduleError);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", moduleError.c_str());
        return 2;
    }
    int status = 0;
    ResultTableData image;
    for (const Picture& p : pictures) {
        ResultTableData table;
        std::string error;
        if (!readResultTable((dir / p.table).string(), table, error)) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            status = 2;
            continue;
        }
        HeatmapText text{.title = p.title,
                         .axisX = p.spectrum ? "direction sine x" : "x (" + unit + ")",
                         .axisY = p.spectrum ? "direction sine y" : "y (" + unit + ")",
                         .valueName = p.valueName};
        if (p.spectrum && aperture) {
            text.circleRadius = aperture;
            char label[32];
            std::snprintf(label, sizeof label, "pupil NA %g", *aperture);
            text.circleLabel = label;
        }
        const fs::path png = dir / p.png;
        if (!draw->heatmap(table, text, png.string())) {
            std::fprintf(stderr, "aerial: %s: cannot write: %s\n", png.c_str(), whyNotWritten(png).c_str());
            status = 2;
            continue;
        }
        if (!options.quiet) std::printf("%s\n", png.c_str());
        if (!p.spectrum) image = std::move(table);
    }
    if (image.size > 0) {
        const int c = image.size / 2;
        std::vector<CutlineSeries> series = {
            {"along x at y = 0", cutProfile(image, CutAxis::kX, c)},
            {"along y at x = 0", cutProfile(image, CutAxis::kY, c)},
        };
        const fs::path png = dir / "OUT_M_cut.png";
        if (!draw->cutline(series, options.threshold, "intensity through the grid centre",
                             "position (" + unit + ")", png.string())) {
            std::fprintf(stderr, "aerial: %s: cannot write: %s\n", png.c_str(), whyNotWritten(png).c_str());
            status = 2;
        } else if (!options.quiet) {
            std::printf("%s\n", png.c_str());
        }
    }
    return status;
}

} // namespace aerial_tool
