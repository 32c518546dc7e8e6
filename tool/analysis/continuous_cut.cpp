#include "analysis/continuous_cut.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace aerial_tool {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Points per sample at which the derivative is searched for sign changes: the highest
// frequency, below N / 2 cycles per grid, is seen at 16 points or more per cycle, so only a
// wiggle far below the print precision could hide a pair of extrema between two of them.
constexpr int kSearchPointsPerSample = 8;

// The value and the first two derivatives at s samples from the origin, per sample.
struct Local {
    double value, first, second;
};

Local localAt(const TrigCut& cut, double s) {
    const double w = kTwoPi / cut.samples;
    const double phi = w * s;
    const double c1 = std::cos(phi), s1 = std::sin(phi);
    Local out{cut.cosine[0], 0, 0};
    double c = 1, sn = 0;
    for (int m = 1; m <= cut.degree(); ++m) {
        // cos(m phi), sin(m phi) by rotation: an error of about m ulps, far below the print noise.
        const double cm = c * c1 - sn * s1;
        sn = sn * c1 + c * s1;
        c = cm;
        const double a = cut.cosine[m], b = cut.sine[m];
        const double k = w * m;
        out.value += a * c + b * sn;
        out.first += k * (b * c - a * sn);
        out.second -= k * k * (a * c + b * sn);
    }
    return out;
}

double reduced(double s, int samples) {
    double r = std::fmod(s, static_cast<double>(samples));
    if (r < 0) r += samples;
    return r;
}

// The root of g on [lo, hi] where g(lo) and g(hi) lie on opposite sides (g(lo) below 0
// when `rising`, else at or above it): Newton steps kept inside the bracket, bisection where
// a step would leave it or stalls.
template <typename F>
double bracketedRoot(F g, double lo, double hi, bool rising) {
    double x = lo + (hi - lo) / 2;
    for (int k = 0; k < 100; ++k) {
        const auto [value, slope] = g(x);
        if (value == 0) return x;
        const bool below = rising ? value < 0 : value >= 0;
        (below ? lo : hi) = x;
        double next = slope != 0 ? x - value / slope : lo + (hi - lo) / 2;
        if (!(next > lo && next < hi)) next = lo + (hi - lo) / 2;
        if (next == x || hi - lo <= 4 * std::numeric_limits<double>::epsilon() * std::fabs(hi)) return next;
        x = next;
    }
    return x;
}

} // namespace

int exactDegree(int samples, double pupilRadius) {
    if (!std::isfinite(pupilRadius) || samples < 1) return -1;
    const double d = 2 * std::floor(std::fabs(pupilRadius));
    return 2 * d < samples ? static_cast<int>(d) : -1;
}

double trigKernel(int samples, int degree, double d) {
    double sum = 1;
    for (int m = 1; m <= degree; ++m) sum += 2 * std::cos(kTwoPi * m * d / samples);
    return sum / samples;
}

TrigCut fitTrigCut(const std::vector<double>& samples, double origin, double step, int degree) {
    TrigCut cut;
    const int n = static_cast<int>(samples.size());
    cut.origin = origin;
    cut.step = step;
    cut.samples = n;
    cut.cosine.assign(degree + 1, 0.0);
    cut.sine.assign(degree + 1, 0.0);
    // The angle of m p is taken as (m p mod N) / N of a turn, so every table entry is one
    // rounded cosine of an exact fraction of a turn.
    std::vector<double> cosTable(n), sinTable(n);
    for (int k = 0; k < n; ++k) {
        cosTable[k] = std::cos(kTwoPi * k / n);
        sinTable[k] = std::sin(kTwoPi * k / n);
    }
    // Samples all alike are that constant: the sums of the other frequencies would hold
    // only the rounding of the table of cosines, and their wiggles would be taken for extrema.
    const bool constant = std::all_of(samples.begin(), samples.end(), [&](double v) { return v == samples[0]; });
    for (int m = 0; m <= (constant ? 0 : degree); ++m) {
        double a = 0, b = 0;
        for (int p = 0; p < n; ++p) {
            const int k = static_cast<int>((static_cast<long long>(m) * p) % n);
            a += samples[p] * cosTable[k];
            b += samples[p] * sinTable[k];
        }
        cut.cosine[m] = (m == 0 ? 1.0 : 2.0) * a / n;
        cut.sine[m] = m == 0 ? 0.0 : 2.0 * b / n;
    }

    // The extrema: sign changes of the derivative on a fine grid, each refined to a root.
    const int points = n * kSearchPointsPerSample;
    std::vector<double> slope(points);
    for (int j = 0; j < points; ++j) slope[j] = localAt(cut, static_cast<double>(j) / kSearchPointsPerSample).first;
    for (int j = 0; j < points; ++j) {
        const bool up = slope[j] > 0, nextUp = slope[(j + 1) % points] > 0;
        if (up == nextUp) continue;
        const double lo = static_cast<double>(j) / kSearchPointsPerSample;
        const double hi = static_cast<double>(j + 1) / kSearchPointsPerSample;
        // A maximum where the slope falls through 0, a minimum where it rises.
        const double s = bracketedRoot(
            [&](double x) {
                const Local l = localAt(cut, x);
                return std::pair{l.first, l.second};
            },
            lo, hi, !up);
        // An extremum on a sample (by symmetry, as a rule) is put there, so that it reads as
        // that sample's position and not as a rounding away from it, or past the period's end.
        double r = reduced(s, n);
        if (std::fabs(r - std::round(r)) < 1e-9) r = std::round(r);
        if (r >= n) r = 0;
        cut.extrema.push_back({origin + r * step, localAt(cut, r).value, up});
    }
    // A root refined to the very end of the period reduces to its start.
    std::sort(cut.extrema.begin(), cut.extrema.end(),
              [](const Extremum& a, const Extremum& b) { return a.position < b.position; });
    if (cut.extrema.empty()) {
        const double v = localAt(cut, 0).value;
        cut.extrema = {{origin, v, true}, {origin, v, false}};
    }
    return cut;
}

double trigValue(const TrigCut& cut, double x) {
    return localAt(cut, (x - cut.origin) / cut.step).value;
}

double trigSlope(const TrigCut& cut, double x) {
    return localAt(cut, (x - cut.origin) / cut.step).first / cut.step;
}

std::vector<TrigCrossing> trigCrossings(const TrigCut& cut, double t) {
    std::vector<TrigCrossing> out;
    const size_t count = cut.extrema.size();
    const int n = cut.samples;
    for (size_t k = 0; k < count; ++k) {
        const Extremum& a = cut.extrema[k];
        const Extremum& b = cut.extrema[(k + 1) % count];
        if ((a.value >= t) == (b.value >= t)) continue;
        const double sa = (a.position - cut.origin) / cut.step;
        double sb = (b.position - cut.origin) / cut.step;
        if (k + 1 == count) sb += n; // the stretch from the last extremum round to the first
        const bool rising = b.value >= t;
        const double s = bracketedRoot(
            [&](double x) {
                const Local l = localAt(cut, x);
                return std::pair{l.value - t, l.first};
            },
            sa, sb, rising);
        out.push_back({cut.origin + reduced(s, n) * cut.step, rising});
    }
    // The stretch round the end of the period may put its crossing before the others.
    std::sort(out.begin(), out.end(),
              [](const TrigCrossing& a, const TrigCrossing& b) { return a.position < b.position; });
    return out;
}

} // namespace aerial_tool
