#include "analysis/metrics.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "io/number_text.h"

namespace aerial_tool {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The offset of `position` after `start` going forwards round the loop, in [0, period).
double forwardOffset(double start, double position, double period) {
    double d = std::fmod(position - start, period);
    if (d < 0) d += period;
    return d;
}

struct Extremes {
    double peak, peakPosition, minimum, minimumPosition;
};

void include(Extremes& e, double x, double v) {
    if (v > e.peak) { e.peak = v; e.peakPosition = x; }
    if (v < e.minimum) { e.minimum = v; e.minimumPosition = x; }
}

// Extremes over the stretch of `width` after `start` round the loop: of the continuous
// image (its extrema inside the stretch and its values at the ends), or of the samples
// lying in it.
Extremes extremesOver(const Profile& profile, double start, double width, double period) {
    Extremes e{-std::numeric_limits<double>::infinity(), kNaN, std::numeric_limits<double>::infinity(), kNaN};
    const bool whole = !(width < period);
    if (profile.continuous) {
        for (const Extremum& x : profile.continuous->extrema) {
            if (whole || forwardOffset(start, x.position, period) <= width) include(e, x.position, x.value);
        }
        if (!whole) {
            include(e, start, trigValue(*profile.continuous, start));
            include(e, start + width, trigValue(*profile.continuous, start + width));
        }
        return e;
    }
    for (size_t i = 0; i < profile.intensity.size(); ++i) {
        const double x = profile.position[i];
        if (whole || forwardOffset(start, x, period) <= width) include(e, x, profile.intensity[i]);
    }
    return e;
}

// A position taken round the loop into [first sample, first sample + period).
double onLoop(const Profile& profile, double x) {
    const double first = profile.position.front();
    return first + forwardOffset(first, x, profilePeriod(profile));
}

std::vector<Crossing> sampledCrossings(const Profile& profile, double t) {
    std::vector<Crossing> out;
    const std::vector<double>& x = profile.position;
    const std::vector<double>& v = profile.intensity;
    const size_t n = v.size();
    // Segment i joins sample i to the next one round the loop; the last segment ends one
    // step past the last sample, where the first sample repeats.
    for (size_t i = 0; i < n && n > 1; ++i) {
        const size_t j = i + 1 < n ? i + 1 : 0;
        if ((v[i] >= t) == (v[j] >= t)) continue;
        const double dx = j != 0 ? x[j] - x[i] : profileStep(profile);
        const double dv = v[j] - v[i];
        const double at = x[i] + (t - v[i]) / dv * dx;
        const double slope = dv / dx;
        out.push_back({at, slope, std::fabs(slope) / t, v[j] >= t});
    }
    return out;
}

std::vector<Crossing> continuousCrossings(const TrigCut& cut, double t) {
    std::vector<Crossing> out;
    for (const TrigCrossing& c : trigCrossings(cut, t)) {
        const double slope = trigSlope(cut, c.position);
        out.push_back({c.position, slope, std::fabs(slope) / t, c.rising});
    }
    return out;
}

Edge edgeOf(const Crossing& c, double cd) { return {c.position, c.slope, c.logSlope, c.logSlope * cd}; }

} // namespace

Profile sampledProfile(std::vector<double> positions, std::vector<double> intensities) {
    Profile p;
    p.position = std::move(positions);
    p.intensity = std::move(intensities);
    return p;
}

const char* imageKindText(const Profile& profile) { return profile.continuous ? "continuous" : "sampled"; }

double profileStep(const Profile& profile) {
    const size_t n = profile.position.size();
    return n < 2 ? 0.0 : (profile.position[n - 1] - profile.position[0]) / static_cast<double>(n - 1);
}

double profilePeriod(const Profile& profile) {
    return profileStep(profile) * static_cast<double>(profile.position.size());
}

double profileValueAt(const Profile& profile, double position) {
    if (profile.continuous) return trigValue(*profile.continuous, position);
    const std::vector<double>& x = profile.position;
    size_t nearest = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (std::fabs(x[i] - position) < std::fabs(x[nearest] - position)) nearest = i;
    }
    return x.empty() ? kNaN : profile.intensity[nearest];
}

const char* statusText(FeatureStatus status) {
    switch (status) {
    case FeatureStatus::kMeasured: return "measured";
    case FeatureStatus::kMerged: return "merged";
    case FeatureStatus::kNotPrinted: return "not printed";
    case FeatureStatus::kNotPeriodic: return "not periodic on this grid";
    case FeatureStatus::kNotFinite: return "image not finite";
    }
    return "not printed";
}

