// The messages of the commands that read a run's tables (metrics, plot): tables missing
// (run first), older than the input beside them, or holding numbers that are not finite.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "io/result_table.h"

namespace aerial_tool {

// Prints, for the first missing table, that the folder must be run first, and returns
// false; prints a warning for tables older than the folder's input and returns true.
bool tablesReadable(const std::string& directory, std::initializer_list<const char*> tables);

// Prints that the table at path holds NaN or an infinity at `cell`, when there is such a
// cell (io/result_table.h finds the first); true then: the table is not measured.
bool refuseNonFinite(const std::string& path, const std::optional<TableCellPlace>& cell);

} // namespace aerial_tool
