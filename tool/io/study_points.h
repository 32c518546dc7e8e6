// The folders and commands of a study: one folder per point, holding a copy of the input
// with some cells changed, and the `aerial run` command that runs it elsewhere (the tool
// itself runs the points in process, cli/study.h).
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

struct CellChange {
    int line;
    int column;
    std::string text; // the new text of the number; a unit written after it stays
};

// The input's bytes with the cells changed. False with a reason when a cell is missing.
bool changedInput(const std::string& bytes, const std::vector<CellChange>& changes, std::string& result,
                  std::string& error);

// Writes FOLDER/<input file> unless it already holds exactly these bytes (a study set up
// twice keeps its finished runs). False with the reason (the errno text).
bool writePointInput(const std::string& folder, const std::string& bytes, std::string& error);

// Writes the file unless it already holds exactly these bytes (its time then stays).
bool writeFileIfChanged(const std::string& path, const std::string& bytes, std::string& error);

// Sub-folders of `studyDir` holding an input file whose names are not in `current`: the
// points of an earlier study. Sorted by name.
std::vector<std::string> staleFolders(const std::string& studyDir, const std::vector<std::string>& current);

// The absolute path of this executable.
std::string toolPath();

// The absolute command that runs one point from any working folder, without checking the
// input again (the study checks it once).
std::vector<std::string> pointRunCommand(const std::string& tool, const std::string& folder,
                                         const std::string& library);

// One line for a shell, each argument quoted where it needs it.
std::string commandLine(const std::vector<std::string>& arguments);

} // namespace aerial_tool