CutMetrics measureProfile(const Profile& profile, std::optional<double> threshold) {
    CutMetrics m;
    const size_t n = profile.intensity.size();
    if (n == 0) return m;
    const double period = profilePeriod(profile);
    const Extremes whole = extremesOver(profile, profile.position.front(), period, period);
    m.peak = whole.peak;
    m.peakPosition = whole.peakPosition;
    m.minimum = whole.minimum;
    m.minimumPosition = whole.minimumPosition;
    m.contrast = (m.peak - m.minimum) / (m.peak + m.minimum);
    m.threshold = threshold;
    if (!threshold) return m;
    const double t = *threshold;
    m.crossings = profile.continuous ? continuousCrossings(*profile.continuous, t) : sampledCrossings(profile, t);
    const size_t count = m.crossings.size();
    if (count == 0) {
        const double x0 = profile.position.front();
        const bool bright = profile.continuous ? profile.continuous->extrema.front().value >= t : profile.intensity[0] >= t;
        m.runs.push_back({bright, x0, x0 + period, period, true});
        return m;
    }
    for (size_t k = 0; k < count; ++k) {
        const Crossing& from = m.crossings[k];
        const Crossing& to = m.crossings[(k + 1) % count];
        const double width = k + 1 < count ? to.position - from.position : to.position + period - from.position;
        m.runs.push_back({from.rising, from.position, to.position, width, false});
    }
    return m;
}

int runIndexAt(const CutMetrics& metrics, const Profile& profile, double position) {
    const double period = profilePeriod(profile);
    for (size_t k = 0; k < metrics.runs.size(); ++k) {
        const Run& r = metrics.runs[k];
        if (r.wholePeriod || forwardOffset(r.start, position, period) <= r.width) return static_cast<int>(k);
    }
    return -1;
}

FeatureMetrics measureFeature(const Profile& profile, const CutMetrics& metrics, double position,
                              std::optional<bool> bright) {
    FeatureMetrics f;
    f.sampled = profile.sampled();
    const double period = profilePeriod(profile);
    const int index = runIndexAt(metrics, profile, position);
    f.cd = f.start = f.end = kNaN;
    f.left = f.right = {kNaN, kNaN, kNaN, kNaN};
    if (index < 0) {
        f.bright = bright.value_or(true);
        f.status = FeatureStatus::kNotPrinted;
        return f;
    }
    const int count = static_cast<int>(metrics.runs.size());
    const Run& run = metrics.runs[index];
    f.bright = bright.value_or(run.bright);
    if (run.bright != f.bright) {
        f.status = FeatureStatus::kNotPrinted;
    } else if (run.wholePeriod) {
        f.status = FeatureStatus::kMerged;
    } else {
        f.status = FeatureStatus::kMeasured;
        f.cd = run.width;
        f.start = run.start;
        f.end = run.end;
        f.left = edgeOf(metrics.crossings[index], f.cd);
        f.right = edgeOf(metrics.crossings[(index + 1) % count], f.cd);
    }
    // The period round the place: one period of a periodic mask, whatever the threshold;
    // else from the start of the run before to the end of the run after (with two runs,
    // those are one run and the span is the whole loop).
    double spanStart = profile.position.empty() ? 0 : profile.position[0];
    double spanWidth = period;
    if (profile.patternPeriod && *profile.patternPeriod > 0 && *profile.patternPeriod < period) {
        spanWidth = *profile.patternPeriod;
        spanStart = onLoop(profile, position - spanWidth / 2);
    } else if (!profile.patternPeriod && count >= 3) {
        const Run& before = metrics.runs[(index + count - 1) % count];
        const Run& after = metrics.runs[(index + 1) % count];
        spanStart = before.start;
        spanWidth = before.width + run.width + after.width;
    }
    f.periodStart = spanStart;
    f.periodEnd = profile.position.empty() ? 0 : profile.position.back();
    if (spanWidth < period) {
        f.periodEnd = spanStart + spanWidth;
        if (f.periodEnd > f.periodStart && f.periodEnd > profile.position.back() + profileStep(profile) / 2)
            f.periodEnd -= period;
    }
    const Extremes e = extremesOver(profile, spanStart, spanWidth, period);
    f.peak = e.peak;
    f.peakPosition = e.peakPosition;
    f.minimum = e.minimum;
    f.minimumPosition = e.minimumPosition;
    f.contrast = (e.peak - e.minimum) / (e.peak + e.minimum);
    return f;
}

FeatureMetrics featureAtThreshold(const Profile& profile, double position, bool bright, double t) {
    return measureFeature(profile, measureProfile(profile, t), position, bright);
}

bool brightFeatureAt(const Profile& profile, double position) {
    if (profile.position.empty()) return true;
    const CutMetrics m = measureProfile(profile, std::nullopt);
    return profileValueAt(profile, position) >= (m.peak + m.minimum) / 2;
}

bool checkFeaturePosition(const Profile& profile, double position, std::string& error) {
    if (profile.position.empty()) {
        error = "the cut is empty";
        return false;
    }
    const double lo = profile.position.front();
    const double hi = profile.position.back();
    const double half = profileStep(profile) / 2;
    if (!(position >= lo - half && position <= hi + half)) {
        char text[160];
        std::snprintf(text, sizeof text, "--feature-at %s lies outside the cut (%s .. %s)", shortText(position).c_str(),
                      shortText(lo).c_str(), shortText(hi).c_str());
        error = text;
        return false;
    }
    return true;
}

} // namespace aerial_tool
