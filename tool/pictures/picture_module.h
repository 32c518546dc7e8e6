// The pictures are a module of their own, loaded only by the commands that draw: cairo and
// the two dozen libraries it brings take longer to load than a whole run of the bundled
// example, and every point of a sweep is a run.
//
// The module exports one C symbol, which hands out the table of its drawing functions.
// Tests link the module and call the functions directly.
#pragma once

#include "pictures/plot_drawing.h"
#include "pictures/report_document.h"
#include "pictures/raster_png.h"
#include "pictures/window_pictures.h"

namespace aerial_tool {

struct PictureFunctions {
    decltype(&writeHeatmap) heatmap;
    decltype(&writeCutline) cutline;
    decltype(&writeSource) source;
    decltype(&writeLinePlot) linePlot;
    decltype(&writeReportPdf) report;
    decltype(&writeFemBossung) femBossung;
    decltype(&writeExposureDefocus) exposureDefocus;
    decltype(&writeRgbPng) rgbPng;
};

} // namespace aerial_tool

// The one name the tool looks up in the module.
#define AERIAL_PICTURE_FUNCTIONS_SYMBOL "aerialPictureFunctions"
extern "C" const aerial_tool::PictureFunctions* aerialPictureFunctions();
