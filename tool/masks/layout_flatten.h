// The shapes of one layer of a cell with its whole hierarchy placed: references and arrays
// with their reflection, magnification and rotation, paths turned into outlines. Before
// anything is placed the hierarchy below the cell is checked: every referenced cell
// exists, no cell contains itself (directly or through others), and the shapes and
// vertices it would place stay within a budget, so a hostile file cannot make the
// flattening run away.
#pragma once

#include <string>
#include <vector>

#include "masks/gdsii_reader.h"

namespace aerial_tool {

struct LayerId {
    int layer = 0, datatype = 0;
};

struct PointD {
    double x, y;
};

// A placed outline in database units. Boundaries stay as drawn; a path becomes one
// outline per segment (each end extended as its path type says, joints extended by half
// the width so that right-angle turns close) and, for round ends, a many-sided cap.
struct PlacedShape {
    std::vector<PointD> points; // closed: the last point repeats the first
    int structure = 0;          // index into GdsLibrary::structures
    int shape = 0;              // index into that structure's shapes
    bool roundCap = false;
};

// Counted over the cell's whole hierarchy, before the window is looked at, so they bound
// the memory of the flattening and the union (about 100 MB at the limits) whatever the
// file holds; a clip of a large layout is taken from a cell that holds the region.
struct FlattenLimits {
    double maxShapes = 100000;    // placed boundaries and path segments
    double maxVertices = 1000000; // their vertices
};

struct Box {
    double x0, y0, x1, y1;
};

// Shapes of the layer in cell, placed. Shapes whose bounds miss keep (when given) are
// left out. Returns false with a one-line reason for a missing cell, a loop, a reference
// to a cell the file does not define, a hierarchy over the budget, no shape on the
// layer, or a shape placed at a coordinate that is not finite.
bool flattenLayer(const GdsLibrary& library, const std::string& cell, LayerId layer,
                  const Box* keep, const FlattenLimits& limits, std::vector<PlacedShape>& shapes,
                  std::string& error);

// "boundary 3 of cell 'SUB'": a shape's name in messages, counted from 0 as in the file.
std::string shapeName(const GdsLibrary& library, const PlacedShape& shape);

} // namespace aerial_tool
