// The pictures and summaries that studies (a sweep, a process window, a through-pitch
// series) leave in the subfolders of a run's folder, found for the report.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

struct StudyOutputs {
    std::string folder;                 // e.g. "sweep", "window"
    std::vector<std::string> pictures;  // its PNG files, by name
    std::vector<std::string> summaries; // its JSON files, then its CSV files, by name
};

// Every immediate subfolder of the directory that holds PNG pictures at its own level (a
// sweep's point folders, one level deeper, are not studies of their own), by name.
std::vector<StudyOutputs> findStudyOutputs(const std::string& directory);

// The lines of a text file, at most maxLines, the last one saying how many were left out.
std::vector<std::string> headLines(const std::string& path, size_t maxLines);

// Comma-separated lines as columns padded to their widest cell, for reading in a report.
std::vector<std::string> alignedColumns(const std::vector<std::string>& csvLines);

} // namespace aerial_tool
