// The report: a PDF of A3 landscape pages, the run's pictures placed as vector drawings,
// the pictures other commands left embedded as images.
#include <cairo-pdf.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "pictures/canvas.h"
#include "pictures/drawing_parts.h"

namespace aerial_tool {

namespace {

constexpr double kPageWidth = 1190.55; // A3 landscape, in points
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 24;
constexpr double kTextColumn = 350; // the summary's width
constexpr double kMonoSize = 6.8;
constexpr double kMonoLine = 8.1;

// Draws a picture of its own size (width x height) scaled into the box, centred at its top.
void place(cairo_t* cr, double x, double y, double w, double h, double width, double height,
           const std::function<void(cairo_t*)>& draw) {
    const double s = std::min(w / width, h / height);
    cairo_save(cr);
    cairo_translate(cr, x + (w - width * s) / 2, y);
    cairo_scale(cr, s, s);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_clip(cr);
    draw(cr);
    cairo_restore(cr);
}

// Lines longer than the width break at spaces, the rest indented under their start.
std::vector<std::string> wrapped(const std::vector<std::string>& content, size_t columns) {
    std::vector<std::string> out;
    for (const std::string& line : content) {
        std::string rest = line;
        const size_t indent = std::min<size_t>(rest.find_first_not_of(' ') + 4, columns / 2);
        bool first = true;
        while (rest.size() > columns) {
            size_t cut = rest.rfind(' ', columns);
            if (cut == std::string::npos || cut <= indent) cut = columns;
            out.push_back(rest.substr(0, cut));
            rest = std::string(indent, ' ') + rest.substr(rest[cut] == ' ' ? cut + 1 : cut);
            first = false;
        }
        (void)first;
        out.push_back(rest);
    }
    return out;
}

// Monospaced lines from the top of a box, wrapped to its width; what does not fit is
// counted on its last line. With shrink, the lines get smaller (to a floor) before any is
// left out.
void lines(cairo_t* cr, double x, double y, double w, double h, const std::vector<std::string>& source,
           bool shrink = false) {
    // DejaVu Sans Mono advances 0.602 of the font size a character.
    const std::vector<std::string> content = wrapped(source, std::max<size_t>(20, size_t(w / (0.602 * kMonoSize))));
    double step = kMonoLine;
    if (shrink && !content.empty()) step = std::clamp(h / content.size(), 5.6, kMonoLine);
    const double size = kMonoSize * step / kMonoLine;
    const size_t fit = std::max<size_t>(1, size_t(h / step));
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (size_t i = 0; i < content.size(); ++i) {
        const bool last = i + 1 == fit && content.size() > fit;
        const std::string line =
            last ? "... " + std::to_string(content.size() - i) + " more lines" : content[i];
        text(cr, x, y + i * step, line, size, Align::kLeft, false, false, kMonoFont);
        if (last) break;
    }
}

void heading(cairo_t* cr, const std::string& words) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, kMargin, 26, words, 16, Align::kLeft, true);
    cairo_set_line_width(cr, 0.8);
    cairo_move_to(cr, kMargin, 40);
    cairo_line_to(cr, kPageWidth - kMargin, 40);
    cairo_stroke(cr);
}

