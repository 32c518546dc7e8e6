// What a sweep over mask generator parameters adds: a note for each point whose grid does
// not hold whole periods, the CD and NILS through pitch, and the mask error factor.
#pragma once

#include <string>
#include <vector>

#include "analysis/sweep_plan.h"
#include "cli/study.h"
#include "pictures/picture_format.h"

namespace aerial_tool {

// Every point's pattern drawn once: false (with the message printed) when one cannot be,
// notes on stderr for points whose grid does not hold whole periods (they are not measured).
bool checkMaskPoints(const Study& study);

// With mask.pitch varied: DIR/sweep/cd_through_pitch and nils_through_pitch pictures. With
// mask.bias or mask.cd varied: the mask error factor printed, DIR/sweep/meef.csv and the
// meef picture. Points not periodic on their grid stay out of both. The pictures in that
// format. Exit status 0, 1 when the factor cannot be measured, 2 when a file cannot be written.
// The names of the files written are added to `written`.
int reportMaskStudy(const Study& study, const std::vector<SweepRow>& rows, bool manyThresholds,
                    const std::string& unit, bool bright, const CutChoice& choice, PictureFormat format,
                    bool quiet, std::vector<std::string>& written);

} // namespace aerial_tool
