// What the drawing files share: a canvas in any of the picture formats, text, tick
// placement and plot boxes. Internal to the picture module.
#pragma once

#include <cairo.h>

#include <cstdio>
#include <string>
#include <vector>

#include "pictures/picture_format.h"
#include "pictures/plot_drawing.h"

namespace aerial_tool {

// A surface of the format, in points or pixels (one point is one pixel in a PNG), and
// its context, white.
struct Canvas {
    PictureFormat format = PictureFormat::kPng;
    std::string path;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    // SVG and PDF stream into this file as they are drawn. It is opened before the surface
    // is made, so an unwritable path never reaches cairo's own file handling (whose error
    // path keeps an allocation of its own) and fails here instead.
    std::FILE* file = nullptr;
    bool unwritable = false;
};

Canvas openCanvas(PictureFormat format, double width, double height, const std::string& path);

// Writes the PNG (SVG and PDF are written as drawn) and frees the canvas; false when the
// file could not be written.
bool closeCanvas(Canvas& canvas);

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them inside the range.
std::vector<double> niceTicks(Range r, int count);
std::string tickText(double v);
Range finiteRange(const std::vector<double>& values);
// A flat range still needs a scale: the value sits mid-way.
Range widened(Range r);

enum class Align { kLeft, kCentre, kRight };

inline constexpr const char* kFont = "DejaVu Sans";
inline constexpr const char* kMonoFont = "DejaVu Sans Mono";

void text(cairo_t* cr, double x, double y, const std::string& s, double size, Align align,
          bool bold = false, bool vertical = false, const char* font = kFont);
double textWidth(cairo_t* cr, const std::string& s, double size, bool bold = false,
                 const char* font = kFont);

void setRgb(cairo_t* cr, Rgb c);

// A plot area (left, top, width, height) with the value ranges it maps.
struct PlotBox {
    double left, top, width, height;
    Range x, y;
    double px(double v) const { return left + (v - x.lo) / (x.hi - x.lo) * width; }
    double py(double v) const { return top + height - (v - y.lo) / (y.hi - y.lo) * height; }
};

// Grid, ticks, frame and axis names of a line plot.
void drawAxes(cairo_t* cr, const PlotBox& b, const std::string& axisX, const std::string& axisY);

// The picture's title (bold) and, below it, its conditions, centred at x.
void drawTitle(cairo_t* cr, double x, const std::string& title, const std::string& conditions);

} // namespace aerial_tool
