#include "output/result_tables.h"

#include <cmath>
#include <cstdio>

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

double cellValue(ResultTable table, int x, int y) {
    const SimulationState& s = workspace;
    switch (table) {
    case kSpectrumAmplitude: return spectrumAmplitude(s.fieldRe[x][y], s.fieldIm[x][y]);
    case kSpectrumPhase: return spectrumPhase(s.fieldRe[x][y], s.fieldIm[x][y]);
    case kImageIntensity: break;
    }
    return s.II[x][y];
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

void writeValue(std::FILE* file, double value) {
    char text[kNumberTextCapacity];
    std::size_t length = formatFixed6(value, text); // at most 317 characters: room for the TAB
    text[length] = '\t';
    writeBytes(file, text, length + 1);
}

} // namespace

double spectrumAmplitude(double re, double im) {
    double sum = re * re + im * im;
    return std::sqrt(sum);
}

double spectrumPhase(double re, double im) {
    double pi = workspace.pi;
    if (re > 0) return std::atan(im / re);
    if (re == 0) return 0.0;
    if (im > 0) return std::atan(im / re) + pi;
    return std::atan(im / re) - pi;
}

void writeResultTables(ResultTable table) {
    TableKind kind = kindOf(table);
    // Binary mode with explicit CR LF: every platform writes the same bytes.
    std::FILE* file = std::fopen(kind.fileName, "wb");
    if (file == nullptr) return;

    int n = workspace.gridSize;
    // A table is about 150 KB: a large stream buffer writes it in a few system calls.
    static char streamBuffer[1 << 16];
    std::setvbuf(file, streamBuffer, _IOFBF, sizeof streamBuffer);
    writeBytes(file, kind.title, 24);
    writeBytes(file, kLineEnd, 2);
    writeBytes(file, "\t", 1);
    for (int x = 0; x < n; ++x) writeValue(file, axisLabel(kind.spectrumAxis, x));
    writeBytes(file, kLineEnd, 2);
    for (int y = 0; y < n; ++y) {
        writeValue(file, axisLabel(kind.spectrumAxis, y));
        for (int x = 0; x < n; ++x) writeValue(file, cellValue(table, x, y));
        writeBytes(file, kLineEnd, 2);
    }
    writeBytes(file, kLineEnd, 2);
    std::fclose(file);
}

} // namespace aerial
