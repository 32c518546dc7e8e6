#include "cli/set_command.h"

#include <cstdio>
#include <filesystem>

#include "analysis/input_check.h"
#include "input/input_layout.h"
#include "io/file_reason.h"
#include "io/input_edit.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

void printLayout() {
    std::printf("input      %s\n", aerial::kInputFileName);
    std::printf("tables     %s %s %s\n", aerial::kSpectrumAmplitudeFileName, aerial::kSpectrumPhaseFileName,
                aerial::kImageIntensityFileName);
    std::printf("name          line  column  meaning\n");
    for (const aerial::ParameterCell& p : aerial::kParameterCells)
        std::printf("%-12s  %4d  %6d  %s\n", p.name, p.line, p.column, p.meaning);
}

} // namespace

int setInputCells(const SetOptions& options) {
    if (options.list) {
        printLayout();
        return 0;
    }
    if (options.path.empty() || options.assignments.empty()) {
        std::fprintf(stderr, "aerial set: give a folder (or input file) and at least one NAME=VALUE; "
                             "`aerial set --list` shows the names\n");
        return 2;
    }
    std::vector<CellAssignment> assignments;
    for (const std::string& argument : options.assignments) {
        CellAssignment a{};
        std::string error;
        if (!parseAssignment(argument, a, error)) {
            std::fprintf(stderr, "aerial set: %s\n", error.c_str());
            return 2;
        }
        // The cell as the run would read it: a text it reads otherwise than written is refused.
        const std::string problem = a.text.find_first_not_of(" \t\v\f") == std::string::npos
                                        ? "an empty cell reads as 0; give a number"
                                        : cellTextProblem(a.text, a.cell->kind);
        if (!options.anyText && !problem.empty()) {
            std::fprintf(stderr, "aerial set: %s: %s; nothing changed (--any-text writes it as given)\n",
                         showText(argument).c_str(), showText(problem).c_str());
            return 2;
        }
        assignments.push_back(a);
    }
    std::error_code ec;
    fs::path file = options.path;
    if (fs::is_directory(file, ec)) file /= aerial::kInputFileName;
    std::string bytes;
    if (!fs::is_regular_file(file, ec) || !readFileBytes(file.string(), bytes)) {
        std::fprintf(stderr, "aerial: %s: %s\n", file.c_str(), notReadable(file.string()).c_str());
        return 2;
    }
    std::string edited, error;
    if (!applyAssignments(bytes, assignments, edited, error)) {
        std::fprintf(stderr, "aerial set: %s: %s; nothing changed\n", file.c_str(), error.c_str());
        return 2;
    }
    if (!writeFileBytes(file.string(), edited, error)) {
        std::fprintf(stderr, "aerial set: %s: cannot write: %s\n", file.c_str(), error.c_str());
        return 2;
    }
    return 0;
}

} // namespace aerial_tool
