// A run's folder as the pictures and the report read it: the input through the core's own
// reader (any path, no working-folder change) with its derived optics, and the tables.
#pragma once

#include <memory>
#include <string>

#include "input/parse_input.h"
#include "io/result_table.h"
#include "optics/source_points.h"

namespace aerial_tool {

struct RunInput {
    std::unique_ptr<aerial::InputValues> values; // null when the input cannot be read
    aerial::DerivedOptics optics{};
    std::string lengthUnit = "L"; // when the input names none
    std::string folderName; // the folder's own name, for titles
};

// Reads the input file of DIR with the core's scan and parse. Without a readable input the values
// stay null: the tables can still be drawn, without the mask and the optics.
RunInput readRunInput(const std::string& directory);

// The folder's name as a title shows it: the last part of its absolute path.
std::string folderNameOf(const std::string& directory);

} // namespace aerial_tool
