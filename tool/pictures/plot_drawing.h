// Pictures of result tables drawn with cairo: heatmaps with a colour bar and overlays
// (contours, mask, pupils), intensity cutlines with their metrics, the illumination source
// and line plots. Pure drawing from numbers to a file in any picture format.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/metrics.h"
#include "analysis/picture_geometry.h"
#include "io/result_table.h"
#include "optics/source_points.h"
#include "pictures/picture_format.h"

namespace aerial_tool {

struct Range {
    double lo = 0;
    double hi = 1;
};

struct Rgb {
    unsigned char r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The viridis colour map (perceptually uniform, readable in grey and by most colour-blind
// readers), t in [0, 1].
Rgb viridis(double t);

// A cyclic colour map for a phase in radians: light at 0, warm at +pi/2, dark at +-pi,
// cool at -pi/2; a smooth closed loop in a perceptual colour space, so -pi and +pi give one
// colour and a wrap of the phase shows no edge.
Rgb cyclicColour(double phase);

// The grey of samples a heatmap does not show (a phase where the amplitude is negligible).
inline constexpr Rgb kHiddenGrey{150, 150, 150};
// Threshold contours, one colour per level in order; none of them occurs in viridis.
inline constexpr Rgb kContourColours[4] = {{255, 255, 255}, {255, 176, 32}, {255, 64, 255}, {0, 0, 0}};
// The mask's rectangles on the image.
inline constexpr Rgb kMaskColour{255, 40, 40};
// The pupil circle and the outline of the source-shifted pupils on the spectrum.
inline constexpr Rgb kPupilColour{255, 255, 255};
inline constexpr Rgb kShiftedPupilColour{255, 150, 30};

// Where a heatmap puts its parts, in pixels: tests use it to find a known sample.
struct HeatmapLayout {
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 610;
    static constexpr int kPlotLeft = 90;
    static constexpr int kPlotTop = 70;
    static constexpr int kPlotSize = 440; // the square of samples
    static constexpr int kBarLeft = 580;
    static constexpr int kBarWidth = 22;
};

enum class ColourScale {
    kLinear,      // smallest to largest finite value
    kLogarithmic, // decades from logFloor times the peak up to the peak
    kCyclic,      // -pi .. +pi, the ends one colour
};

// The part of the plane shown, in axis units.
struct ViewWindow {
    double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
};

struct LabelledCircle {
    Circle circle;
    std::string label;
};

struct Contour {
    double level = 0;
    std::vector<ContourSegment> segments; // in axis units
};

struct HeatmapPicture {
    std::string title;      // the first line, bold
    std::string conditions; // the second line
    std::string axisX;      // e.g. "x (um)"
    std::string axisY;
    std::string valueName; // above the colour bar
    ColourScale scale = ColourScale::kLinear;
    double logFloor = 1e-6;
    std::vector<bool> shown; // per sample; empty shows all, else kHiddenGrey where false
    std::string hiddenLabel; // the legend's words for the grey
    std::optional<ViewWindow> view; // default: the whole table
    std::vector<LabelledCircle> circles; // kPupilColour
    std::vector<std::vector<PlanePoint>> outlines; // kShiftedPupilColour, dashed
    std::string outlinesLabel;
    std::vector<Contour> contours;          // kContourColours
    std::vector<AxisRectangle> rectangles;  // kMaskColour
};

// X runs to the right and Y upwards, as in the plane's coordinates; sample k's square is
// centred on its label. Returns false when the file cannot be written.
bool writeHeatmap(const ResultTableData& table, const HeatmapPicture& picture, PictureFormat format,
                  const std::string& path);

struct CutlineSeries {
    std::string label;
    Profile profile;
};

// A CD drawn as a double arrow between the two crossings of its threshold.
struct CdMark {
    double threshold = 0;
    double start = 0;
    double end = 0;
};

struct CutlineLayout {
    static constexpr int kWidth = 720;
    static constexpr int kHeight = 480;
    static constexpr int kPlotLeft = 84;
    static constexpr int kPlotTop = 66;
    static constexpr int kPlotWidth = 720 - 84 - 214;
    static constexpr int kPlotHeight = 480 - 66 - 62;
};

struct CutlinePicture {
    std::string title;
    std::string conditions;
    std::string axisX;
    std::vector<CutlineSeries> series;
    std::vector<double> thresholds; // dashed lines
    std::vector<CdMark> marks;
    std::vector<std::string> notes; // beside the plot: contrast, CD
};

// The intensity range of the cutline's y-axis: from 0 (an image with little modulation
// must look like one) to a little above the largest value or threshold.
Range cutlineIntensityRange(const CutlinePicture& picture);

bool writeCutline(const CutlinePicture& picture, PictureFormat format, const std::string& path);

// The source: the pupil, the 13 points where they are (rounded to whole spectral samples)
// and where they were before rounding, the sigma as written and as rounded.
struct SourcePicture {
    std::string title;
    std::string conditions;
    aerial::DerivedOptics optics{};
    double sigma = 0;
};

struct SourceLayout {
    static constexpr int kWidth = 620;
    static constexpr int kHeight = 640;
    static constexpr int kPlotLeft = 80;
    static constexpr int kPlotTop = 70;
    static constexpr int kPlotSize = 460;
};

bool writeSource(const SourcePicture& picture, PictureFormat format, const std::string& path);

// A Bossung picture: one curve per series, x = defocus, y = CD.
struct BossungSeries {
    std::string label;
    std::vector<double> defocus;
    std::vector<double> cd; // NaN where there is no CD
};

bool writeLinePlot(const std::vector<BossungSeries>& series, const PictureTitle& title, const std::string& axisX,
                   const std::string& axisY, PictureFormat format, const std::string& path);

} // namespace aerial_tool
