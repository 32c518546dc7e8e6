// What the report says, as tables and lines for its pages: the conditions of the run and
// its headline figures, and for each study the tables of what its manifest lists (a
// sweep's points, CD and NILS through pitch, the mask error factor, a process window and
// its focus-exposure matrix), never the files as written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/input_check.h"
#include "analysis/run_pictures.h"
#include "io/study_manifest.h"
#include "pictures/report_document.h"

namespace aerial_tool {

// A headline figure on the first page: where it comes from ("run", "window", ...), what it
// is, and its value with its unit.
struct HeadlineFigure {
    std::string source;
    std::string figure;
    std::string value;
    bool stale = false; // its source is older than the input or made from another
};

// The conditions a run simulates, as the run reads them: grid and field, optics with the
// effective sigma, aberrations, mask, resolution.
ReportTable conditionsTable(const InputReport& input);

// The figures of the run's feature at each threshold: CD, NILS of both edges, contrast.
std::vector<HeadlineFigure> runHeadline(const CutlineResult& cut, const std::string& unit);

// A table of the headline figures; those of a stale source marked, with a note saying so.
ReportTable headlineTable(const std::vector<HeadlineFigure>& figures);

struct StudyContent {
    ReportSection section;
    std::vector<HeadlineFigure> headline;
    std::optional<double> t0;            // a window's threshold, for the run's page
    std::vector<std::string> notEmbedded; // pictures drawn as SVG or PDF only, by name
};

// The section of the study in `folder` (its name `name`) from the files its manifest lists:
// `problems` (manifestProblems) first, in red, then how it was made, its tables and its PNG
// pictures. A listed file that cannot be read is said in red in its place. `unit` names
// the length unit in the headers. With problems, its headline figures are stale.
StudyContent studyContent(const std::string& folder, const std::string& name, const StudyManifest& manifest,
                          const std::vector<std::string>& problems, const std::string& unit);

// A cell of a table: a number written to 6 significant digits, any other text as it is.
std::string tableCell(const std::string& text);

} // namespace aerial_tool
