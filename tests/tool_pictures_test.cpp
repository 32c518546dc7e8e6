// The pictures' geometry as pure functions, and the pictures as files read back with cairo:
// each picture is checked for what it claims at a pixel whose place follows from the
// physics (the pupil's radius from NA, a contour where the table crosses the threshold, a
// mask edge where the input puts it, the cutline's axis from zero).
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include "analysis/contours.h"
#include "analysis/picture_geometry.h"
#include "analysis/run_pictures.h"
#include "io/run_folder.h"
#include "io/study_outputs.h"
#include "pictures/plot_drawing.h"
#include "pictures/window_pictures.h"
#include "test_support.h"

using namespace aerial_tool;

// ---- marching squares

TEST(Contours, ARampGivesAStraightLineAtTheInterpolatedLevel) {
    // v = 2x on a 4 x 3 grid: the level 3 lies at x = 1.5 on every row.
    std::vector<double> v;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) v.push_back(2.0 * x);
    const auto segments = contourSegments(v, 4, 3, 3.0);
    ASSERT_EQ(segments.size(), 2u); // one per row of cells
    for (const ContourSegment& s : segments) {
        EXPECT_DOUBLE_EQ(s.a.x, 1.5);
        EXPECT_DOUBLE_EQ(s.b.x, 1.5);
        EXPECT_EQ(std::fabs(s.a.y - s.b.y), 1.0);
    }
    EXPECT_TRUE(contourSegments(v, 4, 3, 100).empty()); // the level is never reached
}

TEST(Contours, EveryEndLiesOnACellEdgeWhereTheLevelInterpolates) {
    // A round bump: its contour is a closed loop of segments whose ends sit on cell edges.
    const int n = 12;
    std::vector<double> v;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) v.push_back(std::exp(-((x - 5.3) * (x - 5.3) + (y - 6.1) * (y - 6.1)) / 8));
    const double level = 0.4;
    const auto segments = contourSegments(v, n, n, level);
    ASSERT_GT(segments.size(), 8u);
    for (const ContourSegment& s : segments) {
        for (PlanePoint p : {s.a, s.b}) {
            const bool onColumn = p.x == std::floor(p.x), onRow = p.y == std::floor(p.y);
            ASSERT_TRUE(onColumn || onRow);
            // Linear interpolation along the edge gives the level back.
            double value;
            if (onColumn) {
                const int x = int(p.x), y = int(std::floor(p.y));
                const double t = p.y - y;
                value = v[y * n + x] * (1 - t) + v[std::min(y + 1, n - 1) * n + x] * t;
            } else {
                const int y = int(p.y), x = int(std::floor(p.x));
                const double t = p.x - x;
                value = v[y * n + x] * (1 - t) + v[y * n + std::min(x + 1, n - 1)] * t;
            }
            EXPECT_NEAR(value, level, 1e-12);
        }
    }
}

TEST(Contours, ASaddleIsSplitByItsCentreValue) {
    // Corners (0,0) and (1,1) high, the others low; the centre is their mean 0.5.
    const std::vector<double> v = {1, 0, 0, 1};
    // Level 0.4: the centre is inside, the high corners join and the low ones are cut off.
    auto s = contourSegments(v, 2, 2, 0.4);
    ASSERT_EQ(s.size(), 2u);
    auto cutsOff = [](const ContourSegment& seg, double cx, double cy) {
        return std::fabs(seg.a.x - cx) + std::fabs(seg.a.y - cy) < 1 &&
               std::fabs(seg.b.x - cx) + std::fabs(seg.b.y - cy) < 1;
    };
    EXPECT_TRUE(cutsOff(s[0], 1, 0) || cutsOff(s[0], 0, 1));
    EXPECT_TRUE(cutsOff(s[1], 1, 0) || cutsOff(s[1], 0, 1));
    // Level 0.6: the centre is outside, the high corners are each cut off.
    s = contourSegments(v, 2, 2, 0.6);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_TRUE(cutsOff(s[0], 0, 0) || cutsOff(s[0], 1, 1));
    EXPECT_TRUE(cutsOff(s[1], 0, 0) || cutsOff(s[1], 1, 1));
    // A cell with a NaN corner has no contour.
    EXPECT_TRUE(contourSegments({1, 0, NAN, 1}, 2, 2, 0.5).empty());
}

// ---- pupils on the spectrum

