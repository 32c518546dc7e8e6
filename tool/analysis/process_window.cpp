#include "analysis/process_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "io/number_text.h"

namespace aerial_tool {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The figure as a monotone function of the threshold: a merged feature is larger than any,
// one that did not print smaller. For a bright feature it falls as the threshold rises (the
// bright set only shrinks), for a dark one it rises.
double figureAtThreshold(const FeatureGauge& gauge, const ThresholdModel& model, double t) {
    const FeatureMetrics f = gaugeFeature(gauge, t, model.bright);
    switch (figureStatus(f, gauge.measure)) {
    case FeatureStatus::kMeasured: return figureOf(f, gauge.measure);
    case FeatureStatus::kMerged: return kInfinity;
    case FeatureStatus::kNotPrinted:
    case FeatureStatus::kNotPeriodic:
    case FeatureStatus::kNotFinite: return 0;
    }
    return 0;
}

// Where a predicate that holds on [a, x] and fails beyond x (holdsBelow), or fails before x
// and holds on [x, b] (!holdsBelow), changes: `in` the last (or first) threshold where it
// holds, `out` the threshold next to it where it fails, the two told apart to the last bit.
// None when it holds nowhere in [a, b]; `out` is NaN when it holds everywhere.
struct Boundary {
    double in, out;
};

template <typename Predicate>
std::optional<Boundary> boundary(Predicate holds, double a, double b, bool holdsBelow, bool lastBit = false) {
    if (holdsBelow) {
        if (!holds(a)) return std::nullopt;
        if (holds(b)) return Boundary{b, std::nan("")};
    } else {
        if (!holds(b)) return std::nullopt;
        if (holds(a)) return Boundary{a, std::nan("")};
    }
    double in = holdsBelow ? a : b;  // holds
    double out = holdsBelow ? b : a; // fails
    // To a part in 10^12 of the threshold, far finer than any figure a dose is read from
    // (an area costs a search of the plane each time), or to the last bit.
    for (int k = 0; k < 200; ++k) {
        const double mid = in + (out - in) / 2;
        if (mid == in || mid == out || (!lastBit && std::fabs(out - in) <= 1e-12 * std::fabs(in))) break;
        (holds(mid) ? in : out) = mid;
    }
    return Boundary{in, out};
}

double shortDose(double v) { return roundedValue(v, 6); }

} // namespace

double exposureLatitude(const DoseInterval& d) { return (d.high - d.low) / ((d.high + d.low) / 2); }

const char* focusStatusText(FocusStatus status) {
    switch (status) {
    case FocusStatus::kInTolerance: return "in tolerance";
    case FocusStatus::kUnstable: return "unstable";
    case FocusStatus::kNoDose: return "in tolerance at no dose";
    }
    return "in tolerance at no dose";
}

FeatureMetrics featureAtDose(const FeatureGauge& gauge, const ThresholdModel& model, double dose) {
    return gaugeFeature(gauge, model.t0 / dose, model.bright);
}

FocusSolution solveFocus(const FeatureGauge& gauge, const ThresholdModel& model) {
    FocusSolution s;
    const std::optional<ThresholdRange> range = gaugeThresholdRange(gauge);
    if (!range) return s;
    auto figure = [&](double t) { return figureAtThreshold(gauge, model, t); };
    const bool falls = model.bright; // the figure falls as the threshold rises
    const double lowCd = model.targetCd * (1 - model.tolerance);
    const double highCd = model.targetCd * (1 + model.tolerance);

    // By monotony the thresholds in tolerance are those past the band's near side (the side
    // the figure comes from at low thresholds) and not yet past its far side: [tLow, tHigh].
    auto pastNear = [&](double t) { return falls ? figure(t) <= highCd : figure(t) >= lowCd; };
    auto beforeFar = [&](double t) { return falls ? figure(t) >= lowCd : figure(t) <= highCd; };
    std::optional<Boundary> low = boundary(pastNear, range->low, range->high, false);
    std::optional<Boundary> high = boundary(beforeFar, range->low, range->high, true);
    if (low && high && !(high->in - low->in > 1e-9 * std::fabs(high->in))) {
        // No width at this resolution: to the last bit, to tell a jump from a narrow band.
        low = boundary(pastNear, range->low, range->high, false, true);
        high = boundary(beforeFar, range->low, range->high, true, true);
    }
    if (low && high) {
        const double tLow = low->in, tHigh = high->in;
        // An interval narrower than the figure's own rounding lets the solver resolve (a
        // billionth of the threshold) has no width: the two ends met on a jump, or the band
        // is too narrow for any dose to hold.
        const bool width = tHigh - tLow > 1e-9 * std::fabs(tHigh);
        if (width) {
            s.status = FocusStatus::kInTolerance;
            s.inTolerance = DoseInterval{model.t0 / tHigh, model.t0 / tLow};
        } else if (tLow > tHigh && std::isfinite(high->out)) {
            // Before the far side at tHigh, past it at the next threshold, and not yet past
            // the near side at tHigh: the figure crosses the whole band between the two.
            s.status = FocusStatus::kUnstable;
            s.jumpDose = model.t0 / tHigh;
            s.jumpFrom = figure(high->out);
            s.jumpTo = figure(tHigh);
        }
    }

    // The threshold where the figure meets the target: the last one at which it is not yet
    // below (bright) or above (dark) it. A jump across the target means no dose sizes it.
    auto reached = [&](double t) { return falls ? figure(t) >= model.targetCd : figure(t) <= model.targetCd; };
    if (const std::optional<Boundary> t = boundary(reached, range->low, range->high, true, true)) {
        const double at = figure(t->in);
        if (std::fabs(at - model.targetCd) <= 1e-9 * model.targetCd) s.doseToSize = model.t0 / t->in;
    }
    return s;
}

