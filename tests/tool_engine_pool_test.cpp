// The tool's pool of engines: inputs run on several threads give what serial runs give,
// and a refused input or a failing consumer is collected without stopping the others.
#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "aerial/engine.hpp"
#include "analysis/engine_pool.h"
#include "test_support.h"

namespace {

std::string tables(const aerial::SimulationResult& r) {
    return aerial::formatTable(r, aerial::Table::kSpectrumAmplitude) + aerial::formatTable(r, aerial::Table::kSpectrumPhase) +
           aerial::formatTable(r, aerial::Table::kImageIntensity);
}

} // namespace

TEST(EnginePool, HundredInputsOnFourThreadsGiveTheSerialTables) {
    std::vector<aerial::InputValues> inputs;
    for (int k = 0; k < 100; ++k) inputs.push_back(aerial_test::variedInput(k));
    std::vector<std::string> serial;
    aerial::Simulation simulation;
    for (const aerial::InputValues& v : inputs) serial.push_back(tables(simulation.run(v)));

    std::vector<std::string> pooled(inputs.size());
    std::vector<int> calls(inputs.size(), 0);
    const std::vector<aerial_tool::PoolFailure> failures =
        aerial_tool::runInParallel(inputs, 4, [&](std::size_t index, const aerial::SimulationResult& result) {
            pooled[index] = tables(result); // each index is written by one thread only
            ++calls[index];
        });
    EXPECT_TRUE(failures.empty());
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        EXPECT_EQ(calls[k], 1) << "input " << k;
        EXPECT_TRUE(pooled[k] == serial[k]) << "input " << k;
    }
}

TEST(EnginePool, FailuresAreCollectedByIndexAndTheOtherInputsRun) {
    std::vector<aerial::InputValues> inputs(6, aerial_test::variedInput(1));
    inputs[1].gridSize = aerial::kMaxGrid + 1; // refused by the engine; input 4's consumer throws
    for (int jobs : {1, 3}) {
        std::mutex lock;
        std::vector<std::size_t> delivered;
        const std::vector<aerial_tool::PoolFailure> failures =
            aerial_tool::runInParallel(inputs, jobs, [&](std::size_t index, const aerial::SimulationResult&) {
                if (index == 4) throw std::runtime_error("cannot write point 4");
                const std::lock_guard<std::mutex> hold(lock);
                delivered.push_back(index);
            });
        ASSERT_EQ(failures.size(), 2u) << jobs << " jobs";
        EXPECT_EQ(failures[0].index, 1u);
        EXPECT_EQ(failures[0].message, aerial::inputLimitProblem(inputs[1]));
        EXPECT_EQ(failures[1].index, 4u);
        EXPECT_EQ(failures[1].message, "cannot write point 4");
        EXPECT_EQ(delivered.size(), 4u) << jobs << " jobs";
    }
}

TEST(EnginePool, NoInputsNoCalls) {
    bool called = false;
    EXPECT_TRUE(aerial_tool::runInParallel({}, 0, [&](std::size_t, const aerial::SimulationResult&) { called = true; }).empty());
    EXPECT_FALSE(called);
    EXPECT_GE(aerial_tool::poolThreadCount(0), 1);
    EXPECT_EQ(aerial_tool::poolThreadCount(3), 3);
}
