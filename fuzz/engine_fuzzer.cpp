// Fuzz target of the engine's C API on its input path: any bytes as the text of an input
// file (aerial_simulation_parse_input), or as a file read by path on every other input
// (aerial_simulation_read_input), then a run and the three tables formatted. The
// sanitizers catch memory faults and undefined behaviour; the harness checks that the
// only failures are the statuses the API documents for values the reader could not give,
// and that every table has the layout of its grid size.
//
// Grids above kFuzzGrid are cut down as for main4's target (fuzz_support.h): the reader
// sees the original bytes first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "aerial/engine.h"
#include "fuzz_support.h"

namespace {

aerial_simulation* simulation = nullptr;
std::string inputPath;

aerial_status readBytes(const std::string& bytes, bool asFile) {
    if (!asFile) return aerial_simulation_parse_input(simulation, bytes.data(), bytes.size());
    std::FILE* file = std::fopen(inputPath.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return aerial_simulation_read_input(simulation, inputPath.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp != nullptr ? tmp : "/tmp") + "/aerial-engine-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    inputPath = folder + "/IN_FM.txt";
    if (aerial_simulation_create(&simulation) != AERIAL_OK) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool asFile = size > 0 && (data[0] & 1) != 0;
    if (readBytes(bytes, asFile) != AERIAL_OK) std::abort(); // any bytes are an input
    double grid = 0;
    if (aerial_simulation_parameter(simulation, "grid", &grid) != AERIAL_OK) std::abort();
    if (grid > aerial_fuzz::kFuzzGrid && readBytes(aerial_fuzz::withSmallGrid(bytes), asFile) != AERIAL_OK) {
        std::abort();
    }

    // The reader's values are within its limits, so the run cannot refuse them.
    if (aerial_simulation_run(simulation, AERIAL_EVALUATION_FAST) != AERIAL_OK) {
        std::fprintf(stderr, "the run refused the reader's values: %s\n", aerial_simulation_error(simulation));
        std::abort();
    }
    const int n = aerial_simulation_grid_size(simulation);
    if (n > aerial_fuzz::kFuzzGrid) std::abort();
    for (aerial_table table : {AERIAL_SPECTRUM_AMPLITUDE, AERIAL_SPECTRUM_PHASE, AERIAL_IMAGE_INTENSITY}) {
        std::size_t length = 0;
        if (aerial_simulation_format_table(simulation, table, nullptr, 0, &length) != AERIAL_OK) std::abort();
        std::string text(length, '\0');
        if (aerial_simulation_format_table(simulation, table, text.data(), text.size(), &length) != AERIAL_OK) {
            std::abort();
        }
        if (!aerial_fuzz::followsLayout(text, n)) {
            std::fprintf(stderr, "%s does not have the layout of a %d grid\n", aerial_table_file_name(table), n);
            std::abort();
        }
    }
    return 0;
}