std::optional<ProcessWindow> widestWindow(const std::vector<FocusDoses>& foci, double el) {
    std::optional<ProcessWindow> best;
    const size_t m = foci.size();
    for (size_t i = 0; i < m; ++i) {
        DoseInterval common{-kInfinity, kInfinity};
        for (size_t j = i; j < m && foci[j].inTolerance; ++j) {
            common.low = std::max(common.low, foci[j].inTolerance->low);
            common.high = std::min(common.high, foci[j].inTolerance->high);
            // The common interval only shrinks as the range grows, and with it the latitude.
            if (common.low > common.high) break;
            const double latitude = exposureLatitude(common);
            if (latitude < el) break;
            // In decimal: 0.1 - (-0.05) is the 0.15 the foci's texts give, not the doubles'
            // 0.15000000000000002.
            const double dof = decimalSum(foci[j].focus, -foci[i].focus);
            const bool wider = !best || dof > best->dof ||
                               (dof == best->dof && latitude > exposureLatitude(best->doses));
            if (wider) best = ProcessWindow{el, dof, foci[i].focus, foci[j].focus, common, i == 0 || j + 1 == m};
        }
    }
    return best;
}

std::optional<double> maxFocusLatitude(const std::vector<FocusDoses>& foci) {
    std::optional<double> best;
    for (const FocusDoses& f : foci) {
        if (f.inTolerance && (!best || exposureLatitude(*f.inTolerance) > *best)) best = exposureLatitude(*f.inTolerance);
    }
    return best;
}

std::optional<WindowSummary> summariseWindow(const std::vector<FocusDoses>& foci) {
    const std::optional<double> maxEl = maxFocusLatitude(foci);
    if (!maxEl) return std::nullopt;
    WindowSummary s;
    s.maxEl = *maxEl;
    // EL 2k %: the double nearest 2k / 100, one rounding (k x 0.02 is 0.7000000000000001 at
    // k = 35).
    for (int k = 0;; ++k) {
        const double el = k * kLatitudeStepPercent / 100.0;
        if (!(el <= *maxEl)) break;
        if (std::optional<ProcessWindow> w = widestWindow(foci, el)) s.windows.push_back(*w);
    }
    const ProcessWindow& open = s.windows.front();
    // Halving is exact: the centre is as near the decimal centre as the sum is to its own.
    s.bestFocus = decimalSum(open.focusMin, open.focusMax) / 2;
    return s;
}

std::vector<double> refinementFoci(const std::vector<FocusDoses>& foci, double precision) {
    std::vector<double> out;
    const std::optional<WindowSummary> summary = summariseWindow(foci);
    if (!summary) return out;
    auto indexOf = [&](double focus) {
        for (size_t i = 0; i < foci.size(); ++i)
            if (foci[i].focus == focus) return i;
        return foci.size();
    };
    auto add = [&](double focus) {
        if (std::find(out.begin(), out.end(), focus) == out.end()) out.push_back(focus);
    };
    // The gap before (side -1) or after (+1) the focus at index i, when wider than the precision.
    auto gapBeside = [&](size_t i, int side) {
        if (i >= foci.size() || (side < 0 && i == 0) || (side > 0 && i + 1 == foci.size())) return;
        const double a = foci[i].focus, b = foci[side < 0 ? i - 1 : i + 1].focus;
        if (std::fabs(b - a) > precision) add(a + (b - a) / 2);
    };
    for (const ProcessWindow& w : summary->windows) {
        gapBeside(indexOf(w.focusMin), -1);
        gapBeside(indexOf(w.focusMax), +1);
    }
    // The focus of the largest latitude, the first of equals.
    size_t best = foci.size();
    for (size_t i = 0; i < foci.size(); ++i) {
        if (!foci[i].inTolerance) continue;
        if (best == foci.size() || exposureLatitude(*foci[i].inTolerance) > exposureLatitude(*foci[best].inTolerance))
            best = i;
    }
    gapBeside(best, -1);
    gapBeside(best, +1);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<double> bracketingDoses(const std::vector<FocusDoses>& foci, int count) {
    double lo = kInfinity, hi = -kInfinity;
    for (const FocusDoses& f : foci) {
        if (!f.inTolerance) continue;
        lo = std::min(lo, f.inTolerance->low);
        hi = std::max(hi, f.inTolerance->high);
    }
    std::vector<double> doses;
    if (!(lo <= hi) || count < 2) return doses;
    const double pad = (hi - lo) / 10;
    const double first = std::max(lo - pad, lo / 2);
    const double last = hi + pad;
    // A step of 1, 2, 2.5 or 5 times a power of ten, so the doses read as a user would
    // write them; the first dose is a multiple of it.
    const double raw = (last - first) / (count - 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * power >= raw * (1 - 1e-9)) {
            step = m * power;
            break;
        }
    }
    const double start = std::floor(first / step + 1e-9);
    for (int k = 0; start + k <= std::ceil(last / step - 1e-9); ++k) {
        const double v = shortDose((start + k) * step);
        if (v > 0) doses.push_back(v);
    }
    return doses;
}

} // namespace aerial_tool
