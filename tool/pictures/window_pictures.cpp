#include "pictures/window_pictures.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pictures/canvas.h"

namespace aerial_tool {

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 480;

// The extent of the values drawn, with a little room beyond them.
struct Span {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void add(double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // A flat or empty span still needs a scale.
    Range padded() const {
        if (!(lo <= hi)) return {0, 1};
        if (hi == lo) return widened({lo, hi});
        const double pad = (hi - lo) * 0.05;
        return {lo - pad, hi + pad};
    }
};

// The plot area of both pictures; the ED window has no legend and takes the width.
// Its top below the title and the conditions.
PlotBox plotBox(double width, Range x, Range y) { return {80, 60, width, 348, x, y}; }

void label(cairo_t* cr, double x, double y, const std::string& s, double size, Align align, bool vertical = false) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, x, y, s, size, align, false, vertical);
}

// Grid, ticks (the y values written times yScale), frame, title and axis names.
void drawFrame(cairo_t* cr, const PlotBox& b, const PictureTitle& title, const std::string& axisX,
               const std::string& axisY, double yScale) {
    cairo_set_line_width(cr, 1);
    for (double t : niceTicks(b.x, 6)) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, b.px(t), b.top);
        cairo_line_to(cr, b.px(t), b.top + b.height);
        cairo_stroke(cr);
        label(cr, b.px(t), b.top + b.height + 14, tickText(t), 12, Align::kCentre);
    }
    for (double t : niceTicks(b.y, 6)) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, b.left, b.py(t));
        cairo_line_to(cr, b.left + b.width, b.py(t));
        cairo_stroke(cr);
        label(cr, b.left - 6, b.py(t), tickText(t * yScale), 12, Align::kRight);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, b.left, b.top, b.width, b.height);
    cairo_stroke(cr);
    drawTitle(cr, b.left + b.width / 2, title.title, title.conditions);
    label(cr, b.left + b.width / 2, b.top + b.height + 36, axisX, 13, Align::kCentre);
    label(cr, 22, b.top + b.height / 2, axisY, 13, Align::kCentre, true);
}

Rgb doseColour(size_t k, size_t count) { return viridis(count > 1 ? static_cast<double>(k) / (count - 1) : 0.5); }

} // namespace

bool writeFemBossung(const std::vector<DoseCurve>& curves, double bandLow, double bandHigh,
                     const FemPictureText& text, PictureFormat format, const std::string& path) {
    Span x, y;
    y.add(bandLow);
    y.add(bandHigh);
    for (const DoseCurve& c : curves) {
        for (double v : c.focus) x.add(v);
        for (double v : c.cd) y.add(v);
    }
    const PlotBox box = plotBox(520, x.padded(), y.padded());
    Canvas canvas = openCanvas(format, kWidth, kHeight, path);
    cairo_t* cr = canvas.cr;
    drawFrame(cr, box, text.title, text.focusAxis, text.cdAxis, 1);

    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_clip(cr);
    cairo_set_source_rgba(cr, 0.2, 0.7, 0.3, 0.18);
    cairo_rectangle(cr, box.left, box.py(bandHigh), box.width, box.py(bandLow) - box.py(bandHigh));
    cairo_fill(cr);
    cairo_set_line_width(cr, 2);
    for (size_t k = 0; k < curves.size(); ++k) {
        setRgb(cr, doseColour(k, curves.size()));
        bool drawing = false;
        const DoseCurve& curve = curves[k];
        for (size_t i = 0; i < curve.focus.size(); ++i) {
            if (!std::isfinite(curve.cd[i])) {
                drawing = false;
                continue;
            }
            const double px = box.px(curve.focus[i]), py = box.py(curve.cd[i]);
            drawing ? cairo_line_to(cr, px, py) : cairo_move_to(cr, px, py);
            drawing = true;
        }
        cairo_stroke(cr);
        for (size_t i = 0; i < curve.focus.size(); ++i) {
            if (!std::isfinite(curve.cd[i])) continue;
            cairo_new_sub_path(cr);
            cairo_arc(cr, box.px(curve.focus[i]), box.py(curve.cd[i]), 2.5, 0, 2 * M_PI);
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);

    // The legend: one line per dose, low doses first.
    const double legendX = box.left + box.width + 16;
    label(cr, legendX, box.top + 4, "dose", 12, Align::kLeft);
    const double rowHeight = std::min(18.0, (box.height - 40) / std::max<size_t>(curves.size(), 1));
    for (size_t k = 0; k < curves.size(); ++k) {
        const double yy = box.top + 24 + k * rowHeight;
        setRgb(cr, doseColour(k, curves.size()));
        cairo_set_line_width(cr, 3);
        cairo_move_to(cr, legendX, yy);
        cairo_line_to(cr, legendX + 22, yy);
        cairo_stroke(cr);
        label(cr, legendX + 28, yy, tickText(curves[k].dose), 11, Align::kLeft);
    }
    const double bandY = box.top + 24 + curves.size() * rowHeight + 8;
    cairo_set_source_rgba(cr, 0.2, 0.7, 0.3, 0.35);
    cairo_rectangle(cr, legendX, bandY - 6, 22, 12);
    cairo_fill(cr);
    label(cr, legendX + 28, bandY, "in tolerance", 11, Align::kLeft);
    return closeCanvas(canvas);
}

bool writeExposureDefocus(const std::vector<LatitudePoint>& points, const PictureTitle& title,
                          const std::string& dofAxis, bool steps, PictureFormat format, const std::string& path) {
    Span x, y;
    x.add(0);
    y.add(0);
    for (const LatitudePoint& p : points) {
        x.add(p.dof);
        y.add(p.el);
    }
    const PlotBox box = plotBox(620, x.padded(), y.padded());
    Canvas canvas = openCanvas(format, kWidth, kHeight, path);
    cairo_t* cr = canvas.cr;
    drawFrame(cr, box, title, dofAxis, "exposure latitude (%)", 100);
    setRgb(cr, viridis(0.3));
    cairo_set_line_width(cr, 2);
    for (size_t i = 0; i < points.size(); ++i) {
        const double px = box.px(points[i].dof), py = box.py(points[i].el);
        if (i == 0) {
            cairo_move_to(cr, px, py);
            continue;
        }
        // Up at the last DOF to this latitude, then across to this DOF.
        if (steps) cairo_line_to(cr, box.px(points[i - 1].dof), py);
        cairo_line_to(cr, px, py);
    }
    cairo_stroke(cr);
    for (const LatitudePoint& p : points) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, box.px(p.dof), box.py(p.el), 3, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    return closeCanvas(canvas);
}

} // namespace aerial_tool
