// The focus-exposure window: the threshold model solved on profiles whose CD is known in
// closed form, and the window arithmetic on per-focus dose intervals worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/process_window.h"

using namespace aerial_tool;

namespace {

// Flat at 0 up to x = 4, rising linearly to 1 at x = 8, flat to 12, falling to 0 at 16,
// flat to 20 (21 samples). At threshold t in (0, 1) the bright run round x = 10 spans
// 4 + 4t .. 16 - 4t: CD = 12 - 8t, exactly, since every crossing lies on a straight edge.
Profile trapezoid(bool inverted = false) {
    Profile p;
    for (int i = 0; i <= 20; ++i) {
        double x = i;
        double v = x <= 4 ? 0 : x <= 8 ? (x - 4) / 4 : x <= 12 ? 1 : x <= 16 ? (16 - x) / 4 : 0;
        p.position.push_back(x);
        p.intensity.push_back(inverted ? 1 - v : v);
    }
    return p;
}

ThresholdModel model(bool bright) {
    ThresholdModel m;
    m.t0 = 0.5;
    m.targetCd = 8;
    m.tolerance = 0.1;
    m.bright = bright;
    return m;
}

// The CD of the feature at x = 10 (or at `place`) of a profile of samples.
FeatureGauge gauge(Profile p, double place = 10) { return profileGauge(std::move(p), place); }

std::vector<FocusDoses> table(std::initializer_list<std::pair<double, std::optional<DoseInterval>>> rows) {
    std::vector<FocusDoses> out;
    for (const auto& [focus, doses] : rows) out.push_back({focus, doses});
    return out;
}

} // namespace

TEST(ThresholdModel, DoseToSizeAndInSpecDosesOfASpaceAndOfALine) {
    // Space: CD = 12 - 8 t with t = T0 / E = 0.5 / E. The target 8 needs t = 0.5, E = 1;
    // CD 7.2 (target - 10 %) needs t = 0.6, E = 5/6; CD 8.8 needs t = 0.4, E = 1.25.
    // Line (the inverted profile, dark run round x = 10): CD = 4 + 8 t, the same doses
    // with the ends swapped.
    for (bool bright : {true, false}) {
        const FocusSolution s = solveFocus(gauge(trapezoid(!bright)), model(bright));
        ASSERT_TRUE(s.doseToSize) << bright;
        EXPECT_NEAR(*s.doseToSize, 1.0, 1e-12);
        ASSERT_TRUE(s.inTolerance);
        EXPECT_NEAR(s.inTolerance->low, 5.0 / 6, 1e-12);
        EXPECT_NEAR(s.inTolerance->high, 1.25, 1e-12);
        // (1.25 - 5/6) / ((1.25 + 5/6) / 2) = (5/12) / (25/24) = 0.4
        EXPECT_NEAR(exposureLatitude(*s.inTolerance), 0.4, 1e-12);
        const FeatureMetrics atSize = featureAtDose(gauge(trapezoid(!bright)), model(bright), *s.doseToSize);
        EXPECT_NEAR(atSize.cd, 8, 1e-12);
    }
}

