#include "io/input_folder.h"

#include <filesystem>
#include <fstream>

namespace aerial_tool {

namespace fs = std::filesystem;

std::string lengthUnitOf(const std::string& directory) {
    // Line 3, column 1 of the input: free text that by custom names the pitch's unit.
    std::ifstream in(fs::path(directory) / "IN_FM.txt", std::ios::binary);
    std::string line;
    for (int k = 0; k <= 3 && std::getline(in, line); ++k) {
        if (k < 3) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t a = line.find('\t');
        if (a == std::string::npos) break;
        size_t b = line.find('\t', a + 1);
        std::string unit = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
        while (!unit.empty() && unit.back() == ' ') unit.pop_back();
        if (!unit.empty()) return unit;
    }
    return "L";
}

} // namespace aerial_tool
