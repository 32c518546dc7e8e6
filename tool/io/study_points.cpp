#include "io/study_points.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "input/input_cells.h"
#include "input/input_layout.h"
#include "io/input_edit.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

// The text the core's scan stores in a cell (the one replaceCell replaces): its bytes
// without the carriage returns the scan ignores, up to a zero byte (where the cell's text
// ends) and at most the bytes a cell keeps.
std::string cellAt(const std::string& bytes, int line, int column) {
    aerial::CellSpan span{};
    if (!aerial::locateCell(bytes, column, line, span)) return "";
    std::string text;
    for (size_t k = span.begin; k < span.end && text.size() + 1 < static_cast<size_t>(aerial::kCellBytes); ++k) {
        if (bytes[k] == '\0') break;
        if (bytes[k] != '\r') text += bytes[k];
    }
    return text;
}

// What follows the leading number of a cell when white space sets it off ("0 um").
std::string unitAfterNumber(const std::string& cell) {
    size_t p = cell.find_first_not_of(" \t");
    if (p == std::string::npos) return "";
    p = cell.find_first_of(" \t", p);
    return p == std::string::npos ? "" : cell.substr(p);
}

} // namespace

bool changedInput(const std::string& bytes, const std::vector<CellChange>& changes, std::string& result,
                  std::string& error) {
    result = bytes;
    for (const CellChange& c : changes) {
        std::string next;
        const std::string text = c.text + unitAfterNumber(cellAt(result, c.line, c.column));
        if (!replaceCell(result, c.line, c.column, text, next)) {
            error = "has no cell at line " + std::to_string(c.line) + ", column " + std::to_string(c.column);
            return false;
        }
        result = next;
    }
    return true;
}

bool writePointInput(const std::string& folder, const std::string& bytes, std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = folder + ": cannot create: " + ec.message();
        return false;
    }
    return writeFileIfChanged((fs::path(folder) / aerial::kInputFileName).string(), bytes, error);
}

bool writeFileIfChanged(const std::string& file, const std::string& bytes, std::string& error) {
    const fs::path path = file;
    {
        std::ifstream old(path, std::ios::binary);
        if (old) {
            std::ostringstream text;
            text << old.rdbuf();
            if (text.str() == bytes) return true;
        }
    }
    if (writeFileBytes(path.string(), bytes, error)) return true;
    error = path.string() + ": cannot write: " + error;
    return false;
}

std::vector<std::string> staleFolders(const std::string& studyDir, const std::vector<std::string>& current) {
    std::vector<std::string> stale;
    std::error_code ec;
    for (fs::directory_iterator it(studyDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_directory(ec)) continue;
        const std::string name = it->path().filename().string();
        if (!fs::exists(it->path() / aerial::kInputFileName, ec)) continue;
        if (std::find(current.begin(), current.end(), name) == current.end()) stale.push_back(name);
    }
    std::sort(stale.begin(), stale.end());
    return stale;
}

std::string toolPath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("aerial") : self.string();
}

std::vector<std::string> pointRunCommand(const std::string& tool, const std::string& folder,
                                         const std::string& library) {
    std::error_code ec;
    std::vector<std::string> args = {tool, "run", "-q", "--no-check",
                                     fs::absolute(folder, ec).lexically_normal().string()};
    if (!library.empty()) {
        args.push_back("--library");
        args.push_back(fs::absolute(library, ec).lexically_normal().string());
    }
    return args;
}

std::string commandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& s : arguments) {
        bool plain = !s.empty();
        for (char ch : s) plain = plain && (std::isalnum(static_cast<unsigned char>(ch)) || std::strchr("/._-+=:,", ch));
        if (!line.empty()) line += ' ';
        if (plain) {
            line += s;
            continue;
        }
        line += '\'';
        for (char ch : s) {
            if (ch == '\'') {
                line.append("'\\''");
            } else {
                line += ch;
            }
        }
        line += '\'';
    }
    return line;
}

} // namespace aerial_tool
