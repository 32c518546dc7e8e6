#include "optics/optics.h"
#include "state/simulation_context.h"

namespace aerial {
AERIAL_STATE_SCOPE_BEGIN

// Y first, then X: in exact arithmetic the order would not matter, but it fixes the rounding.
void pupilTransform2D() {
    SimulationState& s = workspace();
    // The field transposed, so that each X line of the field is a contiguous row: scratch
    // for this call only, beside the workspace because two 128 KiB planes are more than a
    // small host thread stack should carry.
    FieldPlane& Gr = stageBuffers().transform.Gr;
    FieldPlane& Gi = stageBuffers().transform.Gi;
    const int n = s.gridSize;
    for (int x = 0; x < n; ++x) lineTransform(s.fieldRe[x], s.fieldIm[x], n, kPassY);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            Gr[i][j] = s.fieldRe[j][i];
            Gi[i][j] = s.fieldIm[j][i];
        }
    }
    for (int i = 0; i < n; ++i) lineTransform(Gr[i], Gi[i], n, kPassX);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            s.fieldRe[i][j] = Gr[j][i];
            s.fieldIm[i][j] = Gi[j][i];
        }
    }
}

AERIAL_STATE_SCOPE_END
} // namespace aerial
