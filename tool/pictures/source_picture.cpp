// The illumination source in the pupil, in spectral samples: what a sigma does once its 13
// points have snapped to whole samples.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "pictures/canvas.h"
#include "io/number_text.h"
#include "pictures/drawing_parts.h"

namespace aerial_tool {

namespace {

const Rgb kRounded{31, 119, 180};
const Rgb kBeforeRounding{120, 120, 120};
const Rgb kWritten{150, 150, 150};
const Rgb kEffective{214, 39, 40};

void circle(cairo_t* cr, const PlotBox& box, double r) {
    const double rx = std::fabs(box.px(r) - box.px(0)), ry = std::fabs(box.py(r) - box.py(0));
    if (!(rx > 0) || !(ry > 0) || !std::isfinite(rx) || !std::isfinite(ry)) return;
    cairo_save(cr);
    cairo_translate(cr, box.px(0), box.py(0));
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    cairo_stroke(cr);
}

} // namespace

void drawSource(cairo_t* cr, const SourcePicture& p) {
    using L = SourceLayout;
    const aerial::DerivedOptics& o = p.optics;
    const double R = std::fabs(o.pupilRadius);
    double reach = std::isfinite(R) ? R : 0;
    for (const aerial::SourcePoint& s : o.points) {
        for (double u : {s.ux, s.uy})
            if (std::isfinite(u)) reach = std::max(reach, std::fabs(u));
        if (s.passes) reach = std::max(reach, double(std::max(std::abs(s.shiftX), std::abs(s.shiftY))));
    }
    const double half = std::max(1.5, reach * 1.12 + 0.5);
    const PlotBox box{double(L::kPlotLeft), double(L::kPlotTop), double(L::kPlotSize),
                      double(L::kPlotSize), {-half, half}, {-half, half}};

    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_clip(cr);
    // Whole spectral samples, where the points can land, when they are few enough to see.
    if (half <= 30) {
        cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
        cairo_set_line_width(cr, 1);
        for (int k = int(std::ceil(-half)); k <= int(std::floor(half)); ++k) {
            cairo_move_to(cr, box.px(k), box.top);
            cairo_line_to(cr, box.px(k), box.top + box.height);
            cairo_move_to(cr, box.left, box.py(k));
            cairo_line_to(cr, box.left + box.width, box.py(k));
        }
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 2);
    circle(cr, box, R);
    const double dash[] = {5, 4};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_line_width(cr, 1.3);
    setRgb(cr, kWritten);
    if (std::isfinite(p.sigma)) circle(cr, box, std::fabs(p.sigma) * R);
    setRgb(cr, kEffective);
    if (std::isfinite(o.effectiveSigma)) circle(cr, box, o.effectiveSigma * R);
    cairo_set_dash(cr, nullptr, 0, 0);

    // Each point where it was computed, a line to where it lands, and the landing spot.
    std::map<std::pair<int, int>, int> landed;
    cairo_set_line_width(cr, 1);
    for (const aerial::SourcePoint& s : o.points) {
        if (!std::isfinite(s.ux) || !std::isfinite(s.uy)) continue;
        setRgb(cr, kBeforeRounding);
        cairo_new_sub_path(cr);
        cairo_arc(cr, box.px(s.ux), box.py(s.uy), 4.5, 0, 2 * M_PI);
        cairo_stroke(cr);
        if (!s.passes) continue;
        cairo_move_to(cr, box.px(s.ux), box.py(s.uy));
        cairo_line_to(cr, box.px(s.shiftX), box.py(s.shiftY));
        cairo_stroke(cr);
        ++landed[{s.shiftX, s.shiftY}];
    }
    for (const auto& [at, count] : landed) {
        setRgb(cr, kRounded);
        cairo_arc(cr, box.px(at.first), box.py(at.second), 5, 0, 2 * M_PI);
        cairo_fill(cr);
        if (count > 1) {
            cairo_set_source_rgb(cr, 0, 0, 0);
            text(cr, box.px(at.first) + 7, box.py(at.second) - 8, "\u00d7" + std::to_string(count), 11,
                 Align::kLeft, true);
        }
    }
    cairo_restore(cr);

    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    for (double t : niceTicks(box.x, 8)) {
        cairo_move_to(cr, box.px(t), box.top + box.height);
        cairo_line_to(cr, box.px(t), box.top + box.height + 5);
        cairo_move_to(cr, box.left - 5, box.py(t));
        cairo_line_to(cr, box.left, box.py(t));
        cairo_stroke(cr);
        text(cr, box.px(t), box.top + box.height + 16, tickText(t), 12, Align::kCentre);
        text(cr, box.left - 8, box.py(t), tickText(t), 12, Align::kRight);
    }
    cairo_rectangle(cr, box.left, box.top, box.width, box.height);
    cairo_stroke(cr);
    text(cr, box.left + box.width / 2, box.top + box.height + 38, "spectral samples x", 13, Align::kCentre);
    text(cr, box.left - 54, box.top + box.height / 2, "spectral samples y", 13, Align::kCentre, false, true);
    drawTitle(cr, L::kWidth / 2.0, p.title, p.conditions);

    // Legend: two rows under the plot.
    const std::string words[3] = {"pupil, R = " + shortText(R, 4) + " samples",
                                  "\u03c3 " + shortText(p.sigma, 4) + " as written",
                                  "effective \u03c3 " + shortText(o.effectiveSigma, 4)};
    double y = L::kHeight - 40, x = box.left;
    auto lineEntry = [&](Rgb c, bool dashed, const std::string& w) {
        cairo_save(cr);
        setRgb(cr, c);
        cairo_set_line_width(cr, dashed ? 1.3 : 2);
        if (dashed) cairo_set_dash(cr, dash, 2, 0);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + 20, y);
        cairo_stroke(cr);
        cairo_restore(cr);
        text(cr, x + 26, y, w, 11, Align::kLeft);
        x += 26 + textWidth(cr, w, 11) + 18;
    };
    lineEntry({0, 0, 0}, false, words[0]);
    lineEntry(kWritten, true, words[1]);
    lineEntry(kEffective, true, words[2]);
    y += 20;
    x = box.left;
    setRgb(cr, kRounded);
    cairo_arc(cr, x + 10, y, 5, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, x + 26, y, "source point as the run uses it (rounded)", 11, Align::kLeft);
    x += 26 + textWidth(cr, "source point as the run uses it (rounded)", 11) + 18;
    setRgb(cr, kBeforeRounding);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + 10, y, 4.5, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, x + 26, y, "before rounding", 11, Align::kLeft);
}

bool writeSource(const SourcePicture& picture, PictureFormat format, const std::string& path) {
    Canvas canvas = openCanvas(format, SourceLayout::kWidth, SourceLayout::kHeight, path);
    drawSource(canvas.cr, picture);
    return closeCanvas(canvas);
}

} // namespace aerial_tool
