#include "pictures/canvas.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "io/number_text.h"

namespace aerial_tool {

namespace {

cairo_status_t writeToFile(void* file, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(file)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

cairo_status_t discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

} // namespace

Canvas openCanvas(PictureFormat format, double width, double height, const std::string& path) {
    Canvas c;
    c.format = format;
    c.path = path;
    if (format != PictureFormat::kPng) {
        c.file = std::fopen(path.c_str(), "wb");
        c.unwritable = c.file == nullptr;
    }
    // Where the file cannot be written, the drawing goes on into a surface of the same kind
    // that discards its output, and closing reports the failure.
    cairo_write_func_t write = c.unwritable ? discard : writeToFile;
    if (format == PictureFormat::kSvg) {
        c.surface = cairo_svg_surface_create_for_stream(write, c.file, width, height);
    } else if (format == PictureFormat::kPdf) {
        c.surface = cairo_pdf_surface_create_for_stream(write, c.file, width, height);
    } else {
        c.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(std::ceil(width)),
                                               int(std::ceil(height)));
    }
    c.cr = cairo_create(c.surface);
    cairo_set_source_rgb(c.cr, 1, 1, 1);
    cairo_paint(c.cr);
    cairo_set_source_rgb(c.cr, 0, 0, 0);
    return c;
}

bool closeCanvas(Canvas& c) {
    bool ok = !c.unwritable && cairo_status(c.cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(c.cr);
    cairo_surface_flush(c.surface);
    if (c.format == PictureFormat::kPng) {
        ok = ok && cairo_surface_write_to_png(c.surface, c.path.c_str()) == CAIRO_STATUS_SUCCESS;
    } else {
        // The vector surfaces write as they go and report a failed write here.
        cairo_surface_finish(c.surface);
        ok = ok && cairo_surface_status(c.surface) == CAIRO_STATUS_SUCCESS;
    }
    cairo_surface_destroy(c.surface);
    if (c.file != nullptr) ok = std::fclose(c.file) == 0 && ok;
    c.cr = nullptr;
    c.surface = nullptr;
    c.file = nullptr;
    return ok;
}

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

std::string tickText(double v) { return shortText(v, 4); }

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

Range widened(Range r) {
    if (r.hi > r.lo) return r;
    const double pad = r.lo == 0 ? 0.5 : std::fabs(r.lo) * 0.05;
    return {r.lo - pad, r.hi + pad};
}

namespace {

void selectFont(cairo_t* cr, double size, bool bold, const char* font) {
    cairo_select_font_face(cr, font, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

} // namespace

double textWidth(cairo_t* cr, const std::string& s, double size, bool bold, const char* font) {
    cairo_save(cr);
    selectFont(cr, size, bold, font);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_restore(cr);
    return e.x_advance;
}

void text(cairo_t* cr, double x, double y, const std::string& s, double size, Align align,
          bool bold, bool vertical, const char* font) {
    cairo_save(cr);
    selectFont(cr, size, bold, font);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_translate(cr, x, y);
    if (vertical) cairo_rotate(cr, -M_PI / 2);
    const double dx = align == Align::kLeft ? 0 : align == Align::kCentre ? -e.x_advance / 2 : -e.x_advance;
    cairo_move_to(cr, dx, size * 0.35);
    cairo_show_text(cr, s.c_str());
    cairo_restore(cr);
}

void setRgb(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

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

void drawTitle(cairo_t* cr, double x, const std::string& title, const std::string& conditions) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, x, 22, title, 16, Align::kCentre, true);
    if (!conditions.empty()) text(cr, x, 44, conditions, 12, Align::kCentre);
}

} // namespace aerial_tool
