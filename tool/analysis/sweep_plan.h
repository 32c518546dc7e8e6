// The pure parts of a parameter study: the values of each varied parameter, the grid of
// their combinations, the folder of each point, and the table of results.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/feature_gauge.h"
#include "analysis/metrics.h"
#include "input/input_layout.h"

namespace aerial_tool {

// "START:STOP:STEP" with STEP above zero and STOP not below START, both ends included
// (STOP is reached when it lies on the step within rounding). When the step misses STOP,
// the last value below it ends the range and `missedStop` is set. Returns false with a
// reason for a malformed range, a zero or negative step, STOP below START, or more than
// 1000 values.
bool parseRange(const std::string& text, std::vector<double>& values, std::string& error,
                bool* missedStop = nullptr);

// A range, or "V1,V2,..." (any order, no value twice). Numbers are read by readNumber
// (option_values.h); the one list reader of every option that takes several values.
bool parseValues(const std::string& text, std::vector<double>& values, std::string& error,
                 bool* missedStop = nullptr);

// One varied parameter: a cell of the input, or a parameter of the mask generator
// ("mask.pitch", "mask.cd", "mask.bias"), whose points draw the rectangles again from the
// folder's mask.json.
struct SweepAxis {
    const aerial::ParameterCell* cell = nullptr; // nullptr for a mask parameter
    std::string maskParameter;
    std::string valuesText; // as given after the '='
    std::vector<double> values;
    bool missedStop = false;
    std::string note; // the values given with a comma that could be a decimal comma (listCommaNote)
};

// "NAME=VALUES" with a parameter name of the input layout whose cell is a real number, or
// of the mask generator.
bool parseVary(const std::string& text, SweepAxis& axis, std::string& error);

// The axis's name as given: "sigma", "mask.pitch".
std::string axisName(const SweepAxis& axis);

// Whether the axis's values are lengths (in the input's length unit).
bool axisIsLength(const SweepAxis& axis);

// The names that may be varied, for messages: "defocus, sigma, ...".
std::string variableNames();

// False with a reason when a parameter is varied twice or the grid exceeds 10000 points.
bool checkAxes(const std::vector<SweepAxis>& axes, std::string& error);

struct SweepPoint {
    std::vector<double> values; // one per axis
    std::string folder;         // "<name>_<value>" for each axis in order, joined by '_'
};

// Every combination, the first axis outermost.
std::vector<SweepPoint> sweepPoints(const std::vector<SweepAxis>& axes);

// True when a varied parameter changes how the source rounds to spectral samples (sigma,
// NA, wavelength, sample pitch): the results then show the effective sigma of each point.
bool variesSourceRounding(const std::vector<SweepAxis>& axes);

struct SweepRow {
    std::vector<double> values;
    std::optional<double> effectiveSigma;
    double threshold;
    FeatureMetrics feature;
};

// The results as CSV: a column per axis, the effective sigma when `withEffectiveSigma`,
// then threshold, the CD (`cd`, or `cd_y` when that is the figure), its status, edge slopes
// and NILS, the contrast, peak and minimum of the period around the feature, with the area
// the area and its status, and whether the image was measured `continuous` or `sampled`. A
// value the status leaves unmeasured holds the status. Numbers are written exactly (the
// shortest text that reads back as the same double), fields quoted as RFC 4180 has them.
std::string resultsCsv(const std::vector<SweepAxis>& axes, bool withEffectiveSigma, Measure measure,
                       const std::vector<SweepRow>& rows);

} // namespace aerial_tool
