#include <cmath>
#include <cstdint>

#include "optics/optics.h"
#include "optics/phase_table.h"
#include "optics/source_points.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

namespace {

// The mask spectrum is saved (ImagingBuffers::Br, Bi) before the field planes become the
// working field: scratch for one call only, beside the workspace for the same reason as
// the transform's work planes. The phase factors of the fast evaluation are built there
// too (factorsY, factorsX).

bool onGrid(int index, int shift, int n) {
    const std::int64_t moved = static_cast<std::int64_t>(index) + shift;
    return moved >= 0 && moved < n;
}

// Moves the saved spectrum by the source shift and cuts it with the pupil of radius r
// (in spectral samples, rim included) into the cleared field planes.
void cutShiftedPupil(double r, bool shifted, int shiftX, int shiftY) {
    SimulationState& s = workspace();
    const FieldPlane& Br = stageBuffers().imaging.Br;
    const FieldPlane& Bi = stageBuffers().imaging.Bi;
    const int n = s.gridSize;
    const int c = n / 2;
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            s.fieldRe[x][y] = 0.0;
            s.fieldIm[x][y] = 0.0;
        }
    }
    if (!shifted) return;
    for (int x = 0; x < n; ++x) {
        if (r * r < static_cast<double>((x - c) * (x - c))) continue; // no sample of this row passes
        for (int y = 0; y < n; ++y) {
            const int d = (x - c) * (x - c) + (y - c) * (y - c);
            if (r * r >= static_cast<double>(d) && onGrid(x, shiftX, n) && onGrid(y, shiftY, n)) {
                s.fieldRe[x][y] = Br[x + shiftX][y + shiftY];
                s.fieldIm[x][y] = Bi[x + shiftX][y + shiftY];
            }
        }
    }
}

bool savedSpectrumFinite(int n) {
    const FieldPlane& Br = stageBuffers().imaging.Br;
    const FieldPlane& Bi = stageBuffers().imaging.Bi;
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            if (!std::isfinite(Br[x][y]) || !std::isfinite(Bi[x][y])) return false;
        }
    }
    return true;
}

// The fast evaluation reproduces the direct one bit for bit while every value is finite.
// Non-finite factors or samples (a zero wavelength, an infinite transmission) take the
// direct evaluation, whose NaN results are the reference.
bool useFastEvaluation(int n) {
    if (runOptions().evaluation != Evaluation::kFast || n <= 0 || n > kMaxGrid) return false;
    if (!savedSpectrumFinite(n)) return false;
    ImagingBuffers& b = stageBuffers().imaging;
    buildPhaseTable(b.factorsY, n, kPassY);
    buildPhaseTable(b.factorsX, n, kPassX);
    return b.factorsY.finite && b.factorsX.finite;
}

} // namespace

void imagePartiallyCoherent() {
    SimulationState& s = workspace();
    ImagingBuffers& b = stageBuffers().imaging;
    FieldPlane& Br = b.Br;
    FieldPlane& Bi = b.Bi;
    const int n = s.gridSize;
    const double r = pupilRadiusSamples(n, s.samplePitch, s.wavelength, s.numericalAperture);
    int count = 0;

    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            Br[x][y] = s.fieldRe[x][y];
            Bi[x][y] = s.fieldIm[x][y];
            s.II[x][y] = 0.0;
        }
    }

    const bool fast = useFastEvaluation(n);

    // The 13 source points, in the order of their sum.
    for (const SourceIndex& index : kSourceIndices) {
        ++count;
        const SourcePoint point = sourcePoint(index, n, s.samplePitch, s.wavelength,
                                              s.numericalAperture, s.sigma);
        cutShiftedPupil(r, point.passes, point.shiftX, point.shiftY);
        if (fast) {
            pupilTransform2DFast(b.factorsY, b.factorsX);
        } else {
            pupilTransform2D();
        }
        for (int x = 0; x < n; ++x) {
            for (int y = 0; y < n; ++y) {
                s.II[x][y] = (s.fieldRe[x][y] * s.fieldRe[x][y] + s.II[x][y]) +
                             s.fieldIm[x][y] * s.fieldIm[x][y];
            }
        }
    }

    const double dcount = static_cast<double>(count);
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) s.II[x][y] = s.II[x][y] / dcount;
    }
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