TEST(PictureGeometry, UnionOutlineKeepsOnlyArcsOutsideTheOtherCircles) {
    const std::vector<Circle> two = {{0, 0, 1}, {1, 0, 1}};
    const auto lines = circleUnionOutline(two, 720);
    ASSERT_FALSE(lines.empty());
    for (const auto& line : lines) {
        for (PlanePoint p : line) {
            // On one circle and not inside the other.
            const double d0 = std::hypot(p.x, p.y), d1 = std::hypot(p.x - 1, p.y);
            EXPECT_TRUE(std::fabs(d0 - 1) < 1e-9 || std::fabs(d1 - 1) < 1e-9);
            EXPECT_GE(std::min(d0, d1), 1 - 1e-6);
        }
    }
    // The far sides of both circles are drawn, the overlap's inner arcs are not.
    auto reaches = [&](double x, double y) {
        for (const auto& line : lines)
            for (PlanePoint p : line)
                if (std::hypot(p.x - x, p.y - y) < 0.01) return true;
        return false;
    };
    EXPECT_TRUE(reaches(-1, 0));
    EXPECT_TRUE(reaches(2, 0));
    EXPECT_FALSE(reaches(0, 0.0 + 1e-3) && reaches(1, 0));
    EXPECT_FALSE(reaches(0.5, 0));
    // One circle alone is one closed loop.
    const auto one = circleUnionOutline({{0, 0, 2}}, 100);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_NEAR(one[0].front().x, one[0].back().x, 1e-12);
    EXPECT_NEAR(one[0].front().y, one[0].back().y, 1e-12);
}

TEST(PictureGeometry, PupilInDirectionSinesIsTheApertureAndTheZoomTwiceIt) {
    // N = 128, pitch 0.01, wavelength 0.193: a spectral sample is 0.193 / 1.28 direction
    // sines, and the pupil of NA 0.75 is 0.75 of them in radius whatever the grid.
    const double step = 0.193 / (128 * 0.01);
    const aerial::DerivedOptics optics = aerial::deriveOptics(128, 0.01, 0.193, 0.75, 0.5);
    const PupilOutlines pupils = pupilOutlines(optics, step);
    EXPECT_NEAR(pupils.pupil.r, 0.75, 1e-12);
    // sigma 0.5 rounds its points onto 13 distinct samples, at most 2 from the centre.
    EXPECT_EQ(pupils.shifted.size(), 13u);
    EXPECT_NEAR(spectrumHalfWidth(pupils), 2 * 0.75, 1e-12);
    // sigma 1.5 reaches farther: the outer point at 1.5 x 0.75 / 0.15078 = 7.46 samples
    // rounds to 7, and its pupil reaches 7 samples + NA.
    const PupilOutlines wide = pupilOutlines(aerial::deriveOptics(128, 0.01, 0.193, 0.75, 1.5), step);
    EXPECT_NEAR(spectrumHalfWidth(wide), 7 * step + 0.75, 1e-12);
    // Points that round onto one another make one circle: sigma 0 puts all 13 at the centre.
    EXPECT_EQ(pupilOutlines(aerial::deriveOptics(128, 0.01, 0.193, 0.75, 0), step).shifted.size(), 1u);
}

// ---- pictures read back

namespace {

struct Png {
    cairo_surface_t* surface;
    explicit Png(const std::string& path) : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Png() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    Rgb at(int x, int y) const {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const uint32_t v =
            *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(surface) + 4 * x);
        return {static_cast<unsigned char>((v >> 16) & 255), static_cast<unsigned char>((v >> 8) & 255),
                static_cast<unsigned char>(v & 255)};
    }
};

bool near(Rgb a, Rgb b, int tolerance = 1) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string describe(Rgb c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// An n x n table with labels (k - n/2) * step and values f(x label, y label).
ResultTableData table(int n, double step, const std::function<double(double, double)>& f) {
    ResultTableData t;
    t.size = n;
    for (int k = 0; k < n; ++k) t.xLabels.push_back((k - n / 2) * step);
    t.yLabels = t.xLabels;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) t.values.push_back(f(t.xLabels[x], t.yLabels[y]));
    return t;
}

// The input as the core reads it, from a file written in the scratch folder.
RunInput inputOf(const aerial_test::TestInput& draft) {
    aerial_test::writeInput(draft);
    return readRunInput(".");
}

