// The context of a run: the workspace, the stages' buffers and the run's options, the
// whole of the state a simulation has. The stages reach it through workspace(),
// stageBuffers() and runOptions() alone.
//
// Outside any context stay only two facts of the process, each an atomic set once and the
// same for every run: the C locale object of the number parser (cell_parse.cpp) and
// whether the processor has AVX2 (vector_paths.cpp).
//
// The library (main4) runs on one process-wide context in static storage, zero when the
// library is loaded. The engine's compilation of the same stages (AERIAL_ENGINE_BUILD)
// runs each simulation on a context of its own, which the run binds to its thread for
// its duration (ContextBinding): simulations on different threads share nothing.
#pragma once

#include <cstddef>

#include "state/simulation_state.h"
#include "state/stage_buffers.h"

namespace aerial {

// Where the platform lets a run ask for large pages, a context fills whole ones: a run
// then takes one page fault for each 2 MiB it touches first, instead of one for each 4 KiB
// (a fresh process's first run is otherwise mostly page faults). The alignment makes the
// size a multiple of it, so the last large page lies wholly inside the context too.
#if defined(__linux__)
inline constexpr std::size_t kContextAlignment = std::size_t{2} << 20;
#else
inline constexpr std::size_t kContextAlignment = 64;
#endif

struct alignas(kContextAlignment) SimulationContext {
    SimulationState workspace;
    StageBuffers buffers;
    RunOptions options;
};

AERIAL_STATE_SCOPE_BEGIN

#if defined(AERIAL_ENGINE_BUILD)

#if defined(__GNUC__)
#define AERIAL_INITIAL_EXEC_TLS __attribute__((tls_model("initial-exec")))
#else
#define AERIAL_INITIAL_EXEC_TLS
#endif

// The context of the run on this thread; null outside a run. One pointer: the initial-exec
// model reaches it without a call, also in a module loaded at run time, and constinit
// spares every use the check for a dynamic initialiser of another file.
extern thread_local constinit SimulationContext* boundContext AERIAL_INITIAL_EXEC_TLS;

inline SimulationContext& context() { return *boundContext; }

// Binds a context to the calling thread for the lifetime of this object.
class ContextBinding {
public:
    explicit ContextBinding(SimulationContext& bound) : previous_(boundContext) { boundContext = &bound; }
    ~ContextBinding() { boundContext = previous_; }
    ContextBinding(const ContextBinding&) = delete;
    ContextBinding& operator=(const ContextBinding&) = delete;

private:
    SimulationContext* previous_;
};

#else

// main4's context: static storage, all zero when the library is loaded, reused by every run.
extern SimulationContext processContext;

inline SimulationContext& context() { return processContext; }

#endif

inline SimulationState& workspace() { return context().workspace; }
inline StageBuffers& stageBuffers() { return context().buffers; }
inline const RunOptions& runOptions() { return context().options; }

// Asks that the context's memory be backed by large pages where the system offers them on
// request (Linux's transparent huge pages in madvise mode). It must come before the first
// touch of the context's memory, which is why no flag in the context records it: main4
// asks on every run (one system call), the engine when it allocates a context. Changes no
// value; where it is refused or not offered, nothing changes but the page faults.
void adviseContextMemory(SimulationContext& context);

AERIAL_STATE_SCOPE_END

} // namespace aerial
