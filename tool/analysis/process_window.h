// The focus-exposure window in the threshold model of exposure: a relative dose E prints
// the edge where E x I = T0, so dose E measures the image at threshold T0 / E. A focus is
// in tolerance over the doses whose CD lies within target x (1 +- tolerance); the window is the
// range of sampled foci over which one dose interval keeps every focus in tolerance. Pure
// arithmetic over profiles and per-focus dose intervals; no files, no processes.
#pragma once

#include <optional>
#include <vector>

#include "analysis/metrics.h"

namespace aerial_tool {

struct ThresholdModel {
    double t0 = 0.3;         // the threshold at relative dose 1
    double targetCd = 0;
    double tolerance = 0.10; // in tolerance: CD within targetCd x (1 +- tolerance)
    double featureAt = 0;    // the place of the measured feature along the cut
    bool bright = true;      // its kind, fixed at the nominal condition
};

struct DoseInterval {
    double low;
    double high;
};

// (high - low) / ((high + low) / 2).
double exposureLatitude(const DoseInterval& doses);

// The feature at relative dose E: measured at threshold T0 / E.
FeatureMetrics featureAtDose(const Profile& profile, const ThresholdModel& model, double dose);

// What one focus's image gives, solved directly on it (the CD is piecewise linear and
// monotone in the threshold; bisection of the threshold to the last bit). No dose to size
// when no dose gives the target exactly (the feature merges with a neighbour or vanishes
// on the way); no interval when no dose keeps the CD in tolerance.
struct FocusSolution {
    std::optional<double> doseToSize;
    std::optional<DoseInterval> inTolerance;
};

FocusSolution solveFocus(const Profile& profile, const ThresholdModel& model);

// One sampled focus and its in-tolerance doses.
struct FocusDoses {
    double focus;
    std::optional<DoseInterval> inTolerance;
};

// A range of sampled foci [focusMin, focusMax] and the doses that keep all of them in tolerance:
// the intersection of their in-tolerance intervals, whose exposure latitude is at least `el`.
struct ProcessWindow {
    double el;  // the latitude asked for
    double dof; // focusMax - focusMin (no interpolation between sampled foci)
    double focusMin;
    double focusMax;
    DoseInterval doses;
    bool openEnd; // reaches the first or last sampled focus: it may extend beyond
};

// The widest window of latitude at least `el` over consecutive sampled foci (ties: the one
// with the larger latitude, then the lower focus). Foci must be in increasing order. None
// when no single focus reaches that latitude.
std::optional<ProcessWindow> widestWindow(const std::vector<FocusDoses>& foci, double el);

// The largest latitude of any single focus; none when no focus is in tolerance at any dose.
std::optional<double> maxFocusLatitude(const std::vector<FocusDoses>& foci);

inline constexpr double kLatitudeStep = 0.02;

struct WindowSummary {
    double bestFocus;   // the centre of the EL = 0 window
    double maxEl;
    std::vector<ProcessWindow> windows; // EL = 0, 0.02, 0.04, ... up to maxEl
};

// None when no focus is in tolerance at any dose.
std::optional<WindowSummary> summariseWindow(const std::vector<FocusDoses>& foci);

// About `count` doses at a round step, spanning the in-tolerance intervals of all foci and a
// tenth of their span beyond each end; empty when no focus is in tolerance.
std::vector<double> bracketingDoses(const std::vector<FocusDoses>& foci, int count);

} // namespace aerial_tool
