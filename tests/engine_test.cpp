// The engine against main4: its arrays, formatted as the tables are, give main4's table
// bytes; its limits and errors; its C API. main4's side runs through the library's own
// compilation of the stages (aerial_core) in a scratch folder, in this same process.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "aerial/engine.h"
#include "aerial/engine.hpp"
#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "test_support.h"

using namespace aerial_test;

namespace {

struct Lcg {
    std::uint64_t state;
    double uniform(double lo, double hi) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * (static_cast<double>(state >> 11) / 9007199254740992.0);
    }
};

// A random mask and optics on an N x N grid, aberrated and shifted.
TestInput randomInput(int n, int rectangles, std::uint64_t seed) {
    Lcg random{seed};
    TestInput in;
    in.gridSize = std::to_string(n);
    in.samplePitch = random.uniform(0.01, 0.08);
    in.numericalAperture = random.uniform(0.3, 0.95);
    in.sigma = random.uniform(0, 0.9);
    in.shiftX = random.uniform(-0.2, 0.2);
    in.defocus = random.uniform(-0.2, 0.2);
    for (int j = 1; j <= 6; ++j) in.aberrX[j] = random.uniform(-0.02, 0.02), in.aberrY[j] = random.uniform(-0.02, 0.02);
    const double h = n / 2;
    for (int r = 0; r < rectangles; ++r) {
        in.rects.push_back({random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-h, 0), random.uniform(0, h),
                            random.uniform(-h, 0), random.uniform(0, h)});
    }
    return in;
}

// main4's tables for the input text, from the library's compilation, in a fresh folder.
Tables main4Tables(const std::string& text) {
    ScratchFolder folder;
    writeInput(text);
    aerial::runSimulation();
    return readTables();
}

Tables formatted(const aerial::SimulationResult& r) {
    return {aerial::formatTable(r, aerial::Table::kSpectrumAmplitude), aerial::formatTable(r, aerial::Table::kSpectrumPhase),
            aerial::formatTable(r, aerial::Table::kImageIntensity)};
}

} // namespace

// One Simulation runs every case in turn, so each run also shows that nothing of the one
// before it (a larger grid, more rectangles) survives into it.
TEST(Engine, FormattedArraysAreMain4sTables) {
    struct Case {
        const char* name;
        std::string text;
    };
    TestInput nanMask = twoRectangleExample();
    nanMask.gridSize = "8";
    nanMask.rects[0].transRe = NAN;
    TestInput emptyGrid = twoRectangleExample();
    emptyGrid.gridSize = "0";
    const Case cases[] = {
        {"bundled example", twoRectangleExample().text()},
        {"aberrated, shifted, N 128", randomInput(128, 40, 1).text()},
        {"odd grid", randomInput(45, 12, 2).text()},
        {"single sample", randomInput(1, 2, 3).text()},
        {"NaN transmission", nanMask.text()},
        {"empty grid", emptyGrid.text()},
        {"small after large", randomInput(24, 3, 4).text()},
    };
    aerial::Simulation simulation;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Tables expected = main4Tables(c.text);
        const aerial::SimulationResult& result = simulation.run(aerial::parseInputText(c.text));
        EXPECT_TRUE(formatted(result) == expected);
    }
}

// A caller's floating-point environment changes nothing, as for main4: the run computes
// with rounding to nearest and subnormals kept, and the caller's rounding mode and
// flush-to-zero/denormals-are-zero are back when it returns. The subnormal transmission
// (3e-308 + 1e-309i) is what flush-to-zero would turn into 0 (its phase, atan(1/30) -
// pi/4 in the first spectrum cells, is the table's tell).
TEST(Engine, RunsInItsOwnFloatEnvironmentAndRestoresTheCallers) {
    const std::string text = readFile(std::string(AERIAL_FIXTURES) + "/float-environment/subnormal-transmission/IN_FM.txt");
    const Tables expected = main4Tables(text);
    const aerial::InputValues values = aerial::parseInputText(text);
    aerial::Simulation simulation;
    for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        SCOPED_TRACE(mode);
        std::fesetround(mode);
#if defined(__x86_64__) || defined(__i386__)
        const unsigned int callerControl = _mm_getcsr() | 0x8040; // flush-to-zero, denormals-are-zero
        _mm_setcsr(callerControl);
#endif
        const Tables got = formatted(simulation.run(values));
        EXPECT_EQ(std::fegetround(), mode);
#if defined(__x86_64__) || defined(__i386__)
        EXPECT_EQ(_mm_getcsr() & 0xFFC0u, callerControl & 0xFFC0u); // the control bits, not the flags
        _mm_setcsr(callerControl & ~0x8040u);
#endif
        std::fesetround(FE_TONEAREST);
        EXPECT_TRUE(got == expected);
    }
}

