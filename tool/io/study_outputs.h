// The pictures and summaries that studies (a sweep, a process window, a through-pitch
// series) leave in the subfolders of a run's folder, found for the report.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

struct StudyOutputs {
    std::string folder;                 // e.g. "sweep", "window"
    std::vector<std::string> pictures;  // its PNG files, by name
    std::vector<std::string> vectorOnly; // its SVG and PDF pictures that have no PNG beside them
    std::vector<std::string> summaries; // its JSON files, then its CSV files, by name
};

// Every immediate subfolder of the directory that holds pictures (PNG, SVG or PDF) at its
// own level (a sweep's point folders, one level deeper, are not studies of their own), by
// name. A report.pdf is a report, not a picture.
std::vector<StudyOutputs> findStudyOutputs(const std::string& directory);

// Removes the picture `stem` of a study folder in every format: a study draws in one
// format, and a picture of an earlier study in another would disagree with its tables.
void removePictures(const std::string& folder, const std::string& stem);

// The lines of a text file, at most maxLines, the last one saying how many were left out.
std::vector<std::string> headLines(const std::string& path, size_t maxLines);

// Comma-separated lines as columns padded to their widest cell, for reading in a report.
std::vector<std::string> alignedColumns(const std::vector<std::string>& csvLines);

} // namespace aerial_tool