// The mean column of the first run of pixels of the colour on a row, from x0 rightwards.
double firstRunCentre(const Png& png, int row, int x0, Rgb colour) {
    int first = -1, last = -1;
    for (int x = x0; x < png.width(); ++x) {
        const bool hit = near(png.at(x, row), colour);
        if (hit && first < 0) first = x;
        if (hit) last = x;
        if (!hit && first >= 0) break;
    }
    return first < 0 ? -1 : (first + last) / 2.0 + 0.5;
}

using L = HeatmapLayout;

} // namespace

TEST(Pictures, HeatmapPutsSampleZeroBottomLeftInTheScaleColours) {
    aerial_test::ScratchFolder folder;
    // A 4 x 4 table: the sample [0][0] holds the minimum, [3][3] the maximum, the rest
    // the middle of the range.
    ResultTableData t;
    t.size = 4;
    t.xLabels = t.yLabels = {-0.2, -0.1, 0, 0.1};
    t.values.assign(16, 0.5);
    t.values[0] = 0;
    t.values[15] = 1;
    HeatmapPicture picture;
    picture.title = "title";
    ASSERT_TRUE(writeHeatmap(t, picture, PictureFormat::kPng, "map.png"));
    Png png("map.png");
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(png.width(), L::kWidth);
    EXPECT_EQ(png.height(), L::kHeight);
    const int cell = L::kPlotSize / 4;
    EXPECT_TRUE(near(png.at(L::kPlotLeft + cell / 2, L::kPlotTop + 3 * cell + cell / 2), viridis(0))) << "bottom left";
    EXPECT_TRUE(near(png.at(L::kPlotLeft + 3 * cell + cell / 2, L::kPlotTop + cell / 2), viridis(1))) << "top right";
    EXPECT_TRUE(near(png.at(L::kPlotLeft + cell / 2, L::kPlotTop + cell / 2), viridis(0.5))) << "top left";
    EXPECT_EQ(png.at(4, png.height() - 4), (Rgb{255, 255, 255}));
    // The ends of the map are viridis's own: dark violet and yellow.
    EXPECT_EQ(viridis(0).r, 71);
    EXPECT_GT(viridis(1).r, 240);
    EXPECT_LT(viridis(1).b, 40);
}

TEST(Pictures, PupilCircleRadiusInPixelsFollowsTheAperture) {
    aerial_test::ScratchFolder folder;
    aerial_test::TestInput draft; // N 128, pitch 0.01, wavelength 0.193, NA 0.75, sigma 0.5
    draft.rects = {{1, 0, -8, 8, -8, 8}};
    const RunInput input = inputOf(draft);
    ASSERT_TRUE(input.values);
    const double step = 0.193 / (128 * 0.01);
    const ResultTableData spectrum = table(128, step, [](double x, double y) { return 1 / (1 + 9 * (x * x + y * y)); });
    const int centreRow = L::kPlotTop + L::kPlotSize / 2;
    const double centre = L::kPlotLeft + L::kPlotSize / 2.0;

    PictureChoices zoomed;
    ASSERT_TRUE(writeHeatmap(spectrum, amplitudePicture(input, spectrum, zoomed), PictureFormat::kPng, "zoom.png"));
    Png zoom("zoom.png");
    ASSERT_TRUE(zoom.ok());
    EXPECT_EQ(zoom.width(), L::kWidth);
    // Zoomed to |direction sine| <= 2 NA, the pupil of radius NA spans a quarter of the plot.
    EXPECT_NEAR(firstRunCentre(zoom, centreRow, int(centre) + 3, kPupilColour) - centre, L::kPlotSize / 4.0, 1.0);

    PictureChoices full;
    full.zoom = false;
    ASSERT_TRUE(writeHeatmap(spectrum, amplitudePicture(input, spectrum, full), PictureFormat::kPng, "full.png"));
    Png whole("full.png");
    // Over the whole grid of 128 samples of 0.193 / 1.28 (the origin 64.5 samples from the
    // left edge and 63.5 from the top): NA x pitch / wavelength of the plot.
    const double origin = L::kPlotLeft + 64.5 / 128 * L::kPlotSize;
    const int originRow = L::kPlotTop + int(63.5 / 128 * L::kPlotSize);
    EXPECT_NEAR(firstRunCentre(whole, originRow, int(origin) + 3, kPupilColour) - origin,
                0.75 * 0.01 / 0.193 * L::kPlotSize, 1.0);
}

