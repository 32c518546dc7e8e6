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

} // namespace

std::string thousandRectangleInput() {
    std::string out = "worst case: 1000 rectangles, pupil over nearly the whole grid\n\n";
    out += "grid\tsamples\t128\n";
    line(out, "pitch", 0.1); // pupil radius 0.9 * 0.1 * 128 / 0.193 = 59.7 samples
    line(out, "wavelength", 0.193);
    line(out, "NA", 0.9);
    line(out, "sigma", 0.7);
    line(out, "shift x", 0.0);
    line(out, "shift y", 0.0);
    line(out, "defocus", 0.08);
    for (int j = 1; j <= 12; ++j) line(out, "aberration", 0.002 * (j % 5) - 0.003);
    out += "rectangles\t\t1000\n\n\n";
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
    std::string out = "1000 contact holes on a layout grid\n\n";
    out += "grid\tsamples\t128\n";
    line(out, "pitch", 0.01);
    line(out, "wavelength", 0.193);
    line(out, "NA", 0.75);
    line(out, "sigma", 0.5);
    line(out, "shift x", 0.0);
    line(out, "shift y", 0.0);
    line(out, "defocus", 0.05);
    for (int j = 1; j <= 12; ++j) line(out, "aberration", 0.0);
    out += "rectangles\t\t1000\n\n\n";
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