void runPage(cairo_t* cr, const ReportRunPage& page) {
    heading(cr, page.heading);
    const double top = 52, bottom = kPageHeight - kMargin;
    lines(cr, kMargin, top + 4, kTextColumn, bottom - top - 4, page.summary);
    const double left = kMargin + kTextColumn + 16;
    const double cell = (kPageWidth - kMargin - left - 12) / 2;
    const double rowTop[2] = {top, top + 342};
    place(cr, left, rowTop[0], cell, 336, HeatmapLayout::kWidth, HeatmapLayout::kHeight,
          [&](cairo_t* c) { drawHeatmap(c, page.image, page.imagePicture); });
    place(cr, left + cell + 12, rowTop[0], cell, 336, HeatmapLayout::kWidth, HeatmapLayout::kHeight,
          [&](cairo_t* c) { drawHeatmap(c, page.spectrum, page.spectrumPicture); });
    const double cutHeight = cell * CutlineLayout::kHeight / CutlineLayout::kWidth;
    place(cr, left, rowTop[1], cell, cutHeight, CutlineLayout::kWidth, CutlineLayout::kHeight,
          [&](cairo_t* c) { drawCutline(c, page.cutline); });
    const double below = rowTop[1] + cutHeight + 10;
    // Both columns shrink alike, so their rows stay level.
    const size_t rows = std::max(page.metrics.size(), page.crossings.size());
    std::vector<std::string> runs = page.metrics, crossings = page.crossings;
    runs.resize(rows);
    crossings.resize(rows);
    lines(cr, left + 4, below, cell * 0.55, bottom - below, runs, true);
    lines(cr, left + 4 + cell * 0.55, below, cell * 0.45, bottom - below, crossings, true);
    if (page.source) {
        place(cr, left + cell + 12, rowTop[1], cell, bottom - rowTop[1], SourceLayout::kWidth,
              SourceLayout::kHeight, [&](cairo_t* c) { drawSource(c, *page.source); });
    }
}

void filesPage(cairo_t* cr, const ReportFilesPage& page) {
    heading(cr, page.heading);
    const double top = 52, bottom = kPageHeight - kMargin;
    lines(cr, kMargin, top + 4, kTextColumn, bottom - top - 4, page.text);
    const double left = kMargin + kTextColumn + 16;
    const size_t count = std::min<size_t>(page.pictures.size(), 4);
    const size_t columns = count == 1 ? 1 : 2, rows = count <= 2 ? 1 : 2;
    const double cellWidth = (kPageWidth - kMargin - left - 12 * (columns - 1)) / columns;
    const double cellHeight = (bottom - top - 12 * (rows - 1)) / rows;
    for (size_t k = 0; k < count; ++k) {
        cairo_surface_t* png = cairo_image_surface_create_from_png(page.pictures[k].c_str());
        const double x = left + (k % columns) * (cellWidth + 12), y = top + (k / columns) * (cellHeight + 12);
        if (cairo_surface_status(png) == CAIRO_STATUS_SUCCESS) {
            const double w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
            place(cr, x, y, cellWidth, cellHeight, w, h, [&](cairo_t* c) {
                cairo_set_source_surface(c, png, 0, 0);
                cairo_paint(c);
            });
        } else {
            text(cr, x, y + 10, page.pictures[k] + ": not a readable PNG", 9, Align::kLeft);
        }
        cairo_surface_destroy(png);
    }
}

} // namespace

bool writeReportPdf(const ReportDocument& document, const std::string& path, std::string& error) {
    Canvas canvas = openCanvas(PictureFormat::kPdf, kPageWidth, kPageHeight, path);
    if (cairo_surface_status(canvas.surface) != CAIRO_STATUS_SUCCESS) {
        error = std::string("cannot write: ") + cairo_status_to_string(cairo_surface_status(canvas.surface));
        closeCanvas(canvas);
        return false;
    }
    cairo_pdf_surface_set_metadata(canvas.surface, CAIRO_PDF_METADATA_CREATOR, "aerial report");
    bool first = true;
    auto nextPage = [&] {
        if (!first) {
            cairo_show_page(canvas.cr);
            cairo_set_source_rgb(canvas.cr, 1, 1, 1);
            cairo_paint(canvas.cr);
        }
        first = false;
    };
    for (const ReportRunPage& page : document.runs) {
        nextPage();
        runPage(canvas.cr, page);
    }
    for (const ReportFilesPage& page : document.further) {
        nextPage();
        filesPage(canvas.cr, page);
    }
    if (!closeCanvas(canvas)) {
        error = "cannot write the PDF";
        return false;
    }
    return true;
}

} // namespace aerial_tool
