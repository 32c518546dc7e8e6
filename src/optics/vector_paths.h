// The hot loops of the fast evaluation are compiled twice: for the baseline instruction
// set and for AVX2, used when the processor and the operating system support it. Every
// lane performs the same IEEE operations in the same order (no contraction into fused
// multiply-adds), so both paths give the same bits. The choice is made at the first run,
// not when the library is loaded: the library runs no code at load time (which is why this
// asks the processor itself instead of using the compiler's function multiversioning,
// whose support code is a load-time constructor).
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define AERIAL_HAS_AVX2_PATH 1
#define AERIAL_INLINE_BODY inline __attribute__((always_inline))
#define AERIAL_AVX2 __attribute__((target("avx2")))
#define AERIAL_ONE_COPY __attribute__((noinline))
#else
#define AERIAL_HAS_AVX2_PATH 0
#define AERIAL_INLINE_BODY inline
#define AERIAL_AVX2
#define AERIAL_ONE_COPY
#endif

// AERIAL_ONE_COPY keeps a function out of line, so that every caller runs the same machine
// code: two inlined copies could order the operands of an operation differently.

#include "state/simulation_context.h"

namespace aerial {

// True when the processor and the operating system support AVX2. Asked once per process.
bool avx2Supported();

AERIAL_STATE_SCOPE_BEGIN
// True when the AVX2 clones may run: the run's options allow them (the default; the tests
// keep to the baseline path too, RunOptions::baselineVectorsOnly), and the processor
// supports them.
inline bool useAvx2Path() { return !runOptions().baselineVectorsOnly && avx2Supported(); }
AERIAL_STATE_SCOPE_END

} // namespace aerial
