// Four doubles operated on lane by lane: each lane performs exactly the IEEE operation of
// the scalar code (no contraction, no reassociation), so a loop written with Lanes gives
// the bits of the same loop written with doubles. With GCC and Clang the type is a
// compiler vector (one AVX2 register in the AVX2 clones, two SSE2 registers in the
// baseline); elsewhere a plain array.
#pragma once

#include <cstring>

namespace aerial {

#if defined(__GNUC__)
typedef double Lanes __attribute__((vector_size(32)));

// Always inlined into the loops that use them, so no Lanes value crosses a call between
// the baseline and the AVX2 code. GCC still warns at every use in baseline code that such
// a call would pass AVX registers; in the files that use Lanes the warning is silenced.
#pragma GCC diagnostic ignored "-Wpsabi"
inline __attribute__((always_inline)) Lanes loadLanes(const double* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline __attribute__((always_inline)) void storeLanes(double* p, Lanes v) {
    std::memcpy(p, &v, sizeof v);
}
inline __attribute__((always_inline)) Lanes broadcastLanes(double x) { return Lanes{x, x, x, x}; }
#else
struct Lanes {
    double v[4];
};
inline Lanes loadLanes(const double* p) {
    Lanes r;
    std::memcpy(r.v, p, sizeof r.v);
    return r;
}
inline void storeLanes(double* p, Lanes a) { std::memcpy(p, a.v, sizeof a.v); }
inline Lanes broadcastLanes(double x) { return Lanes{{x, x, x, x}}; }
#define AERIAL_LANE_OP(op)                                                                 \
    inline Lanes operator op(Lanes a, Lanes b) {                                           \
        Lanes r;                                                                           \
        for (int l = 0; l < 4; ++l) r.v[l] = a.v[l] op b.v[l];                             \
        return r;                                                                          \
    }
AERIAL_LANE_OP(+)
AERIAL_LANE_OP(-)
AERIAL_LANE_OP(*)
AERIAL_LANE_OP(/)
#undef AERIAL_LANE_OP
#endif

constexpr int kLaneCount = 4;

} // namespace aerial