TEST(ThresholdModel, NoDoseSizesAFeatureThatMergesBeforeReachingTheTarget) {
    // Three bumps of 1 over floors of 0.2: the middle one is at most 2 wide (its floors)
    // while the threshold stays above 0.2, and merges with both neighbours (7 wide) below
    // it. A target of 3 lies in the jump: no dose gives it, and +-10 % is never in tolerance.
    Profile p;
    const double values[] = {0, 0, 0, 1, 0.2, 1, 0.2, 1, 0, 0, 0, 0};
    for (int i = 0; i < 12; ++i) {
        p.position.push_back(i);
        p.intensity.push_back(values[i]);
    }
    ThresholdModel m = model(true);
    m.targetCd = 3;
    const FocusSolution s = solveFocus(gauge(p, 5), m);
    EXPECT_FALSE(s.doseToSize);
    EXPECT_FALSE(s.inTolerance);
    // It jumps across the whole band [2.7, 3.3] at threshold 0.2 (dose 0.5 / 0.2): from 2 wide
    // just above it to the merged run from 2.2 to 7.8 at it. Unstable, never in tolerance.
    EXPECT_EQ(s.status, FocusStatus::kUnstable);
    ASSERT_TRUE(s.jumpDose);
    EXPECT_NEAR(*s.jumpDose, 2.5, 1e-12);
    EXPECT_NEAR(s.jumpFrom, 2, 1e-12);
    EXPECT_NEAR(s.jumpTo, 5.6, 1e-12);
    EXPECT_STREQ(focusStatusText(s.status), "unstable");
    // A target beyond anything the feature prints is in tolerance at no dose, not unstable.
    m.targetCd = 20;
    EXPECT_EQ(solveFocus(gauge(p, 5), m).status, FocusStatus::kNoDose);
    // A target it can reach: 1.25 at threshold 0.5 (see the metrics tests), dose 1.
    m.targetCd = 1.25;
    const FocusSolution reached = solveFocus(gauge(p, 5), m);
    ASSERT_TRUE(reached.doseToSize);
    EXPECT_NEAR(*reached.doseToSize, 1, 1e-12);
    EXPECT_EQ(reached.status, FocusStatus::kInTolerance);
    // A band too narrow for two thresholds to differ in it: a dose interval of no width is
    // in tolerance at no dose, although one dose gives the target.
    m.tolerance = 1e-16;
    const FocusSolution point = solveFocus(gauge(p, 5), m);
    EXPECT_EQ(point.status, FocusStatus::kNoDose);
    EXPECT_FALSE(point.inTolerance);
    EXPECT_STREQ(focusStatusText(point.status), "in tolerance at no dose");
}

TEST(ProcessWindow, RefinedFocusEdgesGiveTheSameDepthOfFocusAtAnyFocusStep) {
    // In-tolerance doses [0.9 + 0.4 d^2, 1.1 - 0.6 d^2] at a distance d from the focus 0.037:
    // the window round it of half-width D shares [0.9 + 0.4 D^2, 1.1 - 0.6 D^2], of latitude
    // (0.2 - D^2) / (1 - 0.1 D^2). So at latitude e the DOF is 2 D with D^2 = (0.2 - e) /
    // (1 - 0.1 e), the largest latitude 0.2, and the best focus 0.037, whatever the sampling.
    const double centre = 0.037, precision = 0.0005;
    auto doses = [&](double f) -> std::optional<DoseInterval> {
        const double d2 = (f - centre) * (f - centre);
        if (0.9 + 0.4 * d2 >= 1.1 - 0.6 * d2) return std::nullopt;
        return DoseInterval{0.9 + 0.4 * d2, 1.1 - 0.6 * d2};
    };
    auto refinedSummary = [&](double step) {
        std::vector<FocusDoses> foci;
        for (int k = -12; k * step <= 0.6 + 1e-12; ++k) {
            if (k * step < -0.6 - 1e-12) continue;
            foci.push_back({k * step, doses(k * step)});
        }
        for (int round = 0; round < 30; ++round) {
            const std::vector<double> next = refinementFoci(foci, precision);
            if (next.empty()) break;
            for (double f : next) foci.push_back({f, doses(f), false});
            std::sort(foci.begin(), foci.end(), [](const FocusDoses& a, const FocusDoses& b) { return a.focus < b.focus; });
        }
        EXPECT_TRUE(refinementFoci(foci, precision).empty()) << step;
        return *summariseWindow(foci);
    };
    const WindowSummary coarse = refinedSummary(0.1), fine = refinedSummary(0.05);
    for (const WindowSummary* s : {&coarse, &fine}) {
        EXPECT_NEAR(s->bestFocus, centre, precision);
        EXPECT_NEAR(s->maxEl, 0.2, 1e-6);
        for (const ProcessWindow& w : s->windows) {
            if (w.el > 0.8 * 0.2) continue;
            const double dof = 2 * std::sqrt((0.2 - w.el) / (1 - 0.1 * w.el));
            // The foci inside the true window bound it from within, each edge by the precision.
            EXPECT_LE(w.dof, dof + 1e-12) << w.el;
            EXPECT_GE(w.dof, dof - 2 * precision) << w.el;
        }
    }
    ASSERT_EQ(coarse.windows.size(), fine.windows.size());
    for (size_t k = 0; k < coarse.windows.size(); ++k) EXPECT_NEAR(coarse.windows[k].dof, fine.windows[k].dof, 2 * precision);
}

