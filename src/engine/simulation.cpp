// The engine's C++ API (aerial/engine.hpp) over the engine's compilation of the stages.
#include "aerial/engine.hpp"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "driver/float_environment.h"
#include "driver/run_simulation.h"
#include "input/input_cells.h"
#include "input/input_layout.h"
#include "input/parse_input.h"
#include "output/result_tables.h"
#include "state/simulation_context.h"

namespace aerial {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

ResultTable resultTable(Table table) {
    switch (table) {
    case Table::kSpectrumAmplitude: return kSpectrumAmplitude;
    case Table::kSpectrumPhase: return kSpectrumPhase;
    case Table::kImageIntensity: break;
    }
    return kImageIntensity;
}

InputValues parseCells(const InputCells& cells) {
    InputValues values;
    parseInput(cells, values);
    return values;
}

// About 1 MB, left as the allocator gives it: a scan needs no clearing before it.
std::unique_ptr<InputCells> newCells() {
    InputCells* cells = new (std::nothrow) InputCells;
    if (cells == nullptr) throw Error(Status::kOutOfMemory, "no memory for the input's cells");
    return std::unique_ptr<InputCells>(cells);
}

} // namespace

InputValues readInputFile(const std::string& path) {
    std::unique_ptr<InputCells> cells = newCells();
    if (!scanInputFile(path.c_str(), *cells)) throw Error(Status::kUnreadableInput, path + ": not a readable file");
    return parseCells(*cells);
}

InputValues parseInputText(std::string_view text) {
    std::unique_ptr<InputCells> cells = newCells();
    scanInputText(text, *cells);
    return parseCells(*cells);
}

std::string inputLimitProblem(const InputValues& v) {
    const char* grid = parameterCell(ParameterId::kGridSize).name;
    const char* count = parameterCell(ParameterId::kRectCount).name;
    if (v.gridSize > kMaxGrid) {
        return std::string(grid) + " " + std::to_string(v.gridSize) + " is above " + std::to_string(kMaxGrid) +
               " (the reader limits it to " + std::to_string(kMaxGrid) + ")";
    }
    if (v.rectCount > kMaxRects) {
        return std::string(count) + " " + std::to_string(v.rectCount) + " is above " + std::to_string(kMaxRects) +
               " (the reader limits it to " + std::to_string(kMaxRects) + ")";
    }
    // Without a grid nothing is simulated, whatever the edges (the reader's limit of an empty
    // or negative grid is no interval).
    if (v.gridSize <= 0) return "";
    const double h = static_cast<double>(v.gridSize / 2);
    for (int r = 0; r < v.rectCount; ++r) {
        const MaskRectangle& m = v.rects[r];
        const double values[kRectangleCellCount] = {m.transRe, m.transIm, m.xStart, m.xEnd, m.yStart, m.yEnd};
        for (int k = 0; k < kRectangleCellCount; ++k) {
            // NaN edges pass the reader's limit unchanged, and so they do here.
            if (!kRectangleCells[k].isEdge || !(std::fabs(values[k]) > h)) continue;
            return "rectangle " + std::to_string(r) + " " + kRectangleCells[k].name + " " + number(values[k]) +
                   " is beyond h = N/2 = " + number(h) + " (the reader limits it to " +
                   number(values[k] > 0 ? h : -h) + ")";
        }
    }
    return "";
}

const char* tableFileName(Table table) {
    switch (table) {
    case Table::kSpectrumAmplitude: return kSpectrumAmplitudeFileName;
    case Table::kSpectrumPhase: return kSpectrumPhaseFileName;
    case Table::kImageIntensity: break;
    }
    return kImageIntensityFileName;
}

std::string formatTable(const SimulationResult& result, Table table) {
    const int n = result.gridSize > 0 ? result.gridSize : 0;
    const std::size_t cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    const std::vector<double>& labels = table == Table::kImageIntensity ? result.positions : result.directionSines;
    const std::vector<double>& values = table == Table::kSpectrumAmplitude ? result.amplitude
                                        : table == Table::kSpectrumPhase   ? result.phase
                                                                           : result.intensity;
    if (labels.size() < static_cast<std::size_t>(n) || values.size() < cells) {
        throw Error(Status::kInvalidArgument, "the result's arrays are smaller than its grid size");
    }
    const RunFloatEnvironmentScope environment; // the formatter's arithmetic, as main4's
    std::string out;
    out.reserve(cells * 10 + 64);
    auto text = std::make_unique<TableText>();
    const TableSink sink{[](void* target, const char* bytes, std::size_t length) {
                             static_cast<std::string*>(target)->append(bytes, length);
                         },
                         &out};
    formatResultTable(resultTable(table), n, labels.data(), values.data(), *text, sink);
    return out;
}

// The context on whole large pages of its own (adviseContextMemory), zero as the library's
// is at load: calloc gives fresh pages for a block this large, touched only when a run uses
// them.
struct Simulation::Context {
    void* block = nullptr;
    SimulationContext* context = nullptr;
    SimulationResult result; // of the last run(values, options)

    Context() {
        block = std::calloc(1, sizeof(SimulationContext) + kContextAlignment);
        if (block == nullptr) throw Error(Status::kOutOfMemory, "no memory for a simulation's context");
        const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(block) + kContextAlignment - 1) /
                                  kContextAlignment * kContextAlignment;
        context = reinterpret_cast<SimulationContext*>(at);
        adviseContextMemory(*context);
    }
    ~Context() { std::free(block); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

Simulation::Simulation() : context_(std::make_unique<Context>()) {}
Simulation::~Simulation() = default;
Simulation::Simulation(Simulation&&) noexcept = default;
Simulation& Simulation::operator=(Simulation&&) noexcept = default;

void Simulation::run(const InputValues& values, const RunOptions& options, SimulationResult& result) {
    const std::string problem = inputLimitProblem(values);
    if (!problem.empty()) throw Error(Status::kInvalidInput, problem);
    if (!context_) context_ = std::make_unique<Context>(); // a moved-from Simulation runs again
    const int n = values.gridSize > 0 ? values.gridSize : 0;
    const std::size_t cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    result.gridSize = values.gridSize;
    result.directionSines.resize(static_cast<std::size_t>(n));
    result.positions.resize(static_cast<std::size_t>(n));
    result.amplitude.resize(cells);
    result.phase.resize(cells);
    result.intensity.resize(cells);
    const TableValues out{result.directionSines.data(), result.positions.data(), result.amplitude.data(),
                          result.phase.data(), result.intensity.data()};
    const ContextBinding binding(*context_->context);
    // As main4: the run computes in the library's floating-point environment, and the
    // caller's is back when the run returns or throws.
    const RunFloatEnvironmentScope environment;
    runInMemory(values, options, out);
}

const SimulationResult& Simulation::run(const InputValues& values, const RunOptions& options) {
    if (!context_) context_ = std::make_unique<Context>();
    run(values, options, context_->result);
    return context_->result;
}

SimulationResult simulate(const InputValues& values, const RunOptions& options) {
    Simulation simulation;
    SimulationResult result;
    simulation.run(values, options, result);
    return result;
}

} // namespace aerial
