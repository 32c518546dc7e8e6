#include "io/study_outputs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace aerial_tool {

namespace fs = std::filesystem;

std::vector<StudyOutputs> findStudyOutputs(const std::string& directory) {
    std::vector<StudyOutputs> out;
    std::error_code ec;
    for (const fs::directory_entry& sub : fs::directory_iterator(directory, ec)) {
        if (!sub.is_directory(ec)) continue;
        StudyOutputs s;
        s.folder = sub.path().filename().string();
        for (const fs::directory_entry& f : fs::directory_iterator(sub.path(), ec)) {
            if (!f.is_regular_file(ec)) continue;
            const std::string ext = f.path().extension().string();
            const std::string name = (sub.path() / f.path().filename()).string();
            if (ext == ".png") s.pictures.push_back(name);
            else if (ext == ".json" || ext == ".csv") s.summaries.push_back(name);
        }
        if (s.pictures.empty()) continue;
        std::sort(s.pictures.begin(), s.pictures.end());
        std::sort(s.summaries.begin(), s.summaries.end());
        out.push_back(std::move(s));
    }
    std::sort(out.begin(), out.end(),
              [](const StudyOutputs& a, const StudyOutputs& b) { return a.folder < b.folder; });
    return out;
}

std::vector<std::string> headLines(const std::string& path, size_t maxLines) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    size_t total = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (++total <= maxLines) lines.push_back(line);
    }
    if (total > maxLines && !lines.empty())
        lines.back() = "... " + std::to_string(total - maxLines + 1) + " more lines in " + path;
    return lines;
}

} // namespace aerial_tool
