#include "analysis/feature_gauge.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace aerial_tool {

const char* measureName(Measure measure) {
    switch (measure) {
    case Measure::kCd: return "cd";
    case Measure::kCdY: return "cd-y";
    case Measure::kArea: return "area";
    }
    return "cd";
}

const char* measureColumn(Measure measure) {
    switch (measure) {
    case Measure::kCd: return "cd";
    case Measure::kCdY: return "cd_y";
    case Measure::kArea: return "area";
    }
    return "cd";
}

bool measureIsArea(Measure measure) { return measure == Measure::kArea; }

PatternPeriods patternPeriodsOnGrid(const PatternRequest& pattern, const Grid& grid) {
    PatternPeriods out;
    const std::vector<double> periods = patternPeriods(pattern);
    auto whole = [&](double period) -> std::optional<double> {
        if (!(period > 0) || !fitPeriod(period, grid).whole) return std::nullopt;
        return period;
    };
    if (pattern.kind == PatternKind::kContacts && periods.size() == 2) {
        out.x = whole(periods[0]);
        out.y = whole(periods[1]);
    } else if (periods.size() == 1) {
        (pattern.orientation == Orientation::kY ? out.y : out.x) = whole(periods[0]);
    }
    return out;
}

CutAxis axisAcrossFeatures(const PatternRequest& pattern) {
    return pattern.kind != PatternKind::kContacts && pattern.orientation == Orientation::kY ? CutAxis::kY
                                                                                           : CutAxis::kX;
}

CutAxis cutAxisFor(std::optional<CutAxis> given, const std::optional<MaskRecipe>& recipe) {
    if (given) return *given;
    return recipe ? axisAcrossFeatures(recipe->pattern) : CutAxis::kX;
}

PatternPeriods imagePatternPeriods(const std::optional<MaskRecipe>& recipe, const ImageSamples& image) {
    if (!recipe) return {};
    return patternPeriodsOnGrid(recipe->pattern, Grid{image.size, image.samplePitch});
}

bool measureFromName(const std::string& name, Measure& measure) {
    for (Measure m : {Measure::kCd, Measure::kCdY, Measure::kArea}) {
        if (name == measureName(m)) {
            measure = m;
            return true;
        }
    }
    return false;
}

bool prepareGauge(const ImageSamples& image, const CutChoice& choice, const PatternPeriods& periods,
                  FeatureGauge& gauge, std::string& error) {
    gauge = FeatureGauge{};
    gauge.measure = choice.measure;
    Profile chosen;
    double across = 0;
    if (!imageCut(image, choice.axis, choice.at, chosen, across, error)) return false;
    if (!checkFeaturePosition(chosen, choice.featureAt, error)) return false;
    const bool alongX = choice.axis == CutAxis::kX;
    gauge.placeX = alongX ? choice.featureAt : across;
    gauge.placeY = alongX ? across : choice.featureAt;
    if (choice.measure == Measure::kCdY) {
        if (!imageCut(image, CutAxis::kY, gauge.placeX, gauge.cut, gauge.cutPosition, error)) return false;
        gauge.place = gauge.placeY;
        gauge.cutAxis = CutAxis::kY;
        gauge.cut.patternPeriod = periods.y;
    } else {
        gauge.cut = std::move(chosen);
        gauge.cutPosition = across;
        gauge.cutAxis = choice.axis;
        gauge.place = choice.featureAt;
        gauge.cut.patternPeriod = alongX ? periods.x : periods.y;
    }
    if (choice.measure == Measure::kArea) gauge.area = std::make_shared<const AreaGauge>(image);
    if (!image.values.empty()) {
        const auto [lo, hi] = std::minmax_element(image.values.begin(), image.values.end());
        gauge.imageLow = *lo;
        gauge.imageHigh = *hi;
    }
    return true;
}

bool cutOnGrid(const CutChoice& choice, int size, double samplePitch, std::string& error) {
    if (size < 1 || !(samplePitch > 0) || !std::isfinite(samplePitch)) return true; // said when the image is read
    ImageSamples grid;
    grid.size = size;
    grid.samplePitch = samplePitch;
    grid.values.assign(static_cast<size_t>(size) * size, 0.0);
    CutChoice cd = choice;
    cd.measure = choice.measure == Measure::kArea ? Measure::kCd : choice.measure;
    FeatureGauge gauge;
    return prepareGauge(grid, cd, {}, gauge, error);
}

FeatureGauge profileGauge(Profile profile, double place) {
    FeatureGauge gauge;
    if (!profile.intensity.empty()) {
        const auto [lo, hi] = std::minmax_element(profile.intensity.begin(), profile.intensity.end());
        gauge.imageLow = *lo;
        gauge.imageHigh = *hi;
    }
    gauge.cut = std::move(profile);
    gauge.place = gauge.placeX = place;
    return gauge;
}

FeatureMetrics gaugeFeature(const FeatureGauge& gauge, double t, bool bright) {
    FeatureMetrics f = featureAtThreshold(gauge.cut, gauge.place, bright, t);
    if (gauge.area) f.area = gauge.area->area(gauge.placeX, gauge.placeY, t, bright);
    return f;
}

bool gaugeBright(const FeatureGauge& gauge) { return brightFeatureAt(gauge.cut, gauge.place); }

double figureOf(const FeatureMetrics& f, Measure measure) {
    if (measure == Measure::kArea) return f.area ? f.area->area : std::numeric_limits<double>::quiet_NaN();
    return f.cd;
}

FeatureStatus figureStatus(const FeatureMetrics& f, Measure measure) {
    if (measure == Measure::kArea) return f.area ? f.area->status : FeatureStatus::kNotPrinted;
    return f.status;
}

std::optional<ThresholdRange> gaugeThresholdRange(const FeatureGauge& gauge) {
    double lo = gauge.imageLow, hi = gauge.imageHigh;
    if (gauge.cut.continuous) {
        for (const Extremum& e : gauge.cut.continuous->extrema) {
            lo = std::min(lo, e.value);
            hi = std::max(hi, e.value);
        }
    }
    if (!(hi > 0) || !std::isfinite(hi) || !std::isfinite(lo)) return std::nullopt;
    // The area's continuous image may pass the samples between the cuts: a tenth of the
    // span beyond them covers what a band-limited image can overshoot by at this resampling.
    const double pad = gauge.area ? (hi - lo) / 10 : 0;
    return ThresholdRange{std::max(lo - pad, hi * 1e-12), hi + pad};
}

} // namespace aerial_tool
