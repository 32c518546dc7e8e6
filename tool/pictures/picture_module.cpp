#include "pictures/picture_module.h"

namespace {

constexpr aerial_tool::PictureFunctions kFunctions = {
    .heatmap = &aerial_tool::writeHeatmapPng,
    .cutline = &aerial_tool::writeCutlinePng,
    .linePlot = &aerial_tool::writeLinePlotPng,
    .femBossung = &aerial_tool::writeFemBossungPng,
    .exposureDefocus = &aerial_tool::writeExposureDefocusPng,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const aerial_tool::PictureFunctions*
aerialPictureFunctions() {
    return &kFunctions;
}
