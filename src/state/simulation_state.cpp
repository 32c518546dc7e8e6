#include "state/simulation_context.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif


namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

#if defined(AERIAL_ENGINE_BUILD)
thread_local constinit SimulationContext* boundContext AERIAL_INITIAL_EXEC_TLS = nullptr;
#else
// Zero-initialised, constant-initialised: no constructor runs when the library is loaded.
constinit SimulationContext processContext{};
#endif

void adviseContextMemory(SimulationContext& c) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // The context is whole large pages (kContextAlignment), so the advice reaches nothing
    // beside it.
    madvise(&c, sizeof c, MADV_HUGEPAGE);
#else
    (void)c;
#endif
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
