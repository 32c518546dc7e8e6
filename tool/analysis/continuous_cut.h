// The image between its samples.
//
// Each source point moves the mask spectrum under a fixed pupil, and the pupil passes the
// spectral samples within R of its centre (R the pupil radius in spectral samples, as the
// core derives it). Along a row or a column the coherent field of a source point is then a
// sum of plane waves whose frequencies are whole cycles per grid length from -floor(R) to
// floor(R) (for an odd N all shifted by the same half cycle, which the squared magnitude
// drops), so the intensity, the mean of the squared magnitudes, is a real trigonometric
// polynomial of degree D = 2 floor(R) cycles per grid length, periodic over the grid,
// whatever the sigma, the shifts, the defocus and the aberrations. When D < N / 2 the N
// samples of a cut hold its 2D + 1 coefficients without aliasing: a direct DFT that keeps
// |m| <= D recovers it (the coefficients above D are the tables' print noise, a few 1e-8),
// and crossings, slopes and extremes follow from it exactly to the print precision. When
// D >= N / 2 the cut is measured on its samples.
#pragma once

#include <vector>

namespace aerial_tool {

// 2 floor(|R|) when the N samples of a cut determine the polynomial (2 x that < N), else
// -1: the cut is measured on its samples. -1 for a pupil radius that is not finite.
int exactDegree(int samples, double pupilRadius);

struct Extremum {
    double position;
    double value;
    bool maximum;
};

// I(x) = cosine[0] + sum over m = 1 .. D of cosine[m] cos(m phi) + sine[m] sin(m phi),
// phi = 2 pi (x - origin) / (samples x step): one period of the image along the cut, sample
// p at origin + p x step.
struct TrigCut {
    double origin = 0;
    double step = 0;
    int samples = 0;
    std::vector<double> cosine; // m = 0 .. D
    std::vector<double> sine;   // m = 0 .. D, sine[0] = 0
    // Every local maximum and minimum once, by position from the origin round the period,
    // maxima and minima alternating; for a constant cut its value twice (as a maximum and a
    // minimum), so that the cut between two consecutive extrema is always monotone.
    std::vector<Extremum> extrema;

    int degree() const { return static_cast<int>(cosine.size()) - 1; }
    double period() const { return step * samples; }
};

// The polynomial of degree `degree` (0 <= degree < samples / 2) through the samples, in the
// least-squares sense: their DFT with the frequencies above `degree` left out.
TrigCut fitTrigCut(const std::vector<double>& samples, double origin, double step, int degree);

double trigValue(const TrigCut& cut, double x);
double trigSlope(const TrigCut& cut, double x); // dI/dx, per length unit

struct TrigCrossing {
    double position;
    bool rising; // from below t to at or above it
};

// Where the cut reaches t, each once, in order of position in [origin, origin + period): a
// root of I - t on every stretch between two consecutive extrema whose ends lie on opposite
// sides (I >= t counts as above), found to the last bits by Newton steps kept inside the
// stretch.
std::vector<TrigCrossing> trigCrossings(const TrigCut& cut, double t);

// The interpolation kernel of the polynomial: the value at offset d (in samples) from a
// sample of the least-squares polynomial of degree D through a single unit sample,
// (1 + 2 sum over m = 1 .. D of cos(2 pi m d / N)) / N. A cut between rows is the sum of the
// rows weighted by it.
double trigKernel(int samples, int degree, double offsetInSamples);

} // namespace aerial_tool
