// The mask and import subcommands as a user runs them: exit status, what is written,
// and the messages.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "input/input_cells.h"
#include "input/parse_input.h"
#include "test_support.h"

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome runTool(const std::string& arguments) {
    const std::string command = std::string(AERIAL_TOOL) + " " + arguments + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, aerial_test::readFile("stdout.txt"),
            aerial_test::readFile("stderr.txt")};
}

std::unique_ptr<aerial::InputValues> readInput(const std::string& path) {
    auto cells = std::make_unique<aerial::InputCells>();
    EXPECT_TRUE(aerial::scanInputFile(path.c_str(), *cells)) << path;
    auto values = std::make_unique<aerial::InputValues>();
    aerial::parseInput(*cells, *values);
    return values;
}

} // namespace

TEST(MaskCommand, WritesTheInputAndTheRecipe) {
    aerial_test::ScratchFolder folder;
    const Outcome o = runTool("mask lines g --pitch 0.32 --cd 0.12 --sigma 0.3");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_NE(o.out.find("dark lines of 0.12 um at a pitch of 0.32 um, 4 rectangles"), std::string::npos) << o.out;
    const auto v = readInput("g/IN_FM.txt");
    EXPECT_EQ(v->gridSize, 128);
    EXPECT_EQ(v->sigma, 0.3);
    EXPECT_EQ(v->rectCount, 4);
    EXPECT_EQ(v->rects[1].xStart, -26); // the field from the line at -32 + 6 to the one at 0 - 6
    EXPECT_EQ(v->rects[1].xEnd, -6);
    const std::string recipe = aerial_test::readFile("g/mask.json");
    EXPECT_NE(recipe.find("\"pitch\": 0.32"), std::string::npos) << recipe;
}

TEST(MaskCommand, ATemplateInAnotherUnitIsConverted) {
    aerial_test::ScratchFolder folder;
    const Outcome o = runTool(std::string("mask space s --cd 100 --unit nm --template ") + AERIAL_EXAMPLE);
    EXPECT_EQ(o.status, 0) << o.err;
    const auto v = readInput("s/IN_FM.txt");
    EXPECT_DOUBLE_EQ(v->samplePitch, 10);
    EXPECT_DOUBLE_EQ(v->wavelength, 193);
    EXPECT_EQ(v->rectCount, 1);
    EXPECT_DOUBLE_EQ(v->rects[0].xStart, -5);
    EXPECT_DOUBLE_EQ(v->rects[0].xEnd, 5);
}

TEST(MaskCommand, PeriodsThatDoNotFitAreReportedAndFitted) {
    aerial_test::ScratchFolder folder;
    // 1.28 um hold 4.27 periods of 0.3 um; four periods need a sample pitch of 0.009375.
    Outcome o = runTool("mask lines a --pitch 0.3 --cd 0.1");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("holds 4.2667 periods of 0.3 um"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("0.08 um off 4 whole periods"), std::string::npos) << o.err;
    EXPECT_TRUE(aerial_test::fileExists("a/IN_FM.txt"));
    o = runTool("mask lines b --pitch 0.3 --cd 0.1 --fit");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_DOUBLE_EQ(readInput("b/IN_FM.txt")->samplePitch, 0.009375);
}

TEST(MaskCommand, WhatCannotBeDrawnIsRefusedAndNothingWritten) {
    aerial_test::ScratchFolder folder;
    for (const char* arguments : {"mask lines x --pitch 0.3 --cd 0", "mask lines x --pitch 0.3 --cd 0.3",
                                  "mask lines x --pitch 2 --cd 0.3", "mask lines x --pitch 0.001 --cd 0.0005",
                                  "mask lines x --cd 0.1", "mask contacts x --pitch 0.3",
                                  "mask lines x --pitch 0.32 --cd 0.1 --transmission half",
                                  "mask zigzag x --cd 0.1"}) {
        const Outcome o = runTool(arguments);
        EXPECT_EQ(o.status, 2) << arguments;
        EXPECT_FALSE(aerial_test::fileExists("x")) << arguments;
        EXPECT_FALSE(o.err.empty()) << arguments;
    }
}
