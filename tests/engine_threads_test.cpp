// Simulations at once: runs on several threads, each on a Simulation of its own (or one
// per thread, reused), give byte for byte what the same inputs give one after another.
// Also built under ThreadSanitizer in CI (scripts/ci-reliability.sh), which runs the first
// test there.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "aerial/engine.hpp"
#include "test_support.h"

namespace {

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
            for (int k; (k = next.fetch_add(1)) < count;) out[static_cast<std::size_t>(k)] = tables(simulation.run(aerial_test::variedInput(k)));
        });
    }
    for (std::thread& t : pool) t.join();
    return out;
}

void expectSerialBytes(int count, int threads) {
    std::vector<std::string> serial;
    aerial::Simulation simulation;
    for (int k = 0; k < count; ++k) serial.push_back(tables(simulation.run(aerial_test::variedInput(k))));
    const std::vector<std::string> parallel = runAtOnce(count, threads);
    for (int k = 0; k < count; ++k) EXPECT_TRUE(parallel[static_cast<std::size_t>(k)] == serial[static_cast<std::size_t>(k)]) << "input " << k;
}

} // namespace

TEST(EngineThreads, EightSimulationsOnFourThreads) { expectSerialBytes(8, 4); }

TEST(EngineThreads, HundredInputsOnFourThreads) { expectSerialBytes(100, 4); }
