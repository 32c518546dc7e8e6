// What the tool reads from a folder's input file besides what a run uses.
#pragma once

#include <string>

namespace aerial_tool {

// The length unit the input names in the unit cell of its sample pitch line, or "L" when
// the folder has no input or the cell is empty.
std::string lengthUnitOf(const std::string& directory);

} // namespace aerial_tool
