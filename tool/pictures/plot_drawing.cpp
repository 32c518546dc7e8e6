#include "pictures/plot_drawing.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace aerial_tool {

namespace {

constexpr const char* kFont = "DejaVu Sans";

struct Range {
    double lo, hi;
};

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them inside the range.
std::vector<double> niceTicks(Range r, int count) {
    std::vector<double> ticks;
    const double span = r.hi - r.lo;
    if (!(span > 0) || !std::isfinite(span)) return {r.lo};
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= raw) break;
    }
    for (double t = std::ceil(r.lo / step - 1e-9) * step; t <= r.hi + step * 1e-9; t += step)
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    return ticks;
}

std::string tickText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

Range finiteRange(const std::vector<double>& values) {
    Range r{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        r.lo = std::min(r.lo, v);
        r.hi = std::max(r.hi, v);
    }
    if (!(r.lo <= r.hi)) return {0, 1};
    return r;
}

// A flat table still needs a scale: the value sits mid-bar.
Range widened(Range r) {
    if (r.hi > r.lo) return r;
    const double pad = r.lo == 0 ? 0.5 : std::fabs(r.lo) * 0.05;
    return {r.lo - pad, r.hi + pad};
}

enum class Align { kLeft, kCentre, kRight };

void text(cairo_t* cr, double x, double y, const std::string& s, double size, Align align,
          bool bold = false, bool vertical = false) {
    cairo_save(cr);
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_translate(cr, x, y);
    if (vertical) cairo_rotate(cr, -M_PI / 2);
    double dx = align == Align::kLeft ? 0 : align == Align::kCentre ? -e.x_advance / 2 : -e.x_advance;
    cairo_move_to(cr, dx, size * 0.35);
    cairo_show_text(cr, s.c_str());
    cairo_restore(cr);
}

void setRgb(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

bool finish(cairo_surface_t* surface, cairo_t* cr, const std::string& path) {
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

cairo_t* whiteCanvas(cairo_surface_t* surface) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    return cr;
}

// Axes, ticks and grid of a line plot in the box (left, top, width, height).
struct PlotBox {
    double left, top, width, height;
    Range x, y;
    double px(double v) const { return left + (v - x.lo) / (x.hi - x.lo) * width; }
    double py(double v) const { return top + height - (v - y.lo) / (y.hi - y.lo) * height; }
};

void drawAxes(cairo_t* cr, const PlotBox& b, const std::string& axisX, const std::string& axisY) {
    cairo_set_line_width(cr, 1);
    for (double t : niceTicks(b.x, 6)) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, b.px(t), b.top);
        cairo_line_to(cr, b.px(t), b.top + b.height);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, b.px(t), b.top + b.height + 14, tickText(t), 12, Align::kCentre);
    }
    for (double t : niceTicks(b.y, 5)) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, b.left, b.py(t));
        cairo_line_to(cr, b.left + b.width, b.py(t));
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, b.left - 6, b.py(t), tickText(t), 12, Align::kRight);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, b.left, b.top, b.width, b.height);
    cairo_stroke(cr);
    text(cr, b.left + b.width / 2, b.top + b.height + 36, axisX, 13, Align::kCentre);
    text(cr, b.left - 58, b.top + b.height / 2, axisY, 13, Align::kCentre, false, true);
}

const Rgb kSeriesColours[] = {{31, 119, 180}, {214, 39, 40}, {44, 160, 44}, {148, 103, 189},
                              {255, 127, 14}, {140, 86, 75}};

} // namespace

