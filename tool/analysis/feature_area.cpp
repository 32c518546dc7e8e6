#include "analysis/feature_area.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "analysis/continuous_cut.h"

namespace aerial_tool {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool inRegion(double v, double t, bool bright) { return bright ? v >= t : v < t; }

// The part of a triangle, linear between its corner values, that lies in the region.
double fractionIn(const double v[3], double t, bool bright) {
    int in = 0;
    for (int k = 0; k < 3; ++k) in += inRegion(v[k], t, bright) ? 1 : 0;
    if (in == 0) return 0;
    if (in == 3) return 1;
    // The corner alone on its side, and where the level cuts its two edges: the small
    // triangle at that corner is the product of the two fractions of the edges.
    const bool loneIn = in == 1;
    int p = 0;
    for (int k = 0; k < 3; ++k)
        if (inRegion(v[k], t, bright) == loneIn) p = k;
    const double a = v[(p + 1) % 3], b = v[(p + 2) % 3];
    const double small = (v[p] - t) / (v[p] - a) * ((v[p] - t) / (v[p] - b));
    return loneIn ? small : 1 - small;
}

} // namespace

AreaGauge::AreaGauge(const ImageSamples& image) : image_(image) {
    const int n = image_.size;
    const int degree = image_.degree();
    factor_ = degree >= 0 ? kAreaResampling : 1;
    fine_ = n * factor_;
    if (degree >= 0) {
        kernel_.resize(fine_);
        for (int r = 0; r < fine_; ++r) kernel_[r] = trigKernel(n, degree, static_cast<double>(r) / factor_);
        rows_.resize(fine_);
    }
}

double AreaGauge::node(int i, int j) const {
    if (factor_ == 1) return image_.at(i, j);
    if (nodes_.empty()) nodes_.assign(static_cast<size_t>(fine_) * fine_, kNaN);
    double& v = nodes_[static_cast<size_t>(i) * fine_ + j];
    if (!std::isnan(v)) return v;
    const int n = image_.size;
    std::vector<double>& rows = rows_[i];
    // The weight of sample p at node i is kernel_[(i - factor p) mod fine]: the index steps
    // down by the factor from sample to sample, round the period.
    if (rows.empty()) {
        rows.assign(n, 0.0);
        for (int q = 0; q < n; ++q) {
            double sum = 0;
            for (int p = 0, r = i; p < n; ++p, r = r >= factor_ ? r - factor_ : r - factor_ + fine_)
                sum += kernel_[r] * image_.at(p, q);
            rows[q] = sum;
        }
    }
    double sum = 0;
    for (int q = 0, r = j; q < n; ++q, r = r >= factor_ ? r - factor_ : r - factor_ + fine_) sum += kernel_[r] * rows[q];
    return v = sum;
}

namespace {

// Per triangle of the fine grid: the search that last reached it (a counter, so nothing is
// cleared between searches) and how often that search wrapped round the grid on the way.
// One set per thread, shared by all gauges: a search runs to its end before the next.
struct Visit {
    int i, j, k;
    int lx, ly; // how often the search wrapped round the grid along X and Y to get here
};

struct Mark {
    std::uint32_t search;
    std::int16_t liftX, liftY;
};

struct Visits {
    std::vector<Visit> queue; // kept between searches: a region of many triangles is not
                              // allocated afresh at every threshold
    std::vector<Mark> marks;
    std::uint32_t current = 0;

    void start(size_t triangles) {
        if (marks.size() < triangles) {
            marks.assign(triangles, Mark{0, 0, 0});
            current = 0;
        }
        if (++current == 0) { // the counter wrapped: forget every earlier search
            std::fill(marks.begin(), marks.end(), Mark{0, 0, 0});
            current = 1;
        }
    }
};

Visits& visits() {
    thread_local Visits v;
    return v;
}

} // namespace

