#include "optics/vector_paths.h"

#if AERIAL_HAS_AVX2_PATH
#include <cpuid.h>

#include <atomic>
#endif

namespace aerial {

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

#if AERIAL_HAS_AVX2_PATH
// What the processor answered: 0 not asked yet, 1 no AVX2, 2 AVX2. Not a function-local
// static, whose guard would tie the library to the C++ runtime for this one flag; two
// threads asking at once both store the same answer.
namespace {
std::atomic<int> avx2State{0};
} // namespace
#endif

bool avx2Supported() {
#if AERIAL_HAS_AVX2_PATH
    int state = avx2State.load(std::memory_order_relaxed);
    if (state == 0) {
        state = processorHasAvx2() ? 2 : 1;
        avx2State.store(state, std::memory_order_relaxed);
    }
    return state == 2;
#else
    return false;
#endif
}

} // namespace aerial
