// Fuzz target: any bytes as the input file, then main4. The sanitizers catch memory faults and
// undefined behaviour; the harness itself checks that main4 returns and that every table
// has the layout of its grid size.
//
// Grids above kFuzzGrid are cut down by rewriting the grid-size line before the run
// (fuzz_support.h). The reader still sees the original bytes first, so its handling of
// every grid size is exercised.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "aerial/main4.h"
#include "fuzz_support.h"
#include "input/input_layout.h"
#include "input/load_input.h"
#include "state/simulation_context.h"

namespace {

constexpr const char* kTables[] = {aerial::kSpectrumAmplitudeFileName, aerial::kSpectrumPhaseFileName,
                                   aerial::kImageIntensityFileName};

void writeInput(const std::string& bytes) {
    std::FILE* file = std::fopen(aerial::kInputFileName, "wb");
    if (file == nullptr) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string readAll(const char* name) {
    std::string bytes;
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return bytes;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.append(buffer, n);
    }
    std::fclose(file);
    return bytes;
}

} // namespace

// Every run works in a scratch folder of its own, entered before libFuzzer opens any file:
// corpus folders, the dictionary and -artifact_prefix must be given as absolute paths.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp != nullptr ? tmp : "/tmp") + "/aerial-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* table : kTables) std::remove(table);

    writeInput(bytes);
    if (!aerial::loadInput()) std::abort(); // a regular file is always readable
    if (aerial::workspace().gridSize > aerial_fuzz::kFuzzGrid) writeInput(aerial_fuzz::withSmallGrid(bytes));

    main4();
    const int n = aerial::workspace().gridSize;
    if (n > aerial_fuzz::kFuzzGrid) std::abort();
    for (const char* table : kTables) {
        if (!aerial_fuzz::followsLayout(readAll(table), n)) {
            std::fprintf(stderr, "%s does not have the layout of a %d grid\n", table, n);
            std::abort();
        }
    }
    return 0;
}
