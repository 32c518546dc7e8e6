#include "output/result_tables.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "input/input_layout.h"
#include "output/format_number.h"
#include "output/table_layout.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN
namespace {

// Titles in CP932, the encoding the stored tables have always used.
constexpr unsigned char kTitleAmplitude[24] = {
    0x83, 0x74, 0x81, 0x5B, 0x83, 0x8A, 0x83, 0x47, 0x95, 0xCF, 0x8A, 0xB7,
    0x8C, 0xE3, 0x82, 0xCC, 0x94, 0x67, 0x93, 0xAE, 0x90, 0x55, 0x95, 0x9D};
constexpr unsigned char kTitlePhase[24] = {
    0x83, 0x74, 0x81, 0x5B, 0x83, 0x8A, 0x83, 0x47, 0x95, 0xCF, 0x8A, 0xB7,
    0x8C, 0xE3, 0x82, 0xCC, 0x8C, 0xF5, 0x82, 0xCC, 0x88, 0xCA, 0x91, 0x8A};
constexpr unsigned char kTitleIntensity[24] = {
    0x93, 0x8A, 0x89, 0x65, 0x91, 0x9C, 0x8C, 0xF5, 0x8B, 0xAD, 0x93, 0x78,
    0x95, 0xAA, 0x95, 0x7A, 0x49, 0x49, 0x5B, 0x69, 0x5D, 0x5B, 0x6A, 0x5D};

struct TableKind {
    const char* fileName;
    const unsigned char* title;
    bool spectrumAxis;
};

TableKind kindOf(ResultTable table) {
    switch (table) {
    case kSpectrumAmplitude: return {kSpectrumAmplitudeFileName, kTitleAmplitude, true};
    case kSpectrumPhase: return {kSpectrumPhaseFileName, kTitlePhase, true};
    case kImageIntensity: break;
    }
    return {kImageIntensityFileName, kTitleIntensity, false};
}

double axisLabel(bool spectrumAxis, int k) {
    const SimulationState& s = workspace();
    int c = s.gridSize / 2;
    double offset = static_cast<double>(k - c);
    if (spectrumAxis) {
        double numer = offset * s.wavelength;
        double denom = static_cast<double>(s.gridSize) * s.samplePitch;
        return numer / denom;
    }
    return offset * s.samplePitch;
}

// atan(im / re) of the phase cells, by the bits of the quotient (ArctangentMemo,
// stage_buffers.h): a spectrum of a symmetric mask repeats its quotients, and atan gives
// the same bits for the same argument. Direct-mapped; a collision only costs a
// recomputation.
double arctangent(double z) {
    ArctangentMemo& arctangents = stageBuffers().tables.arctangents;
    std::uint64_t bits;
    std::memcpy(&bits, &z, sizeof bits);
    std::uint64_t h = (bits ^ (bits >> 29)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    const int slot = static_cast<int>(h % ArctangentMemo::kSlots);
    ArctangentMemo::Slot& entry = arctangents.slots[slot];
    if (!arctangents.used[slot] || entry.bits != bits) {
        arctangents.used[slot] = true;
        entry.bits = bits;
        entry.value = std::atan(z);
    }
    return entry.value;
}

// The phase of a spectrum cell, with the arctangent given: the library's for
// spectrumPhase, the memo's for the table.
template <class Arctangent>
double phaseRule(double re, double im, double pi, Arctangent arctangentOf) {
    if (re > 0) return arctangentOf(im / re);
    if (re == 0) return 0.0;
    if (im > 0) return arctangentOf(im / re) + pi;
    return arctangentOf(im / re) - pi;
}

// A phase table starts with an empty memo: nothing of another run's spectrum is reused.
void startTable(ResultTable table) {
    ArctangentMemo& arctangents = stageBuffers().tables.arctangents;
    if (table == kSpectrumPhase) std::memset(arctangents.used, 0, sizeof arctangents.used);
}

// Row y of the table: the cells of every column x, computed in one pass before any is
// formatted, into out.
void computeRow(ResultTable table, int n, int y, double* out) {
    const SimulationState& s = workspace();
    const double pi = s.pi;
    switch (table) {
    case kSpectrumAmplitude:
        for (int x = 0; x < n; ++x) out[x] = spectrumAmplitude(s.fieldRe[x][y], s.fieldIm[x][y]);
        return;
    case kSpectrumPhase:
        for (int x = 0; x < n; ++x) out[x] = phaseRule(s.fieldRe[x][y], s.fieldIm[x][y], pi, arctangent);
        return;
    case kImageIntensity: break;
    }
    for (int x = 0; x < n; ++x) out[x] = s.II[x][y];
}

// One table at a time is open, and only this thread writes it: the stream's lock is
// not needed where the C library lets us skip it.
void writeBytes(void* file, const char* bytes, std::size_t length) {
#if defined(__GLIBC__)
    fwrite_unlocked(bytes, 1, length, static_cast<std::FILE*>(file));
#elif defined(_MSC_VER)
    _fwrite_nolock(bytes, 1, length, static_cast<std::FILE*>(file));
#else
    std::fwrite(bytes, 1, length, static_cast<std::FILE*>(file));
#endif
}

// The table's text is built in the text buffer and sent to the sink in blocks of up to
// its size; a file's stream is unbuffered, so each block goes to the file in one system
// call.
class TextWriter {
public:
    TextWriter(TableText& text, TableSink sink) : text_(text), sink_(sink) { text_.used = 0; }

    void flush() {
        sink_.write(sink_.target, text_.bytes, text_.used);
        text_.used = 0;
    }
    void put(const void* data, std::size_t length) {
        if (text_.used + length > sizeof text_.bytes) flush();
        std::memcpy(text_.bytes + text_.used, data, length);
        text_.used += length;
    }
    // A number and its TAB: at most kNumberTextCapacity bytes.
    void putValue(double value) {
        if (text_.used + kNumberTextCapacity > sizeof text_.bytes) flush();
        const std::size_t length = formatFixed6At(value, text_.bytes + text_.used);
        text_.bytes[text_.used + length] = kTableCellEnd;
        text_.used += length + 1;
    }

private:
    TableText& text_;
    TableSink sink_;
};

// Title, label row, n rows each led by its label, and the closing empty line. labelAt(k)
// gives label k, rowAt(y) the n cells of row y.
template <class LabelAt, class RowAt>
void emitTable(ResultTable table, int n, LabelAt labelAt, RowAt rowAt, TableText& text, TableSink sink) {
    const TableKind kind = kindOf(table);
    TextWriter out(text, sink);
    out.put(kind.title, 24);
    out.put(kTableLineEnd, 2);
    out.put(&kTableCellEnd, 1); // the empty cell before the labels
    for (int x = 0; x < n; ++x) out.putValue(labelAt(x));
    out.put(kTableLineEnd, 2);
    for (int y = 0; y < n; ++y) {
        out.putValue(labelAt(y));
        const double* cells = rowAt(y);
        for (int x = 0; x < n; ++x) out.putValue(cells[x]);
        out.put(kTableLineEnd, 2);
    }
    out.put(kTableLineEnd, 2);
    out.flush();
}

} // namespace

double spectrumAmplitude(double re, double im) {
    double sum = re * re + im * im;
    return std::sqrt(sum);
}

double spectrumPhase(double re, double im) {
    return phaseRule(re, im, workspace().pi, [](double z) { return std::atan(z); });
}

void writeResultTables(ResultTable table) {
    const TableKind kind = kindOf(table);
    // Binary mode with explicit CR LF: every platform writes the same bytes.
    std::FILE* file = std::fopen(kind.fileName, "wb");
    if (file == nullptr) return;
    std::setvbuf(file, nullptr, _IONBF, 0);

    const int n = workspace().gridSize;
    TableBuffers& buffers = stageBuffers().tables;
    startTable(table);
    double* rowCells = buffers.rowCells;
    emitTable(
        table, n, [&](int k) { return axisLabel(kind.spectrumAxis, k); },
        [&](int y) {
            computeRow(table, n, y, rowCells);
            return static_cast<const double*>(rowCells);
        },
        buffers.text, TableSink{writeBytes, file});
    std::fclose(file);
}

void tableCells(ResultTable table, double* cells) {
    const int n = workspace().gridSize;
    startTable(table);
    for (int y = 0; y < n; ++y) computeRow(table, n, y, cells + static_cast<std::ptrdiff_t>(y) * n);
}

void tableLabels(ResultTable table, double* labels) {
    const int n = workspace().gridSize;
    const bool spectrumAxis = kindOf(table).spectrumAxis;
    for (int k = 0; k < n; ++k) labels[k] = axisLabel(spectrumAxis, k);
}

void formatResultTable(ResultTable table, int n, const double* labels, const double* cells, TableText& text,
                       TableSink sink) {
    emitTable(
        table, n, [&](int k) { return labels[k]; },
        [&](int y) { return cells + static_cast<std::ptrdiff_t>(y) * n; }, text, sink);
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
