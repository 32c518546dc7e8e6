#include "analysis/metrics.h"

#include <cmath>
#include <cstdio>
#include <limits>

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

// Extremes of the samples lying within `width` after `start` round the loop.
Extremes extremesOver(const Profile& profile, double start, double width, double period) {
    Extremes e{-std::numeric_limits<double>::infinity(), kNaN,
               std::numeric_limits<double>::infinity(), kNaN};
    for (size_t i = 0; i < profile.intensity.size(); ++i) {
        const double x = profile.position[i];
        if (width < period && forwardOffset(start, x, period) > width) continue;
        const double v = profile.intensity[i];
        if (v > e.peak) { e.peak = v; e.peakPosition = x; }
        if (v < e.minimum) { e.minimum = v; e.minimumPosition = x; }
    }
    return e;
}

Edge edgeOf(const Crossing& c, double cd) { return {c.position, c.slope, c.logSlope, c.logSlope * cd}; }

} // namespace

double profileStep(const Profile& profile) {
    const size_t n = profile.position.size();
    return n < 2 ? 0.0 : (profile.position[n - 1] - profile.position[0]) / static_cast<double>(n - 1);
}

double profilePeriod(const Profile& profile) {
    return profileStep(profile) * static_cast<double>(profile.position.size());
}

const char* statusText(FeatureStatus status) {
    switch (status) {
    case FeatureStatus::kMeasured: return "measured";
    case FeatureStatus::kMerged: return "merged";
    case FeatureStatus::kNotPrinted: return "not printed";
    }
    return "not printed";
}

CutMetrics measureProfile(const Profile& profile, std::optional<double> threshold, bool brightFeature) {
    CutMetrics m;
    const std::vector<double>& x = profile.position;
    const std::vector<double>& v = profile.intensity;
    const size_t n = v.size();
    if (n == 0) return m;
    m.peak = m.minimum = v[0];
    m.peakPosition = m.minimumPosition = x[0];
    for (size_t i = 1; i < n; ++i) {
        if (v[i] > m.peak) { m.peak = v[i]; m.peakPosition = x[i]; }
        if (v[i] < m.minimum) { m.minimum = v[i]; m.minimumPosition = x[i]; }
    }
    m.contrast = (m.peak - m.minimum) / (m.peak + m.minimum);
    m.threshold = threshold;
    if (!threshold) return m;
    const double t = *threshold;
    const double period = profilePeriod(profile);

    // Segment i joins sample i to the next one round the loop; the last segment ends one
    // step past the last sample, where the first sample repeats.
    for (size_t i = 0; i < n && n > 1; ++i) {
        const size_t j = i + 1 < n ? i + 1 : 0;
        if ((v[i] >= t) == (v[j] >= t)) continue;
        const double dx = j != 0 ? x[j] - x[i] : profileStep(profile);
        const double dv = v[j] - v[i];
        const double at = x[i] + (t - v[i]) / dv * dx;
        const double slope = dv / dx;
        m.crossings.push_back({at, slope, std::fabs(slope) / t, kNaN});
    }
    const size_t count = m.crossings.size();
    if (count == 0) {
        m.runs.push_back({v[0] >= t, x[0], x[0] + period, period, true});
        return m;
    }
    for (size_t k = 0; k < count; ++k) {
        const Crossing& from = m.crossings[k];
        const Crossing& to = m.crossings[(k + 1) % count];
        const double width = k + 1 < count ? to.position - from.position : to.position + period - from.position;
        m.runs.push_back({from.slope > 0, from.position, to.position, width, false});
    }
    // Crossing k ends run k - 1 and starts run k.
    for (size_t k = 0; k < count; ++k) {
        const Run& before = m.runs[(k + count - 1) % count];
        const Run& after = m.runs[k];
        const Run& feature = before.bright == brightFeature ? before : after;
        m.crossings[k].nils = m.crossings[k].logSlope * feature.width;
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
    // The period around the place: from the start of the run before to the end of the run
    // after (with two runs, those are one run and the span is the whole loop).
    double spanStart = profile.position.empty() ? 0 : profile.position[0];
    double spanWidth = period;
    if (count >= 3) {
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
    return measureFeature(profile, measureProfile(profile, t, bright), position, bright);
}

bool brightFeatureAt(const Profile& profile, double position) {
    const CutMetrics m = measureProfile(profile, std::nullopt);
    const std::vector<double>& x = profile.position;
    size_t nearest = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (std::fabs(x[i] - position) < std::fabs(x[nearest] - position)) nearest = i;
    }
    return x.empty() || profile.intensity[nearest] >= (m.peak + m.minimum) / 2;
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
        std::snprintf(text, sizeof text, "--feature-at %g lies outside the cut (%g .. %g)", position, lo, hi);
        error = text;
        return false;
    }
    return true;
}

bool selectCut(const ResultTableData& table, CutAxis axis, double offset, int& index,
               std::string& error) {
    const std::vector<double>& labels = axis == CutAxis::kX ? table.yLabels : table.xLabels;
    const double step = axis == CutAxis::kX ? table.yStep() : table.xStep();
    if (labels.empty()) {
        error = "empty table";
        return false;
    }
    int best = 0;
    for (int k = 1; k < static_cast<int>(labels.size()); ++k) {
        if (std::fabs(labels[k] - offset) < std::fabs(labels[best] - offset)) best = k;
    }
    if (std::fabs(labels[best] - offset) > std::fabs(step) / 2 + 1e-9) {
        error = "offset " + std::to_string(offset) + " lies outside the grid (" +
                std::to_string(labels.front()) + " .. " + std::to_string(labels.back()) + ")";
        return false;
    }
    index = best;
    return true;
}

Profile cutProfile(const ResultTableData& table, CutAxis axis, int index) {
    Profile p;
    const int n = table.size;
    const int c = n / 2;
    const double step = axis == CutAxis::kX ? table.xStep() : table.yStep();
    for (int k = 0; k < n; ++k) {
        p.position.push_back((k - c) * step);
        p.intensity.push_back(axis == CutAxis::kX ? table.at(k, index) : table.at(index, k));
    }
    return p;
}

} // namespace aerial_tool
