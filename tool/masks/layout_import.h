// A clip of a layout as mask rectangles: the shapes of one layer of a cell, placed,
// clipped to a window, united and cut into rectangles that do not overlap (overlapping
// rectangles would add their transmissions), with the window's centre on the grid centre.
//
// The geometry is exact on a grid of half database units, which holds every vertex that
// a path of odd width or a magnification of 0.5 puts between database units (a vertex off
// it is refused with its position). Each Manhattan outline is normalised first (repeated
// vertices and the middles of collinear ones removed round the whole outline, the order
// made counter-clockwise) and clipped to the window exactly; Boost's polygon library then
// unites the outlines and cuts the union into rectangles that do not overlap, which are
// merged along both axes to keep their number down. Rectangles leave in samples from the
// grid centre.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "masks/layout_flatten.h"
#include "masks/pattern_generator.h"
#include "state/simulation_state.h"

namespace aerial_tool {

struct ImportOptions {
    std::string cell;
    LayerId layer;
    double window[4] = {0, 0, 0, 0}; // X0, Y0, X1, Y1 in the layout's user units
    bool dark = false;               // drawn shapes dark and the window's field clear
    bool manhattanize = false;       // step other edges in one-sample steps instead of refusing
    bool allowEmpty = false;         // a window no shape reaches gives no rectangle instead of a refusal
};

struct ImportResult {
    std::vector<aerial::MaskRectangle> rects; // transmission 1, in samples
    double userUnitMetres = 0;  // the layout's user unit
    double windowWidth = 0, windowHeight = 0; // in the input's length unit
    double clearArea = 0;       // of the clear region inside the window, in samples^2
    double shapeArea = 0;       // of the layer's union inside the window, in samples^2
    int shapes = 0;             // placed shapes that reach into the window
    int manhattanized = 0;      // of them, shapes stepped by --manhattanize
    double steppedAreaBefore = 0, steppedAreaAfter = 0; // their areas, in samples^2
    int rectsNeeded = 0;        // rectangles the clip takes after merging (also when above kMaxRects)
};

// "L/D" or "L" (datatype 0), each 0 to 65535. False for any other text.
bool parseLayerText(const std::string& text, LayerId& layer);

// bytes: the layout file's, read in place. unitMetres: the input's length unit in metres
// (the grid's sample pitch is in it).
// Returns false with a one-line reason; nothing in result is meaningful then.
bool importLayout(std::string_view bytes, const ImportOptions& options, const Grid& grid,
                  double unitMetres, ImportResult& result, std::string& error);

} // namespace aerial_tool
