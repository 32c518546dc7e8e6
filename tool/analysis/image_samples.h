// The image table as the samples of the model's image: where each sample lies and whether
// the samples determine the continuous image between them (analysis/continuous_cut.h). The
// positions come from the input's sample pitch, never from the tables' axis labels, which
// carry six decimals only (in metres every label rounds to a micrometre).
//
// An ImageSamples can be filled from a table and its input (imageSamples) or directly from
// doubles: nothing here reads a file.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "analysis/metrics.h"
#include "io/result_table.h"

namespace aerial {
struct InputValues;
}

namespace aerial_tool {

struct ImageSamples {
    int size = 0;                 // N
    double samplePitch = 0;       // in the input's length unit, above 0
    double pupilRadius = std::numeric_limits<double>::quiet_NaN(); // R in spectral samples, as the core derives it
    std::vector<double> values;   // values[y * size + x], as the image table holds them

    double at(int x, int y) const { return values[static_cast<size_t>(y) * size + x]; }
    // (index - N / 2.0) x pitch: the image transform's coordinates are centred at N / 2.0
    // (a floating division), so for an odd N the integer centre index lies half a sample
    // before 0, on the mask's coordinates, where the rectangles' edges are given.
    double position(int index) const { return (index - size / 2.0) * samplePitch; }
    // The degree of the continuous image along rows and columns, or -1: measured on the samples.
    int degree() const;
};

// The image table with the positions and pupil radius of the input it was computed from.
// False with a reason when the table is not of the input's grid or the input's sample
// pitch is no length above 0 (the samples then have no positions).
bool imageSamples(const ResultTableData& table, const aerial::InputValues& input, ImageSamples& image,
                  std::string& error);

// The same from the image's values in memory (values[y * N + x], N = the input's grid size,
// as the image table holds them).
bool imageSamples(const aerial::InputValues& input, std::vector<double> values, ImageSamples& image,
                  std::string& error);

// What the measurement stands on, in words: "continuous (degree 8 = 2 floor(R), R = 4.97,
// below N/2 = 64)" or "sampled (2 floor(R) = 64 is not below N/2 = 64)".
std::string imageBasisText(const ImageSamples& image);

// The cut along `axis` at `offset` across it (a length from the grid centre). With the
// continuous image the cut lies exactly there (each column's samples weighted by the
// polynomial's interpolation kernel) and the profile carries its polynomial; otherwise it is
// the nearest row or column of samples. `cutPosition` is where the cut lies. False with a
// reason when the offset lies more than half a sample beyond the grid's first or last sample.
bool imageCut(const ImageSamples& image, CutAxis axis, double offset, Profile& profile, double& cutPosition,
              std::string& error);

// The profile as a picture draws it: the continuous image at `perSample` points per sample
// (the samples themselves when the cut is sampled).
Profile drawnProfile(const Profile& profile, int perSample = 8);

} // namespace aerial_tool