TEST(Pictures, ContourPassesWhereTheTableCrossesTheThreshold) {
    aerial_test::ScratchFolder folder;
    // Lines along Y of period 0.32: the contour at 0.3 is a set of straight vertical lines.
    const ResultTableData image =
        table(64, 0.01, [](double x, double) { return 0.5 + 0.4 * std::cos(2 * M_PI * x / 0.32); });
    RunInput noInput;
    noInput.folderName = "ridge";
    noInput.lengthUnit = "um";
    PictureChoices choices;
    choices.thresholds = {0.3};
    ASSERT_TRUE(writeHeatmap(image, imagePicture(noInput, image, choices), PictureFormat::kPng, "image.png"));
    Png png("image.png");
    ASSERT_TRUE(png.ok());
    // The crossings the metrics find on the centre row, placed on the plot's scale.
    Profile centreRow;
    for (int x = 0; x < image.size; ++x) {
        centreRow.position.push_back(image.xLabels[x]);
        centreRow.intensity.push_back(image.at(x, 32));
    }
    const CutMetrics m = measureProfile(centreRow, 0.3);
    ASSERT_EQ(m.crossings.size(), 4u);
    const double low = -0.325, span = 0.64; // the table's extent: half a sample beyond the end labels
    const int row = L::kPlotTop + int((0.325 - 0.0) / span * L::kPlotSize); // y = 0
    for (const Crossing& c : m.crossings) {
        const double px = L::kPlotLeft + (c.position - low) / span * L::kPlotSize;
        EXPECT_TRUE(near(png.at(int(px), row), kContourColours[0]))
            << "at " << c.position << ": " << describe(png.at(int(px), row));
        EXPECT_FALSE(near(png.at(int(px) + 6, row), kContourColours[0], 40)) << "beside " << c.position;
    }
}

TEST(Pictures, MaskOutlineSitsOnTheRectangleEdge) {
    aerial_test::ScratchFolder folder;
    aerial_test::TestInput draft;
    draft.gridSize = "64";
    draft.rects = {{1, 0, -10, 10, -20, 20}}; // x from -0.1 to 0.1 at pitch 0.01
    const RunInput input = inputOf(draft);
    ASSERT_TRUE(input.values);
    const ResultTableData image = table(64, 0.01, [](double, double) { return 0.5; });
    const double low = -0.325, span = 0.64;
    const int px = int(L::kPlotLeft + (-0.1 - low) / span * L::kPlotSize);
    const int row = L::kPlotTop + int(0.325 / span * L::kPlotSize);
    PictureChoices choices;
    ASSERT_TRUE(writeHeatmap(image, imagePicture(input, image, choices), PictureFormat::kPng, "mask.png"));
    Png png("mask.png");
    EXPECT_TRUE(near(png.at(px, row), kMaskColour)) << describe(png.at(px, row));
    EXPECT_FALSE(near(png.at(px + 8, row), kMaskColour, 40)); // inside the rectangle: the image
    choices.mask = false;
    ASSERT_TRUE(writeHeatmap(image, imagePicture(input, image, choices), PictureFormat::kPng, "bare.png"));
    Png bare("bare.png");
    EXPECT_TRUE(near(bare.at(px, row), bare.at(px + 8, row))) << "--no-mask leaves the image alone";
}

TEST(Pictures, PhaseMapIsCyclicAndGreyWhereTheAmplitudeVanishes) {
    aerial_test::ScratchFolder folder;
    EXPECT_EQ(cyclicColour(-M_PI), cyclicColour(M_PI));
    EXPECT_FALSE(near(cyclicColour(0), cyclicColour(M_PI), 60)); // a half turn is far apart
    EXPECT_FALSE(near(cyclicColour(M_PI / 2), cyclicColour(-M_PI / 2), 60));
    // Phases sweep across X; the amplitude vanishes on the left half.
    const ResultTableData phase = table(16, 0.1, [](double x, double) { return x * 3.9; });
    const ResultTableData amplitude = table(16, 0.1, [](double x, double) { return x < 0 ? 1e-6 : 1.0; });
    RunInput noInput;
    ASSERT_TRUE(writeHeatmap(phase, phasePicture(noInput, amplitude, {}), PictureFormat::kPng, "phase.png"));
    Png png("phase.png");
    ASSERT_TRUE(png.ok());
    const int cell = L::kPlotSize / 16, row = L::kPlotTop + L::kPlotSize / 2 + cell / 2;
    EXPECT_TRUE(near(png.at(L::kPlotLeft + cell / 2, row), kHiddenGrey));
    // Sample 12 (x = 0.4, phase 1.56) is drawn in the map's colour.
    EXPECT_TRUE(near(png.at(L::kPlotLeft + 12 * cell + cell / 2, row), cyclicColour(0.4 * 3.9), 2));
    // The colour bar's two ends, -pi and +pi, show one colour.
    const Rgb top = png.at(L::kBarLeft + L::kBarWidth / 2, L::kPlotTop + 1);
    const Rgb bottom = png.at(L::kBarLeft + L::kBarWidth / 2, L::kPlotTop + L::kPlotSize - 2);
    EXPECT_TRUE(near(top, bottom, 3)) << describe(top) << " " << describe(bottom);
}

