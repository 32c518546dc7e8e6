#include "cli/table_messages.h"

#include <cstdio>
#include <filesystem>

#include "input/input_layout.h"
#include "io/input_folder.h"

namespace aerial_tool {

bool tablesReadable(const std::string& directory, std::initializer_list<const char*> tables) {
    std::string stale;
    for (const char* table : tables) {
        const std::string path = (std::filesystem::path(directory) / table).string();
        switch (tableState(directory, table)) {
        case TableState::kMissing:
            std::fprintf(stderr, "aerial: %s: no such table; run first (aerial run %s)\n", path.c_str(),
                         directory.c_str());
            return false;
        case TableState::kOlderThanInput: stale += (stale.empty() ? "" : ", ") + path; break;
        case TableState::kCurrent: break;
        }
    }
    if (!stale.empty())
        std::fprintf(stderr, "aerial: warning: %s older than %s: the input changed after the run (aerial run %s)\n",
                     stale.c_str(), inputPathOf(directory).c_str(), directory.c_str());
    return true;
}

bool refuseNonFinite(const std::string& path, const std::optional<TableCellPlace>& cell) {
    if (!cell) return false;
    std::fprintf(stderr, "aerial: %s\n", nonFiniteText(path, *cell).c_str());
    return true;
}

} // namespace aerial_tool
