#include "bench_inputs.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

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

void line(std::string& out, const char* name, double value) {
    char text[128];
    std::snprintf(text, sizeof text, "%s\tum\t%.17g\n", name, value);
    out += text;
}

struct Optics {
    double pitch, na, sigma, defocus;
    bool aberrated;
};

// Title, the N = 128 parameter lines and a count of 1000 rectangles.
std::string header(const char* title, const Optics& o) {
    std::string out = std::string(title) + "\n\n";
    out += "grid\tsamples\t128\n";
    line(out, "pitch", o.pitch);
    line(out, "wavelength", 0.193);
    line(out, "NA", o.na);
    line(out, "sigma", o.sigma);
    line(out, "shift x", 0.0);
    line(out, "shift y", 0.0);
    line(out, "defocus", o.defocus);
    for (int j = 1; j <= 12; ++j) line(out, "aberration", o.aberrated ? 0.002 * (j % 5) - 0.003 : 0.0);
    out += "rectangles\t\t1000\n\n\n";
    return out;
}

} // namespace

std::string thousandRectangleInput() {
    // Pupil radius 0.9 * 0.1 * 128 / 0.193 = 59.7 samples.
    std::string out = header("worst case: 1000 rectangles, pupil over nearly the whole grid",
                             {0.1, 0.9, 0.7, 0.08, true});
    Lcg random;
    for (int r = 0; r < 1000; ++r) {
        double x0 = random.next() * 128 - 64, x1 = random.next() * 128 - 64;
        double y0 = random.next() * 128 - 64, y1 = random.next() * 128 - 64;
        if (x0 > x1) std::swap(x0, x1);
        if (y0 > y1) std::swap(y0, y1);
        char text[256];
        std::snprintf(text, sizeof text, "r%d\t%.17g\t%.17g\t%.17g\t%.17g\t%.17g\t%.17g\n", r,
                      random.next() * 2 - 1, random.next() * 2 - 1, x0, x1, y0, y1);
        out += text;
    }
    return out;
}

std::string contactArrayInput() {
    std::string out = header("1000 contact holes on a layout grid", {0.01, 0.75, 0.5, 0.05, false});
    // A 32 x 32 array of 2 x 2 sample holes at a pitch of 4 samples, cut at 1000 holes.
    for (int r = 0; r < 1000; ++r) {
        const int x0 = -64 + 4 * (r % 32) + 1, y0 = -64 + 4 * (r / 32) + 1;
        char text[128];
        std::snprintf(text, sizeof text, "c%d\t1\t0\t%d\t%d\t%d\t%d\n", r, x0, x0 + 2, y0, y0 + 2);
        out += text;
    }
    return out;
}

} // namespace aerial_bench
