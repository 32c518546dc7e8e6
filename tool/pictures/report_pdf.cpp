// The report: a PDF of A3 landscape pages. The run's page places its pictures as vector
// drawings at fixed places; every other page is laid out from its section's blocks in two
// passes, first where each block falls (so every foot can say "page k of n"), then the
// drawing.
#include <cairo-pdf.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>

#include "pictures/canvas.h"
#include "pictures/drawing_parts.h"
#include "pictures/report_document.h"

namespace aerial_tool {

namespace {

constexpr double kPageWidth = 1190.55; // A3 landscape, in points
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 24;
constexpr double kFlowTop = 54;                   // below the heading's rule
constexpr double kFlowBottom = kPageHeight - 30;  // above the foot
constexpr double kFlowWidth = kPageWidth - 2 * kMargin;
constexpr double kReadingWidth = 900;             // plain text wraps here, tables and alerts use the page
constexpr double kTextColumn = 350;               // the run page's summary
constexpr double kMonoSize = 6.8;
constexpr double kMonoLine = 8.1;
// DejaVu Sans Mono advances 0.602 of the font size a character.
constexpr double kMonoAdvance = 0.602;

struct Style {
    double size;
    double line; // the height of a line
    bool bold;
    const char* font;
};

constexpr Style kHeadingStyle{15, 25, true, kFont};
constexpr Style kPlainStyle{11, 15.5, false, kFont};
constexpr Style kBoldStyle{11, 15.5, true, kFont};
constexpr Style kCodeStyle{10, 14, false, kMonoFont};
constexpr double kTableSize = 10;
constexpr double kTableTitleSize = 11.5;
constexpr double kTableRow = 14.5;
constexpr double kTableTitle = 20;
constexpr double kTableNote = 13;
constexpr double kCellPad = 12;  // between columns
constexpr double kTableGap = 36; // between tables side by side
constexpr double kBlockGap = 8;
constexpr double kPictureGap = 12;
constexpr double kCaption = 14;         // under a picture: its file's name
constexpr double kSmallestPicture = 280; // a row of pictures takes the rest of a page down to this

const Style& styleOf(LineStyle s) {
    switch (s) {
    case LineStyle::kBold: return kBoldStyle;
    case LineStyle::kCode: return kCodeStyle;
    case LineStyle::kPlain:
    case LineStyle::kAlert: break;
    }
    return kPlainStyle;
}

void alertColour(cairo_t* cr) { cairo_set_source_rgb(cr, 0.78, 0, 0); }

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
        while (rest.size() > columns) {
            size_t cut = rest.rfind(' ', columns);
            if (cut == std::string::npos || cut <= indent) cut = columns;
            out.push_back(rest.substr(0, cut));
            rest = std::string(indent, ' ') + rest.substr(rest[cut] == ' ' ? cut + 1 : cut);
        }
        out.push_back(rest);
    }
    return out;
}

