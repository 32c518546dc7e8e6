#include "io/table_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "input/input_layout.h"
#include "output/table_layout.h"

namespace aerial_tool {

namespace fs = std::filesystem;

bool isCompleteTable(const std::string& path, int gridSize) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    long long lines = 0;
    char tail[sizeof aerial::kTableEnding] = {};
    size_t total = 0;
    // Whole blocks and memchr: every point of a study pays this check.
    static char block[1 << 16];
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
        for (const char* p = block; (p = static_cast<const char*>(std::memchr(p, '\n', block + got - p)));
             ++p) {
            ++lines;
        }
        constexpr size_t kTail = sizeof tail;
        if (got >= kTail) {
            std::memcpy(tail, block + got - kTail, kTail);
        } else {
            std::memmove(tail, tail + got, kTail - got);
            std::memcpy(tail + kTail - got, block, got);
        }
        total += got;
    }
    const bool readable = !std::ferror(file);
    std::fclose(file);
    return readable && total >= sizeof aerial::kTableEnding && lines == aerial::tableLineCount(gridSize) &&
           std::memcmp(tail, aerial::kTableEnding, sizeof aerial::kTableEnding) == 0;
}

namespace {

// Whether an n follows the file's first line feed: "nan", "inf" and their signed forms all
// hold one, the digits, signs and points of finite numbers none, and the title line is
// text of its own. In blocks with memchr, as isCompleteTable reads: every run pays this.
bool numbersHoldAnN(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    static char block[1 << 16];
    bool pastTitle = false, found = false;
    for (size_t got; !found && (got = std::fread(block, 1, sizeof block, file)) > 0;) {
        const char* from = block;
        if (!pastTitle) {
            const char* end = static_cast<const char*>(std::memchr(block, '\n', got));
            if (end == nullptr) continue;
            pastTitle = true;
            from = end + 1;
        }
        found = std::memchr(from, 'n', static_cast<size_t>(block + got - from)) != nullptr;
    }
    std::fclose(file);
    return found;
}

} // namespace

std::optional<TableCellPlace> firstNonFiniteInTable(const std::string& path) {
    if (!numbersHoldAnN(path)) return std::nullopt;
    ResultTableData table;
    std::string error;
    if (!readResultTable(path, table, error)) return std::nullopt;
    return firstNonFiniteCell(table);
}

std::string tablesFault(const std::string& folder, int gridSize) {
    const fs::path dir = folder;
    std::error_code ec;
    const fs::file_time_type input = fs::last_write_time(dir / aerial::kInputFileName, ec);
    if (ec) return std::string(aerial::kInputFileName) + " is missing";
    for (const char* name : aerial::kResultTableFileNames) {
        const fs::path table = dir / name;
        const fs::file_time_type written = fs::last_write_time(table, ec);
        if (ec) return std::string(name) + " is missing";
        if (!isCompleteTable(table.string(), gridSize)) return std::string(name) + " is cut short";
        if (written < input) return std::string(name) + " is older than " + aerial::kInputFileName;
    }
    return "";
}

bool writeRunTables(const std::string& folder, const aerial::SimulationResult& result, std::string& error) {
    for (aerial::Table table : {aerial::Table::kSpectrumAmplitude, aerial::Table::kSpectrumPhase,
                                aerial::Table::kImageIntensity}) {
        const std::string path = (fs::path(folder) / aerial::tableFileName(table)).string();
        const std::string bytes = aerial::formatTable(result, table);
        errno = 0;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (file != nullptr && std::fclose(file) != 0) written = false;
        if (!written) {
            error = path + ": cannot write: " + (errno != 0 ? std::strerror(errno) : "short write");
            return false;
        }
    }
    return true;
}

} // namespace aerial_tool
