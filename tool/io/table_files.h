// Whether the tables in a folder are a finished run of the input beside them.
#pragma once

#include <string>

namespace aerial_tool {

// A finished table has N + 3 lines (N = grid size, none below zero) and ends with the TAB
// CR LF of its last row or axis row and the CR LF of the closing empty line. A table cut
// short (a full disk, a file size limit, a run stopped half way) fails this.
bool isCompleteTable(const std::string& path, int gridSize);

// Why the folder's three tables are not a finished run of its input file: a table missing,
// cut short, or older than the input; empty when they are.
std::string tablesFault(const std::string& folder, int gridSize);

} // namespace aerial_tool
