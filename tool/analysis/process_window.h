// The focus-exposure window in the threshold model of exposure: a relative dose E prints
// the edge where E x I = T0, so dose E measures the image at threshold T0 / E. A focus is
// in tolerance over the doses whose figure (the CD, or the area) lies within target x (1 +-
// tolerance); the window is the range of foci over which one dose interval keeps every focus
// in tolerance. The foci are the sampled ones and those run to refine the window's edges.
// Pure arithmetic over prepared images and per-focus dose intervals; no files, no processes.
#pragma once

#include <optional>
#include <vector>

#include "analysis/feature_gauge.h"
#include "analysis/option_defaults.h"

namespace aerial_tool {

struct ThresholdModel {
    double t0 = kDefaultThreshold;         // the threshold at relative dose 1
    double targetCd = 0;     // the target of the figure: a CD, or an area
    double tolerance = kDefaultTolerance; // in tolerance: the figure within targetCd x (1 +- tolerance)
    bool bright = true;      // the feature's kind, fixed at the nominal condition
};

struct DoseInterval {
    double low;
    double high;
};

// (high - low) / ((high + low) / 2).
double exposureLatitude(const DoseInterval& doses);

// The feature at relative dose E: measured at threshold T0 / E.
FeatureMetrics featureAtDose(const FeatureGauge& gauge, const ThresholdModel& model, double dose);

// How a focus stands. In tolerance over a dose interval of some width; unstable when the
// figure jumps across the whole tolerance band between two doses the solver tells apart
// (the feature merges with its neighbours, vanishes or changes kind on the way), so that no
// dose holds it; in tolerance at no dose otherwise: the figure never reaches the band, or
// only at a single dose.
enum class FocusStatus { kInTolerance, kUnstable, kNoDose };
const char* focusStatusText(FocusStatus status); // "in tolerance", "unstable", "in tolerance at no dose"

// What one focus's image gives, solved directly on it (the figure is monotone in the
// threshold: bisection of the threshold to the last bit). No dose to size when no dose
// gives the target exactly (the figure jumps past it); an interval only in tolerance.
struct FocusSolution {
    FocusStatus status = FocusStatus::kNoDose;
    std::optional<double> doseToSize;
    std::optional<DoseInterval> inTolerance;
    // Unstable: the dose at which the figure jumps across the band, and its two sides.
    std::optional<double> jumpDose;
    double jumpFrom = 0, jumpTo = 0; // the figure on the lower and the higher dose side
};

FocusSolution solveFocus(const FeatureGauge& gauge, const ThresholdModel& model);

// One focus and its in-tolerance doses; `sampled` for the foci of the study's range, false
// for those run to refine the window's edges.
struct FocusDoses {
    double focus;
    std::optional<DoseInterval> inTolerance;
    bool sampled = true;
};

// A range of foci [focusMin, focusMax] and the doses that keep all of them in tolerance:
// the intersection of their in-tolerance intervals, whose exposure latitude is at least `el`.
struct ProcessWindow {
    double el;  // the latitude asked for
    double dof; // focusMax - focusMin in decimal, as the foci are written (no interpolation between foci)
    double focusMin;
    double focusMax;
    DoseInterval doses;
    bool openEnd; // reaches the first or last sampled focus: it may extend beyond
};

// The widest window of latitude at least `el` over consecutive foci (ties: the one with the
// larger latitude, then the lower focus). Foci must be in increasing order. None when no
// single focus reaches that latitude.
std::optional<ProcessWindow> widestWindow(const std::vector<FocusDoses>& foci, double el);

// The largest latitude of any single focus; none when no focus is in tolerance at any dose.
std::optional<double> maxFocusLatitude(const std::vector<FocusDoses>& foci);

// The latitudes of a window summary: whole multiples of 2 %.
inline constexpr int kLatitudeStepPercent = 2;

struct WindowSummary {
    double bestFocus;   // the centre of the EL = 0 window, in decimal as the foci are written
    double maxEl;
    std::vector<ProcessWindow> windows; // EL = 0, 0.02, 0.04, ... up to maxEl
};

// None when no focus is in tolerance at any dose.
std::optional<WindowSummary> summariseWindow(const std::vector<FocusDoses>& foci);

// The foci to run next so that the focus edges of every window of the summary, and the
// focus of the largest latitude, are known within `precision`: the midpoint of each gap
// wider than that beside them (bisection in focus). Empty when every edge is that close.
// Foci must be in increasing order.
std::vector<double> refinementFoci(const std::vector<FocusDoses>& foci, double precision);

// About `count` doses at a round step, spanning the in-tolerance intervals of all foci and a
// tenth of their span beyond each end; empty when no focus is in tolerance.
std::vector<double> bracketingDoses(const std::vector<FocusDoses>& foci, int count);

} // namespace aerial_tool
