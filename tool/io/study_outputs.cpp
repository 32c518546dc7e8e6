#include "io/study_outputs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "pictures/picture_format.h"

namespace aerial_tool {

namespace fs = std::filesystem;

std::vector<StudyOutputs> findStudyOutputs(const std::string& directory) {
    std::vector<StudyOutputs> out;
    std::error_code ec;
    for (const fs::directory_entry& sub : fs::directory_iterator(directory, ec)) {
        if (!sub.is_directory(ec)) continue;
        StudyOutputs s;
        s.folder = sub.path().filename().string();
        std::vector<fs::path> vector;
        for (const fs::directory_entry& f : fs::directory_iterator(sub.path(), ec)) {
            if (!f.is_regular_file(ec)) continue;
            const std::string ext = f.path().extension().string();
            const std::string name = (sub.path() / f.path().filename()).string();
            if (ext == ".png") s.pictures.push_back(name);
            else if ((ext == ".svg" || ext == ".pdf") && f.path().filename() != "report.pdf") vector.push_back(name);
            else if (ext == ".json" || ext == ".csv") s.summaries.push_back(name);
        }
        for (const fs::path& v : vector) {
            fs::path png = v;
            png.replace_extension(".png");
            if (std::find(s.pictures.begin(), s.pictures.end(), png.string()) == s.pictures.end())
                s.vectorOnly.push_back(v.string());
        }
        if (s.pictures.empty() && s.vectorOnly.empty()) continue;
        std::sort(s.pictures.begin(), s.pictures.end());
        std::sort(s.vectorOnly.begin(), s.vectorOnly.end());
        // The summaries (JSON) before the tables (CSV) they come from.
        std::sort(s.summaries.begin(), s.summaries.end(), [](const std::string& a, const std::string& b) {
            const bool ja = fs::path(a).extension() == ".json", jb = fs::path(b).extension() == ".json";
            return ja != jb ? ja : a < b;
        });
        out.push_back(std::move(s));
    }
    std::sort(out.begin(), out.end(),
              [](const StudyOutputs& a, const StudyOutputs& b) { return a.folder < b.folder; });
    return out;
}

void removePictures(const std::string& folder, const std::string& stem) {
    std::error_code ec;
    for (PictureFormat f : {PictureFormat::kPng, PictureFormat::kSvg, PictureFormat::kPdf})
        fs::remove(fs::path(folder) / (stem + pictureExtension(f)), ec);
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

std::vector<std::string> alignedColumns(const std::vector<std::string>& csvLines) {
    std::vector<std::vector<std::string>> cells;
    std::vector<size_t> widths;
    for (const std::string& line : csvLines) {
        std::vector<std::string> row;
        size_t start = 0;
        while (true) {
            const size_t comma = line.find(',', start);
            row.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        // A line of another shape (the note of lines left out) stays as it is.
        if (row.size() == 1) {
            cells.push_back(row);
            continue;
        }
        for (size_t k = 0; k < row.size(); ++k) {
            if (widths.size() <= k) widths.push_back(0);
            widths[k] = std::max(widths[k], row[k].size());
        }
        cells.push_back(std::move(row));
    }
    std::vector<std::string> out;
    for (const auto& row : cells) {
        if (row.size() == 1) {
            out.push_back(row[0]);
            continue;
        }
        std::string line;
        for (size_t k = 0; k < row.size(); ++k) {
            line += row[k];
            if (k + 1 < row.size()) line += std::string(widths[k] - row[k].size() + 2, ' ');
        }
        out.push_back(line);
    }
    return out;
}

} // namespace aerial_tool
