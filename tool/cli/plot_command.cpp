#include "cli/plot_command.h"

#include <cstdio>
#include <filesystem>

#include "cli/format_option.h"
#include "cli/table_messages.h"
#include "input/input_layout.h"
#include "io/file_reason.h"
#include "io/picture_loader.h"
#include "io/result_table.h"
#include "io/run_folder.h"

namespace aerial_tool {

namespace fs = std::filesystem;

PictureChoices pictureChoices(const PictureOptions& o) {
    PictureChoices c;
    c.thresholds = o.thresholds;
    c.axis = givenAxis(o.cut);
    c.at = o.cut.at;
    c.featureAt = o.cut.featureAt;
    c.logarithmic = !o.linear;
    c.zoom = !o.full;
    c.mask = !o.noMask;
    return c;
}

int plotTables(const PlotOptions& options) {
    PictureFormat format = PictureFormat::kPng;
    if (!pictureFormatOption(options.format, format)) return 2;
    const fs::path dir = options.directory;
    if (!tablesReadable(options.directory, {aerial::kImageIntensityFileName, aerial::kSpectrumAmplitudeFileName,
                                            aerial::kSpectrumPhaseFileName}))
        return 2;
    ResultTableData image, amplitude, phase;
    for (auto [name, table] : {std::pair{aerial::kImageIntensityFileName, &image},
                               std::pair{aerial::kSpectrumAmplitudeFileName, &amplitude},
                               std::pair{aerial::kSpectrumPhaseFileName, &phase}}) {
        std::string error;
        if (!readResultTable((dir / name).string(), *table, error)) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            return 2;
        }
        // NaN or infinities have no colour: a picture of them would show nothing true.
        if (refuseNonFinite((dir / name).string(), firstNonFiniteCell(*table))) return 1;
    }
    const RunInput input = readRunInput(options.directory);
    if (!input.values) {
        const fs::path inputFile = dir / aerial::kInputFileName;
        std::fprintf(stderr, "aerial: %s: %s: the pictures show no mask and no optics\n", inputFile.c_str(),
                     notReadable(inputFile.string()).c_str());
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
    auto written = [&](bool ok, const fs::path& file) {
        if (!ok) {
            std::fprintf(stderr, "aerial: %s: %s\n", file.c_str(), notWritable(file.string(), "the drawing failed").c_str());
            status = 2;
        } else if (!options.quiet) {
            std::printf("%s\n", file.c_str());
        }
    };
    // Each table's picture is named after it: OUT_M.xls gives OUT_M.png.
    auto file = [&](const std::string& stem) { return dir / (stem + ext); };
    auto pictureOf = [&](const char* table, const char* suffix = "") {
        return file(fs::path(table).stem().string() + suffix);
    };
    const fs::path imageFile = pictureOf(aerial::kImageIntensityFileName);
    const fs::path amplitudeFile = pictureOf(aerial::kSpectrumAmplitudeFileName);
    const fs::path phaseFile = pictureOf(aerial::kSpectrumPhaseFileName);
    const fs::path cutFile = pictureOf(aerial::kImageIntensityFileName, "_cut");
    written(draw->heatmap(image, imagePicture(input, image, choices), format, imageFile.string()), imageFile);
    written(draw->heatmap(amplitude, amplitudePicture(input, amplitude, choices), format, amplitudeFile.string()),
            amplitudeFile);
    written(draw->heatmap(phase, phasePicture(input, amplitude, choices), format, phaseFile.string()), phaseFile);
    written(draw->cutline(cut.picture, format, cutFile.string()), cutFile);
    if (input.values)
        written(draw->source(sourcePicture(input), format, file("OUT_source").string()), file("OUT_source"));
    return status;
}

} // namespace aerial_tool