Rgb viridis(double t) {
    // A degree-6 polynomial fit of the viridis table, accurate to about 1/255.
    t = std::clamp(t, 0.0, 1.0);
    static const double c[7][3] = {
        {0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
        {0.1050930431085774, 1.404613529898575, 1.384590162594685},
        {-0.3308618287255563, 0.214847559468213, 0.09509516302823659},
        {-4.634230498983486, -5.799100973351585, -19.33244095627987},
        {6.228269936347081, 14.17993336680509, 56.69055260068105},
        {4.776384997670288, -13.74514537767095, -65.35303263337234},
        {-5.435455855934631, 4.645852612178535, 26.3124352495832}};
    double rgb[3];
    for (int k = 0; k < 3; ++k) {
        double v = c[6][k];
        for (int d = 5; d >= 0; --d) v = v * t + c[d][k];
        rgb[k] = std::clamp(v, 0.0, 1.0);
    }
    auto byte = [](double v) { return static_cast<unsigned char>(std::lround(v * 255)); };
    return {byte(rgb[0]), byte(rgb[1]), byte(rgb[2])};
}

bool writeHeatmapPng(const ResultTableData& table, const HeatmapText& labels, const std::string& path) {
    using L = HeatmapLayout;
    const int n = table.size;
    if (n <= 0) return false;
    const Range range = widened(finiteRange(table.values));

    // One pixel per sample, painted up with the nearest-sample filter: each sample shows
    // as a crisp square, as the grid it is.
    cairo_surface_t* samples = cairo_image_surface_create(CAIRO_FORMAT_RGB24, n, n);
    unsigned char* data = cairo_image_surface_get_data(samples);
    const int stride = cairo_image_surface_get_stride(samples);
    cairo_surface_flush(samples);
    for (int y = 0; y < n; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + (n - 1 - y) * stride);
        for (int x = 0; x < n; ++x) {
            const double v = table.at(x, y);
            Rgb c = std::isfinite(v) ? viridis((v - range.lo) / (range.hi - range.lo)) : Rgb{160, 160, 160};
            row[x] = (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
        }
    }
    cairo_surface_mark_dirty(samples);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, L::kWidth, L::kHeight);
    cairo_t* cr = whiteCanvas(surface);
    cairo_save(cr);
    cairo_translate(cr, L::kPlotLeft, L::kPlotTop);
    cairo_scale(cr, double(L::kPlotSize) / n, double(L::kPlotSize) / n);
    cairo_set_source_surface(cr, samples, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0, 0, n, n);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(samples);

    // Axes in the table's own labels: sample k's square is centred on its label.
    const double halfX = table.xStep() / 2, halfY = table.yStep() / 2;
    PlotBox box{double(L::kPlotLeft), double(L::kPlotTop), double(L::kPlotSize), double(L::kPlotSize),
                {table.xLabels.front() - halfX, table.xLabels.back() + halfX},
                {table.yLabels.front() - halfY, table.yLabels.back() + halfY}};
    if (!(box.x.hi > box.x.lo)) box.x = {-0.5, 0.5};
    if (!(box.y.hi > box.y.lo)) box.y = {-0.5, 0.5};
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    for (double t : niceTicks(box.x, 6)) {
        cairo_move_to(cr, box.px(t), box.top + box.height);
        cairo_line_to(cr, box.px(t), box.top + box.height + 5);
        cairo_stroke(cr);
        text(cr, box.px(t), box.top + box.height + 16, tickText(t), 12, Align::kCentre);
    }
    for (double t : niceTicks(box.y, 6)) {
        cairo_move_to(cr, box.left - 5, box.py(t));
        cairo_line_to(cr, box.left, box.py(t));
        cairo_stroke(cr);
        text(cr, box.left - 8, box.py(t), tickText(t), 12, Align::kRight);
    }
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_stroke(cr);
    if (labels.circleRadius && *labels.circleRadius > 0) {
        const double r = *labels.circleRadius;
        cairo_save(cr);
        cairo_rectangle(cr, box.left, box.top, box.width, box.height);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 1.2);
        const double dash[] = {4, 3};
        cairo_set_dash(cr, dash, 2, 0);
        const double rx = std::fabs(box.px(r) - box.px(0)), ry = std::fabs(box.py(r) - box.py(0));
        cairo_translate(cr, box.px(0), box.py(0));
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        cairo_save(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 1.2);
        cairo_set_dash(cr, dash, 2, 0);
        cairo_stroke(cr);
        cairo_restore(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        text(cr, box.px(0) + rx * 0.75 + 4, box.py(0) - ry * 0.75 - 8, labels.circleLabel, 11, Align::kLeft);
        cairo_set_source_rgb(cr, 0, 0, 0);
    }
    text(cr, box.left + box.width / 2, box.top + box.height + 40, labels.axisX, 13, Align::kCentre);
    text(cr, box.left - 66, box.top + box.height / 2, labels.axisY, 13, Align::kCentre, false, true);
    text(cr, L::kWidth / 2.0, 24, labels.title, 16, Align::kCentre, true);

    // Colour bar with its value range.
    const double barTop = L::kPlotTop, barHeight = L::kPlotSize;
    for (int k = 0; k < int(barHeight); ++k) {
        setRgb(cr, viridis(1.0 - (k + 0.5) / barHeight));
        cairo_rectangle(cr, L::kBarLeft, barTop + k, L::kBarWidth, 1);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, L::kBarLeft, barTop, L::kBarWidth, barHeight);
    cairo_stroke(cr);
    PlotBox bar{double(L::kBarLeft), barTop, double(L::kBarWidth), barHeight, {0, 1}, range};
    for (double t : niceTicks(range, 6)) {
        cairo_move_to(cr, L::kBarLeft + L::kBarWidth, bar.py(t));
        cairo_line_to(cr, L::kBarLeft + L::kBarWidth + 4, bar.py(t));
        cairo_stroke(cr);
        text(cr, L::kBarLeft + L::kBarWidth + 7, bar.py(t), tickText(t), 11, Align::kLeft);
    }
    char rangeText[96];
    std::snprintf(rangeText, sizeof rangeText, "min %.4g   max %.4g", range.lo, range.hi);
    text(cr, L::kBarLeft + L::kBarWidth / 2.0, barTop + barHeight + 40, rangeText, 11, Align::kCentre);
    text(cr, L::kBarLeft + L::kBarWidth / 2.0, barTop - 14, labels.valueName, 12, Align::kCentre);
    return finish(surface, cr, path);
}

