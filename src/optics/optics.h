// The imaging computation: mask spectrum, aberrated line transform, separable pupil
// transform and partially coherent imaging. Every stage works on the workspace.
//
// Floating-point order: each formula is evaluated exactly in the order and grouping its
// comment gives, one rounding per operation; the last bits of the tables depend on it.
#pragma once

#include "state/simulation_state.h"

namespace aerial {

// Selector of lineTransform: 1 = a line along Y with aberrY; every other value acts as 2,
// a line along X with aberrX.
using AxisPass = int;
constexpr AxisPass kPassY = 1;
constexpr AxisPass kPassX = 2;

constexpr int kMaxLine = 1024; // capacity of the line accumulators

AERIAL_STATE_SCOPE_BEGIN

// Closed-form spectrum of the rectangle mask into fieldRe/fieldIm, zero frequency at [c][c].
void computeMaskSpectrum();

// One line of n spectral samples to n field samples, in place, by the trapezoid rule with
// the defocus and wavefront phase of the selected axis. Lines longer than kMaxLine are
// left unchanged.
void lineTransform(double* re, double* im, int n, AxisPass pass);

// fieldRe/fieldIm from the pupil plane to the image plane: every Y line, then every X line.
void pupilTransform2D();

// II = mean over 13 source points of the coherent image intensity (Abbe's method). The
// run's options choose the evaluation (aerial/input_values.hpp); both give the same bits.
void imagePartiallyCoherent();

AERIAL_STATE_SCOPE_END

} // namespace aerial
