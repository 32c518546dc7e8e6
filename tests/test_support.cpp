#include "test_support.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "input/input_layout.h"

namespace aerial_test {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "aerial-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    previous_ = fs::current_path().string();
    fs::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool fileExists(const std::string& path) { return fs::exists(path); }

namespace {

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

} // namespace

std::string InputSpec::text() const {
    std::string out;
    auto line = [&](const std::string& body) { out += body + lineEnd; };
    auto param = [&](const std::string& name, const std::string& value) {
        line(name + "\tunit\t" + value);
    };
    line("aerial input");
    line("name\tunit\tvalue");
    param("grid", gridSize);
    param("pitch", number(samplePitch));
    param("wavelength", number(wavelength));
    param("NA", number(numericalAperture));
    param("sigma", number(sigma));
    param("shift x", number(shiftX));
    param("shift y", number(shiftY));
    param("defocus", number(defocus));
    for (int j = 1; j <= 6; ++j) param("aberr x" + std::to_string(j), number(aberrX[j]));
    for (int j = 1; j <= 6; ++j) param("aberr y" + std::to_string(j), number(aberrY[j]));
    param("rectangles", std::to_string(rects.size()));
    line("");
    line("row\tre\tim\tx0\tx1\ty0\ty1");
    for (std::size_t r = 0; r < rects.size(); ++r) {
        const Rect& q = rects[r];
        line("r" + std::to_string(r) + "\t" + number(q.transRe) + "\t" + number(q.transIm) +
             "\t" + number(q.xStart) + "\t" + number(q.xEnd) + "\t" + number(q.yStart) + "\t" +
             number(q.yEnd));
    }
    return out;
}

InputSpec twoRectangleExample() {
    InputSpec inputFile;
    inputFile.rects = {{1, 0, -20, 20, -40, 40}, {-1, 0, -5, 5, -70, 70}};
    return inputFile;
}

bool useCommaDecimalLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) return true;
    }
    static std::string generated;
    if (generated.empty()) {
        std::string dir = (fs::temp_directory_path() / "aerial-test-locales").string();
        fs::create_directories(dir);
        std::string command = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 && !fs::exists(dir + "/de_DE.UTF-8")) return false;
        generated = dir;
    }
    setenv("LOCPATH", generated.c_str(), 1);
    bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    return ok && std::localeconv()->decimal_point[0] == ',';
}

void useClassicLocale() {
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
}

void writeInput(const InputSpec& inputFile) { writeFile(aerial::kInputFileName, inputFile.text()); }

} // namespace aerial_test
