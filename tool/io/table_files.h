// The tables in a folder: whether they are a finished run of the input beside them, and
// writing them from a run in memory.
#pragma once

#include <optional>
#include <string>

#include "aerial/engine.hpp"
#include "io/result_table.h"

namespace aerial_tool {

// A finished table has the lines of an N x N table (N = grid size, none below zero) and
// ends as every table does (output/table_layout.h). A table cut short (a full disk, a file
// size limit, a run stopped half way) fails this.
bool isCompleteTable(const std::string& path, int gridSize);

// The first cell of the table file that holds NaN or an infinity (firstNonFiniteCell), or
// none. Finite numbers are printed with digits, a sign and a point alone, so a table with
// no n after its title line (nan and inf have one) is not parsed; one that cannot be read
// gives none too. Not for threads: it reads through a block of its own.
std::optional<TableCellPlace> firstNonFiniteInTable(const std::string& path);

// Why the folder's three tables are not a finished run of its input file: a table missing,
// cut short, or older than the input; empty when they are.
std::string tablesFault(const std::string& folder, int gridSize);

// Writes the three tables of the result into FOLDER (which exists) as main4 writes them,
// byte for byte (aerial::formatTable). False with the reason (the errno text).
bool writeRunTables(const std::string& folder, const aerial::SimulationResult& result, std::string& error);

} // namespace aerial_tool
