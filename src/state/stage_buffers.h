// What the stages keep besides the workspace: the reader's cells, the fast evaluation's
// caches and memos, and the work planes and buffers of single stages. No data passes
// from one stage to the next through here: each stage fills what it reads before it
// reads it, within one run. It lives beside the workspace in the run's context
// (simulation_context.h), so a run on another context shares none of it.
//
// Every part is touched only as far as the run's N and input need it: no stage clears
// more than it uses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/input_cells.h"
#include "input/parse_input.h"
#include "optics/phase_table.h"
#include "state/simulation_state.h"

namespace aerial {

// Reader (load_input.cpp): the scanned cells of the input file (about 1 MB; no scan clears
// it, a cell the last scan did not write reads as empty) and their values.
struct ReaderBuffers {
    InputCells cells;
    InputValues values;
};

// Mask spectrum (mask_spectrum.cpp). Axis factors already built in this run, by edge pair,
// 256 entries per axis, each pair looking in a few neighbouring slots.
struct FactorCache {
    static constexpr int kEntries = 256;
    static constexpr int kProbes = 4;
    struct Entry {
        bool tame;
        double start, end;
        double re[kMaxGrid];
        double im[kMaxGrid];
    } entries[kEntries];
    // Apart from the entries, so that clearing touches one small array and a run with few
    // rectangles only the memory of the entries it uses.
    bool used[kEntries];
    int nextVictim; // round robin over the probed slots when all are taken
};

// Rectangles of the fast evaluation waiting to be added in one pass over the planes.
constexpr int kRectangleGroupSize = 2;
struct RectangleGroup {
    int count;
    double tr[kRectangleGroupSize];
    double ti[kRectangleGroupSize];
    alignas(64) double xr[kRectangleGroupSize][kMaxGrid];
    double xi[kRectangleGroupSize][kMaxGrid];
    double yr[kRectangleGroupSize][kMaxGrid];
    double yi[kRectangleGroupSize][kMaxGrid];
};

struct SpectrumBuffers {
    FactorCache cacheX;
    FactorCache cacheY;
    RectangleGroup pending;
};

// Phase tables (phase_table.cpp): sines and cosines already computed for the table being
// built, by the angle's bits. Direct-mapped.
struct AngleMemo {
    static constexpr int kSlots = 1 << 12;
    struct Slot {
        std::uint64_t bits;
        double sine;
        double cosine;
    } slots[kSlots];
    bool used[kSlots];
};

// A line's first and last sample of interest; first > last when there is none.
struct SampleRange {
    int first;
    int last;
};

// The fast transform (fast_pupil_transform.cpp) works on blocks of this many X lines.
constexpr int kColumnBlockWidth = 8;

// The samples of the X lines of one block in the rows with data, copied out so that the
// outputs can replace them: [k][l] for line y + l.
struct ColumnBlock {
    alignas(64) double re[kMaxGrid][kColumnBlockWidth]; // each row one cache line
    alignas(64) double im[kMaxGrid][kColumnBlockWidth];
};

struct TransformBuffers {
    // The direct evaluation's field transposed, so that each X line is a contiguous row.
    alignas(64) FieldPlane Gr;
    alignas(64) FieldPlane Gi;
    ColumnBlock columns;
    SampleRange lines[kMaxGrid]; // each Y line's non-zero samples
};

// Imaging (partially_coherent_image.cpp): the mask spectrum saved before the field planes
// become the working field, and the phase factors of the run for the fast evaluation.
struct ImagingBuffers {
    alignas(64) FieldPlane Br;
    alignas(64) FieldPlane Bi;
    PhaseTable factorsY;
    PhaseTable factorsX;
    AngleMemo angles;
};

// Result tables (result_tables.cpp): atan(im / re) of the phase cells by the bits of the
// quotient (direct-mapped), the cells of the row being written, and the table's text
// before it goes to the file.
struct ArctangentMemo {
    static constexpr int kSlots = 1 << 12;
    struct Slot {
        std::uint64_t bits;
        double value;
    } slots[kSlots];
    bool used[kSlots];
};

struct TableText {
    std::size_t used;
    char bytes[1 << 16];
};

struct TableBuffers {
    ArctangentMemo arctangents;
    double rowCells[kMaxGrid];
    TableText text;
};

struct StageBuffers {
    ReaderBuffers reader;
    SpectrumBuffers spectrum;
    TransformBuffers transform;
    ImagingBuffers imaging;
    TableBuffers tables;
};

} // namespace aerial
