#include "state/simulation_context.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstdint>

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

#if defined(AERIAL_ENGINE_BUILD)
thread_local SimulationContext* boundContext AERIAL_INITIAL_EXEC_TLS = nullptr;
#else
// Zero-initialised, constant-initialised: no constructor runs when the library is loaded.
alignas(kContextAlignment) constinit SimulationContext processContext{};
#endif

void adviseContextMemory() {
    SimulationContext& c = context();
    if (c.memoryAdvised) return;
    c.memoryAdvised = true;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // The context rounded out to whole large pages: a large page must lie wholly inside
    // the advised range. The context starts on a boundary; past its end lie only a few
    // flags of the library, or the rest of the engine's allocation, which is whole large
    // pages too.
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(&c) / kContextAlignment * kContextAlignment;
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(&c) + sizeof c + kContextAlignment - 1) /
                               kContextAlignment * kContextAlignment;
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