// Monospaced lines from the top of a box, wrapped to its width; what does not fit is
// counted on its last line. With shrink, the lines get smaller (to a floor) before any is
// left out.
void monoLines(cairo_t* cr, double x, double y, double w, double h, const std::vector<std::string>& source,
               bool shrink = false) {
    const std::vector<std::string> content =
        wrapped(source, std::max<size_t>(20, size_t(w / (kMonoAdvance * kMonoSize))));
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

void foot(cairo_t* cr, const std::string& title, int page, int pages) {
    cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
    text(cr, kMargin, kPageHeight - 16, title, 8, Align::kLeft);
    text(cr, kPageWidth - kMargin, kPageHeight - 16,
         "page " + std::to_string(page) + " of " + std::to_string(pages), 8, Align::kRight);
}

void runPage(cairo_t* cr, const ReportRunPage& page) {
    heading(cr, page.heading);
    double top = 52;
    for (const std::string& alert : page.alerts) {
        alertColour(cr);
        text(cr, kMargin, top + 6, alert, 10, Align::kLeft, true);
        top += 15;
    }
    const double bottom = kFlowBottom;
    monoLines(cr, kMargin, top + 4, kTextColumn, bottom - top - 4, page.summary);
    const double left = kMargin + kTextColumn + 16;
    const double cell = (kPageWidth - kMargin - left - 12) / 2;
    const double pictureHeight = std::min(336.0, (bottom - top) * 0.45);
    const double rowTop[2] = {top, top + pictureHeight + 6};
    place(cr, left, rowTop[0], cell, pictureHeight, HeatmapLayout::kWidth, HeatmapLayout::kHeight,
          [&](cairo_t* c) { drawHeatmap(c, page.image, page.imagePicture); });
    place(cr, left + cell + 12, rowTop[0], cell, pictureHeight, HeatmapLayout::kWidth, HeatmapLayout::kHeight,
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
    monoLines(cr, left + 4, below, cell * 0.55, bottom - below, runs, true);
    monoLines(cr, left + 4 + cell * 0.55, below, cell * 0.45, bottom - below, crossings, true);
    if (page.source) {
        place(cr, left + cell + 12, rowTop[1], cell, bottom - rowTop[1], SourceLayout::kWidth,
              SourceLayout::kHeight, [&](cairo_t* c) { drawSource(c, *page.source); });
    }
}

// ---- The flow of a section: measuring, breaking into pages, drawing.

// A line of a block, wrapped, with its style.
struct FlowLine {
    std::string text;
    LineStyle style;
};

// Words up to the width, a word longer than the width cut where it must be.
std::vector<std::string> wrapToWidth(cairo_t* cr, const std::string& line, const Style& st, double width) {
    std::vector<std::string> out;
    if (st.font == kMonoFont) {
        const size_t columns = std::max<size_t>(20, size_t(width / (kMonoAdvance * st.size)));
        return wrapped({line}, columns);
    }
    std::string current;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        const std::string word = line.substr(start, end - start);
        const std::string candidate = current.empty() ? word : current + " " + word;
        if (!current.empty() && textWidth(cr, candidate, st.size, st.bold, st.font) > width) {
            out.push_back(current);
            current = word;
        } else {
            current = candidate;
        }
        start = end + 1;
    }
    out.push_back(current);
    return out;
}

struct TableShape {
    std::vector<double> widths; // per column, padding included
    double scale = 1;           // of the font, for a table wider than the page
    double width = 0;
};

TableShape shapeOf(cairo_t* cr, const ReportTable& t) {
    TableShape s;
    s.widths.assign(t.columns.size(), 0);
    for (size_t k = 0; k < t.columns.size(); ++k) {
        s.widths[k] = textWidth(cr, t.columns[k], kTableSize, true);
        for (const auto& row : t.rows)
            if (k < row.size()) s.widths[k] = std::max(s.widths[k], textWidth(cr, row[k], kTableSize));
        s.widths[k] += kCellPad;
    }
    for (double w : s.widths) s.width += w;
    s.width = std::max(s.width, textWidth(cr, t.title, kTableTitleSize, true));
    if (s.width > kFlowWidth) {
        s.scale = kFlowWidth / s.width;
        for (double& w : s.widths) w *= s.scale;
        s.width = kFlowWidth;
    }
    return s;
}

double tableHeight(const ReportTable& t, size_t rows, bool notes) {
    return (t.title.empty() ? 0 : kTableTitle) + kTableRow * (1 + rows) + 4 +
           (notes ? kTableNote * t.notes.size() : 0);
}

// One piece of a block placed on a page.
struct Piece {
    const ReportBlock* block = nullptr;
    double y = 0;
    std::vector<FlowLine> lines;      // kHeading, kLines: the lines on this page
    size_t table = 0;                 // kTables: with a single table, its rows from .. to
    size_t rowFrom = 0, rowTo = 0;
    bool continued = false;
    bool lastPiece = true;            // the table's notes go under its last piece
    double pictureHeight = 0;
};

struct FlowPage {
    std::string heading;
    std::vector<Piece> pieces;
    const ReportRunPage* run = nullptr; // a run page, drawn at fixed places
};

class Flow {
public:
    Flow(cairo_t* cr, std::vector<FlowPage>& pages) : cr_(cr), pages_(pages) {}

    void section(const ReportSection& s) {
        heading_ = s.heading;
        newPage(false);
        for (const ReportBlock& b : s.blocks) block(b);
    }

private:
    void newPage(bool continued) {
        pages_.push_back({continued ? heading_ + " (continued)" : heading_, {}, nullptr});
        y_ = kFlowTop;
    }
    bool atTop() const { return y_ == kFlowTop; }
    Piece pieceAt(const ReportBlock& b) const {
        Piece p;
        p.block = &b;
        p.y = y_;
        return p;
    }
    double room() const { return kFlowBottom - y_; }
    void gap() {
        if (!atTop()) y_ += kBlockGap;
    }

    void block(const ReportBlock& b) {
        switch (b.kind) {
        case ReportBlock::Kind::kHeading: return headingPiece(b);
        case ReportBlock::Kind::kLines: return lines(b);
        case ReportBlock::Kind::kTables: return tables(b);
        case ReportBlock::Kind::kPictures: return pictures(b);
        }
    }

    void headingPiece(const ReportBlock& b) {
        gap();
        // A heading keeps a few lines of what it heads on its page.
        if (!atTop() && room() < kHeadingStyle.line + 4 * kTableRow) newPage(true);
        Piece p = pieceAt(b);
        p.lines.push_back({b.lines.empty() ? "" : b.lines[0].text, LineStyle::kBold});
        pages_.back().pieces.push_back(p);
        y_ += kHeadingStyle.line;
    }

    void lines(const ReportBlock& b) {
        gap();
        Piece p = pieceAt(b);
        for (const ReportLine& line : b.lines) {
            const Style& st = styleOf(line.style);
            const double width = line.style == LineStyle::kPlain ? kReadingWidth : kFlowWidth;
            for (const std::string& part : wrapToWidth(cr_, line.text, st, width)) {
                if (room() < st.line) {
                    if (!p.lines.empty()) pages_.back().pieces.push_back(p);
                    newPage(true);
                    p = pieceAt(b);
                }
                p.lines.push_back({part, line.style});
                y_ += st.line;
            }
        }
        if (!p.lines.empty()) pages_.back().pieces.push_back(p);
    }

    void tables(const ReportBlock& b) {
        gap();
        if (b.tables.size() == 1) return splitTable(b);
        double width = 0, height = 0;
        for (const ReportTable& t : b.tables) {
            width += shapeOf(cr_, t).width + kTableGap;
            height = std::max(height, tableHeight(t, t.rows.size(), true));
        }
        if (width - kTableGap > kFlowWidth || height > kFlowBottom - kFlowTop) {
            // Too much to stand side by side: one below the other.
            for (size_t k = 0; k < b.tables.size(); ++k) {
                singles_.push_back(std::make_unique<ReportBlock>(tablesBlock({b.tables[k]})));
                splitTable(*singles_.back());
                y_ += kBlockGap;
            }
            return;
        }
        if (height > room()) newPage(true);
        pages_.back().pieces.push_back(pieceAt(b));
        y_ += height;
    }

    void splitTable(const ReportBlock& b) {
        const ReportTable& t = b.tables.front();
        const size_t minimum = std::min<size_t>(3, t.rows.size());
        if (!atTop() && room() < tableHeight(t, minimum, minimum == t.rows.size())) newPage(true);
        size_t from = 0;
        bool continued = false;
        while (true) {
            size_t fit = 0;
            while (from + fit < t.rows.size() && tableHeight(t, fit + 1, false) <= room()) ++fit;
            fit = std::max<size_t>(fit, 1);
            // The notes go under the last rows: when they do not fit, a row moves on with them.
            if (from + fit == t.rows.size() && fit > 1 && tableHeight(t, fit, true) > room()) --fit;
            const size_t to = std::min(t.rows.size(), from + fit);
            const bool last = to == t.rows.size();
            Piece p = pieceAt(b);
            p.rowFrom = from;
            p.rowTo = to;
            p.continued = continued;
            p.lastPiece = last;
            pages_.back().pieces.push_back(p);
            y_ += tableHeight(t, to - from, last);
            if (last) return;
            from = to;
            continued = true;
            newPage(true);
        }
    }

    void pictures(const ReportBlock& b) {
        gap();
        const size_t count = b.pictures.size();
        if (count == 0) return;
        const size_t perRow = std::min<size_t>(count, 2);
        const double cellWidth = (kFlowWidth - kPictureGap * (perRow - 1)) / perRow;
        // Each picture with its file's name under it.
        const double height =
            std::min(cellWidth * 2 / 3, (kFlowBottom - kFlowTop - kPictureGap) / 2 - kCaption) + kCaption;
        for (size_t first = 0; first < count; first += perRow) {
            // A row takes what is left of the page when that is most of its height.
            if (room() < std::min(height, kSmallestPicture + kCaption)) newPage(true);
            Piece p = pieceAt(b);
            p.rowFrom = first;
            p.rowTo = std::min(count, first + perRow);
            p.pictureHeight = std::min(height, room());
            pages_.back().pieces.push_back(p);
            y_ += p.pictureHeight + kPictureGap;
        }
    }

    cairo_t* cr_;
    std::vector<FlowPage>& pages_;
    std::string heading_;
    double y_ = kFlowTop;
    // Blocks made while laying out (tables that cannot stand side by side, one each) live
    // as long as the flow, which outlives the drawing.
    std::vector<std::unique_ptr<ReportBlock>> singles_;
};

void drawLine(cairo_t* cr, double x, double y, const FlowLine& line) {
    const Style& st = styleOf(line.style);
    if (line.style == LineStyle::kAlert) alertColour(cr);
    else cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, x, y + st.line / 2, line.text, st.size, Align::kLeft, st.bold || line.style == LineStyle::kAlert,
         false, st.font);
}

