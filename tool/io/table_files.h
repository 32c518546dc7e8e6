// The tables in a folder: whether they are a finished run of the input beside them, and
// writing them from a run in memory.
#pragma once

#include <string>

#include "aerial/engine.hpp"

namespace aerial_tool {

// A finished table has N + 3 lines (N = grid size, none below zero) and ends with the TAB
// CR LF of its last row or axis row and the CR LF of the closing empty line. A table cut
// short (a full disk, a file size limit, a run stopped half way) fails this.
bool isCompleteTable(const std::string& path, int gridSize);

// Why the folder's three tables are not a finished run of its input file: a table missing,
// cut short, or older than the input; empty when they are.
std::string tablesFault(const std::string& folder, int gridSize);

// Writes the three tables of the result into FOLDER (which exists) as main4 writes them,
// byte for byte (aerial::formatTable). False with the reason (the errno text).
bool writeRunTables(const std::string& folder, const aerial::SimulationResult& result, std::string& error);

} // namespace aerial_tool