namespace {

bool drawSeries(const std::vector<std::vector<double>>& xs, const std::vector<std::vector<double>>& ys,
                const std::vector<std::string>& names, std::optional<double> threshold, bool markers,
                const std::string& title, const std::string& axisX, const std::string& axisY,
                const std::string& path) {
    constexpr int kWidth = 720, kHeight = 460;
    std::vector<double> allX, allY;
    for (const auto& v : xs) allX.insert(allX.end(), v.begin(), v.end());
    for (const auto& v : ys) allY.insert(allY.end(), v.begin(), v.end());
    if (threshold) allY.push_back(*threshold);
    Range rx = widened(finiteRange(allX));
    Range ry = widened(finiteRange(allY));
    const double pad = (ry.hi - ry.lo) * 0.06;
    ry = {ry.lo - pad, ry.hi + pad};

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = whiteCanvas(surface);
    PlotBox box{84, 50, kWidth - 84 - 170, kHeight - 50 - 62, rx, ry};
    drawAxes(cr, box, axisX, axisY);
    text(cr, kWidth / 2.0, 24, title, 16, Align::kCentre, true);
    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_clip(cr);
    if (threshold) {
        const double dash[] = {6, 4};
        cairo_set_dash(cr, dash, 2, 0);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        cairo_set_line_width(cr, 1.5);
        cairo_move_to(cr, box.left, box.py(*threshold));
        cairo_line_to(cr, box.left + box.width, box.py(*threshold));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }
    for (size_t s = 0; s < xs.size(); ++s) {
        setRgb(cr, kSeriesColours[s % 6]);
        cairo_set_line_width(cr, 2);
        bool pen = false;
        for (size_t i = 0; i < xs[s].size(); ++i) {
            const double x = xs[s][i], y = ys[s][i];
            if (!std::isfinite(y)) { pen = false; continue; }
            if (pen) cairo_line_to(cr, box.px(x), box.py(y));
            else cairo_move_to(cr, box.px(x), box.py(y));
            pen = true;
        }
        cairo_stroke(cr);
        if (markers) {
            for (size_t i = 0; i < xs[s].size(); ++i) {
                if (!std::isfinite(ys[s][i])) continue;
                cairo_arc(cr, box.px(xs[s][i]), box.py(ys[s][i]), 3.5, 0, 2 * M_PI);
                cairo_fill(cr);
            }
        }
    }
    cairo_restore(cr);
    // Legend beside the plot.
    double ly = box.top + 10;
    for (size_t s = 0; s < names.size(); ++s, ly += 20) {
        setRgb(cr, kSeriesColours[s % 6]);
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, box.left + box.width + 14, ly);
        cairo_line_to(cr, box.left + box.width + 38, ly);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, box.left + box.width + 44, ly, names[s], 12, Align::kLeft);
    }
    if (threshold) {
        char t[48];
        std::snprintf(t, sizeof t, "threshold %.4g", *threshold);
        const double dash[] = {6, 4};
        cairo_set_dash(cr, dash, 2, 0);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        cairo_set_line_width(cr, 1.5);
        cairo_move_to(cr, box.left + box.width + 14, ly);
        cairo_line_to(cr, box.left + box.width + 38, ly);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, box.left + box.width + 44, ly, t, 12, Align::kLeft);
    }
    return finish(surface, cr, path);
}

} // namespace

bool writeCutlinePng(const std::vector<CutlineSeries>& series, std::optional<double> threshold,
                     const std::string& title, const std::string& axisX, const std::string& path) {
    std::vector<std::vector<double>> xs, ys;
    std::vector<std::string> names;
    for (const CutlineSeries& s : series) {
        xs.push_back(s.profile.position);
        ys.push_back(s.profile.intensity);
        names.push_back(s.label);
    }
    return drawSeries(xs, ys, names, threshold, false, title, axisX, "intensity", path);
}

bool writeLinePlotPng(const std::vector<BossungSeries>& series, const std::string& title,
                      const std::string& axisX, const std::string& axisY, const std::string& path) {
    std::vector<std::vector<double>> xs, ys;
    std::vector<std::string> names;
    for (const BossungSeries& s : series) {
        xs.push_back(s.defocus);
        ys.push_back(s.cd);
        names.push_back(s.label);
    }
    return drawSeries(xs, ys, names, std::nullopt, true, title, axisX, axisY, path);
}

} // namespace aerial_tool
