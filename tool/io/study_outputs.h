// The study folders (a sweep, a process window, a through-pitch series) in the subfolders
// of a run's folder, found for the report, and the pictures a study draws again.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

// The studies' folders under a run's folder and the tables they write there, which the
// report reads back by the same names.
inline constexpr const char* kSweepFolderName = "sweep";
inline constexpr const char* kWindowFolderName = "window";
inline constexpr const char* kSweepResultsFileName = "results.csv";
inline constexpr const char* kMeefTableFileName = "meef.csv";
inline constexpr const char* kWindowSummaryFileName = "window.json";
inline constexpr const char* kFemTableFileName = "fem.csv";

struct StudyFolder {
    std::string name;      // e.g. "sweep", "window"
    bool manifest = false; // holds the manifest a study writes
};

// Every immediate subfolder of the directory that holds a study's manifest, or pictures
// (PNG, SVG, PDF) at its own level as a study written before manifests left them (a sweep's
// point folders, one level deeper, are not studies of their own), by name. A report.pdf is
// a report, not a picture.
std::vector<StudyFolder> studyFolders(const std::string& directory);

// Removes the picture `stem` of a study folder in every format: a study draws in one
// format, and a picture of an earlier study in another would disagree with its tables.
void removePictures(const std::string& folder, const std::string& stem);

} // namespace aerial_tool
