// Build settings the library refuses. Every table digit depends on the order and rounding
// of each floating-point operation, so a build that would change either stops here rather
// than produce other numbers. The project's CMake build passes -ffp-contract=off
// -fno-fast-math after any CXXFLAGS; these catch the sources compiled in another build.
// Every library source that computes includes this (most through simulation_state.h).
#pragma once

#include <cfloat>

#if defined(__FAST_MATH__)
#error "aerial fixes the order and rounding of every floating-point operation: build without fast-math"
#endif

// The parts of fast-math one at a time, as far as the compiler tells of them (GCC defines
// each macro; Clang only the first). Finite-math-only folds the isfinite and isnan tests
// that send NaN and infinity down the direct evaluation; the others reorder sums, replace
// divisions by multiplications with a reciprocal, or drop the sign of a zero, which the
// phase table prints.
#if defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__
#error "aerial computes with NaN and infinity and tests for them: build without -ffinite-math-only"
#endif
#if defined(__ASSOCIATIVE_MATH__)
#error "aerial fixes the order of every sum: build without -fassociative-math"
#endif
#if defined(__RECIPROCAL_MATH__)
#error "aerial rounds every division as a division: build without -freciprocal-math"
#endif
#if defined(__NO_SIGNED_ZEROS__)
#error "aerial keeps the sign of zero, which its tables print: build without -fno-signed-zeros"
#endif

// Every intermediate must be rounded to its type, as on x86-64; the x87 unit of 32-bit x86
// keeps extended precision unless SSE2 does the arithmetic (-msse2 -mfpmath=sse).
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error "aerial needs FLT_EVAL_METHOD == 0 (binary64 intermediates): on 32-bit x86 build with -msse2 -mfpmath=sse"
#endif
