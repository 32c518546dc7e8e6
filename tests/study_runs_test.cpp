// Studies run in the tool's process: the figures of `sweep` and `window` are those `metrics`
// gives on the tables a point's folder holds, the tables are main4's bytes, and which folders keep their
// tables follows --write-tables.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/sweep_plan.h"
#include "io/table_files.h"
#include "io/number_text.h"
#include "csv_rows.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

using aerial_test::runTool;
using Outcome = aerial_test::ToolOutcome;

using aerial_test::csvRows;

constexpr int kGrid = 120; // the focus-series grating's samples a side

// The focus-series grating in folder `name`.
void copyGrating(const std::string& name) {
    fs::create_directories(name);
    fs::copy_file(AERIAL_FOCUS_SERIES "/IN_FM.txt", name + "/IN_FM.txt");
}

} // namespace

TEST(StudyRuns, SweepRowsAreTheMetricsOfEachPointsTables) {
    aerial_test::ScratchFolder scratch;
    copyGrating("g");
    const Outcome sweep = runTool("sweep g --vary sigma=0.5,0.8 --defocus -0.1:0.1:0.1 --jobs 3 -q");
    ASSERT_EQ(sweep.status, 0) << sweep.err;
    const auto rows = csvRows(aerial_test::readFile("g/sweep/results.csv"));
    ASSERT_EQ(rows.size(), 7u); // a heading and 2 x 3 points
    const std::vector<std::string>& head = rows[0];
    auto column = [&](const std::string& name) {
        for (size_t c = 0; c < head.size(); ++c)
            if (head[c] == name) return c;
        ADD_FAILURE() << "no column " << name;
        return size_t{0};
    };
    for (size_t r = 1; r < rows.size(); ++r) {
        const std::vector<std::string>& row = rows[r];
        const std::string folder = "g/sweep/sigma_" + row[column("sigma")] + "_defocus_" + row[column("defocus")];
        const Outcome metrics = runTool("metrics " + folder + " --threshold 0.3 --json");
        ASSERT_EQ(metrics.status, 0) << folder << ": " << metrics.err;
        const nlohmann::json f = nlohmann::json::parse(metrics.out)["feature"];
        // Every figure to the digits the table of results prints: the sweep measured the image
        // as the point's table holds it, not the unrounded doubles (which differ from the table
        // in the seventh decimal).
        const std::vector<std::pair<std::string, double>> figures = {
            {"cd", f["cd"]},
            {"contrast", f["contrast"]},
            {"peak", f["peak"]},
            {"minimum", f["minimum"]},
            {"left_slope", f["left_edge"]["slope"]},
            {"left_nils", f["left_edge"]["nils"]},
            {"right_slope", f["right_edge"]["slope"]},
            {"right_nils", f["right_edge"]["nils"]}};
        for (const auto& [name, value] : figures)
            EXPECT_EQ(row[column(name)], aerial_tool::exactText(value)) << folder << " " << name;
    }
    // A point's tables are the bytes main4 writes for the point's input.
    fs::create_directories("host");
    fs::copy_file("g/sweep/sigma_0.8_defocus_0.1/IN_FM.txt", "host/IN_FM.txt");
    ASSERT_EQ(runTool("run -q host").status, 0);
    EXPECT_TRUE(aerial_test::readTables("host") == aerial_test::readTables("g/sweep/sigma_0.8_defocus_0.1"));

    // Without the tables: the same figures, and no point keeps files of its earlier run.
    const std::string withTables = aerial_test::readFile("g/sweep/results.csv");
    const Outcome bare = runTool("sweep g --vary sigma=0.5,0.8 --defocus -0.1:0.1:0.1 --no-write-tables -q");
    ASSERT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(aerial_test::readFile("g/sweep/results.csv"), withTables);
    EXPECT_FALSE(fs::exists("g/sweep/sigma_0.8_defocus_0.1"));
}

TEST(StudyRuns, WindowKeepsTheTablesOfTheFociItLists) {
    aerial_test::ScratchFolder scratch;
    copyGrating("g");
    const std::string window = "window g --defocus -0.1:0.1:0.1 --target-cd 0.12 --jobs 2 -q --json";
    Outcome o = runTool(window);
    ASSERT_EQ(o.status, 0) << o.err;
    const nlohmann::json summary = nlohmann::json::parse(o.out);
    ASSERT_GT(summary["refining_runs"].get<int>(), 0);
    for (const char* focus : {"-0.1", "0", "0.1"})
        EXPECT_EQ(aerial_tool::tablesFault("g/window/defocus_" + std::string(focus), kGrid), "") << focus;
    // Named from the window's folder, which a copy takes along.
    EXPECT_EQ(aerial_tool::tablesFault("g/window/" + summary["best_focus_folder"].get<std::string>(), kGrid), "");
    EXPECT_FALSE(fs::exists("g/window/refined"));
    // The window's CD at the relative dose 1 (threshold T0 / 1 = 0.3) at each focus is
    // what metrics measures on that focus's tables, to the digit fem.csv prints.
    size_t compared = 0;
    for (const std::vector<std::string>& row : csvRows(aerial_test::readFile("g/window/fem.csv"))) {
        if (row.size() < 4 || row[1] != "1") continue;
        const Outcome metrics = runTool("metrics g/window/defocus_" + row[0] + " --threshold 0.3 --json");
        ASSERT_EQ(metrics.status, 0) << row[0] << ": " << metrics.err;
        EXPECT_EQ(row[2], "0.3");
        EXPECT_EQ(row[3], aerial_tool::exactText(nlohmann::json::parse(metrics.out)["feature"]["cd"])) << row[0];
        ++compared;
    }
    EXPECT_EQ(compared, 3u); // the foci -0.1, 0 and 0.1

    o = runTool(window + " --write-tables");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(nlohmann::json::parse(o.out)["max_el"], summary["max_el"]);
    size_t refined = 0;
    for (const auto& entry : fs::directory_iterator("g/window/refined")) {
        EXPECT_EQ(aerial_tool::tablesFault(entry.path().string(), kGrid), "") << entry.path();
        ++refined;
    }
    EXPECT_EQ(refined, summary["refining_runs"].get<size_t>());
}

TEST(StudyRuns, ALibraryIsForPrintedCommandsOnly) {
    aerial_test::ScratchFolder scratch;
    copyGrating("g");
    const Outcome o = runTool("sweep g --defocus 0:0.1:0.1 --library /no/such.so -q");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("--library applies to the commands --print-commands prints"), std::string::npos) << o.err;
    const Outcome printed = runTool("sweep g --defocus 0:0.1:0.1 --library /no/such.so --print-commands");
    EXPECT_EQ(printed.status, 0) << printed.err;
    EXPECT_NE(printed.out.find("--library /no/such.so"), std::string::npos) << printed.out;
}
