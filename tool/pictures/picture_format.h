// The file formats every picture can be written in: cairo's own image, SVG and PDF surfaces.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace aerial_tool {

enum class PictureFormat { kPng, kSvg, kPdf };

// A picture's title, bold, and the conditions it was made under on a smaller line below it
// (none when empty), as every picture of a run or a study has them.
struct PictureTitle {
    std::string title;
    std::string conditions;

    PictureTitle(const char* t) : title(t) {}
    PictureTitle(std::string t = {}, std::string c = {}) : title(std::move(t)), conditions(std::move(c)) {}
};

// The file name extension with its dot: ".png", ".svg", ".pdf".
constexpr const char* pictureExtension(PictureFormat format) {
    switch (format) {
    case PictureFormat::kSvg: return ".svg";
    case PictureFormat::kPdf: return ".pdf";
    case PictureFormat::kPng: break;
    }
    return ".png";
}

// "png", "svg" or "pdf"; false for anything else.
constexpr bool parsePictureFormat(std::string_view name, PictureFormat& format) {
    if (name == "png") format = PictureFormat::kPng;
    else if (name == "svg") format = PictureFormat::kSvg;
    else if (name == "pdf") format = PictureFormat::kPdf;
    else return false;
    return true;
}

} // namespace aerial_tool