// Rows from .. to of the table with its header, at (x, y).
void drawTable(cairo_t* cr, double x, double y, const ReportTable& t, const TableShape& s, size_t from, size_t to,
               bool continued, bool withNotes) {
    const double size = kTableSize * s.scale;
    cairo_set_source_rgb(cr, 0, 0, 0);
    if (!t.title.empty()) {
        text(cr, x, y + kTableTitle / 2 - 1, t.title + (continued ? " (continued)" : ""), kTableTitleSize, Align::kLeft,
             true);
        y += kTableTitle;
    }
    auto row = [&](const std::vector<std::string>& cells, bool bold) {
        double cx = x;
        for (size_t k = 0; k < s.widths.size(); ++k) {
            const std::string& cell = k < cells.size() ? cells[k] : std::string();
            const bool right = k < t.numeric.size() && t.numeric[k];
            text(cr, right ? cx + s.widths[k] - kCellPad * s.scale : cx, y + kTableRow / 2, cell, size,
                 right ? Align::kRight : Align::kLeft, bold);
            cx += s.widths[k];
        }
        y += kTableRow;
    };
    row(t.columns, true);
    cairo_set_line_width(cr, 0.6);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + s.width - kCellPad * s.scale, y);
    cairo_stroke(cr);
    for (size_t r = from; r < to; ++r) {
        if ((r - from) % 2 == 1) {
            cairo_set_source_rgb(cr, 0.94, 0.94, 0.94);
            cairo_rectangle(cr, x - 2, y, s.width - kCellPad * s.scale + 4, kTableRow);
            cairo_fill(cr);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        row(t.rows[r], false);
    }
    if (!withNotes) {
        if (to < t.rows.size()) {
            cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
            text(cr, x, y + 7, "continues on the next page", 9, Align::kLeft);
        }
        return;
    }
    y += 4;
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    for (const std::string& note : t.notes) {
        text(cr, x, y + kTableNote / 2, note, 9.5, Align::kLeft);
        y += kTableNote;
    }
}

