#include "analysis/engine_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <mutex>
#include <system_error>
#include <thread>

namespace aerial_tool {

int poolThreadCount(int jobs) {
    if (jobs > 0) return jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

namespace {

// Runs threadWork on up to `threads` threads (the caller's alone for one), each taking
// indices from `next` until count; fewer threads when the system starts no more.
void onThreads(std::size_t threads, const std::function<void()>& threadWork) {
    if (threads <= 1) {
        threadWork(); // on the caller's thread: no thread to start for one job
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(threads);
    try {
        for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(threadWork);
    } catch (const std::system_error&) {
        // Fewer threads than asked: those started share the work.
    }
    if (pool.empty()) threadWork();
    for (std::thread& t : pool) t.join();
}

std::string messageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

// Engines kept from one call to the next (a window runs a few points at a time, round
// after round): a new one's 4 MiB cost more to touch the first time than a run.
std::mutex sparesLock;
std::vector<std::unique_ptr<aerial::Simulation>> spares;

std::unique_ptr<aerial::Simulation> takeEngine() {
    {
        const std::lock_guard<std::mutex> hold(sparesLock);
        if (!spares.empty()) {
            std::unique_ptr<aerial::Simulation> engine = std::move(spares.back());
            spares.pop_back();
            return engine;
        }
    }
    return std::make_unique<aerial::Simulation>();
}

void keepEngine(std::unique_ptr<aerial::Simulation> engine) {
    const std::lock_guard<std::mutex> hold(sparesLock);
    spares.push_back(std::move(engine));
}

void sortByIndex(std::vector<PoolFailure>& failures) {
    std::sort(failures.begin(), failures.end(),
              [](const PoolFailure& a, const PoolFailure& b) { return a.index < b.index; });
}

} // namespace

std::vector<PoolFailure> forEachInParallel(std::size_t count, int jobs,
                                           const std::function<void(std::size_t index)>& work) {
    std::vector<PoolFailure> failures;
    std::mutex failuresLock;
    std::atomic<std::size_t> next{0};
    onThreads(std::min(count, static_cast<std::size_t>(poolThreadCount(jobs))), [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < count;) {
            try {
                work(k);
            } catch (...) {
                const std::string message = messageOf(std::current_exception());
                const std::lock_guard<std::mutex> hold(failuresLock);
                failures.push_back({k, message});
            }
        }
    });
    sortByIndex(failures);
    return failures;
}

std::vector<PoolFailure> runInParallel(
    const std::vector<aerial::InputValues>& inputs, int jobs,
    const std::function<void(std::size_t index, const aerial::SimulationResult&)>& onResult) {
    std::vector<PoolFailure> failures;
    std::mutex failuresLock;
    std::atomic<std::size_t> next{0};
    std::string setupFailure; // why a thread could not start its engine, if one could not
    onThreads(std::min(inputs.size(), static_cast<std::size_t>(poolThreadCount(jobs))), [&] {
        std::unique_ptr<aerial::Simulation> simulation;
        aerial::SimulationResult result;
        try {
            // One per thread, reused by each of its runs and kept for the next call.
            simulation = takeEngine();
        } catch (const std::exception& e) {
            // The other threads take this one's share.
            const std::lock_guard<std::mutex> hold(failuresLock);
            setupFailure = e.what();
            return;
        }
        for (std::size_t k; (k = next.fetch_add(1)) < inputs.size();) {
            try {
                simulation->run(inputs[k], {}, result);
                onResult(k, result);
            } catch (...) {
                const std::string message = messageOf(std::current_exception());
                const std::lock_guard<std::mutex> hold(failuresLock);
                failures.push_back({k, message});
            }
        }
        try {
            keepEngine(std::move(simulation));
        } catch (const std::bad_alloc&) {
            // Not kept: the next call makes another.
        }
    });
    // Inputs no thread took: every engine failed to start.
    for (std::size_t k = next.load(); k < inputs.size(); ++k) failures.push_back({k, setupFailure});
    sortByIndex(failures);
    return failures;
}

} // namespace aerial_tool
