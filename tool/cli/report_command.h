// `aerial report DIR`: one PDF of the run in DIR: a first page with what was simulated,
// what not to trust and the headline figures, the run's page of pictures, and for each
// study the folder holds the tables and pictures its manifest lists.
#pragma once

#include <string>

#include "cli/plot_command.h"

namespace aerial_tool {

struct ReportOptions {
    std::string directory = ".";
    PictureOptions pictures;
    std::string output; // default DIR/report.pdf
    std::string title;  // default "aerial report: <folder>"
    std::string notes;  // a text file for the first page
    bool quiet = false;
};

// Exit status: 0 written (its path printed), 2 when the tables, the input or the notes
// cannot be read, or the PDF cannot be written.
int writeReport(const ReportOptions& options);

} // namespace aerial_tool