TEST(Pictures, CutlineAxisStartsAtZero) {
    aerial_test::ScratchFolder folder;
    // Contrast (0.32 - 0.24) / (0.32 + 0.24) = 0.14: an autoscaled axis would make it look
    // fully modulated, with its minimum on the frame.
    Profile p;
    for (int k = 0; k <= 64; ++k) {
        p.position.push_back((k - 32) * 0.01);
        p.intensity.push_back(0.28 + 0.04 * std::cos(2 * M_PI * (k - 32) / 64.0));
    }
    CutlinePicture picture;
    picture.series = {{"along x", p}};
    const Range r = cutlineIntensityRange(picture);
    EXPECT_EQ(r.lo, 0);
    ASSERT_TRUE(writeCutline(picture, PictureFormat::kPng, "cut.png"));
    Png png("cut.png");
    ASSERT_TRUE(png.ok());
    using C = CutlineLayout;
    // At the left end the curve is at its minimum 0.24.
    const int column = C::kPlotLeft + 2;
    const double expected = C::kPlotTop + C::kPlotHeight * (1 - 0.24 / r.hi);
    int found = -1;
    for (int y = C::kPlotTop; y < C::kPlotTop + C::kPlotHeight; ++y)
        if (near(png.at(column, y), {31, 119, 180}, 30)) found = y;
    EXPECT_NEAR(found, expected, 2.5);
}

TEST(Pictures, SourceDotsSitOnTheRoundedShifts) {
    aerial_test::ScratchFolder folder;
    aerial_test::TestInput draft; // sigma 0.5: the outer points at 2.49 samples round to 2
    draft.rects = {{1, 0, -8, 8, -8, 8}};
    const RunInput input = inputOf(draft);
    ASSERT_TRUE(writeSource(sourcePicture(input), PictureFormat::kPng, "source.png"));
    Png png("source.png");
    ASSERT_TRUE(png.ok());
    // The plot spans +-half samples with half = 1.12 R + 0.5 for the pupil radius R.
    const double R = 0.75 * 0.01 * 128 / 0.193, half = R * 1.12 + 0.5;
    using S = SourceLayout;
    auto px = [&](double u) { return S::kPlotLeft + (u + half) / (2 * half) * S::kPlotSize; };
    auto py = [&](double u) { return S::kPlotTop + (half - u) / (2 * half) * S::kPlotSize; };
    const Rgb dot{31, 119, 180};
    EXPECT_TRUE(near(png.at(int(px(2)), int(py(0))), dot, 2)) << describe(png.at(int(px(2)), int(py(0))));
    EXPECT_TRUE(near(png.at(int(px(0)), int(py(-2))), dot, 2));
    // Nothing lands at 2.49, where the point was before rounding.
    EXPECT_FALSE(near(png.at(int(px(2.49)), int(py(0))), dot, 30));
}