void drawPictures(cairo_t* cr, const Piece& p) {
    const std::vector<std::string>& all = p.block->pictures;
    const size_t perRow = std::min<size_t>(all.size(), 2);
    const double cellWidth = (kFlowWidth - kPictureGap * (perRow - 1)) / perRow;
    for (size_t k = p.rowFrom; k < p.rowTo; ++k) {
        const double x = kMargin + (k - p.rowFrom) * (cellWidth + kPictureGap);
        const double pictureHeight = p.pictureHeight - kCaption;
        const std::string name = std::filesystem::path(all[k]).filename().string();
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        text(cr, x + cellWidth / 2, p.y + pictureHeight + kCaption / 2, name, 9, Align::kCentre);
        cairo_surface_t* png = cairo_image_surface_create_from_png(all[k].c_str());
        if (cairo_surface_status(png) == CAIRO_STATUS_SUCCESS) {
            const double w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
            place(cr, x, p.y, cellWidth, pictureHeight, w, h, [&](cairo_t* c) {
                cairo_set_source_surface(c, png, 0, 0);
                cairo_paint(c);
            });
        } else {
            alertColour(cr);
            text(cr, x, p.y + 10, all[k] + ": not a readable PNG", 9, Align::kLeft, true);
        }
        cairo_surface_destroy(png);
    }
}

