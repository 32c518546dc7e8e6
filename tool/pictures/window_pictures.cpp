#include "pictures/window_pictures.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "pictures/plot_drawing.h"

namespace aerial_tool {

namespace {

constexpr const char* kFont = "DejaVu Sans";
constexpr int kWidth = 760;
constexpr int kHeight = 480;

struct Box {
    double left = 80, top = 48, width = 520, height = 360;
};

struct Span {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void add(double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // A flat or empty span still needs a scale; a little room beyond the data.
    Span padded() const {
        Span s = *this;
        if (!(s.lo <= s.hi)) return {0, 1};
        if (s.hi == s.lo) {
            const double pad = s.lo == 0 ? 0.5 : std::fabs(s.lo) * 0.05;
            return {s.lo - pad, s.hi + pad};
        }
        const double pad = (s.hi - s.lo) * 0.05;
        return {s.lo - pad, s.hi + pad};
    }
};

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them.
std::vector<double> ticks(Span s, int count) {
    const double raw = (s.hi - s.lo) / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= raw) break;
    }
    std::vector<double> out;
    for (double t = std::ceil(s.lo / step - 1e-9) * step; t <= s.hi + step * 1e-9; t += step)
        out.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    return out;
}

void label(cairo_t* cr, double x, double y, const std::string& s, double size, double align, bool vertical = false) {
    cairo_save(cr);
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_translate(cr, x, y);
    if (vertical) cairo_rotate(cr, -M_PI / 2);
    cairo_move_to(cr, -e.x_advance * align, size * 0.35);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_show_text(cr, s.c_str());
    cairo_restore(cr);
}

std::string tickText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

struct Frame {
    Box box;
    Span x, y;
    double px(double v) const { return box.left + (v - x.lo) / (x.hi - x.lo) * box.width; }
    double py(double v) const { return box.top + box.height - (v - y.lo) / (y.hi - y.lo) * box.height; }
};

void drawFrame(cairo_t* cr, const Frame& f, const std::string& title, const std::string& axisX,
               const std::string& axisY, double yScale) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_line_width(cr, 1);
    for (double t : ticks(f.x, 6)) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, f.px(t), f.box.top);
        cairo_line_to(cr, f.px(t), f.box.top + f.box.height);
        cairo_stroke(cr);
        label(cr, f.px(t), f.box.top + f.box.height + 14, tickText(t), 12, 0.5);
    }
    for (double t : ticks(f.y, 6)) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, f.box.left, f.py(t));
        cairo_line_to(cr, f.box.left + f.box.width, f.py(t));
        cairo_stroke(cr);
        label(cr, f.box.left - 6, f.py(t), tickText(t * yScale), 12, 1);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, f.box.left, f.box.top, f.box.width, f.box.height);
    cairo_stroke(cr);
    label(cr, f.box.left + f.box.width / 2, 22, title, 15, 0.5);
    label(cr, f.box.left + f.box.width / 2, f.box.top + f.box.height + 36, axisX, 13, 0.5);
    label(cr, 22, f.box.top + f.box.height / 2, axisY, 13, 0.5, true);
}

bool finish(cairo_surface_t* surface, cairo_t* cr, const std::string& path) {
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

bool writeFemBossungPng(const std::vector<DoseCurve>& curves, double bandLow, double bandHigh,
                        const FemPictureText& text, const std::string& path) {
    Frame f;
    Span y;
    y.add(bandLow);
    y.add(bandHigh);
    for (const DoseCurve& c : curves) {
        for (double v : c.focus) f.x.add(v);
        for (double v : c.cd) y.add(v);
    }
    f.x = f.x.padded();
    f.y = y.padded();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    drawFrame(cr, f, text.title, text.focusAxis, text.cdAxis, 1);

    cairo_save(cr);
    cairo_rectangle(cr, f.box.left, f.box.top, f.box.width, f.box.height);
    cairo_clip(cr);
    cairo_set_source_rgba(cr, 0.2, 0.7, 0.3, 0.18);
    cairo_rectangle(cr, f.box.left, f.py(bandHigh), f.box.width, f.py(bandLow) - f.py(bandHigh));
    cairo_fill(cr);
    cairo_set_line_width(cr, 2);
    for (size_t k = 0; k < curves.size(); ++k) {
        const Rgb c = viridis(curves.size() > 1 ? static_cast<double>(k) / (curves.size() - 1) : 0.5);
        cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
        bool drawing = false;
        const DoseCurve& curve = curves[k];
        for (size_t i = 0; i < curve.focus.size(); ++i) {
            if (!std::isfinite(curve.cd[i])) {
                drawing = false;
                continue;
            }
            const double x = f.px(curve.focus[i]), yy = f.py(curve.cd[i]);
            drawing ? cairo_line_to(cr, x, yy) : cairo_move_to(cr, x, yy);
            drawing = true;
        }
        cairo_stroke(cr);
        for (size_t i = 0; i < curve.focus.size(); ++i) {
            if (!std::isfinite(curve.cd[i])) continue;
            cairo_arc(cr, f.px(curve.focus[i]), f.py(curve.cd[i]), 2.5, 0, 2 * M_PI);
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);

    // The legend: one line per dose, low doses first.
    const double legendX = f.box.left + f.box.width + 16;
    label(cr, legendX, f.box.top + 4, "dose", 12, 0);
    const double rowHeight = std::min(18.0, (f.box.height - 40) / std::max<size_t>(curves.size(), 1));
    for (size_t k = 0; k < curves.size(); ++k) {
        const Rgb c = viridis(curves.size() > 1 ? static_cast<double>(k) / (curves.size() - 1) : 0.5);
        const double yy = f.box.top + 24 + k * rowHeight;
        cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
        cairo_set_line_width(cr, 3);
        cairo_move_to(cr, legendX, yy);
        cairo_line_to(cr, legendX + 22, yy);
        cairo_stroke(cr);
        label(cr, legendX + 28, yy, tickText(curves[k].dose), 11, 0);
    }
    const double bandY = f.box.top + 24 + curves.size() * rowHeight + 8;
    cairo_set_source_rgba(cr, 0.2, 0.7, 0.3, 0.35);
    cairo_rectangle(cr, legendX, bandY - 6, 22, 12);
    cairo_fill(cr);
    label(cr, legendX + 28, bandY, "in spec", 11, 0);
    return finish(surface, cr, path);
}

bool writeExposureDefocusPng(const std::vector<LatitudePoint>& points, const std::string& title,
                             const std::string& dofAxis, const std::string& path) {
    Frame f;
    f.box.width = 620;
    Span x, y;
    x.add(0);
    y.add(0);
    for (const LatitudePoint& p : points) {
        x.add(p.dof);
        y.add(p.el);
    }
    f.x = x.padded();
    f.y = y.padded();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    drawFrame(cr, f, title, dofAxis, "exposure latitude (%)", 100);
    const Rgb c = viridis(0.3);
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
    cairo_set_line_width(cr, 2);
    for (size_t i = 0; i < points.size(); ++i) {
        const double px = f.px(points[i].dof), py = f.py(points[i].el);
        i == 0 ? cairo_move_to(cr, px, py) : cairo_line_to(cr, px, py);
    }
    cairo_stroke(cr);
    for (const LatitudePoint& p : points) {
        cairo_arc(cr, f.px(p.dof), f.py(p.el), 3, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    return finish(surface, cr, path);
}

} // namespace aerial_tool
