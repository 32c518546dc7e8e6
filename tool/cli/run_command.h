// `aerial run`: one simulation in a folder holding the input file.
#pragma once

#include <string>

namespace aerial_tool {

struct RunOptions {
    std::string directory = ".";
    std::string libraryPath; // empty: the library beside the tool
    bool quiet = false;  // no summary line; warnings still go to stderr
    bool check = true;   // print the warnings of `aerial check` before running
    bool strict = false; // with a warning, do not run (exit 2, nothing written)
};

struct InputReport;

// The warnings of `aerial check`, one line each on stderr, then a line naming the whole
// report; true when there was any. Runs and studies (once for all their points) print them.
bool printCheckWarnings(const InputReport& report, const std::string& directory);

// When the input is one a run refuses (a file without TABs), says so on stderr in the words
// of `aerial check` and returns true; `input` names the file.
bool refuseInput(const InputReport& report, const std::string& input);

// Exit status: 0 success (also with check warnings, unless strict), 1 a table was not
// written or is incomplete, 2 bad folder/input or library, an input run refuses (unless
// check is off), or a warning under strict.
// `finiteTables` says whether the tables written hold only finite numbers (false also when
// none were written), so that what follows a run need not say it again.
int runSimulation(const RunOptions& options, bool& finiteTables);

} // namespace aerial_tool