TEST(ProcessWindow, ARectangleThatFitsOverThreeFociAndOpenAtTheFirst) {
    // In-tolerance doses per focus; the focus 0.2 is never in tolerance.
    //   -0.1: [0.95, 1.10]  EL 0.15 / 1.025 = 0.1463
    //    0  : [0.90, 1.08]  EL 0.18 / 0.99  = 0.1818
    //    0.1: [0.96, 1.12]  EL 0.16 / 1.04  = 0.1538
    // All three share [0.96, 1.08], EL 0.12 / 1.02 = 0.1176: the EL 0 window is
    // -0.1 .. 0.1 (DOF 0.2), and it starts at the first sampled focus.
    const auto foci = table({{-0.1, DoseInterval{0.95, 1.10}},
                             {0, DoseInterval{0.90, 1.08}},
                             {0.1, DoseInterval{0.96, 1.12}},
                             {0.2, std::nullopt}});
    const std::optional<ProcessWindow> open = widestWindow(foci, 0);
    ASSERT_TRUE(open);
    EXPECT_DOUBLE_EQ(open->dof, 0.2);
    EXPECT_EQ(open->focusMin, -0.1);
    EXPECT_EQ(open->focusMax, 0.1);
    EXPECT_EQ(open->doses.low, 0.96);
    EXPECT_EQ(open->doses.high, 1.08);
    EXPECT_TRUE(open->openEnd);
    // EL 0.10 still fits the whole rectangle; EL 0.12 does not (0.1176), and the widest
    // pair is then -0.1 .. 0 ([0.95, 1.08], EL 0.13 / 1.015 = 0.1281) against
    // 0 .. 0.1 ([0.96, 1.08], 0.1176).
    EXPECT_DOUBLE_EQ(widestWindow(foci, 0.10)->dof, 0.2);
    const std::optional<ProcessWindow> pair = widestWindow(foci, 0.12);
    ASSERT_TRUE(pair);
    EXPECT_DOUBLE_EQ(pair->dof, 0.1);
    EXPECT_EQ(pair->focusMin, -0.1);
    EXPECT_EQ(pair->doses.low, 0.95);
    // EL 0.16 only at focus 0, DOF 0; EL 0.19 nowhere.
    const std::optional<ProcessWindow> single = widestWindow(foci, 0.16);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->dof, 0);
    EXPECT_EQ(single->focusMin, 0);
    EXPECT_FALSE(single->openEnd);
    EXPECT_FALSE(widestWindow(foci, 0.19));

    const std::optional<WindowSummary> s = summariseWindow(foci);
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->maxEl, 0.18 / 0.99, 1e-15);
    EXPECT_EQ(s->bestFocus, 0);
    ASSERT_EQ(s->windows.size(), 10u); // EL 0, 0.02, .., 0.18 <= 0.1818
    EXPECT_EQ(s->windows[9].el, 9 * 0.02);
    for (size_t k = 1; k < s->windows.size(); ++k) EXPECT_LE(s->windows[k].dof, s->windows[k - 1].dof);
}