AreaFigure AreaGauge::area(double x, double y, double t, bool bright) const {
    AreaFigure out{FeatureStatus::kNotPrinted, kNaN};
    const int f = fine_;
    if (f < 2) return out;
    const double h = image_.samplePitch / factor_;
    // The place in fine nodes from node 0, round the grid.
    auto fineOf = [&](double position) {
        double u = std::fmod((position - image_.position(0)) / h, static_cast<double>(f));
        return u < 0 ? u + f : u;
    };
    const double u = fineOf(x), w = fineOf(y);
    const int i0 = std::min(f - 1, static_cast<int>(u)), j0 = std::min(f - 1, static_cast<int>(w));
    const double a = u - i0, b = w - j0;
    auto wrap = [f](int k) { return k == f ? 0 : k; };
    // Triangle 0 of cell (i, j): nodes (i, j), (i+1, j), (i+1, j+1), below the diagonal;
    // triangle 1: (i, j), (i+1, j+1), (i, j+1), above it.
    auto corners = [&](int i, int j, int k, double v[3]) {
        v[0] = node(i, j);
        v[1] = k == 0 ? node(wrap(i + 1), j) : node(wrap(i + 1), wrap(j + 1));
        v[2] = k == 0 ? node(wrap(i + 1), wrap(j + 1)) : node(i, wrap(j + 1));
    };
    const int seedK = a >= b ? 0 : 1;
    {
        double v[3];
        corners(i0, j0, seedK, v);
        const double at = seedK == 0 ? v[0] + a * (v[1] - v[0]) + b * (v[2] - v[1])
                                     : v[0] + b * (v[2] - v[0]) + a * (v[1] - v[2]);
        if (!inRegion(at, t, bright)) return out;
    }
    Visits& seen = visits();
    seen.start(2 * static_cast<size_t>(f) * f);
    std::vector<Visit>& queue = seen.queue;
    queue.clear();
    queue.push_back({i0, j0, seedK, 0, 0});
    auto id = [f](int i, int j, int k) { return 2 * (static_cast<size_t>(i) * f + j) + k; };
    seen.marks[id(i0, j0, seedK)] = Mark{seen.current, 0, 0};
    double fraction = 0;
    for (size_t head = 0; head < queue.size(); ++head) {
        const Visit c = queue[head];
        double v[3];
        corners(c.i, c.j, c.k, v);
        fraction += fractionIn(v, t, bright);
        // The three neighbours across the edges, with the two corner values of each edge.
        struct Step {
            int di, dj, k;
            double e0, e1;
        };
        Step all[3];
        if (c.k == 0) {
            all[0] = {0, -1, 1, v[0], v[1]}; // bottom edge: triangle 1 of the cell below
            all[1] = {1, 0, 1, v[1], v[2]};  // right edge: triangle 1 of the cell to the right
            all[2] = {0, 0, 1, v[0], v[2]};  // the diagonal
        } else {
            all[0] = {0, 1, 0, v[1], v[2]};  // top edge: triangle 0 of the cell above
            all[1] = {-1, 0, 0, v[0], v[2]}; // left edge: triangle 0 of the cell to the left
            all[2] = {0, 0, 0, v[0], v[1]};  // the diagonal
        }
        for (const Step& s : all) {
            if (!inRegion(s.e0, t, bright) && !inRegion(s.e1, t, bright)) continue;
            int i = c.i + s.di, j = c.j + s.dj, lx = c.lx, ly = c.ly;
            if (i == f) { i = 0; ++lx; }
            if (i < 0) { i = f - 1; --lx; }
            if (j == f) { j = 0; ++ly; }
            if (j < 0) { j = f - 1; --ly; }
            Mark& mark = seen.marks[id(i, j, s.k)];
            if (mark.search == seen.current) {
                if (mark.liftX != lx || mark.liftY != ly) {
                    out.status = FeatureStatus::kMerged;
                    return out;
                }
                continue;
            }
            mark = Mark{seen.current, static_cast<std::int16_t>(lx), static_cast<std::int16_t>(ly)};
            queue.push_back({i, j, s.k, lx, ly});
        }
    }
    out.status = FeatureStatus::kMeasured;
    out.area = fraction * (h * h / 2);
    return out;
}

} // namespace aerial_tool
