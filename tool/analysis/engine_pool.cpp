// Stand-in: the inputs one after another on the calling thread, until the pool lands.
#include "analysis/engine_pool.h"

#include <thread>

namespace aerial_tool {

int poolThreadCount(int jobs) {
    if (jobs > 0) return jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

std::vector<PoolFailure> runInParallel(
    const std::vector<aerial::InputValues>& inputs, int,
    const std::function<void(std::size_t index, const aerial::SimulationResult&)>& onResult) {
    std::vector<PoolFailure> failures;
    aerial::Simulation simulation;
    aerial::SimulationResult result;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        try {
            simulation.run(inputs[i], {}, result);
            onResult(i, result);
        } catch (const std::exception& e) {
            failures.push_back({i, e.what()});
        }
    }
    return failures;
}

} // namespace aerial_tool