void drawPiece(cairo_t* cr, const Piece& p) {
    switch (p.block->kind) {
    case ReportBlock::Kind::kHeading:
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, kMargin, p.y + kHeadingStyle.line / 2, p.lines[0].text, kHeadingStyle.size, Align::kLeft, true);
        return;
    case ReportBlock::Kind::kLines: {
        double y = p.y;
        for (const FlowLine& line : p.lines) {
            drawLine(cr, kMargin, y, line);
            y += styleOf(line.style).line;
        }
        return;
    }
    case ReportBlock::Kind::kTables: {
        double x = kMargin;
        const bool single = p.block->tables.size() == 1;
        for (const ReportTable& t : p.block->tables) {
            const TableShape s = shapeOf(cr, t);
            if (single) drawTable(cr, x, p.y, t, s, p.rowFrom, p.rowTo, p.continued, p.lastPiece);
            else drawTable(cr, x, p.y, t, s, 0, t.rows.size(), false, true);
            x += s.width + kTableGap;
        }
        return;
    }
    case ReportBlock::Kind::kPictures: return drawPictures(cr, p);
    }
}

} // namespace

bool writeReportPdf(const ReportDocument& document, const std::string& path, int& pageCount, std::string& error) {
    pageCount = 0;
    Canvas canvas = openCanvas(PictureFormat::kPdf, kPageWidth, kPageHeight, path);
    if (cairo_surface_status(canvas.surface) != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(cairo_surface_status(canvas.surface));
        closeCanvas(canvas);
        return false;
    }
    cairo_pdf_surface_set_metadata(canvas.surface, CAIRO_PDF_METADATA_CREATOR, "aerial report");
    cairo_pdf_surface_set_metadata(canvas.surface, CAIRO_PDF_METADATA_TITLE, document.title.c_str());

    // Where everything falls, measured with the context that will draw it.
    std::vector<FlowPage> pages;
    Flow flow(canvas.cr, pages);
    flow.section(document.front);
    for (const ReportRunPage& run : document.runs) pages.push_back({run.heading, {}, &run});
    for (const ReportSection& s : document.sections) flow.section(s);

    for (size_t k = 0; k < pages.size(); ++k) {
        if (k > 0) {
            cairo_show_page(canvas.cr);
            cairo_set_source_rgb(canvas.cr, 1, 1, 1);
            cairo_paint(canvas.cr);
        }
        const FlowPage& page = pages[k];
        if (page.run != nullptr) {
            runPage(canvas.cr, *page.run);
        } else {
            heading(canvas.cr, page.heading);
            for (const Piece& piece : page.pieces) drawPiece(canvas.cr, piece);
        }
        foot(canvas.cr, document.title, static_cast<int>(k + 1), static_cast<int>(pages.size()));
    }
    if (!closeCanvas(canvas)) {
        error = "the drawing failed";
        return false;
    }
    pageCount = static_cast<int>(pages.size());
    return true;
}

} // namespace aerial_tool
