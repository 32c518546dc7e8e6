#include "optics/vector_paths.h"

#if AERIAL_HAS_AVX2_PATH
#include <cpuid.h>
#endif

namespace aerial {

bool wideVectorsAllowed = true;

namespace {

#if AERIAL_HAS_AVX2_PATH
// The XCR0 register: which vector registers the operating system saves on a switch.
unsigned xgetbvLow() {
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return low;
}

bool processorHasAvx2() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool osSavesYmm = (c & bit_OSXSAVE) && (c & bit_AVX) && ((xgetbvLow() & 0x6) == 0x6);
    if (!osSavesYmm || __get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_AVX2) != 0;
}
#endif

} // namespace

bool useAvx2Path() {
#if AERIAL_HAS_AVX2_PATH
    static const bool avx2 = processorHasAvx2();
    return avx2 && wideVectorsAllowed;
#else
    return false;
#endif
}

} // namespace aerial
