#include "bench_inputs.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "input/input_layout.h"

namespace aerial_bench {

std::string exampleInput() {
    std::ifstream in(AERIAL_EXAMPLE, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

// A fixed generator, so every run of the benchmark sees the same mask.
struct Lcg {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    double next() { // in [0, 1)
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    }
};

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// An input file cell by cell at the positions of the input layout.
class InputGrid {
public:
    void set(int line, int column, const std::string& text) {
        if (lines_.size() <= static_cast<std::size_t>(line)) lines_.resize(line + 1);
        std::vector<std::string>& cells = lines_[line];
        if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(column + 1);
        cells[column] = text;
    }
    void setParameter(aerial::ParameterId id, const std::string& text) {
        const aerial::ParameterCell& cell = aerial::parameterCell(id);
        set(cell.line, 0, cell.name);
        set(cell.line, cell.column, text);
    }
    void setRectangle(int r, const std::string& label, const double (&values)[aerial::kRectangleCellCount]) {
        set(aerial::rectangleLine(r), 0, label);
        for (int k = 0; k < aerial::kRectangleCellCount; ++k) {
            set(aerial::rectangleLine(r), aerial::kRectangleCells[k].column, number(values[k]));
        }
    }
    std::string text() const {
        std::string out;
        for (const std::vector<std::string>& cells : lines_) {
            for (std::size_t k = 0; k < cells.size(); ++k) out += (k > 0 ? "\t" : "") + cells[k];
            out += "\n";
        }
        return out;
    }

private:
    std::vector<std::vector<std::string>> lines_;
};

struct Optics {
    double pitch, na, sigma, defocus;
    bool aberrated;
};

// Title, the N = 128 parameter cells and a count of 1000 rectangles.
InputGrid header(const char* title, const Optics& o) {
    using aerial::ParameterId;
    InputGrid g;
    g.set(0, 0, title);
    g.setParameter(ParameterId::kGridSize, "128");
    g.setParameter(ParameterId::kSamplePitch, number(o.pitch));
    g.setParameter(ParameterId::kWavelength, number(0.193));
    g.setParameter(ParameterId::kNumericalAperture, number(o.na));
    g.setParameter(ParameterId::kSigma, number(o.sigma));
    g.setParameter(ParameterId::kShiftX, number(0.0));
    g.setParameter(ParameterId::kShiftY, number(0.0));
    g.setParameter(ParameterId::kDefocus, number(o.defocus));
    for (int j = 1; j <= 12; ++j) {
        const auto id = static_cast<ParameterId>(static_cast<int>(ParameterId::kAberrX1) + j - 1);
        g.setParameter(id, number(o.aberrated ? 0.002 * (j % 5) - 0.003 : 0.0));
    }
    g.setParameter(ParameterId::kRectCount, "1000");
    return g;
}

} // namespace

std::string thousandRectangleInput() {
    // Pupil radius 0.9 * 0.1 * 128 / 0.193 = 59.7 samples.
    InputGrid g = header("worst case: 1000 rectangles, pupil over nearly the whole grid",
                         {0.1, 0.9, 0.7, 0.08, true});
    Lcg random;
    for (int r = 0; r < 1000; ++r) {
        double x0 = random.next() * 128 - 64, x1 = random.next() * 128 - 64;
        double y0 = random.next() * 128 - 64, y1 = random.next() * 128 - 64;
        if (x0 > x1) std::swap(x0, x1);
        if (y0 > y1) std::swap(y0, y1);
        // The imaginary part drawn first: the masks the recorded figures were measured on.
        const double im = random.next() * 2 - 1;
        const double re = random.next() * 2 - 1;
        char label[16];
        std::snprintf(label, sizeof label, "r%d", r);
        g.setRectangle(r, label, {re, im, x0, x1, y0, y1});
    }
    return g.text();
}

std::string contactArrayInput() {
    InputGrid g = header("1000 contact holes on a layout grid", {0.01, 0.75, 0.5, 0.05, false});
    // A 32 x 32 array of 2 x 2 sample holes at a pitch of 4 samples, cut at 1000 holes.
    for (int r = 0; r < 1000; ++r) {
        const int x0 = -64 + 4 * (r % 32) + 1, y0 = -64 + 4 * (r / 32) + 1;
        char label[16];
        std::snprintf(label, sizeof label, "c%d", r);
        g.setRectangle(r, label, {1, 0, double(x0), double(x0 + 2), double(y0), double(y0 + 2)});
    }
    return g.text();
}

} // namespace aerial_bench
