#include "cli/plot_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "input/input_layout.h"
#include "io/picture_loader.h"
#include "io/result_table.h"
#include "io/run_folder.h"
#include "pictures/picture_format.h"

namespace aerial_tool {

namespace fs = std::filesystem;

PictureChoices pictureChoices(const PictureOptions& o) {
    PictureChoices c;
    c.thresholds = o.thresholds;
    c.axis = o.axis == "y" ? CutAxis::kY : CutAxis::kX;
    c.at = o.at;
    c.featureAt = o.featureAt;
    c.logarithmic = !o.linear;
    c.zoom = !o.full;
    c.mask = !o.noMask;
    return c;
}

namespace {

bool readTable(const fs::path& dir, const char* name, ResultTableData& table) {
    std::string error;
    if (readResultTable((dir / name).string(), table, error)) return true;
    std::fprintf(stderr, "aerial: %s\n", error.c_str());
    if (!fs::exists(dir / name))
        std::fprintf(stderr, "aerial: run the simulation first: aerial run %s\n", dir.c_str());
    return false;
}

} // namespace

int plotTables(const PlotOptions& options) {
    PictureFormat format = PictureFormat::kPng;
    if (!parsePictureFormat(options.format, format)) {
        std::fprintf(stderr, "aerial: --format must be png, svg or pdf\n");
        return 2;
    }
    const fs::path dir = options.directory;
    ResultTableData image, amplitude, phase;
    if (!readTable(dir, aerial::kImageIntensityFileName, image) ||
        !readTable(dir, aerial::kSpectrumAmplitudeFileName, amplitude) ||
        !readTable(dir, aerial::kSpectrumPhaseFileName, phase))
        return 2;
    const RunInput input = readRunInput(options.directory);
    if (!input.values) {
        std::fprintf(stderr, "aerial: %s cannot be read: the pictures show no mask and no optics\n",
                     (dir / aerial::kInputFileName).c_str());
    }
    const PictureChoices choices = pictureChoices(options.pictures);
    CutlineResult cut;
    std::string error;
    if (!cutlineOf(input, image, choices, cut, error)) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }

    std::string moduleError;
    const PictureFunctions* draw = loadPictureFunctions(moduleError);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", moduleError.c_str());
        return 2;
    }
    const std::string ext = pictureExtension(format);
    int status = 0;
    auto report = [&](bool written, const std::string& name) {
        const fs::path file = dir / (name + ext);
        if (!written) {
            // cairo reports a failed write without errno; the folder's own state says why.
            std::error_code ec;
            const char* why = !fs::is_directory(dir, ec) ? "no such folder"
                              : errno != 0              ? std::strerror(errno)
                                                        : "write failed";
            std::fprintf(stderr, "aerial: %s: cannot write: %s\n", file.c_str(), why);
            status = 2;
        } else if (!options.quiet) {
            std::printf("%s\n", file.c_str());
        }
        errno = 0;
    };
    errno = 0;
    report(draw->heatmap(image, imagePicture(input, image, choices), format, (dir / ("OUT_M" + ext)).string()),
           "OUT_M");
    report(draw->heatmap(amplitude, amplitudePicture(input, amplitude, choices), format,
                         (dir / ("OUT_MR" + ext)).string()),
           "OUT_MR");
    report(draw->heatmap(phase, phasePicture(input, amplitude, choices), format,
                         (dir / ("OUT_MI" + ext)).string()),
           "OUT_MI");
    report(draw->cutline(cut.picture, format, (dir / ("OUT_M_cut" + ext)).string()), "OUT_M_cut");
    if (input.values)
        report(draw->source(sourcePicture(input), format, (dir / ("OUT_source" + ext)).string()), "OUT_source");
    return status;
}

} // namespace aerial_tool
