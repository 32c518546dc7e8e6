// Changing cells of an input file in place: the sweeps' members and `aerial set`.
#pragma once

#include <string>

namespace aerial_tool {

// The bytes of an input file with the text of one cell replaced and every other byte
// kept, line ends included. Returns false when the file has no such cell.
bool replaceCell(const std::string& bytes, int line, int column, const std::string& text,
                 std::string& result);

} // namespace aerial_tool
