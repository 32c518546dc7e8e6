// The three tab-separated result tables a run leaves in the current directory, and their
// cells and labels as values: what a table prints, before it is formatted.
#pragma once

#include <cstddef>

#include "state/simulation_state.h"
#include "state/stage_buffers.h"

namespace aerial {

enum ResultTable {
    kSpectrumAmplitude, // kSpectrumAmplitudeFileName: |spectrum|
    kSpectrumPhase,     // kSpectrumPhaseFileName:     phase of the spectrum
    kImageIntensity,    // kImageIntensityFileName:    aerial image intensity II
};

// Where a table's text goes, a block at a time.
struct TableSink {
    void (*write)(void* target, const char* bytes, std::size_t length);
    void* target;
};

AERIAL_STATE_SCOPE_BEGIN

// Creates (or replaces) the table's file, writes title, axis row and N data rows, and
// closes it. A file that cannot be created is skipped silently.
void writeResultTables(ResultTable table);

// The N x N cells of the table as it prints them, from the workspace as writeResultTables
// would see it now: row y (the Y index) at cells[y * N], column x at cells[y * N + x].
void tableCells(ResultTable table, double* cells);

// The N axis labels of the table, which both axes share: direction sines for the
// spectrum tables, positions for the image.
void tableLabels(ResultTable table, double* labels);

// The text of a table with n labels and n x n cells laid out as tableCells gives them:
// the bytes writeResultTables writes, sent to sink in blocks through text.
void formatResultTable(ResultTable table, int n, const double* labels, const double* cells, TableText& text,
                       TableSink sink);

// The cell rules, exposed for tests.
double spectrumAmplitude(double re, double im);
double spectrumPhase(double re, double im);

AERIAL_STATE_SCOPE_END

} // namespace aerial
