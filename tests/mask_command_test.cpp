// The mask and import subcommands as a user runs them: exit status, what is written,
// and the messages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "input/input_cells.h"
#include "input/input_layout.h"
#include "input/parse_input.h"
#include "csv_rows.h"
#include "test_support.h"

namespace {

using aerial_test::runTool;
using Outcome = aerial_test::ToolOutcome;

// The input file of a folder.
std::string inputOf(const std::string& folder) { return folder + "/" + aerial::kInputFileName; }

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
    const auto v = readInput(inputOf("g"));
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
    const auto v = readInput(inputOf("s"));
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
    EXPECT_TRUE(aerial_test::fileExists(inputOf("a")));
    o = runTool("mask lines b --pitch 0.3 --cd 0.1 --fit");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_DOUBLE_EQ(readInput(inputOf("b"))->samplePitch, 0.009375);
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

using aerial_test::csvRows;

TEST(MaskStudy, ABiasSweepDrawsEveryPointAgainAndGivesTheMaskErrorFactor) {
    aerial_test::ScratchFolder folder;
    ASSERT_EQ(runTool("mask lines g --pitch 0.32 --cd 0.12 -q").status, 0);
    const Outcome o = runTool("sweep g --vary mask.bias=-0.01,0,0.01 --jobs 2 -q");
    ASSERT_EQ(o.status, 0) << o.err;

    // A point's rectangles are those aerial mask draws with that bias.
    ASSERT_EQ(runTool("mask lines h --pitch 0.32 --cd 0.12 --bias 0.01 -q").status, 0);
    const auto point = readInput(inputOf("g/sweep/mask.bias_0.01"));
    const auto direct = readInput(inputOf("h"));
    ASSERT_EQ(point->rectCount, direct->rectCount);
    for (int r = 0; r < direct->rectCount; ++r) {
        EXPECT_EQ(point->rects[r].xStart, direct->rects[r].xStart) << r;
        EXPECT_EQ(point->rects[r].xEnd, direct->rects[r].xEnd) << r;
    }

    // Three mask CDs 0.01 apart: the least-squares slope is (CD(0.13) - CD(0.11)) / 0.02.
    const auto results = csvRows(aerial_test::readFile("g/sweep/results.csv"));
    ASSERT_GE(results.size(), 4u);
    ASSERT_EQ(results[0][0], "mask.bias");
    ASSERT_EQ(results[0][2], "cd");
    const double expected = (std::stod(results[3][2]) - std::stod(results[1][2])) / 0.02;
    const auto meef = csvRows(aerial_test::readFile("g/sweep/meef.csv"));
    ASSERT_EQ(meef.size(), 4u);
    EXPECT_EQ(meef[0][4], "meef_fitted");
    EXPECT_EQ(meef[1][1], "0.11");
    EXPECT_NEAR(std::stod(meef[1][4]), expected, 1e-9);
    EXPECT_TRUE(aerial_test::fileExists("g/sweep/meef.png"));
}

TEST(MaskStudy, GroupLabelsWithCommasStayOneFieldOfMeefCsv) {
    // Two foci and two thresholds: four groups of three mask CDs, each named "defocus F,
    // threshold T", whose comma a CSV reader must not take for a field separator.
    aerial_test::ScratchFolder folder;
    ASSERT_EQ(runTool("mask lines g --pitch 0.32 --cd 0.12 -q").status, 0);
    const Outcome o =
        runTool("sweep g --vary mask.bias=-0.01,0,0.01 --vary defocus=0,0.05 --threshold 0.3 --threshold 0.35 -q");
    ASSERT_EQ(o.status, 0) << o.err;
    const auto meef = csvRows(aerial_test::readFile("g/sweep/meef.csv"));
    ASSERT_EQ(meef.size(), 1u + 4 * 3);
    std::set<std::string> groups;
    for (size_t r = 1; r < meef.size(); ++r) {
        ASSERT_EQ(meef[r].size(), 5u) << r;
        groups.insert(meef[r][0]);
    }
    EXPECT_EQ(groups, (std::set<std::string>{"defocus 0, threshold 0.3", "defocus 0, threshold 0.35",
                                             "defocus 0.05, threshold 0.3", "defocus 0.05, threshold 0.35"}));
}

TEST(MaskStudy, APitchSweepKeepsTheGridAndDrawsTheCurvesThroughPitch) {
    aerial_test::ScratchFolder folder;
    ASSERT_EQ(runTool("mask lines g --pitch 0.32 --cd 0.12 -q").status, 0);
    const Outcome o = runTool("sweep g --vary mask.pitch=0.256,0.3,0.32 --jobs 2 -q");
    ASSERT_EQ(o.status, 0) << o.err;
    // 1.28 um hold 4.27 periods of 0.3: said, and drawn all the same.
    EXPECT_NE(o.err.find("mask.pitch_0.3: the grid holds 4.2667 periods of 0.3"), std::string::npos) << o.err;
    for (const char* p : {"0.256", "0.3", "0.32"}) {
        const auto v = readInput(inputOf(std::string("g/sweep/mask.pitch_") + p));
        EXPECT_EQ(v->gridSize, 128) << p;
        EXPECT_EQ(v->samplePitch, 0.01) << p;
    }
    EXPECT_EQ(readInput(inputOf("g/sweep/mask.pitch_0.256"))->rectCount, 6); // 5 lines, the field between
    EXPECT_TRUE(aerial_test::fileExists("g/sweep/cd_through_pitch.png"));
    EXPECT_TRUE(aerial_test::fileExists("g/sweep/nils_through_pitch.png"));
    // Its image is not the grating's: not measured, and said in every cell, where the
    // others are measured on the continuous image.
    auto results = csvRows(aerial_test::readFile("g/sweep/results.csv"));
    ASSERT_EQ(results.size(), 4u); // the header, three points
    EXPECT_EQ(results[0].back(), "image");
    EXPECT_EQ(results[2][0], "0.3");
    EXPECT_EQ(results[2][3], "not periodic on this grid");
    EXPECT_EQ(results[2].back(), "not periodic on this grid");
    EXPECT_EQ(results[1][3], "measured");
    EXPECT_EQ(results[1].back(), "continuous");

    // --fit: each point's sample pitch holds whole periods of its pitch (four of 0.3 need
    // 1.2 um / 128), every point is measured, and the effective sigma of each is recorded.
    const Outcome fitted = runTool("sweep g --vary mask.pitch=0.256,0.3,0.32 --fit --jobs 2 -q");
    ASSERT_EQ(fitted.status, 0) << fitted.err;
    EXPECT_DOUBLE_EQ(readInput(inputOf("g/sweep/mask.pitch_0.3"))->samplePitch, 0.009375);
    EXPECT_EQ(readInput(inputOf("g/sweep/mask.pitch_0.32"))->samplePitch, 0.01);
    results = csvRows(aerial_test::readFile("g/sweep/results.csv"));
    EXPECT_EQ(results[0][1], "effective_sigma");
    EXPECT_EQ(results[2][4], "measured");
    // R = 0.75 x 0.009375 x 128 / 0.193 = 4.663 samples; sigma 0.5 rounds the outer shifts
    // to 2 samples: 2 / 4.663.
    EXPECT_NEAR(std::stod(results[2][1]), 2 / (0.75 * 0.009375 * 128 / 0.193), 1e-9);
    EXPECT_EQ(runTool("sweep g --defocus 0:0.1:0.1 --fit -q").status, 2); // no mask parameter to fit

    // A later sweep whose one point holds no whole periods (4.27 of 0.3) measures nothing:
    // the fitted sweep's table, pictures and manifest go, none left to be read as its own.
    ASSERT_TRUE(aerial_test::fileExists("g/sweep/manifest.json"));
    const Outcome nothing = runTool("sweep g --vary mask.pitch=0.3 -q");
    EXPECT_EQ(nothing.status, 1) << nothing.err;
    EXPECT_NE(nothing.err.find("no point of the study has an image to measure"), std::string::npos) << nothing.err;
    EXPECT_NE(nothing.err.find("g/sweep/results.csv written"), std::string::npos) << nothing.err;
    for (const char* left : {"results.csv", "manifest.json", "cd_through_pitch.png", "nils_through_pitch.png"})
        EXPECT_FALSE(aerial_test::fileExists(std::string("g/sweep/") + left)) << left;

    // Without a recipe there is nothing to draw again.
    ASSERT_EQ(runTool("mask lines k --pitch 0.32 --cd 0.12 -q").status, 0);
    std::remove("k/mask.json");
    const Outcome none = runTool("sweep k --vary mask.cd=0.1,0.12 -q");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("mask.json"), std::string::npos) << none.err;
}

