// The simulation in memory: the engine.
//
// The same stages as main4's, compiled a second time so that every simulation runs on a
// context of its own: simulations on different threads run at once and share nothing.
// Input comes as values (aerial/input_values.hpp) or from the text of an input file;
// results come as the very doubles main4 prints, and formatTable gives the bytes of
// main4's tables from them.
//
//     aerial::Simulation simulation;            // about 4 MiB, allocated once, reused
//     aerial::InputValues values = aerial::readInputFile("case/IN_FM.txt");
//     const aerial::SimulationResult& result = simulation.run(values);
//     double centre = result.intensity[64 * result.gridSize + 64];
//     std::string table = aerial::formatTable(result, aerial::Table::kImageIntensity);
//
// Link with aerial::engine (CMake) or `pkg-config --libs aerial-engine`.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "aerial/input_values.hpp"

#if defined(_WIN32)
#define AERIAL_ENGINE_API
#else
#define AERIAL_ENGINE_API __attribute__((visibility("default")))
#endif

namespace aerial {

// Why an engine call failed (Error::status); the C API's status codes have these values.
enum class Status {
    kOk = 0,
    kUnreadableInput = 1, // the input file cannot be opened or read
    kInvalidInput = 2,    // values no input file can give: beyond the reader's limits
    kInvalidArgument = 3, // a call made wrongly (C API: a null pointer, an unknown name)
    kOutOfMemory = 4,
};

class AERIAL_ENGINE_API Error : public std::runtime_error {
public:
    Error(Status status, const std::string& message) : std::runtime_error(message), status_(status) {}
    Status status() const noexcept { return status_; }

private:
    Status status_;
};

// The values of an input file, read as main4 reads them (every limit applied). Throws
// Error (kUnreadableInput) when the file cannot be read.
AERIAL_ENGINE_API InputValues readInputFile(const std::string& path);

// The values of an input file's text in memory, as if it were the file's content.
AERIAL_ENGINE_API InputValues parseInputText(std::string_view text);

// Empty when a run takes the values as they are, else why not: the first value beyond the
// reader's limits (grid size above kMaxGrid, rectangle count above kMaxRects, an edge
// beyond +-N/2 on a grid of N > 0), by the name `aerial set` and `aerial check` give it,
// and what the reader would make of it.
AERIAL_ENGINE_API std::string inputLimitProblem(const InputValues& values);

// What main4's three tables print, as doubles. N = gridSize (0 or less: every array is
// empty). Cells are laid out as the tables print them: row y (the Y index), column x
// (the X index) at [y * N + x].
struct SimulationResult {
    int gridSize = 0;
    std::vector<double> directionSines; // N labels of both axes of the spectrum tables
    std::vector<double> positions;      // N labels of both axes of the image table
    std::vector<double> amplitude;      // N x N: OUT_MR.xls, amplitude of the mask spectrum
    std::vector<double> phase;          // N x N: OUT_MI.xls, its phase in radians
    std::vector<double> intensity;      // N x N: OUT_M.xls, the aerial image (open frame = 1)
};

enum class Table { kSpectrumAmplitude, kSpectrumPhase, kImageIntensity };

// The file name main4 gives the table: "OUT_MR.xls", "OUT_MI.xls", "OUT_M.xls".
AERIAL_ENGINE_API const char* tableFileName(Table table);

// The bytes of the table main4 writes for the same input: title, labels and cells, each
// value as "%f" and a TAB, lines ended by CR LF.
AERIAL_ENGINE_API std::string formatTable(const SimulationResult& result, Table table);

// A reusable simulation: its context (the workspace and the stages' buffers) is allocated
// once and reused by every run. One run at a time on one Simulation; different
// Simulations run at once on different threads.
class AERIAL_ENGINE_API Simulation {
public:
    Simulation();
    ~Simulation();
    Simulation(Simulation&&) noexcept;
    Simulation& operator=(Simulation&&) noexcept;
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Runs the simulation on the calling thread. Throws Error (kInvalidInput) for values
    // inputLimitProblem refuses. The result stays valid until the next run.
    const SimulationResult& run(const InputValues& values, const RunOptions& options = {});

    // The same into a result of the caller's (its arrays are resized and reused).
    void run(const InputValues& values, const RunOptions& options, SimulationResult& result);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

// One run on a Simulation of its own.
AERIAL_ENGINE_API SimulationResult simulate(const InputValues& values, const RunOptions& options = {});

} // namespace aerial
