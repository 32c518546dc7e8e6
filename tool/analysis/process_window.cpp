#include "analysis/process_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace aerial_tool {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The CD as a monotone function of the threshold: a merged feature is wider than any
// CD, one that did not print narrower. For a bright feature it falls as the threshold
// rises (the bright set only shrinks), for a dark one it rises.
double cdAtThreshold(const Profile& profile, const ThresholdModel& model, double t) {
    const FeatureMetrics f = featureAtThreshold(profile, model.featureAt, model.bright, t);
    switch (f.status) {
    case FeatureStatus::kMeasured: return f.cd;
    case FeatureStatus::kMerged: return kInfinity;
    case FeatureStatus::kNotPrinted: return 0;
    }
    return 0;
}

// Bisection of a predicate that holds on [a, x] and fails beyond x (holdsBelow) or fails
// before x and holds on [x, b] (!holdsBelow): the last (or first) threshold where it holds,
// to the last bit. None when it holds nowhere in [a, b].
template <typename Predicate>
std::optional<double> boundary(Predicate holds, double a, double b, bool holdsBelow) {
    if (holdsBelow) {
        if (!holds(a)) return std::nullopt;
        if (holds(b)) return b;
    } else {
        if (!holds(b)) return std::nullopt;
        if (holds(a)) return a;
    }
    double in = holdsBelow ? a : b;  // holds
    double out = holdsBelow ? b : a; // fails
    for (int k = 0; k < 200; ++k) {
        const double mid = in + (out - in) / 2;
        if (mid == in || mid == out) break;
        (holds(mid) ? in : out) = mid;
    }
    return in;
}

struct ThresholdRange {
    double low, high;
};

// Every change of the CD happens between the cut's lowest and highest sample; a threshold
// of zero would be an infinite dose.
std::optional<ThresholdRange> searchRange(const Profile& profile) {
    if (profile.intensity.empty()) return std::nullopt;
    const auto [lo, hi] = std::minmax_element(profile.intensity.begin(), profile.intensity.end());
    if (!(*hi > 0) || !std::isfinite(*hi) || !std::isfinite(*lo)) return std::nullopt;
    return ThresholdRange{std::max(*lo, *hi * 1e-12), *hi};
}

double shortDose(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return std::strtod(text, nullptr);
}

} // namespace

double exposureLatitude(const DoseInterval& d) { return (d.high - d.low) / ((d.high + d.low) / 2); }

FeatureMetrics featureAtDose(const Profile& profile, const ThresholdModel& model, double dose) {
    return featureAtThreshold(profile, model.featureAt, model.bright, model.t0 / dose);
}

FocusSolution solveFocus(const Profile& profile, const ThresholdModel& model) {
    FocusSolution s;
    const std::optional<ThresholdRange> range = searchRange(profile);
    if (!range) return s;
    auto cd = [&](double t) { return cdAtThreshold(profile, model, t); };
    const bool falls = model.bright; // the CD falls as the threshold rises
    const double lowCd = model.targetCd * (1 - model.tolerance);
    const double highCd = model.targetCd * (1 + model.tolerance);

    // Thresholds [tLow, tHigh] with lowCd <= CD <= highCd; by monotony every threshold
    // between two in tolerance is in tolerance.
    auto atLeastLow = [&](double t) { return cd(t) >= lowCd; };
    auto atMostHigh = [&](double t) { return cd(t) <= highCd; };
    const std::optional<double> tLow = falls ? boundary(atMostHigh, range->low, range->high, false)
                                             : boundary(atLeastLow, range->low, range->high, false);
    const std::optional<double> tHigh = falls ? boundary(atLeastLow, range->low, range->high, true)
                                              : boundary(atMostHigh, range->low, range->high, true);
    if (tLow && tHigh && *tLow <= *tHigh) s.inTolerance = DoseInterval{model.t0 / *tHigh, model.t0 / *tLow};

    // The threshold where the CD meets the target: the last one at which it is not yet
    // below (bright) or above (dark) it. A jump across the target means no dose sizes it.
    auto reached = [&](double t) { return falls ? cd(t) >= model.targetCd : cd(t) <= model.targetCd; };
    if (const std::optional<double> t = boundary(reached, range->low, range->high, true)) {
        const double at = cd(*t);
        if (std::fabs(at - model.targetCd) <= 1e-9 * model.targetCd) s.doseToSize = model.t0 / *t;
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
            const double dof = foci[j].focus - foci[i].focus;
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
    // EL k x 0.02 from k, not by repeated addition.
    for (int k = 0; k * kLatitudeStep <= *maxEl; ++k) {
        if (std::optional<ProcessWindow> w = widestWindow(foci, k * kLatitudeStep)) s.windows.push_back(*w);
    }
    const ProcessWindow& open = s.windows.front();
    s.bestFocus = (open.focusMin + open.focusMax) / 2;
    return s;
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
