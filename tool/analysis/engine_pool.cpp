#include "analysis/engine_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace aerial_tool {

int poolThreadCount(int jobs) {
    if (jobs > 0) return jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

std::vector<PoolFailure> runInParallel(
    const std::vector<aerial::InputValues>& inputs, int jobs,
    const std::function<void(std::size_t index, const aerial::SimulationResult&)>& onResult) {
    std::vector<PoolFailure> failures;
    std::mutex failuresLock;
    std::atomic<std::size_t> next{0};
    std::string setupFailure; // why a thread could not start its engine, if one could not
    const auto work = [&] {
        std::unique_ptr<aerial::Simulation> simulation;
        aerial::SimulationResult result;
        try {
            // Allocated once per thread and reused by each of its runs: about 4 MiB.
            simulation = std::make_unique<aerial::Simulation>();
        } catch (const std::exception& e) {
            // The other threads take this one's share.
            const std::lock_guard<std::mutex> hold(failuresLock);
            setupFailure = e.what();
            return;
        }
        for (std::size_t k; (k = next.fetch_add(1)) < inputs.size();) {
            std::string message;
            try {
                simulation->run(inputs[k], {}, result);
                onResult(k, result);
                continue;
            } catch (const std::exception& e) {
                message = e.what();
            } catch (...) {
                message = "unknown error";
            }
            const std::lock_guard<std::mutex> hold(failuresLock);
            failures.push_back({k, message});
        }
    };
    const std::size_t threads = std::min(inputs.size(), static_cast<std::size_t>(poolThreadCount(jobs)));
    if (threads <= 1) {
        work(); // on the caller's thread: no thread to start for one input or one job
    } else {
        std::vector<std::thread> pool;
        pool.reserve(threads);
        try {
            for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(work);
        } catch (const std::system_error&) {
            // Fewer threads than asked: those started share the inputs.
        }
        if (pool.empty()) work();
        for (std::thread& t : pool) t.join();
    }
    // Inputs no thread took: every engine failed to start.
    for (std::size_t k = next.load(); k < inputs.size(); ++k) failures.push_back({k, setupFailure});
    std::sort(failures.begin(), failures.end(),
              [](const PoolFailure& a, const PoolFailure& b) { return a.index < b.index; });
    return failures;
}

} // namespace aerial_tool
