#include "io/input_edit.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "input/input_cells.h"

namespace aerial_tool {

bool replaceCell(const std::string& bytes, int line, int column, const std::string& text,
                 std::string& result) {
    // The cell the core's scan stores there, found by the scan's own rules.
    aerial::CellSpan span{};
    if (!aerial::locateCell(bytes, column, line, span)) return false;
    result = bytes.substr(0, span.begin) + text + bytes.substr(span.end);
    return true;
}

std::string parameterNames() {
    std::string names;
    for (const aerial::ParameterCell& p : aerial::kParameterCells) {
        if (!names.empty()) names += ' ';
        names += p.name;
    }
    return names;
}

bool parseAssignment(const std::string& argument, CellAssignment& assignment, std::string& error) {
    const size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        error = "'" + argument + "' is not NAME=VALUE";
        return false;
    }
    const std::string name = argument.substr(0, equals);
    const aerial::ParameterCell* cell = aerial::findParameter(name);
    if (cell == nullptr) {
        error = "no parameter is named '" + name + "'; the names are: " + parameterNames();
        return false;
    }
    std::string text = argument.substr(equals + 1);
    if (text.find_first_of("\t\n\r") != std::string::npos) {
        error = name + ": a cell cannot hold a TAB, line feed or carriage return";
        return false;
    }
    assignment = {cell, std::move(text)};
    return true;
}

bool applyAssignments(const std::string& bytes, const std::vector<CellAssignment>& assignments,
                      std::string& result, std::string& error) {
    std::string current = bytes;
    for (const CellAssignment& a : assignments) {
        std::string next;
        if (!replaceCell(current, a.cell->line, a.cell->column, a.text, next)) {
            error = std::string(a.cell->name) + ": the file has no cell at line " + std::to_string(a.cell->line) +
                    ", column " + std::to_string(a.cell->column) + " (a line or a TAB is missing)";
            return false;
        }
        current = std::move(next);
    }
    result = std::move(current);
    return true;
}

bool readFileBytes(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes.clear();
    char block[1 << 14];
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool writeFileBytes(const std::string& path, const std::string& bytes, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = std::strerror(written ? errno : writeErrno);
        return false;
    }
    return true;
}

} // namespace aerial_tool
