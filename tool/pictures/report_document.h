// The report as data: a first page that says what was simulated, the run's page of
// pictures, and a section for each study, made of headings, lines, tables and pictures
// that flow down the pages. Long tables continue on the next page under their header.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pictures/plot_drawing.h"

namespace aerial_tool {

// A table to read: a header row and rows of text cells, the columns of numbers aligned
// right.
struct ReportTable {
    std::string title;                          // bold, above it
    std::vector<std::string> columns;           // the header
    std::vector<bool> numeric;                  // per column: aligned right
    std::vector<std::vector<std::string>> rows; // each as long as the header
    std::vector<std::string> notes;             // small lines under it
};

enum class LineStyle {
    kPlain,
    kBold,
    kAlert, // red: what the reader must know before trusting the page
    kCode,  // monospaced: commands, file names
};

struct ReportLine {
    std::string text;
    LineStyle style = LineStyle::kPlain;
};

// One part of a section's flow.
struct ReportBlock {
    enum class Kind {
        kHeading,  // lines[0], larger and bold
        kLines,    // lines, each wrapped to the page's width
        kTables,   // tables side by side; a single table breaks across pages
        kPictures, // PNG files in a row
    };
    Kind kind = Kind::kLines;
    std::vector<ReportLine> lines;
    std::vector<ReportTable> tables;
    std::vector<std::string> pictures;
};

// Blocks under one page heading; pages the section runs on repeat it with "(continued)".
struct ReportSection {
    std::string heading;
    std::vector<ReportBlock> blocks;
};

// The run's page: the input summary, the image with its contours and mask, the cutline
// with its metrics, the spectrum and the source, all drawn as vectors.
struct ReportRunPage {
    std::string heading;
    std::vector<std::string> alerts;  // red, under the heading
    std::vector<std::string> summary; // monospaced lines, warnings first
    ResultTableData image;
    HeatmapPicture imagePicture;
    CutlinePicture cutline;
    std::vector<std::string> metrics;   // monospaced lines under the cutline: figures and runs
    std::vector<std::string> crossings; // beside them: the crossings
    ResultTableData spectrum;
    HeatmapPicture spectrumPicture;
    std::optional<SourcePicture> source;
};

struct ReportDocument {
    std::string title;                   // on the first page and in every page's foot
    ReportSection front;                 // the first page (and more, when it is long)
    std::vector<ReportRunPage> runs;     // after it
    std::vector<ReportSection> sections; // then the studies, each from a new page
};

// Builds a block.
inline ReportBlock headingBlock(const std::string& text) {
    return {ReportBlock::Kind::kHeading, {{text, LineStyle::kBold}}, {}, {}};
}
inline ReportBlock linesBlock(std::vector<ReportLine> lines) {
    return {ReportBlock::Kind::kLines, std::move(lines), {}, {}};
}
inline ReportBlock tablesBlock(std::vector<ReportTable> tables) {
    return {ReportBlock::Kind::kTables, {}, std::move(tables), {}};
}
inline ReportBlock picturesBlock(std::vector<std::string> pictures) {
    return {ReportBlock::Kind::kPictures, {}, {}, std::move(pictures)};
}

// The report as a PDF of A3 landscape pages. False with a reason when it cannot be
// written; `pages` is the number of pages written.
bool writeReportPdf(const ReportDocument& document, const std::string& path, int& pages, std::string& error);

} // namespace aerial_tool
