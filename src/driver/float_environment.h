// The floating-point environment a run computes in, whatever the host left.
//
// Every bit of the tables depends on the rounding of each operation, and the fast
// evaluation's proofs assume IEEE rounding to nearest with subnormal numbers kept. A host
// may have changed either for its whole process or thread: a program built with -Ofast
// (or -ffast-math) sets flush-to-zero and denormals-are-zero at start-up, a numerical
// host may select another rounding mode, and some enable traps on division by zero or
// invalid operations, which a run performs on purpose for inputs that ask for infinities
// and NaNs. So every entry that runs the stages (main4, and any other entry into them)
// enters the run's environment first and leaves it before it returns.
#pragma once

#include <cfenv>

namespace aerial {

// What enterRunFloatEnvironment saved of the host's.
struct HostFloatEnvironment {
    std::fenv_t environment;
    unsigned int simdControl; // MXCSR on x86; unused elsewhere
};

// Saves the calling thread's floating-point environment in host and sets the one the
// library is defined in: rounding to nearest, every exception masked (no traps) with its
// flags clear, and on x86 neither flush-to-zero nor denormals-are-zero (MXCSR). Costs well
// under a microsecond with leaveRunFloatEnvironment (bench/README.md).
void enterRunFloatEnvironment(HostFloatEnvironment& host);

// Puts back what enterRunFloatEnvironment saved, control and status flags alike, so the
// host finds its environment exactly as it left it.
void leaveRunFloatEnvironment(const HostFloatEnvironment& host);

// The same for a scope, for callers in C++ that may leave it by an exception. main4 calls
// the two procedures itself: a destructor there would tie the library to the C++ runtime's
// unwinder.
class RunFloatEnvironmentScope {
public:
    RunFloatEnvironmentScope() { enterRunFloatEnvironment(host_); }
    ~RunFloatEnvironmentScope() { leaveRunFloatEnvironment(host_); }
    RunFloatEnvironmentScope(const RunFloatEnvironmentScope&) = delete;
    RunFloatEnvironmentScope& operator=(const RunFloatEnvironmentScope&) = delete;

private:
    HostFloatEnvironment host_;
};

} // namespace aerial