// The path switches are options of a run: the direct evaluation and the baseline vector
// code give the fast evaluation's bits.
TEST(Engine, EveryEvaluationGivesTheSameBits) {
    const aerial::InputValues values = aerial::parseInputText(randomInput(33, 7, 5).text());
    const aerial::SimulationResult fast = aerial::simulate(values);
    for (const aerial::RunOptions options : {aerial::RunOptions{aerial::Evaluation::kDirect, false},
                                              aerial::RunOptions{aerial::Evaluation::kFast, true}}) {
        const aerial::SimulationResult other = aerial::simulate(values, options);
        EXPECT_EQ(other.intensity, fast.intensity);
        EXPECT_EQ(other.amplitude, fast.amplitude);
        EXPECT_EQ(other.phase, fast.phase);
    }
}

TEST(Engine, RefusesValuesBeyondTheReaderLimits) {
    const aerial::InputValues example = aerial::parseInputText(twoRectangleExample().text());
    struct Case {
        const char* name;
        void (*change)(aerial::InputValues&);
        const char* message;
    };
    const Case cases[] = {
        {"grid", [](aerial::InputValues& v) { v.gridSize = 129; }, "grid 129 is above 128 (the reader limits it to 128)"},
        {"count", [](aerial::InputValues& v) { v.rectCount = 1001; },
         "rectangles 1001 is above 1000 (the reader limits it to 1000)"},
        {"edge", [](aerial::InputValues& v) { v.rects[1].yStart = -64.5; },
         "rectangle 1 y-start -64.5 is beyond h = N/2 = 64 (the reader limits it to -64)"},
    };
    aerial::Simulation simulation;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        aerial::InputValues values = example;
        c.change(values);
        EXPECT_EQ(aerial::inputLimitProblem(values), c.message);
        try {
            simulation.run(values);
            ADD_FAILURE() << "ran";
        } catch (const aerial::Error& e) {
            EXPECT_EQ(e.status(), aerial::Status::kInvalidInput);
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    // Edges at the limit itself, and NaN edges, are what the reader lets through.
    aerial::InputValues edge = example;
    edge.rects[0] = {1, 0, -64, 64, NAN, 64};
    EXPECT_EQ(aerial::inputLimitProblem(edge), "");

    try {
        aerial::readInputFile("/nonexistent/IN_FM.txt");
        ADD_FAILURE() << "read";
    } catch (const aerial::Error& e) {
        EXPECT_EQ(e.status(), aerial::Status::kUnreadableInput);
        EXPECT_STREQ(e.what(), "/nonexistent/IN_FM.txt: not a readable file");
    }
}

// The C API by names and rows: the same cells as the C++ API and main4's table bytes.
TEST(EngineCApi, RunsByNamesAndFormatsMain4sTables) {
    const TestInput input = randomInput(40, 5, 6);
    aerial_simulation* s = nullptr;
    ASSERT_EQ(aerial_simulation_create(&s), AERIAL_OK);
    EXPECT_EQ(aerial_simulation_grid_size(s), 0);
    EXPECT_EQ(aerial_simulation_cells(s, AERIAL_IMAGE_INTENSITY), nullptr);

    const struct {
        const char* name;
        double value;
    } parameters[] = {{"grid", 40},
                      {"sample-pitch", input.samplePitch},
                      {"wavelength", input.wavelength},
                      {"na", input.numericalAperture},
                      {"sigma", input.sigma},
                      {"shift-x", input.shiftX},
                      {"defocus", input.defocus}};
    for (const auto& p : parameters) EXPECT_EQ(aerial_simulation_set_parameter(s, p.name, p.value), AERIAL_OK) << p.name;
    for (int j = 1; j <= 6; ++j) {
        EXPECT_EQ(aerial_simulation_set_parameter(s, ("ax" + std::to_string(j)).c_str(), input.aberrX[j]), AERIAL_OK);
        EXPECT_EQ(aerial_simulation_set_parameter(s, ("ay" + std::to_string(j)).c_str(), input.aberrY[j]), AERIAL_OK);
    }
    std::vector<double> rows;
    for (const Rect& r : input.rects) rows.insert(rows.end(), {r.transRe, r.transIm, r.xStart, r.xEnd, r.yStart, r.yEnd});
    ASSERT_EQ(aerial_simulation_set_rectangles(s, rows.data(), static_cast<int>(input.rects.size())), AERIAL_OK);
    double na = 0;
    EXPECT_EQ(aerial_simulation_parameter(s, "na", &na), AERIAL_OK);
    EXPECT_EQ(na, input.numericalAperture);

    ASSERT_EQ(aerial_simulation_run(s, AERIAL_EVALUATION_FAST), AERIAL_OK) << aerial_simulation_error(s);
    ASSERT_EQ(aerial_simulation_grid_size(s), 40);
    const aerial::SimulationResult expected = aerial::simulate(aerial::parseInputText(input.text()));
    const double* image = aerial_simulation_cells(s, AERIAL_IMAGE_INTENSITY);
    EXPECT_EQ(std::vector<double>(image, image + 1600), expected.intensity);
    const double* sines = aerial_simulation_labels(s, AERIAL_SPECTRUM_PHASE);
    EXPECT_EQ(std::vector<double>(sines, sines + 40), expected.directionSines);

    const Tables tables = main4Tables(input.text());
    const std::string* files[] = {&tables.amplitude, &tables.phase, &tables.image};
    for (aerial_table t : {AERIAL_SPECTRUM_AMPLITUDE, AERIAL_SPECTRUM_PHASE, AERIAL_IMAGE_INTENSITY}) {
        size_t length = 0;
        ASSERT_EQ(aerial_simulation_format_table(s, t, nullptr, 0, &length), AERIAL_OK);
        std::string text(length, '\0');
        ASSERT_EQ(aerial_simulation_format_table(s, t, text.data(), text.size(), &length), AERIAL_OK);
        EXPECT_TRUE(text == *files[t]) << t;
        EXPECT_EQ(aerial_simulation_format_table(s, t, text.data(), length - 1, &length), AERIAL_INVALID_ARGUMENT);
    }
    aerial_simulation_destroy(s);
}

TEST(EngineCApi, FailuresAreStatusesWithTheirReason) {
    aerial_simulation* s = nullptr;
    ASSERT_EQ(aerial_simulation_create(&s), AERIAL_OK);
    struct Case {
        const char* name;
        aerial_status expected;
        aerial_status (*call)(aerial_simulation*);
        const char* reason; // a part of the error text
    };
    const Case cases[] = {
        {"unknown name", AERIAL_INVALID_ARGUMENT,
         [](aerial_simulation* h) { return aerial_simulation_set_parameter(h, "lambda", 1); }, "the names are grid, "},
        {"count by name", AERIAL_INVALID_ARGUMENT,
         [](aerial_simulation* h) { return aerial_simulation_set_parameter(h, "rectangles", 3); }, "with the rectangles"},
        {"fractional grid", AERIAL_INVALID_ARGUMENT,
         [](aerial_simulation* h) { return aerial_simulation_set_parameter(h, "grid", 12.5); }, "whole number"},
        {"too many rows", AERIAL_INVALID_ARGUMENT,
         [](aerial_simulation* h) { return aerial_simulation_set_rectangles(h, nullptr, 1001); }, "between 0 and 1000"},
        {"unreadable file", AERIAL_UNREADABLE_INPUT,
         [](aerial_simulation* h) { return aerial_simulation_read_input(h, "/nonexistent"); }, "not a readable file"},
        {"grid beyond the limit", AERIAL_INVALID_INPUT,
         [](aerial_simulation* h) {
             aerial_simulation_set_parameter(h, "grid", 200);
             return aerial_simulation_run(h, AERIAL_EVALUATION_FAST);
         },
         "grid 200 is above 128"},
        {"no such evaluation", AERIAL_INVALID_ARGUMENT,
         [](aerial_simulation* h) { return aerial_simulation_run(h, static_cast<aerial_evaluation>(7)); }, "evaluation"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(s), c.expected);
        EXPECT_NE(std::string(aerial_simulation_error(s)).find(c.reason), std::string::npos) << aerial_simulation_error(s);
    }
    EXPECT_EQ(aerial_simulation_set_parameter(s, "grid", 16), AERIAL_OK);
    EXPECT_STREQ(aerial_simulation_error(s), "");
    EXPECT_EQ(aerial_simulation_run(nullptr, AERIAL_EVALUATION_FAST), AERIAL_INVALID_ARGUMENT);
    aerial_simulation_destroy(s);
}
