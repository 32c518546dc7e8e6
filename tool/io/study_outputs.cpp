#include "io/study_outputs.h"

#include <algorithm>
#include <filesystem>

#include "io/study_manifest.h"
#include "pictures/picture_format.h"

namespace aerial_tool {

namespace fs = std::filesystem;

std::vector<StudyFolder> studyFolders(const std::string& directory) {
    std::vector<StudyFolder> out;
    std::error_code ec;
    for (const fs::directory_entry& sub : fs::directory_iterator(directory, ec)) {
        if (!sub.is_directory(ec)) continue;
        StudyFolder s{sub.path().filename().string(), fs::is_regular_file(sub.path() / kStudyManifestFileName, ec)};
        bool outputs = s.manifest;
        for (const fs::directory_entry& f : fs::directory_iterator(sub.path(), ec)) {
            if (outputs) break;
            if (!f.is_regular_file(ec)) continue;
            const std::string ext = f.path().extension().string();
            outputs = ext == ".png" || ext == ".svg" || (ext == ".pdf" && f.path().filename() != "report.pdf");
        }
        if (outputs) out.push_back(s);
    }
    std::sort(out.begin(), out.end(), [](const StudyFolder& a, const StudyFolder& b) { return a.name < b.name; });
    return out;
}

void removePictures(const std::string& folder, const std::string& stem) {
    std::error_code ec;
    for (PictureFormat f : {PictureFormat::kPng, PictureFormat::kSvg, PictureFormat::kPdf})
        fs::remove(fs::path(folder) / (stem + pictureExtension(f)), ec);
}

} // namespace aerial_tool