TEST(ProcessWindow, ARectangleThatDoesNotFitAlthoughEveryFocusIsInSpec) {
    // Every focus is in tolerance over a wide interval, but the intervals drift with focus:
    //   -0.1: [0.80, 0.95]   0: [0.90, 1.05]   0.1: [1.00, 1.15]
    // No dose serves all three (0.95 < 1.00). The pairs share [0.90, 0.95] (EL 0.05 /
    // 0.925 = 0.0541) and [1.00, 1.05] (0.05 / 1.025 = 0.0488): both DOF 0.1, the first
    // has the larger latitude. Best focus is its centre, -0.05, between sampled foci.
    const auto foci = table({{-0.1, DoseInterval{0.80, 0.95}},
                             {0, DoseInterval{0.90, 1.05}},
                             {0.1, DoseInterval{1.00, 1.15}}});
    const std::optional<ProcessWindow> open = widestWindow(foci, 0);
    ASSERT_TRUE(open);
    EXPECT_DOUBLE_EQ(open->dof, 0.1);
    EXPECT_EQ(open->focusMin, -0.1);
    EXPECT_EQ(open->doses.low, 0.90);
    EXPECT_EQ(open->doses.high, 0.95);
    const std::optional<WindowSummary> s = summariseWindow(foci);
    ASSERT_TRUE(s);
    EXPECT_DOUBLE_EQ(s->bestFocus, -0.05);
    // At EL 0.06 no pair fits: single foci only, the widest-latitude one (-0.1, 0.1714).
    const std::optional<ProcessWindow> single = widestWindow(foci, 0.06);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->dof, 0);
    EXPECT_EQ(single->focusMin, -0.1);
}

TEST(ProcessWindow, AWindowInsideTheSampledFociIsClosedAndGapsSplitIt) {
    // -0.2 and 0.2 out of tolerance, 0.1 out of tolerance too: the window cannot bridge 0.1, so the
    // widest is -0.1 .. 0 and it does not reach an end of the sampling.
    const auto foci = table({{-0.2, std::nullopt},
                             {-0.1, DoseInterval{0.9, 1.1}},
                             {0, DoseInterval{0.9, 1.1}},
                             {0.1, std::nullopt},
                             {0.15, DoseInterval{0.9, 1.1}},
                             {0.2, std::nullopt}});
    const std::optional<ProcessWindow> w = widestWindow(foci, 0);
    ASSERT_TRUE(w);
    EXPECT_DOUBLE_EQ(w->dof, 0.1);
    EXPECT_EQ(w->focusMin, -0.1);
    EXPECT_FALSE(w->openEnd);
    // Nothing in tolerance anywhere: no window, no summary, no doses to bracket.
    const auto none = table({{0, std::nullopt}, {0.1, std::nullopt}});
    EXPECT_FALSE(summariseWindow(none));
    EXPECT_TRUE(bracketingDoses(none, 11).empty());
    // The bracketing doses span [0.9, 1.1] and a tenth of it beyond: 0.88 .. 1.12.
    const std::vector<double> doses = bracketingDoses(foci, 13);
    ASSERT_EQ(doses.size(), 13u);
    EXPECT_EQ(doses.front(), 0.88);
    EXPECT_EQ(doses[1], 0.9);
    EXPECT_EQ(doses.back(), 1.12);
}

TEST(ProcessWindow, DepthsCentresAndLatitudesAreTheDecimalsTheFociGive) {
    // Four foci 0.05 apart, all in tolerance over [0.4, 1.0] (EL 0.6 / 0.7 = 0.857): the
    // depth of focus is 0.1 - (-0.05) = 0.15 and the centre 0.025, as decimals (the doubles'
    // difference is 0.15000000000000002); EL 70 % is the double nearest 0.7 (35 x 0.02 is
    // 0.7000000000000001).
    const auto foci = table({{-0.05, DoseInterval{0.4, 1.0}},
                             {0, DoseInterval{0.4, 1.0}},
                             {0.05, DoseInterval{0.4, 1.0}},
                             {0.1, DoseInterval{0.4, 1.0}}});
    const std::optional<WindowSummary> s = summariseWindow(foci);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->windows.front().dof, 0.15);
    EXPECT_EQ(s->bestFocus, 0.025);
    ASSERT_EQ(s->windows.size(), 43u); // EL 0, 2, .., 84 % <= 85.7 %
    EXPECT_EQ(s->windows[35].el, 0.7);
    EXPECT_EQ(s->windows[41].el, 0.82);
}
