#include "output/result_tables.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "input/input_layout.h"
#include "output/format_number.h"
#include "state/simulation_state.h"

namespace aerial {
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

constexpr char kLineEnd[2] = {'\r', '\n'};

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
    const SimulationState& s = workspace;
    int c = s.gridSize / 2;
    double offset = static_cast<double>(k - c);
    if (spectrumAxis) {
        double numer = offset * s.wavelength;
        double denom = static_cast<double>(s.gridSize) * s.samplePitch;
        return numer / denom;
    }
    return offset * s.samplePitch;
}

// The cells of the table row being written, by column.
double rowCells[kMaxGrid];

// atan(im / re) of the phase cells, by the bits of the quotient: a spectrum of a symmetric
// mask repeats its quotients, and atan gives the same bits for the same argument.
// Direct-mapped; a collision only costs a recomputation.
struct ArctangentMemo {
    static constexpr int kSlots = 1 << 12;
    struct Slot {
        std::uint64_t bits;
        double value;
    } slots[kSlots];
    bool used[kSlots];
};

ArctangentMemo arctangents;

double arctangent(double z) {
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

// Row y of the table: the cells of every column x, computed in one pass before any is
// formatted.
const double* computeRow(ResultTable table, int n, int y) {
    const SimulationState& s = workspace;
    const double pi = s.pi;
    switch (table) {
    case kSpectrumAmplitude:
        for (int x = 0; x < n; ++x) rowCells[x] = spectrumAmplitude(s.fieldRe[x][y], s.fieldIm[x][y]);
        return rowCells;
    case kSpectrumPhase:
        for (int x = 0; x < n; ++x) rowCells[x] = phaseRule(s.fieldRe[x][y], s.fieldIm[x][y], pi, arctangent);
        return rowCells;
    case kImageIntensity: break;
    }
    for (int x = 0; x < n; ++x) rowCells[x] = s.II[x][y];
    return rowCells;
}

// One table at a time is open, and only this thread writes it: the stream's lock is
// not needed where the C library lets us skip it.
void writeBytes(std::FILE* file, const void* bytes, std::size_t length) {
#if defined(__GLIBC__)
    fwrite_unlocked(bytes, 1, length, file);
#elif defined(_MSC_VER)
    _fwrite_nolock(bytes, 1, length, file);
#else
    std::fwrite(bytes, 1, length, file);
#endif
}

// The table's text is built here and written in blocks of up to its size; the stream
// itself is unbuffered, so each block goes to the file in one system call.
struct TableText {
    std::FILE* file;
    std::size_t used;
    char bytes[1 << 16];

    void flush() {
        writeBytes(file, bytes, used);
        used = 0;
    }
    void put(const void* data, std::size_t length) {
        if (used + length > sizeof bytes) flush();
        std::memcpy(bytes + used, data, length);
        used += length;
    }
    // A number and its TAB: at most kNumberTextCapacity bytes.
    void putValue(double value) {
        if (used + kNumberTextCapacity > sizeof bytes) flush();
        const std::size_t length = formatFixed6At(value, bytes + used);
        bytes[used + length] = '\t';
        used += length + 1;
    }
};

TableText text;

} // namespace

double spectrumAmplitude(double re, double im) {
    double sum = re * re + im * im;
    return std::sqrt(sum);
}

double spectrumPhase(double re, double im) {
    return phaseRule(re, im, workspace.pi, [](double z) { return std::atan(z); });
}

void writeResultTables(ResultTable table) {
    TableKind kind = kindOf(table);
    // Binary mode with explicit CR LF: every platform writes the same bytes.
    std::FILE* file = std::fopen(kind.fileName, "wb");
    if (file == nullptr) return;
    std::setvbuf(file, nullptr, _IONBF, 0);

    const int n = workspace.gridSize;
    if (table == kSpectrumPhase) std::memset(arctangents.used, 0, sizeof arctangents.used);
    text.file = file;
    text.used = 0;
    text.put(kind.title, 24);
    text.put(kLineEnd, 2);
    text.put("\t", 1);
    for (int x = 0; x < n; ++x) text.putValue(axisLabel(kind.spectrumAxis, x));
    text.put(kLineEnd, 2);
    for (int y = 0; y < n; ++y) {
        text.putValue(axisLabel(kind.spectrumAxis, y));
        const double* cells = computeRow(table, n, y);
        for (int x = 0; x < n; ++x) text.putValue(cells[x]);
        text.put(kLineEnd, 2);
    }
    text.put(kLineEnd, 2);
    text.flush();
    std::fclose(file);
}

} // namespace aerial
