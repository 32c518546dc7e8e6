#include "driver/float_environment.h"
#include "state/precision_guard.h"

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#include <xmmintrin.h>
#define AERIAL_HAS_MXCSR 1
#else
#define AERIAL_HAS_MXCSR 0
#endif

namespace aerial {

namespace {

#if AERIAL_HAS_MXCSR
// MXCSR with every exception masked (bits 7-12), no flag set (bits 0-5), rounding to
// nearest (bits 13-14 clear), no denormals-are-zero (bit 6) and no flush-to-zero (bit 15):
// the processor's own reset value. The C library's environment functions need not touch
// the last two bits, so the register is saved, set and restored as a whole.
constexpr unsigned int kRunMxcsr = 0x1F80;
#endif

} // namespace

void enterRunFloatEnvironment(HostFloatEnvironment& host) {
    host.simdControl = 0;
#if AERIAL_HAS_MXCSR
    host.simdControl = _mm_getcsr();
#endif
    // Saves the whole environment, then clears the flags and masks every exception.
    std::feholdexcept(&host.environment);
    std::fesetround(FE_TONEAREST);
#if AERIAL_HAS_MXCSR
    _mm_setcsr(kRunMxcsr);
#endif
}

void leaveRunFloatEnvironment(const HostFloatEnvironment& host) {
    std::fesetenv(&host.environment);
#if AERIAL_HAS_MXCSR
    _mm_setcsr(host.simdControl);
#endif
}

} // namespace aerial
