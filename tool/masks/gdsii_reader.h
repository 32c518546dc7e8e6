// A reader of GDSII stream files into structures, shapes and references, for clips that
// become masks. Layout files are untrusted: every record is checked against the bytes that
// are left and against what its type must hold, and the first fault ends the read with a
// one-line reason naming the byte offset. What the file holds is counted while it is read
// and checked against GdsLimits before anything is stored, so a file of any content takes
// a bounded amount of memory beside its bytes (README: the import's limits).
//
// Kept: boundaries and paths (layer, datatype, points), structure references and arrays
// (name, reflection, magnification, angle, columns and rows). Skipped: text, nodes, boxes,
// properties and the library's descriptive records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace aerial_tool {

struct GdsPoint {
    std::int32_t x, y;
};

struct GdsShape {
    bool isPath = false;
    int layer = 0, datatype = 0;
    // Paths: 0 flush ends, 1 round ends, 2 ends extended by half the width, 4 extended by
    // beginExtension and endExtension.
    int pathType = 0;
    std::int32_t width = 0; // negative: absolute, not scaled by the references above
    std::int32_t beginExtension = 0, endExtension = 0;
    std::vector<GdsPoint> points; // a boundary's last point repeats its first
};

// Names (of structures and in references) view the stream's own bytes, up to the first
// zero byte of their record, so that no name is copied: the bytes must outlive the library
// read from them. displayName gives a name as a message shows it.
struct GdsReference {
    std::string_view structure;
    bool reflected = false;    // about the X axis, before the rotation
    double magnification = 1;
    double angle = 0;          // degrees, counter-clockwise
    int columns = 1, rows = 1; // 1 x 1 for a single reference
    // origin; for an array also the points columns and rows steps beyond it
    // (origin + columns x column step, origin + rows x row step)
    GdsPoint origin{}, columnEnd{}, rowEnd{};
    bool isArray = false;
};

struct GdsStructure {
    std::string_view name;
    std::vector<GdsShape> shapes;
    std::vector<GdsReference> references;
};

struct GdsLibrary {
    double userUnitsPerDatabaseUnit = 0; // the first UNITS value: a database unit in user units
    double metresPerDatabaseUnit = 0;    // the second: a database unit in metres
    std::vector<GdsStructure> structures;
};

// A name for a one-line message: control bytes, which no name may hold, become '?'.
std::string displayName(std::string_view name);

// The largest layout file read: a clip, not a whole chip.
constexpr std::uintmax_t kMaxLayoutBytes = std::uintmax_t{512} << 20;

// What a file may hold. A clip's file holds its cells alone; these leave room for many
// layers of them. At the limits what the reader stores takes at most about 350 MB beside
// the file's bytes (README: the import's limits).
struct GdsLimits {
    std::size_t structures = 100000;
    std::size_t elements = 2000000; // boundaries, paths, structure references and arrays
    std::size_t points = 16000000;  // coordinate pairs of boundaries and paths
};

// Reads the bytes of a stream file, in place. Returns false with a one-line reason when the bytes
// are not a complete, well-formed stream (up to and including ENDLIB) or hold more than
// the limits allow.
bool readGdsii(std::string_view bytes, GdsLibrary& library, std::string& error,
               const GdsLimits& limits = GdsLimits{});

} // namespace aerial_tool
