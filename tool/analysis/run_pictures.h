// What the pictures of a run show, as data for the picture module: titles with the
// folder's name and the conditions, the overlays, the zoom, the cutline's metrics. Shared
// by `plot` and `report`, so a report page shows exactly the pictures `plot` writes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/metrics.h"
#include "analysis/sweep_plan.h"
#include "io/result_table.h"
#include "io/run_folder.h"
#include "pictures/plot_drawing.h"

namespace aerial_tool {

struct PictureChoices {
    std::vector<double> thresholds;    // contours on the image, CDs on the cutline
    std::optional<CutAxis> axis;       // default: across a generated pattern's features, else X
    double at = 0;                     // the cut's offset from the grid centre
    std::optional<double> featureAt;   // the feature whose CD is written; default the cut's centre
    bool logarithmic = true;           // the spectrum amplitude
    bool zoom = true;                  // the spectrum pictures to the pupils
    bool mask = true;                  // the mask's rectangles on the image
};

// "wavelength 0.193 um   NA 0.75   sigma 0.5 (effective 0.403)   defocus 0 um", and the
// thresholds when there are any; empty when the input cannot be read.
std::string conditionsLine(const RunInput& input, const std::vector<double>& thresholds);

// The same line for the pictures of a study of the folder's input: each parameter the study
// varies given with its values as written ("defocus -0.3:0.3:0.05 um"), the effective sigma
// as varying when the source's rounding does, and the other varied parameters after them
// ("mask.cd 0.1,0.12 um").
std::string studyConditionsLine(const RunInput& input, const std::vector<SweepAxis>& varied,
                                const std::vector<double>& thresholds);

// A study picture's title: "FOLDER: what" with the conditions of studyConditionsLine, as a
// run's pictures have theirs.
PictureTitle studyPictureTitle(const RunInput& input, const std::string& what, const std::vector<SweepAxis>& varied,
                               const std::vector<double>& thresholds);

HeatmapPicture imagePicture(const RunInput& input, const ResultTableData& image,
                            const PictureChoices& choices);
HeatmapPicture amplitudePicture(const RunInput& input, const ResultTableData& amplitude,
                                const PictureChoices& choices);
// The phase, shown only where the amplitude is above 1e-3 of its peak.
HeatmapPicture phasePicture(const RunInput& input, const ResultTableData& amplitude,
                            const PictureChoices& choices);
SourcePicture sourcePicture(const RunInput& input);

// The chosen cut of the image, measured at every threshold.
struct CutlineResult {
    CutlinePicture picture;
    std::vector<CutMetrics> metrics;     // one per threshold (one without a threshold if none)
    std::vector<FeatureMetrics> features; // the feature at each threshold, as `metrics` measures it
    CutAxis axis = CutAxis::kX;
    double cutPosition = 0;
    bool sampled = false; // measured on the samples (the continuous image is not determined)
};

// The cut measured as `metrics` measures it, on the image at the input's positions and
// pupil (without a readable input, on the samples at the labels' step). False with a reason
// when the cut or the feature's position lies outside the grid.
bool cutlineOf(const RunInput& input, const ResultTableData& image, const PictureChoices& choices,
               CutlineResult& result, std::string& error);

// The cutline's metrics as small monospaced tables, for the report: the figures and the
// runs of each threshold, and beside them the crossings.
struct MetricsText {
    std::vector<std::string> runs;
    std::vector<std::string> crossings;
};

MetricsText metricsText(const CutlineResult& result, const PictureChoices& choices,
                        const std::string& unit);

} // namespace aerial_tool
