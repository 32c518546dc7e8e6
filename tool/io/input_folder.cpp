#include "io/input_folder.h"

#include <cctype>
#include <filesystem>

#include "input/input_layout.h"

namespace aerial_tool {

namespace fs = std::filesystem;

std::unique_ptr<aerial::InputCells> newInputCells() {
    // Not value-initialised: the scan needs no clearing, and zeroing the megabyte would
    // touch every page of it, a measurable part of a run's time.
    return std::unique_ptr<aerial::InputCells>(new aerial::InputCells);
}

std::unique_ptr<aerial::InputCells> scanInput(const std::string& path) {
    std::unique_ptr<aerial::InputCells> cells = newInputCells();
    if (!aerial::scanInputFile(path.c_str(), *cells)) return nullptr;
    return cells;
}

std::string inputPathOf(const std::string& directory) {
    return (fs::path(directory) / aerial::kInputFileName).string();
}

std::string lengthUnitOf(const std::string& directory) {
    // By custom the cell before the pitch's value names its unit; no run reads it.
    std::error_code ec;
    const std::string path = inputPathOf(directory);
    if (!fs::is_regular_file(path, ec)) return "L";
    std::unique_ptr<aerial::InputCells> cells = scanInput(path);
    if (!cells) return "L";
    const aerial::ParameterCell& pitch = aerial::parameterCell(aerial::ParameterId::kSamplePitch);
    std::string unit = aerial::cellText(*cells, pitch.column - 1, pitch.line).text;
    while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.back()))) unit.pop_back();
    return unit.empty() ? "L" : unit;
}

TableState tableState(const std::string& directory, const char* tableName) {
    std::error_code ec;
    const fs::path table = fs::path(directory) / tableName;
    const fs::file_time_type written = fs::last_write_time(table, ec);
    if (ec) return TableState::kMissing;
    const fs::file_time_type changed = fs::last_write_time(inputPathOf(directory), ec);
    if (!ec && changed > written) return TableState::kOlderThanInput;
    return TableState::kCurrent;
}

} // namespace aerial_tool
