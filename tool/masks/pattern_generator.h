// Test patterns drawn as mask rectangles: gratings, isolated lines and spaces, contact
// arrays. Lengths come in the input's length unit (wafer units: the model has no reduction
// ratio); rectangles go out in samples from the grid centre, limited to [-h, +h] with
// h = N/2, as the input format wants them. Nothing is snapped to the sample grid: the
// spectrum is in closed form, so an edge at 6.25 samples is drawn at 6.25.
//
// Every pattern is a field of one transmission with features of another. The rectangles
// never overlap (overlapping transmissions add), so the field is exactly what was asked
// wherever no feature is; a transmission of 0 + 0i is left out altogether.
#pragma once

#include <string>
#include <vector>

#include "state/simulation_state.h"

namespace aerial_tool {

enum class PatternKind { kLines, kLine, kSpace, kContacts };
enum class Tone { kDark, kClear }; // dark features on a clear field, or clear ones on a dark field
enum class Orientation { kX, kY }; // kX: the period runs along X, the lines along Y

struct Transmission {
    double re = 0;
    double im = 0;
};

struct PatternRequest {
    PatternKind kind = PatternKind::kLines;
    Tone tone = Tone::kDark;
    Orientation orientation = Orientation::kX;
    double pitch = 0; // lines: the grating period
    double cd = 0;    // lines, line, space: the feature's width as drawn before the bias
    double bias = 0;  // added to every feature width (to cd, size-x and size-y)
    double pitchX = 0, pitchY = 0; // contacts
    double sizeX = 0, sizeY = 0;   // contacts: the hole (or, dark tone, the post)
    bool alternating = false; // alternating phase: neighbouring clear parts at 0 and 180 degrees
    bool hasTransmission = false; // else the tone's: 0 for a dark feature, 1 for a clear one
    Transmission transmission;    // of the feature
    bool hasField = false;        // else the tone's: 1 for a clear field, 0 for a dark one
    Transmission field;
};

struct Grid {
    int size = 0;           // N
    double samplePitch = 0; // in the length unit
};

// The transmissions the pattern uses, the tone's defaults where none was given.
Transmission featureTransmission(const PatternRequest& request);
Transmission fieldTransmission(const PatternRequest& request);

// How the period of a periodic pattern along one axis meets the period of the image,
// which is the grid's N x sample pitch.
struct PeriodFit {
    double period = 0;     // of the pattern as drawn (twice the pitch for alternating phase)
    double gridLength = 0; // N x sample pitch
    double periods = 0;    // gridLength / period
    bool whole = false;
    int nearestWhole = 0;      // at least 1
    double shortfall = 0;      // gridLength - nearestWhole x period (length unit)
    double fittedSamplePitch = 0; // the sample pitch that holds nearestWhole periods
};

PeriodFit fitPeriod(double period, const Grid& grid);

// The periods along X and then Y that the grid must hold whole for the pattern to be
// the infinite one: none for an isolated feature, one for a grating, two for contacts.
std::vector<double> patternPeriods(const PatternRequest& request);

// The rectangles of the pattern on the grid. Returns false with a one-line reason, and
// no rectangle, for a pattern that cannot be drawn: a width of zero or less, a width at or
// above its period, a period above the grid, more than kMaxRects rectangles.
bool generatePattern(const PatternRequest& request, const Grid& grid,
                     std::vector<aerial::MaskRectangle>& rects, std::string& error);

const char* patternKindName(PatternKind kind);
bool patternKindFromName(const std::string& name, PatternKind& kind);

} // namespace aerial_tool
