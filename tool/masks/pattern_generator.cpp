#include "masks/pattern_generator.h"

#include <cmath>
#include <cstdio>

#include "io/number_text.h"

namespace aerial_tool {

namespace {

using aerial::MaskRectangle;

Tone effectiveTone(const PatternRequest& request) {
    if (request.kind == PatternKind::kLine) return Tone::kDark;
    if (request.kind == PatternKind::kSpace) return Tone::kClear;
    return request.tone;
}

// One stretch of an axis from -h to +h: a feature, or the field between two features.
// index is the feature's number counted from the one on the grid centre; a stretch of
// field carries the number of the feature before it.
struct Stretch {
    double lo, hi;
    bool feature;
    long index;
};

// +1 for even indices, -1 for odd ones: the phase of alternating neighbours.
double alternation(long index) { return index % 2 == 0 ? 1.0 : -1.0; }

// The features of width w centred on k x period (or only on 0 when period is 0) and the
// field between them, in order along [-h, h], each clipped to it. False when more than
// limit stretches would be needed.
bool partitionAxis(double period, double w, double h, long limit, std::vector<Stretch>& out) {
    out.clear();
    double kmin = 0, kmax = 0;
    if (period > 0) {
        // Features that reach into (-h, h): k x period + w/2 > -h and k x period - w/2 < h.
        kmin = std::floor((-h - w / 2) / period);
        while (kmin * period + w / 2 <= -h) kmin += 1;
        kmax = std::ceil((h + w / 2) / period);
        while (kmax * period - w / 2 >= h) kmax -= 1;
        if (kmax - kmin + 1 > static_cast<double>(limit)) return false;
    }
    double at = -h;
    for (long k = static_cast<long>(kmin); k <= static_cast<long>(kmax); ++k) {
        const double centre = k * period;
        const double lo = std::fmax(centre - w / 2, -h);
        const double hi = std::fmin(centre + w / 2, h);
        if (lo > at) out.push_back({at, lo, false, k - 1});
        out.push_back({lo, hi, true, k});
        at = hi;
    }
    if (at < h) out.push_back({at, h, false, static_cast<long>(kmax)});
    return static_cast<long>(out.size()) <= limit;
}

bool isZero(const Transmission& t) { return t.re == 0 && t.im == 0; }

MaskRectangle rectangle(const Transmission& t, double sign, double x0, double x1, double y0,
                        double y1) {
    return {sign * t.re, sign * t.im, x0, x1, y0, y1};
}

} // namespace

Transmission featureTransmission(const PatternRequest& request) {
    if (request.hasTransmission) return request.transmission;
    return effectiveTone(request) == Tone::kDark ? Transmission{0, 0} : Transmission{1, 0};
}

Transmission fieldTransmission(const PatternRequest& request) {
    if (request.hasField) return request.field;
    return effectiveTone(request) == Tone::kDark ? Transmission{1, 0} : Transmission{0, 0};
}

PeriodFit fitPeriod(double period, const Grid& grid) {
    PeriodFit fit;
    fit.period = period;
    fit.gridLength = grid.size * grid.samplePitch;
    fit.periods = fit.gridLength / period;
    const double nearest = std::fmax(1.0, std::round(fit.periods));
    fit.nearestWhole = static_cast<int>(std::fmin(nearest, 1e9));
    fit.whole = std::fabs(fit.periods - nearest) <= 1e-9 * nearest;
    fit.shortfall = fit.gridLength - nearest * period;
    fit.fittedSamplePitch = nearest * period / grid.size;
    return fit;
}

std::vector<double> patternPeriods(const PatternRequest& request) {
    const double repeat = request.alternating ? 2.0 : 1.0;
    switch (request.kind) {
    case PatternKind::kLines: return {repeat * request.pitch};
    case PatternKind::kContacts: return {request.pitchX, request.pitchY};
    default: return {};
    }
}

bool generatePattern(const PatternRequest& request, const Grid& grid, std::vector<MaskRectangle>& rects,
                     std::string& error) {
    rects.clear();
    if (!(grid.samplePitch > 0) || !std::isfinite(grid.samplePitch)) {
        error = "the sample pitch must be a positive length";
        return false;
    }
    if (grid.size < 2 || grid.size > aerial::kMaxGrid) {
        error = "the grid size must be 2 to " + std::to_string(aerial::kMaxGrid);
        return false;
    }
    const bool periodic = request.kind == PatternKind::kLines || request.kind == PatternKind::kContacts;
    if (periodic && grid.size % 2 != 0) {
        error = "a periodic pattern needs an even grid size: with N = " + std::to_string(grid.size) +
                " the mask reaches only N - 1 samples (edges are limited to -N/2..N/2)";
        return false;
    }
    if (request.alternating && request.kind != PatternKind::kLines && request.kind != PatternKind::kLine) {
        error = "alternating phase shift is drawn for lines and line only";
        return false;
    }
    const double h = grid.size / 2;
    const double gridLength = grid.size * grid.samplePitch;
    const Transmission feature = featureTransmission(request);
    const Transmission field = fieldTransmission(request);

    // A width and its period along one axis, both checked and turned into samples.
    auto axis = [&](const char* widthName, double width, const char* pitchName, double pitch,
                    std::vector<Stretch>& out) {
        const double w = width + request.bias;
        if (!(w > 0) || !std::isfinite(w)) {
            error = std::string("a ") + widthName + " of " + shortText(width) +
                    (request.bias != 0 ? " with a bias of " + shortText(request.bias) : std::string()) +
                    " is zero or less";
            return false;
        }
        if (pitchName != nullptr) {
            if (!(pitch > 0) || !std::isfinite(pitch)) {
                error = std::string("the ") + pitchName + " must be a positive length";
                return false;
            }
            if (w >= pitch) {
                error = std::string("a ") + widthName + " of " + shortText(w) + " is not below the " +
                        pitchName + " of " + shortText(pitch);
                return false;
            }
            if (pitch > gridLength) {
                error = std::string("a ") + pitchName + " of " + shortText(pitch) +
                        " is above the grid's N x sample pitch = " + shortText(gridLength);
                return false;
            }
        } else if (w >= gridLength) {
            error = std::string("a ") + widthName + " of " + shortText(w) +
                    " is not below the grid's N x sample pitch = " + shortText(gridLength);
            return false;
        }
        const double period = pitchName != nullptr ? pitch / grid.samplePitch : 0;
        if (!partitionAxis(period, w / grid.samplePitch, h, 2L * aerial::kMaxRects + 1, out)) {
            error = "the pattern needs more than " + std::to_string(aerial::kMaxRects) +
                    " rectangles, the most an input holds";
            return false;
        }
        return true;
    };

    std::vector<MaskRectangle> out;
    if (request.kind == PatternKind::kContacts) {
        std::vector<Stretch> xs, ys;
        if (!axis("size-x", request.sizeX, "pitch-x", request.pitchX, xs)) return false;
        if (!axis("size-y", request.sizeY, "pitch-y", request.pitchY, ys)) return false;
        for (const Stretch& y : ys) {
            if (!y.feature) {
                if (!isZero(field)) out.push_back(rectangle(field, 1, -h, h, y.lo, y.hi));
                continue;
            }
            for (const Stretch& x : xs) {
                const Transmission& t = x.feature ? feature : field;
                if (!isZero(t)) out.push_back(rectangle(t, 1, x.lo, x.hi, y.lo, y.hi));
            }
        }
    } else {
        std::vector<Stretch> stretches;
        const bool lines = request.kind == PatternKind::kLines;
        if (!axis(lines ? "CD" : "CD", request.cd, lines ? "pitch" : nullptr, request.pitch, stretches))
            return false;
        const bool darkTone = effectiveTone(request) == Tone::kDark;
        for (const Stretch& s : stretches) {
            const Transmission& t = s.feature ? feature : field;
            // The clear parts alternate: the spaces of a clear-tone grating, the field
            // between the lines of a dark-tone one.
            const bool clearPart = s.feature != darkTone;
            double sign = request.alternating && clearPart ? alternation(s.index) : 1.0;
            if (!lines && request.alternating) sign = s.lo < 0 ? 1.0 : -1.0; // one line: 0 left, 180 right
            if (isZero(t)) continue;
            if (request.orientation == Orientation::kX)
                out.push_back(rectangle(t, sign, s.lo, s.hi, -h, h));
            else
                out.push_back(rectangle(t, sign, -h, h, s.lo, s.hi));
        }
    }
    if (static_cast<int>(out.size()) > aerial::kMaxRects) {
        error = "the pattern needs " + std::to_string(out.size()) + " rectangles, more than the " +
                std::to_string(aerial::kMaxRects) + " an input holds";
        return false;
    }
    rects = std::move(out);
    return true;
}

const char* patternKindName(PatternKind kind) {
    switch (kind) {
    case PatternKind::kLines: return "lines";
    case PatternKind::kLine: return "line";
    case PatternKind::kSpace: return "space";
    case PatternKind::kContacts: return "contacts";
    }
    return "";
}

bool patternKindFromName(const std::string& name, PatternKind& kind) {
    for (PatternKind k : {PatternKind::kLines, PatternKind::kLine, PatternKind::kSpace,
                          PatternKind::kContacts}) {
        if (name == patternKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

} // namespace aerial_tool
