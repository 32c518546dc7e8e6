// The shared library as hosts see it: loaded with dlopen, main4 looked up by name and
// called in the folder that holds the input file.
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "input/load_input.h"
#include "optics/optics.h"
#include "output/result_tables.h"
#include "state/simulation_state.h"
#include "test_support.h"

extern char** environ;

using namespace aerial_test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFreshRunVariable = "AERIAL_TEST_FRESH_RUN_DIR";

using EntryPoint = void (*)();

EntryPoint loadMain4() {
    static void* handle = dlopen(AERIAL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    return reinterpret_cast<EntryPoint>(dlsym(handle, "main4"));
}

// Runs main4 in the current folder of this process.
Tables runHere() {
    EntryPoint main4 = loadMain4();
    if (main4 == nullptr) ADD_FAILURE() << "cannot load main4 from " << AERIAL_LIBRARY;
    else main4();
    return readTables();
}

// Runs main4 in a new process that loads the library for the first time.
Tables runInFreshProcess(const std::string& dir) {
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string variable = std::string(kFreshRunVariable) + "=" + dir;
    char* argv[] = {self.data(), nullptr};
    char* envp[] = {variable.data(), nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp), 0);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return readTables(dir);
}

TestInput smallFullInput() {
    TestInput inputFile = twoRectangleExample();
    inputFile.gridSize = "24";
    inputFile.defocus = 0.05;
    inputFile.shiftX = 0.01;
    for (int j = 1; j <= 6; ++j) inputFile.aberrX[j] = 0.001 * j, inputFile.aberrY[j] = -0.002 * j;
    inputFile.rects.push_back({0.3, -0.4, -3, 7, 2, 9});
    return inputFile;
}

} // namespace

TEST(Library, RunningTwiceGivesIdenticalTables) {
    ScratchFolder folder;
    writeInput(smallFullInput());
    Tables first = runHere();
    EXPECT_GT(first.image.size(), 1000u);
    Tables second = runHere();
    EXPECT_TRUE(first == second);
}

TEST(Library, LargeRunLeavesNothingForTheNextRun) {
    ScratchFolder folder;
    fs::create_directory("large");
    fs::create_directory("small");
    fs::create_directory("fresh");
    TestInput large = twoRectangleExample();
    large.defocus = 0.1;
    TestInput small = smallFullInput();
    small.gridSize = "64";
    writeFile(std::string("large/") + aerial::kInputFileName, large.text());
    writeFile(std::string("small/") + aerial::kInputFileName, small.text());
    writeFile(std::string("fresh/") + aerial::kInputFileName, small.text());

    fs::current_path("large");
    runHere();
    fs::current_path("../small");
    Tables afterLarge = runHere();
    fs::current_path("..");
    Tables fresh = runInFreshProcess(folder.path() + "/fresh");
    EXPECT_TRUE(afterLarge == fresh);
    EXPECT_GT(fresh.image.size(), 10000u);
}

TEST(Library, SpectrumTablesShowTheSpectrumNotTheLastField) {
    ScratchFolder folder;
    writeInput(smallFullInput());
    Tables tables = runHere();
    // The same stages through the static library, stopping before imaging.
    fs::create_directory("reference");
    fs::current_path("reference");
    writeInput(smallFullInput());
    ASSERT_TRUE(aerial::loadInput());
    aerial::prepareStages();
    aerial::computeMaskSpectrum();
    aerial::writeResultTables(aerial::kSpectrumAmplitude);
    aerial::writeResultTables(aerial::kSpectrumPhase);
    fs::current_path("..");
    const Tables reference = readTables("reference");
    EXPECT_EQ(tables.amplitude, reference.amplitude);
    EXPECT_EQ(tables.phase, reference.phase);
}

TEST(Library, MissingInputWritesNoTable) {
    ScratchFolder folder;
    writeFile(aerial::kImageIntensityFileName, "kept");
    runHere();
    EXPECT_FALSE(fileExists(aerial::kSpectrumAmplitudeFileName));
    EXPECT_FALSE(fileExists(aerial::kSpectrumPhaseFileName));
    EXPECT_EQ(readFile(aerial::kImageIntensityFileName), "kept");
}

TEST(Library, EmptyGridStillWritesEveryTable) {
    ScratchFolder folder;
    TestInput inputFile = twoRectangleExample();
    AERIAL_GCC12_STRING_RESTRICT_OFF
    inputFile.gridSize = "0";
    AERIAL_GCC12_STRING_RESTRICT_ON
    writeInput(inputFile);
    Tables tables = runHere();
    for (const std::string* t : {&tables.amplitude, &tables.phase, &tables.image}) {
        ASSERT_EQ(t->size(), 24u + 7u);
        EXPECT_EQ(t->substr(24), "\r\n\t\r\n\r\n");
    }
}

TEST(Library, BundledExampleRunsToTheEnd) {
    ScratchFolder folder;
    fs::copy_file(AERIAL_EXAMPLE, aerial::kInputFileName);
    Tables tables = runHere();
    // 131 lines: title, axis row, 128 data rows and the closing empty line.
    for (const std::string* t : {&tables.amplitude, &tables.phase, &tables.image}) {
        std::size_t lines = 0;
        for (char ch : *t) lines += ch == '\n';
        EXPECT_EQ(lines, 131u);
    }
    EXPECT_EQ(tables.image.find("nan"), std::string::npos);
}

// A host may feed the input through a pipe: main4 reads to the end of the stream, however
// the writer splits it, and gives the tables of the same input read from a file.
TEST(Library, InputThroughAFifoIsReadToItsEnd) {
    ScratchFolder folder;
    const std::string text = smallFullInput().text();
    writeInput(text);
    const Tables fromFile = runHere();
    fs::remove(aerial::kInputFileName);
    ASSERT_EQ(mkfifo(aerial::kInputFileName, 0600), 0);
    std::thread writer([&text] {
        const int fd = open(aerial::kInputFileName, O_WRONLY);
        for (std::size_t at = 0; at < text.size(); at += 100) { // pieces shorter than a line
            const std::size_t piece = std::min<std::size_t>(100, text.size() - at);
            if (write(fd, text.data() + at, piece) != static_cast<ssize_t>(piece)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        close(fd);
    });
    const Tables fromFifo = runHere();
    writer.join();
    EXPECT_TRUE(fromFifo == fromFile);
}

int main(int argc, char** argv) {
    if (const char* dir = std::getenv(kFreshRunVariable)) {
        if (chdir(dir) != 0) return 3;
        EntryPoint main4 = loadMain4();
        if (main4 == nullptr) return 4;
        main4();
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
