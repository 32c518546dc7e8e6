// The folders and processes of a study: one folder per point, holding a copy of the input
// with some cells changed, and one `aerial run` process per point. main4 keeps its state
// per process and must never run twice at once in one, so points never share a process.
#pragma once

#include <functional>
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

// Runs the commands, at most `jobs` at a time, calling `progress` after each one ends.
// Returns the indices of the commands that could not start or exited with a status other
// than 0.
std::vector<size_t> runCommands(const std::vector<std::vector<std::string>>& commands, int jobs,
                                const std::function<void(size_t done)>& progress);

} // namespace aerial_tool
