// The pictures drawn into a context at their own size (the layouts' width and height), so
// a report can place them on its pages; the write functions wrap them in a file.
#pragma once

#include <cairo.h>

#include "pictures/plot_drawing.h"

namespace aerial_tool {

void drawHeatmap(cairo_t* cr, const ResultTableData& table, const HeatmapPicture& picture);
void drawCutline(cairo_t* cr, const CutlinePicture& picture);
void drawSource(cairo_t* cr, const SourcePicture& picture);

} // namespace aerial_tool
