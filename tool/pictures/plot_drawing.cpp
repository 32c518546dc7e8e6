#include "pictures/plot_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>

#include "pictures/canvas.h"
#include "io/number_text.h"
#include "pictures/drawing_parts.h"

namespace aerial_tool {

// ---- colour maps

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

namespace {

// Oklab to sRGB bytes (Bjorn Ottosson's matrices), clamped to the gamut.
Rgb fromOklab(double L, double a, double b) {
    const double l_ = L + 0.3963377774 * a + 0.2158037573 * b;
    const double m_ = L - 0.1055613458 * a - 0.0638541728 * b;
    const double s_ = L - 0.0894841775 * a - 1.2914855480 * b;
    const double l = l_ * l_ * l_, m = m_ * m_ * m_, s = s_ * s_ * s_;
    const double linear[3] = {4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s,
                              -1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s,
                              -0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s};
    unsigned char out[3];
    for (int k = 0; k < 3; ++k) {
        const double v = std::clamp(linear[k], 0.0, 1.0);
        const double g = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        out[k] = static_cast<unsigned char>(std::lround(std::clamp(g, 0.0, 1.0) * 255));
    }
    return {out[0], out[1], out[2]};
}

} // namespace

Rgb cyclicColour(double phase) {
    // Lightness and the two opponent axes are periodic in the phase itself, so the loop
    // closes by construction: cos and sin of -pi and +pi are equal.
    const double c = std::cos(phase), s = std::sin(phase);
    return fromOklab(0.62 + 0.27 * c, 0.11 * s, 0.075 * s - 0.02 * c);
}

namespace {

// ---- heatmaps

struct ColourMapping {
    ColourScale scale;
    Range range;  // of the value (linear), of log10 of the value (logarithmic), -pi..pi
    Rgb colour(double v) const {
        if (!std::isfinite(v)) return kHiddenGrey;
        switch (scale) {
        case ColourScale::kCyclic: return cyclicColour(v);
        case ColourScale::kLogarithmic: {
            const double l = v > 0 ? std::log10(v) : range.lo;
            return viridis((std::max(l, range.lo) - range.lo) / (range.hi - range.lo));
        }
        case ColourScale::kLinear: break;
        }
        return viridis((v - range.lo) / (range.hi - range.lo));
    }
    // The colour at a fraction of the bar, 0 at its foot.
    Rgb barColour(double t) const {
        if (scale == ColourScale::kCyclic) return cyclicColour(-M_PI + t * 2 * M_PI);
        return viridis(t);
    }
};

ColourMapping mappingFor(const ResultTableData& table, const HeatmapPicture& p) {
    if (p.scale == ColourScale::kCyclic) return {ColourScale::kCyclic, {-M_PI, M_PI}};
    const Range r = finiteRange(table.values);
    if (p.scale == ColourScale::kLogarithmic && r.hi > 0 && p.logFloor > 0 && p.logFloor < 1) {
        const double top = std::log10(r.hi);
        return {ColourScale::kLogarithmic, {top + std::log10(p.logFloor), top}};
    }
    return {ColourScale::kLinear, widened(r)};
}

std::string decadeText(int power) {
    if (power == 0) return "1";
    return "1e" + std::to_string(power);
}

void drawColourBar(cairo_t* cr, const ColourMapping& map, const HeatmapPicture& p) {
    using L = HeatmapLayout;
    const double top = L::kPlotTop, height = L::kPlotSize;
    const int steps = 220;
    for (int k = 0; k < steps; ++k) {
        setRgb(cr, map.barColour(1.0 - (k + 0.5) / steps));
        cairo_rectangle(cr, L::kBarLeft, top + k * height / steps, L::kBarWidth, height / steps + 0.5);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, L::kBarLeft, top, L::kBarWidth, height);
    cairo_stroke(cr);
    PlotBox bar{double(L::kBarLeft), top, double(L::kBarWidth), height, {0, 1}, map.range};
    auto tick = [&](double at, const std::string& label) {
        cairo_move_to(cr, L::kBarLeft + L::kBarWidth, bar.py(at));
        cairo_line_to(cr, L::kBarLeft + L::kBarWidth + 4, bar.py(at));
        cairo_stroke(cr);
        text(cr, L::kBarLeft + L::kBarWidth + 7, bar.py(at), label, 11, Align::kLeft);
    };
    std::string note;
    switch (map.scale) {
    case ColourScale::kCyclic: {
        const char* names[] = {"-\u03c0", "-\u03c0/2", "0", "\u03c0/2", "\u03c0"};
        for (int k = 0; k < 5; ++k) tick(-M_PI + k * M_PI / 2, names[k]);
        note = "ends meet at \u00b1\u03c0";
        break;
    }
    case ColourScale::kLogarithmic: {
        for (int d = int(std::ceil(map.range.lo - 1e-9)); d <= int(std::floor(map.range.hi + 1e-9)); ++d)
            tick(d, decadeText(d));
        note = "peak " + shortText(std::pow(10.0, map.range.hi), 4) + ", log scale";
        break;
    }
    case ColourScale::kLinear:
        for (double t : niceTicks(map.range, 6)) tick(t, tickText(t));
        note = "min " + shortText(map.range.lo, 4) + "  max " + shortText(map.range.hi, 4);
        break;
    }
    text(cr, L::kBarLeft + L::kBarWidth / 2.0, top + height + 34, note, 11, Align::kCentre);
    text(cr, L::kBarLeft + L::kBarWidth / 2.0, top - 12, p.valueName, 12, Align::kCentre);
}

// The legend under the plot: a short line of each overlay's colour and its words.
struct LegendEntry {
    Rgb colour;
    bool dashed;
    bool swatch; // a filled square instead of a line
    std::string words;
};

void drawLegend(cairo_t* cr, double x, double y, const std::vector<LegendEntry>& entries) {
    for (const LegendEntry& e : entries) {
        cairo_save(cr);
        if (e.swatch) {
            setRgb(cr, e.colour);
            cairo_rectangle(cr, x, y - 5, 18, 10);
            cairo_fill(cr);
        } else {
            // A dark ground under the line, so a white or yellow line shows on paper.
            cairo_set_source_rgb(cr, 0.27, 0.0, 0.33);
            cairo_rectangle(cr, x - 2, y - 5, 22, 10);
            cairo_fill(cr);
            setRgb(cr, e.colour);
            cairo_set_line_width(cr, 2);
            if (e.dashed) {
                const double dash[] = {4, 3};
                cairo_set_dash(cr, dash, 2, 0);
            }
            cairo_move_to(cr, x, y);
            cairo_line_to(cr, x + 18, y);
            cairo_stroke(cr);
        }
        cairo_restore(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, x + 24, y, e.words, 11, Align::kLeft);
        x += 24 + textWidth(cr, e.words, 11) + 18;
    }
}

} // namespace

void drawHeatmap(cairo_t* cr, const ResultTableData& table, const HeatmapPicture& p) {
    using L = HeatmapLayout;
    const int n = table.size;
    const ColourMapping map = mappingFor(table, p);
    const bool gated = p.shown.size() == table.values.size();

    // One pixel per sample, painted up with the nearest-sample filter: each sample shows
    // as a crisp square, as the grid it is.
    cairo_surface_t* samples = cairo_image_surface_create(CAIRO_FORMAT_RGB24, n, n);
    cairo_surface_flush(samples);
    unsigned char* data = cairo_image_surface_get_data(samples);
    const int stride = cairo_image_surface_get_stride(samples);
    for (int y = 0; y < n; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + (n - 1 - y) * stride);
        for (int x = 0; x < n; ++x) {
            const bool show = !gated || p.shown[size_t(y) * n + x];
            const Rgb c = show ? map.colour(table.at(x, y)) : kHiddenGrey;
            row[x] = (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
        }
    }
    cairo_surface_mark_dirty(samples);

    // The table's extent: sample k's square is centred on its label.
    const double hx = table.xStep() / 2, hy = table.yStep() / 2;
    ViewWindow full{table.xLabels.front() - hx, table.xLabels.back() + hx,
                    table.yLabels.front() - hy, table.yLabels.back() + hy};
    ViewWindow v = p.view.value_or(full);
    v = {std::max(v.xLow, full.xLow), std::min(v.xHigh, full.xHigh), std::max(v.yLow, full.yLow),
         std::min(v.yHigh, full.yHigh)};
    if (!(v.xHigh > v.xLow) || !(v.yHigh > v.yLow)) v = full;
    if (!(v.xHigh > v.xLow)) v.xLow = -0.5, v.xHigh = 0.5;
    if (!(v.yHigh > v.yLow)) v.yLow = -0.5, v.yHigh = 0.5;
    const PlotBox box{double(L::kPlotLeft), double(L::kPlotTop), double(L::kPlotSize),
                      double(L::kPlotSize), {v.xLow, v.xHigh}, {v.yLow, v.yHigh}};

    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_clip(cr);
    if (n > 0 && full.xHigh > full.xLow && full.yHigh > full.yLow) {
        cairo_save(cr);
        cairo_translate(cr, box.px(full.xLow), box.py(full.yHigh));
        cairo_scale(cr, (box.px(full.xHigh) - box.px(full.xLow)) / n,
                    (box.py(full.yLow) - box.py(full.yHigh)) / n);
        cairo_set_source_surface(cr, samples, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_rectangle(cr, 0, 0, n, n);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

    // Overlays, the mask below the contours: where the edge prints is read against it.
    cairo_set_line_width(cr, 2);
    setRgb(cr, kMaskColour);
    for (const AxisRectangle& r : p.rectangles) {
        cairo_rectangle(cr, box.px(r.x0), box.py(r.y1), box.px(r.x1) - box.px(r.x0),
                        box.py(r.y0) - box.py(r.y1));
    }
    cairo_stroke(cr);
    for (size_t k = 0; k < p.contours.size(); ++k) {
        setRgb(cr, kContourColours[k % 4]);
        for (const ContourSegment& s : p.contours[k].segments) {
            cairo_move_to(cr, box.px(s.a.x), box.py(s.a.y));
            cairo_line_to(cr, box.px(s.b.x), box.py(s.b.y));
        }
        cairo_stroke(cr);
    }
    setRgb(cr, kShiftedPupilColour);
    cairo_set_line_width(cr, 2);
    {
        const double dash[] = {5, 3};
        cairo_set_dash(cr, dash, 2, 0);
        for (const auto& line : p.outlines) {
            for (size_t i = 0; i < line.size(); ++i) {
                if (i == 0) cairo_move_to(cr, box.px(line[i].x), box.py(line[i].y));
                else cairo_line_to(cr, box.px(line[i].x), box.py(line[i].y));
            }
        }
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }
    setRgb(cr, kPupilColour);
    cairo_set_line_width(cr, 2);
    for (const LabelledCircle& c : p.circles) {
        const double rx = std::fabs(box.px(c.circle.r) - box.px(0));
        const double ry = std::fabs(box.py(c.circle.r) - box.py(0));
        if (!(rx > 0) || !(ry > 0)) continue;
        cairo_save(cr);
        cairo_translate(cr, box.px(c.circle.x), box.py(c.circle.y));
        cairo_scale(cr, rx, ry);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        cairo_stroke(cr);
    }
    cairo_restore(cr);

    // Axes in the table's own labels.
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
    text(cr, box.left + box.width / 2, box.top + box.height + 38, p.axisX, 13, Align::kCentre);
    text(cr, box.left - 66, box.top + box.height / 2, p.axisY, 13, Align::kCentre, false, true);
    drawTitle(cr, L::kWidth / 2.0, p.title, p.conditions);
    drawColourBar(cr, map, p);

    std::vector<LegendEntry> legend;
    for (size_t k = 0; k < p.contours.size(); ++k) {
        legend.push_back({kContourColours[k % 4], false, false, "I = " + tickText(p.contours[k].level)});
    }
    if (!p.rectangles.empty()) legend.push_back({kMaskColour, false, false, "mask"});
    for (const LabelledCircle& c : p.circles) legend.push_back({kPupilColour, false, false, c.label});
    if (!p.outlines.empty()) legend.push_back({kShiftedPupilColour, true, false, p.outlinesLabel});
    if (gated) legend.push_back({kHiddenGrey, false, true, p.hiddenLabel});
    drawLegend(cr, box.left, L::kHeight - 16, legend);
    cairo_surface_destroy(samples);
}

bool writeHeatmap(const ResultTableData& table, const HeatmapPicture& picture, PictureFormat format,
                  const std::string& path) {
    if (table.size <= 0) return false;
    Canvas canvas = openCanvas(format, HeatmapLayout::kWidth, HeatmapLayout::kHeight, path);
    drawHeatmap(canvas.cr, table, picture);
    return closeCanvas(canvas);
}

// ---- line plots

namespace {

const Rgb kSeriesColours[] = {{31, 119, 180}, {214, 39, 40}, {44, 160, 44}, {148, 103, 189},
                              {255, 127, 14}, {140, 86, 75}};
const Rgb kThresholdGrey{77, 77, 77};

void strokeSeries(cairo_t* cr, const PlotBox& box, const std::vector<double>& xs,
                  const std::vector<double>& ys, bool markers) {
    bool pen = false;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
        if (!std::isfinite(ys[i])) { pen = false; continue; }
        if (pen) cairo_line_to(cr, box.px(xs[i]), box.py(ys[i]));
        else cairo_move_to(cr, box.px(xs[i]), box.py(ys[i]));
        pen = true;
    }
    cairo_stroke(cr);
    if (!markers) return;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
        if (!std::isfinite(ys[i])) continue;
        cairo_arc(cr, box.px(xs[i]), box.py(ys[i]), 3.5, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

void legendLine(cairo_t* cr, double x, double y, Rgb colour, bool dashed, const std::string& words) {
    cairo_save(cr);
    setRgb(cr, colour);
    cairo_set_line_width(cr, dashed ? 1.5 : 2);
    if (dashed) {
        const double dash[] = {6, 4};
        cairo_set_dash(cr, dash, 2, 0);
    }
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + 24, y);
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, x + 30, y, words, 12, Align::kLeft);
}

} // namespace

Range cutlineIntensityRange(const CutlinePicture& p) {
    double top = 0;
    for (const CutlineSeries& s : p.series)
        for (double v : s.profile.intensity)
            if (std::isfinite(v)) top = std::max(top, v);
    for (double t : p.thresholds)
        if (std::isfinite(t)) top = std::max(top, t);
    return {0, top > 0 ? top * 1.08 : 1};
}

void drawCutline(cairo_t* cr, const CutlinePicture& p) {
    using L = CutlineLayout;
    std::vector<double> allX;
    for (const CutlineSeries& s : p.series)
        allX.insert(allX.end(), s.profile.position.begin(), s.profile.position.end());
    const PlotBox box{double(L::kPlotLeft), double(L::kPlotTop), double(L::kPlotWidth),
                      double(L::kPlotHeight), widened(finiteRange(allX)), cutlineIntensityRange(p)};
    drawAxes(cr, box, p.axisX, "intensity");
    drawTitle(cr, L::kWidth / 2.0, p.title, p.conditions);
    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_clip(cr);
    for (double t : p.thresholds) {
        const double dash[] = {6, 4};
        cairo_set_dash(cr, dash, 2, 0);
        setRgb(cr, kThresholdGrey);
        cairo_set_line_width(cr, 1.5);
        cairo_move_to(cr, box.left, box.py(t));
        cairo_line_to(cr, box.left + box.width, box.py(t));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }
    for (size_t s = 0; s < p.series.size(); ++s) {
        setRgb(cr, kSeriesColours[s % 6]);
        cairo_set_line_width(cr, 2);
        strokeSeries(cr, box, p.series[s].profile.position, p.series[s].profile.intensity, false);
    }
    // Each CD as a double arrow on its threshold, its width written above.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1.2);
    for (const CdMark& m : p.marks) {
        const double y = box.py(m.threshold), x0 = box.px(m.start), x1 = box.px(m.end);
        cairo_move_to(cr, x0, y);
        cairo_line_to(cr, x1, y);
        for (double x : {x0, x1}) {
            const double d = x == x0 ? 6 : -6;
            cairo_move_to(cr, x + d, y - 3.5);
            cairo_line_to(cr, x, y);
            cairo_line_to(cr, x + d, y + 3.5);
        }
        cairo_stroke(cr);
        text(cr, (x0 + x1) / 2, y - 10, tickText(m.end - m.start), 11, Align::kCentre);
    }
    cairo_restore(cr);

    const double lx = box.left + box.width + 14;
    double ly = box.top + 10;
    for (size_t s = 0; s < p.series.size(); ++s, ly += 20)
        legendLine(cr, lx, ly, kSeriesColours[s % 6], false, p.series[s].label);
    for (double t : p.thresholds) {
        legendLine(cr, lx, ly, kThresholdGrey, true, "threshold " + tickText(t));
        ly += 20;
    }
    ly += 8;
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const std::string& note : p.notes) {
        text(cr, lx, ly, note, 12, Align::kLeft);
        ly += 18;
    }
}

bool writeCutline(const CutlinePicture& picture, PictureFormat format, const std::string& path) {
    Canvas canvas = openCanvas(format, CutlineLayout::kWidth, CutlineLayout::kHeight, path);
    drawCutline(canvas.cr, picture);
    return closeCanvas(canvas);
}

bool writeLinePlot(const std::vector<BossungSeries>& series, const PictureTitle& title, const std::string& axisX,
                   const std::string& axisY, PictureFormat format, const std::string& path) {
    constexpr int kWidth = 720, kHeight = 460;
    std::vector<double> allX, allY;
    for (const BossungSeries& s : series) {
        allX.insert(allX.end(), s.defocus.begin(), s.defocus.end());
        allY.insert(allY.end(), s.cd.begin(), s.cd.end());
    }
    const Range rx = widened(finiteRange(allX));
    Range ry = widened(finiteRange(allY));
    const double pad = (ry.hi - ry.lo) * 0.06;
    ry = {ry.lo - pad, ry.hi + pad};
    Canvas canvas = openCanvas(format, kWidth, kHeight, path);
    cairo_t* cr = canvas.cr;
    constexpr int kTop = 62; // below the title and the conditions
    const PlotBox box{84, kTop, kWidth - 84 - 170, kHeight - kTop - 62, rx, ry};
    drawAxes(cr, box, axisX, axisY);
    drawTitle(cr, kWidth / 2.0, title.title, title.conditions);
    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_clip(cr);
    for (size_t s = 0; s < series.size(); ++s) {
        setRgb(cr, kSeriesColours[s % 6]);
        cairo_set_line_width(cr, 2);
        strokeSeries(cr, box, series[s].defocus, series[s].cd, true);
    }
    cairo_restore(cr);
    double ly = box.top + 10;
    for (size_t s = 0; s < series.size(); ++s, ly += 20)
        legendLine(cr, box.left + box.width + 14, ly, kSeriesColours[s % 6], false, series[s].label);
    return closeCanvas(canvas);
}

} // namespace aerial_tool
