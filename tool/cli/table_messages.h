// The messages of the commands that read a run's tables (metrics, plot): tables missing
// (run first) or older than the input beside them.
#pragma once

#include <initializer_list>
#include <string>

namespace aerial_tool {

// Prints, for the first missing table, that the folder must be run first, and returns
// false; prints a warning for tables older than the folder's input and returns true.
bool tablesReadable(const std::string& directory, std::initializer_list<const char*> tables);

} // namespace aerial_tool