TEST(Pictures, EveryPictureInEveryFormat) {
    aerial_test::ScratchFolder folder;
    const ResultTableData t = table(8, 0.1, [](double x, double y) { return x * x + y; });
    RunInput noInput;
    CutlinePicture cut;
    cut.series = {{"x", sampledProfile({-1, 0, 1}, {0.1, 0.9, 0.1})}};
    const std::vector<BossungSeries> bossung = {{"T 0.3", {-0.1, 0, 0.1}, {0.1, NAN, 0.12}}};
    const std::vector<DoseCurve> doses = {{0.9, {-0.1, 0, 0.1}, {0.09, 0.1, 0.09}},
                                          {1.0, {-0.1, 0, 0.1}, {0.1, NAN, 0.1}}};
    const std::vector<LatitudePoint> latitude = {{0.2, 0}, {0.1, 0.04}};
    // The run's pictures (plot, report) and the studies' (sweep, window, mask study).
    using Writer = std::function<bool(PictureFormat, const std::string&)>;
    const std::pair<const char*, Writer> pictures[] = {
        {"map", [&](PictureFormat f, const std::string& p) { return writeHeatmap(t, imagePicture(noInput, t, {}), f, p); }},
        {"cut", [&](PictureFormat f, const std::string& p) { return writeCutline(cut, f, p); }},
        {"source", [&](PictureFormat f, const std::string& p) { return writeSource(sourcePicture(noInput), f, p); }},
        {"bossung", [&](PictureFormat f, const std::string& p) { return writeLinePlot(bossung, "B", "x", "CD", f, p); }},
        {"fem", [&](PictureFormat f, const std::string& p) {
             return writeFemBossung(doses, 0.095, 0.105, {"FEM", "defocus", "CD"}, f, p);
         }},
        {"ed", [&](PictureFormat f, const std::string& p) { return writeExposureDefocus(latitude, "ED", "DOF", false, f, p); }},
    };
    // The PNG signature; an SVG document (after its XML declaration); a PDF header.
    const std::pair<PictureFormat, std::string> formats[] = {
        {PictureFormat::kPng, "\x89PNG\r\n\x1a\n"}, {PictureFormat::kSvg, "<svg"}, {PictureFormat::kPdf, "%PDF-"}};
    for (const auto& [format, magic] : formats) {
        const std::string ext = pictureExtension(format);
        for (const auto& [name, write] : pictures) {
            const std::string file = name + ext;
            ASSERT_TRUE(write(format, file)) << file;
            const std::string bytes = aerial_test::readFile(file);
            if (format == PictureFormat::kSvg) {
                EXPECT_EQ(bytes.substr(0, 5), "<?xml") << file;
                EXPECT_NE(bytes.find(magic), std::string::npos) << file;
                EXPECT_NE(bytes.find("</svg>"), std::string::npos) << file << " is cut short";
            } else {
                EXPECT_EQ(bytes.substr(0, magic.size()), magic) << file;
            }
            if (format == PictureFormat::kPdf) {
                EXPECT_NE(bytes.find("%%EOF"), std::string::npos) << file << " is cut short";
            }
            EXPECT_FALSE(write(format, "no/such/folder/" + file)) << file;
        }
    }
    PictureFormat f;
    EXPECT_TRUE(parsePictureFormat("svg", f) && f == PictureFormat::kSvg);
    EXPECT_FALSE(parsePictureFormat("jpeg", f));
}

TEST(ReportFiles, StudiesAreSubfoldersWithAManifestOrPicturesAtTheirOwnLevel) {
    aerial_test::ScratchFolder folder;
    std::filesystem::create_directories("run/sweep/sigma_0.5");
    std::filesystem::create_directories("run/window");
    std::filesystem::create_directories("run/notes");
    std::filesystem::create_directories("run/pitch");
    std::filesystem::create_directories("run/empty-study");
    for (const char* f : {"run/sweep/bossung.png", "run/sweep/bossung.svg", "run/sweep/results.csv",
                          "run/sweep/sigma_0.5/OUT_M.png", "run/window/fem.csv", "run/window/manifest.json",
                          "run/notes/readme.csv", "run/notes/report.pdf", "run/pitch/nils_through_pitch.svg",
                          "run/empty-study/manifest.json"})
        aerial_test::writeFile(f, "x\n");
    const std::vector<StudyFolder> studies = studyFolders("run");
    // notes/ holds a table and a report, neither a study's manifest nor a picture; a sweep
    // point is not a study. A manifest makes a study whatever else the folder holds.
    std::vector<std::string> names;
    for (const StudyFolder& s : studies) names.push_back(s.name + (s.manifest ? " (manifest)" : ""));
    EXPECT_EQ(names, (std::vector<std::string>{"empty-study (manifest)", "pitch", "sweep", "window (manifest)"}));

    // A study's pictures of every format go; its tables stay.
    removePictures("run/sweep", "bossung");
    EXPECT_FALSE(std::filesystem::exists("run/sweep/bossung.png"));
    EXPECT_FALSE(std::filesystem::exists("run/sweep/bossung.svg"));
    EXPECT_TRUE(std::filesystem::exists("run/sweep/results.csv"));
}
