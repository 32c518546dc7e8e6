#include "pictures/picture_module.h"

namespace {

constexpr aerial_tool::PictureFunctions kFunctions = {
    .heatmap = &aerial_tool::writeHeatmap,
    .cutline = &aerial_tool::writeCutline,
    .source = &aerial_tool::writeSource,
    .linePlot = &aerial_tool::writeLinePlot,
    .report = &aerial_tool::writeReportPdf,
    .femBossung = &aerial_tool::writeFemBossung,
    .exposureDefocus = &aerial_tool::writeExposureDefocus,
    .rgbPng = &aerial_tool::writeRgbPng,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const aerial_tool::PictureFunctions*
aerialPictureFunctions() {
    return &kFunctions;
}
