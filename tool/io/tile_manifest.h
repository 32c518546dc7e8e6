// DIR/tiles.json: what `aerial tile` cut and how, read back by the commands that run, stitch
// and verify the tiles. Lengths in the tiles' input length unit, layout coordinates.
#pragma once

#include <string>

#include "io/study_manifest.h" // sha256Hex
#include "masks/tiling.h"

namespace aerial_tool {

inline constexpr const char* kTileManifestFileName = "tiles.json";

struct TileManifest {
    std::string layout;       // the layout file, as the current directory reaches it
    std::string layoutSha256; // of its bytes
    std::string cell;
    std::string layer;        // L/D
    bool dark = false;        // drawn shapes dark, the field clear
    std::string unit;         // the input's length unit
    double exactUnit = 0;     // half a database unit: every drawn edge lies on multiples of it
    std::string haloRule;     // how the halo was chosen, in words
    Tiling tiling;
};

// The text of DIRECTORY/tiles.json: the layout's path relative to the directory.
std::string manifestText(const TileManifest& manifest, const std::string& directory);

// False with a reason when the file is missing or is not a manifest of this tool. The
// layout's path is read relative to the directory (an absolute one as it is).
bool readManifest(const std::string& directory, TileManifest& manifest, std::string& error);

} // namespace aerial_tool