namespace {

// A figure of `metrics --json` by its path of keys, e.g. {"feature", "cd_y", "value"}.
double jsonNumber(const std::string& text, std::initializer_list<const char*> keys) {
    size_t at = 0;
    for (const char* key : keys) {
        at = text.find(std::string("\"") + key + "\":", at);
        if (at == std::string::npos) return NAN;
        at += std::string(key).size() + 3;
    }
    return std::strtod(text.c_str() + at, nullptr);
}

} // namespace

TEST(MaskStudy, AGratingAlongYIsMeasuredAcrossItsLinesInEveryCommand) {
    aerial_test::ScratchFolder folder;
    // 64 samples of 0.02 um: the field, the pupil (4.97 samples) and the rounded source of the
    // bundled grid, at an eighth of the cost of a run.
    ASSERT_EQ(runTool("mask lines x --pitch 0.32 --cd 0.09 --grid 64 --sample-pitch 0.02 -q").status, 0);
    ASSERT_EQ(runTool("mask lines y --pitch 0.32 --cd 0.09 --grid 64 --sample-pitch 0.02 --orientation y -q").status, 0);
    // The grating turned by a quarter turn, with the source turned with it: the same CD
    // along Y as along X, by default.
    const Outcome x = runTool("run x --metrics --threshold 0.35 --json");
    const Outcome y = runTool("run y --metrics --threshold 0.35 --json");
    ASSERT_EQ(y.status, 0) << y.err;
    EXPECT_NE(y.out.find("\"axis\": \"y\""), std::string::npos) << y.out;
    EXPECT_NE(y.out.find("\"image\": \"continuous\""), std::string::npos) << y.out;
    const double cd = jsonNumber(x.out, {"feature", "cd"});
    EXPECT_NEAR(jsonNumber(y.out, {"feature", "cd"}), cd, 1e-9);
    EXPECT_NEAR(cd, 0.1118, 1e-4);

    const Outcome sweep = runTool("sweep y --defocus -0.1:0.1:0.1 --threshold 0.35 --jobs 2 -q");
    EXPECT_EQ(sweep.status, 0) << sweep.err;
    const auto results = csvRows(aerial_test::readFile("y/sweep/results.csv"));
    ASSERT_GE(results.size(), 3u);
    EXPECT_NEAR(std::stod(results[2][2]), cd, 1e-9); // defocus 0

    // The window at two focus steps: its refined focus edges give the same DOF within
    // 0.005 um at every listed latitude up to 80 % of the largest.
    std::vector<std::vector<double>> dof(2);
    double maxEl = 0;
    int k = 0;
    for (const char* step : {"0.1", "0.05"}) {
        // A tolerance of 5 %: six windows, their edges bisected from either step.
        const Outcome w = runTool(std::string("window y --defocus -0.3:0.3:") + step +
                                  " --target-cd 0.11 --tolerance 0.05 --jobs 2 -q --json --clean");
        ASSERT_EQ(w.status, 0) << w.err;
        EXPECT_NE(w.out.find("\"refined\": true"), std::string::npos);
        maxEl = jsonNumber(w.out, {"max_el"});
        for (size_t at = 0; (at = w.out.find("\"dof\":", at)) != std::string::npos; at += 6)
            dof[k].push_back(std::strtod(w.out.c_str() + at + 6, nullptr));
        ++k;
    }
    ASSERT_EQ(dof[0].size(), dof[1].size());
    for (size_t e = 0; e < dof[0].size() && e * 0.02 <= 0.8 * maxEl; ++e)
        EXPECT_NEAR(dof[0][e], dof[1][e], 0.005) << "EL " << e * 0.02;
    // --sampled keeps the sampled foci: every DOF a whole number of focus steps.
    const Outcome sampled =
        runTool("window y --defocus -0.3:0.3:0.1 --target-cd 0.11 --tolerance 0.05 --sampled -q --json --clean");
    ASSERT_EQ(sampled.status, 0) << sampled.err;
    EXPECT_NE(sampled.out.find("\"refined\": false"), std::string::npos);
    const double first = jsonNumber(sampled.out, {"windows", "dof"});
    EXPECT_NEAR(first / 0.1, std::round(first / 0.1), 1e-9);
}

