// `aerial report DIR`: one PDF with a page for the run in DIR (its input summary, image,
// cutline, spectrum and source) and a page for each study the folder holds.
#pragma once

#include <string>

#include "cli/plot_command.h"

namespace aerial_tool {

struct ReportOptions {
    std::string directory = ".";
    PictureOptions pictures;
    std::string output; // default DIR/report.pdf
    bool quiet = false;
};

// Exit status: 0 written, 2 the tables or the input cannot be read, or the PDF written.
int writeReport(const ReportOptions& options);

} // namespace aerial_tool
