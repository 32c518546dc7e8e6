#include "test_support.h"

#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

#ifndef _WIN32
ToolOutcome runToolAt(const std::string& tool, const std::string& arguments) {
    const std::string command = tool + " " + arguments + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile("stdout.txt"), readFile("stderr.txt")};
}
#endif

namespace {

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

} // namespace

void InputGrid::set(int line, int column, const std::string& text) {
    if (lines_.size() <= static_cast<std::size_t>(line)) lines_.resize(line + 1);
    std::vector<std::string>& cells = lines_[line];
    if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(column + 1);
    cells[column] = text;
}

void InputGrid::setParameter(aerial::ParameterId id, const std::string& text) {
    const aerial::ParameterCell& cell = aerial::parameterCell(id);
    set(cell.line, cell.column, text);
}

void InputGrid::setRectangle(int r, const std::vector<std::string>& cells) {
    const int line = aerial::rectangleLine(r);
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const int column = k < aerial::kRectangleCellCount
                               ? aerial::kRectangleCells[k].column
                               : aerial::kRectangleCells[aerial::kRectangleCellCount - 1].column +
                                     static_cast<int>(k) - aerial::kRectangleCellCount + 1;
        set(line, column, cells[k]);
    }
}

std::string InputGrid::text(const std::string& lineEnd) const {
    std::string out;
    for (const std::vector<std::string>& cells : lines_) {
        for (std::size_t k = 0; k < cells.size(); ++k) out += (k > 0 ? "\t" : "") + cells[k];
        out += lineEnd;
    }
    return out;
}

InputGrid TestInput::grid() const {
    using aerial::ParameterId;
    InputGrid g;
    g.set(0, 0, "aerial input");
    g.set(1, 0, "name");
    g.set(1, 1, "unit");
    g.set(1, 2, "value");
    const double reals[] = {samplePitch, wavelength, numericalAperture, sigma, shiftX, shiftY,
                            defocus,     aberrX[1],  aberrX[2],         aberrX[3], aberrX[4],
                            aberrX[5],   aberrX[6],  aberrY[1],         aberrY[2], aberrY[3],
                            aberrY[4],   aberrY[5],  aberrY[6]};
    for (const aerial::ParameterCell& cell : aerial::kParameterCells) {
        g.set(cell.line, 0, cell.name);
        g.set(cell.line, 1, "unit");
    }
    g.setParameter(ParameterId::kGridSize, gridSize);
    for (int i = 0; i < 19; ++i) {
        g.setParameter(static_cast<ParameterId>(static_cast<int>(ParameterId::kSamplePitch) + i),
                       number(reals[i]));
    }
    g.setParameter(ParameterId::kRectCount, std::to_string(rects.size()));
    // A heading line just above the first row.
    const int heading = aerial::rectangleLine(-1);
    g.set(heading, 0, "row");
    for (const aerial::RectangleCell& cell : aerial::kRectangleCells) g.set(heading, cell.column, cell.name);
    for (std::size_t r = 0; r < rects.size(); ++r) {
        const Rect& q = rects[r];
        AERIAL_GCC12_STRING_RESTRICT_OFF
        g.set(aerial::rectangleLine(static_cast<int>(r)), 0, "r" + std::to_string(r));
        AERIAL_GCC12_STRING_RESTRICT_ON
        g.setRectangle(static_cast<int>(r), {number(q.transRe), number(q.transIm), number(q.xStart),
                                             number(q.xEnd), number(q.yStart), number(q.yEnd)});
    }
    return g;
}

TestInput twoRectangleExample() {
    TestInput inputFile;
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

void writeInput(const TestInput& inputFile) { writeInput(inputFile.text()); }

void writeInput(const std::string& text) { writeFile(aerial::kInputFileName, text); }

Tables readTables(const std::string& dir) {
    return {readFile(dir + "/" + aerial::kSpectrumAmplitudeFileName),
            readFile(dir + "/" + aerial::kSpectrumPhaseFileName),
            readFile(dir + "/" + aerial::kImageIntensityFileName)};
}

namespace {

struct Lcg {
    std::uint64_t state;
    double uniform(double lo, double hi) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * (static_cast<double>(state >> 11) / 9007199254740992.0);
    }
};

} // namespace

aerial::InputValues variedInput(int k) {
    Lcg random{static_cast<std::uint64_t>(k) * 7919 + 1};
    aerial::InputValues v{};
    v.gridSize = 8 + static_cast<int>(random.uniform(0, 121));
    v.samplePitch = random.uniform(0.005, 0.05);
    v.wavelength = 0.193;
    v.numericalAperture = random.uniform(0.3, 0.95);
    v.sigma = random.uniform(0, 0.9);
    v.spectrumShiftX = k % 3 == 0 ? random.uniform(-0.1, 0.1) : 0.0;
    v.defocus = random.uniform(-0.2, 0.2);
    for (int j = 1; j <= 6; ++j) v.aberrX[j] = k % 2 ? random.uniform(-0.01, 0.01) : 0.0, v.aberrY[j] = random.uniform(-0.01, 0.01);
    v.rectCount = 1 + static_cast<int>(random.uniform(0, 20));
    const double h = v.gridSize / 2;
    for (int r = 0; r < v.rectCount; ++r) {
        v.rects[r] = {random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-h, 0), random.uniform(0, h),
                      random.uniform(-h, 0), random.uniform(0, h)};
    }
    return v;
}

} // namespace aerial_test
