#include "optics/phase_table.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "optics/line_phase.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

namespace {

// Sines and cosines already computed for this table (AngleMemo, stage_buffers.h), by the
// angle's bits. Many samples share an angle (without aberrations the angle depends on the
// product of sample and output offsets only), and the library's sine and cosine give the
// same bits for the same argument, so each distinct angle is evaluated once. Direct-mapped:
// a collision only costs a recomputation.
int slotOf(std::uint64_t bits) {
    std::uint64_t h = (bits ^ (bits >> 29)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<int>(h % AngleMemo::kSlots);
}

void sineAndCosine(AngleMemo& memo, double theta, double& s, double& c) {
    std::uint64_t bits;
    std::memcpy(&bits, &theta, sizeof bits);
    const int index = slotOf(bits);
    AngleMemo::Slot& slot = memo.slots[index];
    if (!memo.used[index] || slot.bits != bits) {
        memo.used[index] = true;
        slot.bits = bits;
        slot.cosine = std::cos(theta);
        slot.sine = std::sin(theta);
    }
    s = slot.sine;
    c = slot.cosine;
}

// The samples a pupil of radius r about the centre c can reach: |k - c| <= r, widened by
// one for the rounding of r * r in the cut and by one for the neighbouring interval.
void sampleRange(int n, int& first, int& last) {
    const SimulationState& s = workspace();
    const double r = ((s.numericalAperture * s.samplePitch) * static_cast<double>(n)) / s.wavelength;
    const double reach = std::floor(std::fabs(r)) + 2.0;
    first = 0;
    last = n - 1;
    if (reach < static_cast<double>(n)) { // false for NaN: every sample
        const int c = n / 2;
        const int k = static_cast<int>(reach);
        first = c - k > 0 ? c - k : 0;
        last = c + k < n - 1 ? c + k : n - 1;
    }
}

} // namespace

void buildPhaseTable(PhaseTable& table, int n, AxisPass pass) {
    table.n = n;
    table.finite = true;
    table.moderate = true;
    table.first = 0;
    table.last = -1;
    if (n <= 0 || n > kMaxGrid) return;
    sampleRange(n, table.first, table.last);
    // Fresh for every table: nothing computed under another run's conditions is reused.
    AngleMemo& memo = stageBuffers().imaging.angles;
    std::memset(memo.used, 0, sizeof memo.used);
    const LinePhase lp = linePhase(n, pass);
    const double half = lp.dn / 2.0;
    const int span = table.span();
    double angles[kMaxGrid];
    for (int k = table.first; k <= table.last; ++k) {
        // The direct evaluation reaches sample k as u0 of interval k and as u1 = u0 + 1.0 of
        // interval k - 1; both are exactly k - n/2.0, so one angle serves both.
        const SamplePhase sp = samplePhase(lp, static_cast<double>(k) - half);
        for (int p = 0; p < n; ++p) angles[p] = phaseAngleAt(lp, sp, static_cast<double>(p) - half);
        for (int p = 0; p < n; ++p) {
            double c, s;
            sineAndCosine(memo, angles[p], s, c);
            const int at = pass == kPassY ? k * kMaxGrid + p : p * span + (k - table.first);
            table.cosine[at] = c;
            table.sine[at] = s;
            if (!std::isfinite(c) || !std::isfinite(s)) table.finite = false;
            // Sines and cosines never exceed 1.
            if ((c != 0.0 && std::fabs(c) < 0x1p-100) || (s != 0.0 && std::fabs(s) < 0x1p-100)) {
                table.moderate = false;
            }
        }
    }
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