TEST(MaskStudy, AContactHoleReportsItsCdAlongXAndYAndItsArea) {
    aerial_test::ScratchFolder folder;
    ASSERT_EQ(runTool("mask contacts h --pitch-x 0.32 --pitch-y 0.256 --size-x 0.14 --size-y 0.11 -q").status, 0);
    const Outcome o = runTool("run h --metrics --threshold 0.2 --measure cd-y --measure area --json");
    ASSERT_EQ(o.status, 0) << o.err;
    const double cdX = jsonNumber(o.out, {"feature", "cd"});
    const double cdY = jsonNumber(o.out, {"feature", "cd_y", "value"});
    const double area = jsonNumber(o.out, {"feature", "area", "value"});
    // A convex hole symmetric about both axes lies within the box of its two widths through
    // its centre and holds the rhombus between their ends.
    EXPECT_GT(cdX, 0);
    EXPECT_GT(cdY, 0);
    EXPECT_LT(area, cdX * cdY);
    EXPECT_GT(area, cdX * cdY / 2);
    // The figures a study can follow, and one it cannot be asked for without a threshold.
    const Outcome text = runTool("metrics h --threshold 0.2 --measure area");
    EXPECT_NE(text.out.find("area       "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("um^2"), std::string::npos) << text.out;
    EXPECT_EQ(runTool("metrics h --measure area").status, 2);
    EXPECT_EQ(runTool("metrics h --threshold 0.2 --measure volume").status, 2);
    const Outcome sweep = runTool("sweep h --defocus 0:0.1:0.1 --threshold 0.2 --measure area --jobs 2 -q");
    ASSERT_EQ(sweep.status, 0) << sweep.err;
    const auto results = csvRows(aerial_test::readFile("h/sweep/results.csv"));
    ASSERT_GE(results.size(), 2u);
    EXPECT_EQ(results[0][11], "area");
    EXPECT_NEAR(std::stod(results[1][11]), area, 1e-9 * area);
}
