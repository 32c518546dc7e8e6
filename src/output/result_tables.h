// The three tab-separated result tables a run leaves in the current directory.
#pragma once

namespace aerial {

enum ResultTable {
    kSpectrumAmplitude, // kSpectrumAmplitudeFileName: |spectrum|
    kSpectrumPhase,     // kSpectrumPhaseFileName:     phase of the spectrum
    kImageIntensity,    // kImageIntensityFileName:    aerial image intensity II
};

// Creates (or replaces) the table's file, writes title, axis row and N data rows, and
// closes it. A file that cannot be created is skipped silently.
void writeResultTables(ResultTable table);

// The cell rules, exposed for tests.
double spectrumAmplitude(double re, double im);
double spectrumPhase(double re, double im);

} // namespace aerial
