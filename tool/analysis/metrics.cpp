#include "analysis/metrics.h"

#include <cmath>
#include <limits>

namespace aerial_tool {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double nilsWidth(const std::vector<Run>& runs, size_t left, size_t right) {
    for (bool bright : {true, false}) {
        for (size_t k : {left, right}) {
            if (runs[k].bright == bright && runs[k].bounded) return runs[k].width();
        }
    }
    return kNaN;
}

} // namespace

CutMetrics measureProfile(const Profile& profile, std::optional<double> threshold) {
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

    double runStart = x[0];
    bool bright = v[0] >= t;
    bool startBounded = false;
    for (size_t i = 0; i + 1 < n; ++i) {
        const bool nextBright = v[i + 1] >= t;
        if (nextBright == bright) continue;
        const double dx = x[i + 1] - x[i];
        const double dv = v[i + 1] - v[i];
        const double at = x[i] + (t - v[i]) / dv * dx;
        const double slope = dv / dx;
        m.crossings.push_back({at, slope, std::fabs(slope) / t, kNaN});
        m.runs.push_back({bright, runStart, at, startBounded});
        runStart = at;
        startBounded = true;
        bright = nextBright;
    }
    m.runs.push_back({bright, runStart, x[n - 1], false});
    for (size_t k = 0; k < m.crossings.size(); ++k) {
        Crossing& c = m.crossings[k];
        c.nils = c.logSlope * nilsWidth(m.runs, k, k + 1);
    }
    return m;
}

const Run* runAt(const CutMetrics& metrics, double position) {
    for (const Run& run : metrics.runs) {
        if (position >= run.start && position <= run.end) return &run;
    }
    return nullptr;
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
