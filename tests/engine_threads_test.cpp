// Simulations at once: runs on several threads, each on a Simulation of its own (or one
// per thread, reused), give byte for byte what the same inputs give one after another.
// Also built under ThreadSanitizer in CI (scripts/ci-reliability.sh), which runs the first
// test there.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "aerial/engine.hpp"

namespace {

struct Lcg {
    std::uint64_t state;
    double uniform(double lo, double hi) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * (static_cast<double>(state >> 11) / 9007199254740992.0);
    }
};

// Input k of a family of different inputs: grids from 8 to 128, masks of 1 to 20
// rectangles, optics, defocus and aberrations all varying.
aerial::InputValues input(int k) {
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

std::string tables(const aerial::SimulationResult& r) {
    return aerial::formatTable(r, aerial::Table::kSpectrumAmplitude) + aerial::formatTable(r, aerial::Table::kSpectrumPhase) +
           aerial::formatTable(r, aerial::Table::kImageIntensity);
}

// count inputs on `threads` threads, each thread taking the next input from a shared
// counter and running it on its own Simulation; the formatted tables by input.
std::vector<std::string> runAtOnce(int count, int threads) {
    std::vector<std::string> out(static_cast<std::size_t>(count));
    std::atomic<int> next{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            aerial::Simulation simulation;
            for (int k; (k = next.fetch_add(1)) < count;) out[static_cast<std::size_t>(k)] = tables(simulation.run(input(k)));
        });
    }
    for (std::thread& t : pool) t.join();
    return out;
}

void expectSerialBytes(int count, int threads) {
    std::vector<std::string> serial;
    aerial::Simulation simulation;
    for (int k = 0; k < count; ++k) serial.push_back(tables(simulation.run(input(k))));
    const std::vector<std::string> parallel = runAtOnce(count, threads);
    for (int k = 0; k < count; ++k) EXPECT_TRUE(parallel[static_cast<std::size_t>(k)] == serial[static_cast<std::size_t>(k)]) << "input " << k;
}

} // namespace

TEST(EngineThreads, EightSimulationsOnFourThreads) { expectSerialBytes(8, 4); }

TEST(EngineThreads, HundredInputsOnFourThreads) { expectSerialBytes(100, 4); }
