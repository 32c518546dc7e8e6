// The engine against the library, and the engine's throughput on one thread and on two.
// Run: make bench (figures in bench/README.md).
//
//   engine_bench [ROUNDS]      (default 5; each figure is the median of the rounds)
//
// - Whole run, one thread, on the three benchmark inputs: main4's run (reading the input
//   file, writing the three tables) through the library's compilation; the engine's run
//   from values in memory; and the engine's run with its three tables formatted.
// - Throughput: 104 runs of the bundled example at 104 foci, each thread taking the next
//   focus and running it on a Simulation of its own, on one thread and on two; the ratio
//   is the figure the two cores give.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "aerial/engine.hpp"
#include "bench_inputs.h"
#include "driver/run_simulation.h"
#include "input/input_layout.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds per call of body, the median of rounds, each round long enough to time.
template <class Body>
double msPerCall(int rounds, Body body) {
    body(); // the first call pays for the first touch of memory
    int calls = 1;
    for (auto start = Clock::now(); secondsSince(start) < 0.05; ++calls) body();
    std::vector<double> figures;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        for (int k = 0; k < calls; ++k) body();
        figures.push_back(1e3 * secondsSince(start) / calls);
    }
    return median(figures);
}

// Runs of `count` inputs on `threads` threads, each thread with its own Simulation: runs
// per second.
double throughput(const std::vector<aerial::InputValues>& inputs, int threads) {
    std::atomic<int> next{0};
    std::vector<std::thread> pool;
    const auto start = Clock::now();
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            aerial::Simulation simulation;
            for (int k; (k = next.fetch_add(1)) < static_cast<int>(inputs.size());) {
                simulation.run(inputs[static_cast<std::size_t>(k)]);
            }
        });
    }
    for (std::thread& t : pool) t.join();
    return static_cast<double>(inputs.size()) / secondsSince(start);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const struct {
        const char* name;
        std::string text;
    } inputs[] = {{"bundled example", aerial_bench::exampleInput()},
                  {"1000 rectangles, wide pupil", aerial_bench::thousandRectangleInput()},
                  {"1000 contact holes", aerial_bench::contactArrayInput()}};

    const fs::path dir = fs::temp_directory_path() / "aerial-engine-bench";
    fs::create_directories(dir);
    const fs::path start = fs::current_path();
    std::printf("whole run, one thread (ms, median of %d rounds)\n", rounds);
    std::printf("%-30s %10s %10s %12s %8s\n", "input", "main4", "engine", "+ tables", "engine/main4");
    for (const auto& input : inputs) {
        std::ofstream(dir / aerial::kInputFileName, std::ios::binary) << input.text;
        fs::current_path(dir);
        const double library = msPerCall(rounds, [] { aerial::runSimulation(); });
        fs::current_path(start);
        const aerial::InputValues values = aerial::parseInputText(input.text);
        aerial::Simulation simulation;
        const double engine = msPerCall(rounds, [&] { simulation.run(values); });
        const double formatted = msPerCall(rounds, [&] {
            const aerial::SimulationResult& r = simulation.run(values);
            for (aerial::Table t : {aerial::Table::kSpectrumAmplitude, aerial::Table::kSpectrumPhase,
                                    aerial::Table::kImageIntensity}) {
                if (aerial::formatTable(r, t).empty()) std::abort();
            }
        });
        std::printf("%-30s %10.3f %10.3f %12.3f %8.2f\n", input.name, library, engine, formatted, engine / library);
    }
    fs::remove_all(dir);

    std::vector<aerial::InputValues> foci;
    const aerial::InputValues example = aerial::parseInputText(aerial_bench::exampleInput());
    for (int k = 0; k < 104; ++k) {
        foci.push_back(example);
        foci.back().defocus = -0.26 + 0.005 * k;
    }
    std::vector<double> one, two;
    for (int r = 0; r < rounds; ++r) {
        one.push_back(throughput(foci, 1));
        two.push_back(throughput(foci, 2));
    }
    const unsigned cores = std::thread::hardware_concurrency();
    std::printf("throughput, bundled example at 104 foci (runs/s, median of %d rounds, %u cores)\n", rounds, cores);
    std::printf("1 thread %.1f, 2 threads %.1f: %.2fx\n", median(one), median(two), median(two) / median(one));
    return 0;
}
