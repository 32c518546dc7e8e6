// Pinned bytes: the tables main4 writes for a handful of inputs, and the spectrum and image
// planes the stages leave, against SHA-256 digests stored with the inputs
// (tests/fixtures/pinned/digests.txt). The fast and the direct evaluation share their
// phase code and their factors, so a fault in either shared part passes every test that
// compares the two; these bytes do not move unless a result does. They were taken from a
// build and checked against an independent model of the formulas (reference_model.py,
// the test reference.model), which gives the same bits.
//
// The last bits of sine and cosine belong to the C library: the digests hold for glibc
// on x86-64, and elsewhere the test is skipped.
#include <dlfcn.h>

#include <gtest/gtest.h>
#include <nettle/sha2.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "input/load_input.h"
#include "optics/optics.h"
#include "optics/vector_paths.h"
#include "state/simulation_state.h"
#include "test_support.h"

using namespace aerial_test;
namespace fs = std::filesystem;

namespace {

std::string sha256(const void* data, std::size_t size) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, size, static_cast<const std::uint8_t*>(data));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    std::string hex;
    char two[3];
    for (std::uint8_t b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

std::string sha256(const std::string& bytes) { return sha256(bytes.data(), bytes.size()); }

// The corner [0..N-1][0..N-1] of planes, x major, each row of N doubles as stored.
std::string planeDigest(std::initializer_list<const aerial::FieldPlane*> planes, int n) {
    std::string bytes;
    for (const aerial::FieldPlane* plane : planes) {
        for (int x = 0; x < n; ++x) bytes.append(reinterpret_cast<const char*>((*plane)[x]), n * sizeof(double));
    }
    return sha256(bytes);
}

struct PinnedCase {
    std::string name;
    std::string input; // relative to the source folder
    std::map<std::string, std::string> digests; // OUT_MR.xls, OUT_MI.xls, OUT_M.xls, spectrum, image
};

std::vector<PinnedCase> pinnedCases() {
    std::ifstream in(AERIAL_PINNED_DIGESTS);
    std::vector<PinnedCase> cases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, input, what, digest;
        fields >> name >> input >> what >> digest;
        if (cases.empty() || cases.back().name != name) cases.push_back({name, input, {}});
        cases.back().digests[what] = digest;
    }
    return cases;
}

void skipOffGlibcX86_64() {
#if !(defined(__GLIBC__) && defined(__x86_64__))
    GTEST_SKIP() << "the pinned digests hold for glibc on x86-64";
#endif
}

} // namespace

TEST(PinnedBytes, TablesOfMain4) {
    skipOffGlibcX86_64();
    void* library = dlopen(AERIAL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto main4 = reinterpret_cast<void (*)()>(dlsym(library, "main4"));
    ASSERT_NE(main4, nullptr);
    const std::vector<PinnedCase> cases = pinnedCases();
    ASSERT_GE(cases.size(), 5u) << AERIAL_PINNED_DIGESTS;
    for (const PinnedCase& c : cases) {
        ScratchFolder folder;
        fs::copy_file(fs::path(AERIAL_SOURCE_DIR) / c.input, aerial::kInputFileName);
        main4();
        const Tables tables = readTables();
        const std::pair<const char*, const std::string*> written[] = {
            {aerial::kSpectrumAmplitudeFileName, &tables.amplitude},
            {aerial::kSpectrumPhaseFileName, &tables.phase},
            {aerial::kImageIntensityFileName, &tables.image}};
        for (const auto& [name, bytes] : written) {
            EXPECT_EQ(sha256(*bytes), c.digests.at(name)) << c.name << " " << name;
        }
    }
}

// The planes behind the tables, whose last bits the tables' six decimals hide: the
// spectrum (fieldRe, then fieldIm) and the image II, with the widest vectors the
// processor has and with the baseline ones.
TEST(PinnedBytes, SpectrumAndImagePlanes) {
    skipOffGlibcX86_64();
    for (const PinnedCase& c : pinnedCases()) {
        ScratchFolder folder;
        fs::copy_file(fs::path(AERIAL_SOURCE_DIR) / c.input, aerial::kInputFileName);
        for (bool wide : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.name << (wide ? ", widest vectors" : ", baseline vectors"));
            ASSERT_TRUE(aerial::loadInput());
            aerial::prepareStages({aerial::Evaluation::kFast, !wide});
            aerial::computeMaskSpectrum();
            const aerial::SimulationState& s = aerial::workspace();
            EXPECT_EQ(planeDigest({&s.fieldRe, &s.fieldIm}, s.gridSize), c.digests.at("spectrum"));
            aerial::imagePartiallyCoherent();
            EXPECT_EQ(planeDigest({&s.II}, s.gridSize), c.digests.at("image"));
            aerial::prepareStages();
        }
    }
}
