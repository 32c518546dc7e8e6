// Many simulations in this process: a pool of threads, each with its own engine
// Simulation, taking the inputs in turn. Nothing here prints, writes files or exits;
// what a point's result becomes is the caller's onResult.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "aerial/engine.hpp"

namespace aerial_tool {

// An input whose run, or whose onResult, failed: its index and why.
struct PoolFailure {
    std::size_t index = 0;
    std::string message;
};

// The number of threads `jobs` asks for: itself when above zero, else the cores
// (at least 1).
int poolThreadCount(int jobs);

// Runs every input, on up to poolThreadCount(jobs) threads (never more than there are
// inputs), and calls onResult(index, result) on the worker thread that ran input `index`,
// in no particular order and possibly at once for different inputs; the result is valid
// only during the call. An input the engine refuses, or an onResult that throws, is
// collected as a failure and the other inputs go on; the failures come back sorted by
// index (empty when every input ran). The threads' engines are kept for the next call (as
// many as ever ran at once, about 4 MiB each, until the process ends).
std::vector<PoolFailure> runInParallel(
    const std::vector<aerial::InputValues>& inputs, int jobs,
    const std::function<void(std::size_t index, const aerial::SimulationResult&)>& onResult);

// Calls work(index) for every index below count on up to poolThreadCount(jobs) threads
// (the caller's alone for one job or one index), each index once, in no particular order.
// What work throws is collected as that index's failure; the failures come back sorted.
std::vector<PoolFailure> forEachInParallel(std::size_t count, int jobs,
                                           const std::function<void(std::size_t index)>& work);

} // namespace aerial_tool
