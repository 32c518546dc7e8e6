// Cost of each stage and of whole runs, fast and direct evaluation side by side.
// Run: make bench (figures in bench/README.md).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_inputs.h"
#include "driver/float_environment.h"
#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "input/load_input.h"
#include "optics/optics.h"
#include "output/result_tables.h"
#include "state/simulation_state.h"

namespace {

namespace fs = std::filesystem;

// Each input gets its own folder, so that a run reads exactly that input file.
std::string prepareFolder(const std::string& name, const std::string& input) {
    fs::path dir = fs::temp_directory_path() / ("aerial-bench-" + name);
    fs::create_directories(dir);
    std::ofstream(dir / aerial::kInputFileName, std::ios::binary) << input;
    return dir.string();
}

std::string folderFor(int which) {
    static const std::string example = prepareFolder("example", aerial_bench::exampleInput());
    static const std::string worst =
        prepareFolder("worst", aerial_bench::thousandRectangleInput());
    static const std::string contacts =
        prepareFolder("contacts", aerial_bench::contactArrayInput());
    return which == 0 ? example : which == 1 ? worst : contacts;
}

void enter(benchmark::State& state) {
    std::string dir = folderFor(static_cast<int>(state.range(0)));
    if (chdir(dir.c_str()) != 0) state.SkipWithError("cannot enter the input folder");
    static const char* const labels[] = {"two-rectangle example", "1000 rectangles, wide pupil",
                                         "1000 contact holes"};
    state.SetLabel(labels[state.range(0)]);
}

void loadAndSpectrum(const aerial::RunOptions& options = {}) {
    aerial::loadInput();
    aerial::prepareStages(options);
    aerial::computeMaskSpectrum();
}

void BM_ReadInput(benchmark::State& state) {
    enter(state);
    for (auto _ : state) benchmark::DoNotOptimize(aerial::loadInput());
}

void BM_Tables(benchmark::State& state) {
    enter(state);
    loadAndSpectrum();
    for (auto _ : state) {
        aerial::writeResultTables(aerial::kSpectrumAmplitude);
        aerial::writeResultTables(aerial::kSpectrumPhase);
        aerial::writeResultTables(aerial::kImageIntensity);
    }
}

template <aerial::Evaluation evaluation>
void BM_MaskSpectrum(benchmark::State& state) {
    enter(state);
    aerial::loadInput();
    aerial::prepareStages({evaluation});
    for (auto _ : state) aerial::computeMaskSpectrum();
}

template <aerial::Evaluation evaluation>
void BM_Imaging(benchmark::State& state) {
    enter(state);
    for (auto _ : state) {
        state.PauseTiming();
        loadAndSpectrum({evaluation});
        state.ResumeTiming();
        aerial::imagePartiallyCoherent();
    }
}

template <aerial::Evaluation evaluation>
void BM_WholeRun(benchmark::State& state) {
    enter(state);
    for (auto _ : state) aerial::runSimulation({evaluation});
}

// What main4 adds around every run: saving the host's floating-point environment, setting
// the run's and restoring the host's.
void BM_FloatEnvironment(benchmark::State& state) {
    for (auto _ : state) {
        aerial::HostFloatEnvironment host;
        aerial::enterRunFloatEnvironment(host);
        benchmark::ClobberMemory();
        aerial::leaveRunFloatEnvironment(host);
    }
}

constexpr auto kMs = benchmark::kMillisecond;

BENCHMARK(BM_FloatEnvironment)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_ReadInput)->DenseRange(0, 2)->Unit(kMs);
BENCHMARK(BM_MaskSpectrum<aerial::Evaluation::kFast>)->Name("BM_MaskSpectrum/fast")->DenseRange(0, 2)->Unit(kMs);
BENCHMARK(BM_MaskSpectrum<aerial::Evaluation::kDirect>)->Name("BM_MaskSpectrum/direct")->DenseRange(0, 2)->Unit(kMs);
BENCHMARK(BM_Tables)->DenseRange(0, 2)->Unit(kMs);
BENCHMARK(BM_Imaging<aerial::Evaluation::kFast>)->Name("BM_Imaging/fast")->DenseRange(0, 2)->Unit(kMs);
BENCHMARK(BM_Imaging<aerial::Evaluation::kDirect>)->Name("BM_Imaging/direct")->DenseRange(0, 2)->Unit(kMs)->Iterations(2);
BENCHMARK(BM_WholeRun<aerial::Evaluation::kFast>)->Name("BM_WholeRun/fast")->DenseRange(0, 2)->Unit(kMs);
BENCHMARK(BM_WholeRun<aerial::Evaluation::kDirect>)->Name("BM_WholeRun/direct")->DenseRange(0, 2)->Unit(kMs)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
