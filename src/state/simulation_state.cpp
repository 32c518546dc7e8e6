#include "state/simulation_state.h"

namespace aerial {

// Zero-initialised, constant-initialised: no constructor runs when the library is loaded.
SimulationState workspace;

} // namespace aerial
