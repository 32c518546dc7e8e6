// Layout import on GDSII files written by gdspy (an independent writer): placement of
// references and arrays, paths, holes, the window; the image of an import against a
// hand-written input of the same rectangles. Then hostile files, built record by record.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run_simulation.h"
#include "gdsii_bytes.h"
#include "input/input_layout.h"
#include "io/input_writer.h"
#include "io/result_table.h"
#include "masks/gdsii_reader.h"
#include "masks/layout_import.h"
#include "test_support.h"

extern char** environ;

using namespace aerial_tool;
using aerial::MaskRectangle;
using aerial_test::GdsBytes;

namespace {

const Grid kGrid{128, 0.01}; // 1.28 um; 1 um = 100 samples
constexpr double kMicron = 1e-6;

// Runs a gdspy script that adds cells to `lib` (user unit 1 um, database unit 1 nm) and
// writes it to path.
void writeLayout(const std::string& path, const std::string& body) {
    const std::string script = "import gdspy\n"
                               "lib = gdspy.GdsLibrary(unit=1e-6, precision=1e-9)\n" +
                               body + "lib.write_gds('" + path + "')\n";
    aerial_test::writeFile("make_layout.py", script);
    const std::string command = std::string(AERIAL_PYTHON) + " make_layout.py";
    ASSERT_EQ(std::system(command.c_str()), 0) << "gdspy (python3-gdspy) could not write the layout";
}

ImportOptions clip(const std::string& cell, int layer, double x0, double y0, double x1, double y1) {
    ImportOptions o;
    o.cell = cell;
    o.layer = {layer, 0};
    o.window[0] = x0;
    o.window[1] = y0;
    o.window[2] = x1;
    o.window[3] = y1;
    return o;
}

ImportResult importFile(const std::string& path, const ImportOptions& options) {
    ImportResult result;
    std::string error;
    EXPECT_TRUE(importLayout(aerial_test::readFile(path), options, kGrid, kMicron, result, error)) << error;
    return result;
}

// Sum of transmission times area: the clear area of disjoint rectangles of transmission 1,
// and of expected covers written as overlapping rectangles of +1 and -1.
double area(const std::vector<MaskRectangle>& rects) {
    double sum = 0;
    for (const MaskRectangle& r : rects) sum += r.transRe * (r.xEnd - r.xStart) * (r.yEnd - r.yStart);
    return sum;
}

// No two rectangles share any area (overlapping ones would add their transmissions).
void expectDisjoint(const std::vector<MaskRectangle>& rects) {
    for (size_t i = 0; i < rects.size(); ++i) {
        for (size_t j = i + 1; j < rects.size(); ++j) {
            const MaskRectangle& a = rects[i];
            const MaskRectangle& b = rects[j];
            const bool overlap = std::fmin(a.xEnd, b.xEnd) > std::fmax(a.xStart, b.xStart) &&
                                 std::fmin(a.yEnd, b.yEnd) > std::fmax(a.yStart, b.yStart);
            ASSERT_FALSE(overlap) << "rectangles " << i << " and " << j << " overlap";
        }
    }
}

double coverage(const std::vector<MaskRectangle>& rects, double x, double y) {
    double t = 0;
    for (const MaskRectangle& r : rects)
        if (x > r.xStart && x < r.xEnd && y > r.yStart && y < r.yEnd) t += r.transRe;
    return t;
}

// The rectangles do not overlap and cover exactly the expected ones (in samples): equal
// areas, and every point of a fine lattice covered as expected.
void expectSameCover(const std::vector<MaskRectangle>& got, const std::vector<MaskRectangle>& expected) {
    expectDisjoint(got);
    EXPECT_NEAR(area(got), area(expected), 1e-9);
    for (double x = -63.75; x < 64; x += 0.5) {
        for (double y = -63.75; y < 64; y += 0.5) {
            const double g = coverage(got, x, y), e = coverage(expected, x, y);
            ASSERT_EQ(g, e) << "at " << x << "," << y;
        }
    }
}

const char* kHierarchy =
    "sub = gdspy.Cell('SUB'); lib.add(sub)\n"
    "sub.add(gdspy.Rectangle((0, 0), (0.2, 0.1), layer=1))\n"
    "top = gdspy.Cell('TOP'); lib.add(top)\n"
    "top.add(gdspy.CellReference(sub, origin=(0.3, 0.2), rotation=90, x_reflection=True))\n"
    "top.add(gdspy.CellArray(sub, 3, 2, (0.3, 0.25), origin=(-0.6, -0.5)))\n";

// SUB's 0.2 x 0.1 rectangle mirrored about X ((x, y) -> (x, -y)), turned by 90 degrees
// ((x, y) -> (-y, x)), so (x, y) -> (y, x), then moved to (0.3, 0.2): x 0.3..0.4, y 0.2..0.4.
// The array: 3 columns 0.3 apart and 2 rows 0.25 apart from (-0.6, -0.5). In samples:
std::vector<MaskRectangle> hierarchyRectangles() {
    std::vector<MaskRectangle> r = {{1, 0, 30, 40, 20, 40}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) r.push_back({1, 0, -60.0 + 30 * i, -40.0 + 30 * i, -50.0 + 25 * j, -40.0 + 25 * j});
    return r;
}

} // namespace

TEST(LayoutImport, MirroredAndTurnedReferenceAndAnArrayLandWhereTheyShould) {
    aerial_test::ScratchFolder folder;
    writeLayout(folder.path() + "/h.gds", kHierarchy);
    const ImportResult r = importFile(folder.path() + "/h.gds", clip("TOP", 1, -0.64, -0.64, 0.64, 0.64));
    expectSameCover(r.rects, hierarchyRectangles());
    EXPECT_EQ(r.shapes, 7);
    EXPECT_NEAR(r.shapeArea, 7 * 200, 1e-9); // seven 20 x 10 sample rectangles
}

TEST(LayoutImport, PathsKeepTheirWidthAndEnds) {
    // A path of width 0.04 from (-0.3, 0) to (0.2, 0) to (0.2, 0.3): flush ends cover
    // 0.52 x 0.04 + 0.04 x 0.32 - 0.04 x 0.04 (the corner square once) = 0.032 um^2;
    // ends extended by half the width add 2 x 0.04 x 0.02.
    aerial_test::ScratchFolder folder;
    writeLayout(folder.path() + "/p.gds",
                "top = gdspy.Cell('TOP'); lib.add(top)\n"
                "top.add(gdspy.FlexPath([(-0.3, 0), (0.2, 0), (0.2, 0.3)], 0.04, ends='flush', gdsii_path=True, layer=2))\n"
                "top.add(gdspy.FlexPath([(-0.3, -0.3), (0.2, -0.3)], 0.04, ends='extended', gdsii_path=True, layer=3))\n"
                "top.add(gdspy.FlexPath([(-0.3, -0.5), (0.2, -0.5)], 0.04, ends='round', gdsii_path=True, layer=4))\n");
    const std::string path = folder.path() + "/p.gds";
    const ImportResult flush = importFile(path, clip("TOP", 2, -0.64, -0.64, 0.64, 0.64));
    expectSameCover(flush.rects, {{1, 0, -30, 22, -2, 2}, {1, 0, 18, 22, 2, 30}});
    EXPECT_NEAR(area(flush.rects), 320, 1e-9);
    const ImportResult extended = importFile(path, clip("TOP", 3, -0.64, -0.64, 0.64, 0.64));
    expectSameCover(extended.rects, {{1, 0, -32, 22, -32, -28}});

    // Round ends are not Manhattan: refused, or stepped in sample rows on request, with
    // the stepped area close to the caps' (two half discs of radius 2 samples).
    ImportResult result;
    std::string error;
    ImportOptions round = clip("TOP", 4, -0.64, -0.64, 0.64, 0.64);
    EXPECT_FALSE(importLayout(aerial_test::readFile(path), round, kGrid, kMicron, result, error));
    EXPECT_NE(error.find("path 2 of cell 'TOP' has round ends"), std::string::npos) << error;
    EXPECT_NE(error.find("--manhattanize"), std::string::npos) << error;
    round.manhattanize = true;
    const ImportResult stepped = importFile(path, round);
    EXPECT_EQ(stepped.manhattanized, 2);
    EXPECT_NEAR(stepped.steppedAreaBefore, 4 * std::acos(-1.0), 0.2); // caps of 16 sides
    EXPECT_NEAR(area(stepped.rects), 200 + stepped.steppedAreaAfter, 1e-6);
}

TEST(LayoutImport, APolygonWithAHoleStaysOpenInTheHole) {
    // gdspy writes the hole as a keyhole: one outline that runs in along a slit and back.
    aerial_test::ScratchFolder folder;
    writeLayout(folder.path() + "/ring.gds",
                "top = gdspy.Cell('TOP'); lib.add(top)\n"
                "top.add(gdspy.boolean(gdspy.Rectangle((-0.4, -0.4), (0.4, 0.4)),"
                " gdspy.Rectangle((-0.1, -0.1), (0.1, 0.2)), 'not', layer=5))\n");
    const ImportResult r = importFile(folder.path() + "/ring.gds", clip("TOP", 5, -0.64, -0.64, 0.64, 0.64));
    expectSameCover(r.rects, {{1, 0, -40, 40, -40, -10}, {1, 0, -40, -10, -10, 20},
                              {1, 0, 10, 40, -10, 20}, {1, 0, -40, 40, 20, 40}});
    EXPECT_NEAR(area(r.rects), 6400 - 600, 1e-9);
}

// The layouts of tests/fixtures/layouts (make_layouts.py writes them, vertex by vertex),
// each of which an earlier import got wrong: outlines that start in the middle of an edge,
// repeat a vertex or run clockwise, mirrored references, windows through them, paths of
// odd width and magnifications that put edges on half database units, and placements near
// the largest double. Expected covers in samples of 10 nm from the window's centre; a
// cover of -1 cuts its rectangle out of the ones before it.
TEST(LayoutImport, TheAuditedLayoutsImportAsDrawn) {
    struct FixtureCase {
        const char* file;
        const char* cell;
        int layer;
        double window[4];
        bool dark;
        std::vector<MaskRectangle> expected;
    };
    const FixtureCase cases[] = {
        // The square 100..900 nm, window 0..1.28 um (centre 640 nm): -54..26 samples.
        {"mid-edge-start", "TOP", 1, {0, 0, 1.28, 1.28}, false, {{1, 0, -54, 26, -54, 26}}},
        // The rectangle with its repeated first vertex lies inside the square -500..500: no hole.
        {"repeated-vertices", "TOP", 1, {-0.64, -0.64, 0.64, 0.64}, false, {{1, 0, -50, 50, -50, 50}}},
        // A vertex repeated mid-outline and one on an edge: the square -200..200 stays.
        {"repeated-vertices", "TOP", 2, {-0.64, -0.64, 0.64, 0.64}, false, {{1, 0, -20, 20, -20, 20}}},
        // The window -400..400 keeps [-400,-250] x [350,400] of the cut L and the whole inner L.
        {"clockwise-l", "TOP", 2, {-0.4, -0.4, 0.4, 0.4}, false,
         {{1, 0, -40, -25, 35, 40}, {1, 0, 10, 30, 10, 15}, {1, 0, 10, 15, 15, 30}}},
        // The L mirrored about X and moved by (-500, 200): [-500,-200] x [100,200] and
        // [-500,-400] x [-100,200]; the window -300..300 x 150..600 (centre (0, 375)) keeps
        // [-300,-200] x [150,200].
        {"clockwise-l", "TOP", 3, {-0.3, 0.15, 0.3, 0.6}, false, {{1, 0, -30, -20, -22.5, -17.5}}},
        {"clockwise-l", "TOP", 3, {-0.3, 0.15, 0.3, 0.6}, true,
         {{1, 0, -30, 30, -22.5, 22.5}, {-1, 0, -30, -20, -22.5, -17.5}}},
        // Width 25 about y = 600 and y = 601: 587.5..612.5 and 588.5..613.5, both 25 nm; the
        // square 0..25 at magnification 0.5 from (-400, -400): 12.5 nm wide.
        {"half-unit-path", "TOP", 1, {-0.64, -0.64, 0.64, 0.64}, false,
         {{1, 0, -30, -5, 58.75, 61.25}, {1, 0, 5, 30, 58.85, 61.35}, {1, 0, -40, -38.75, -40, -38.75}}},
        // The half plane x < 0 from 1.5e308 away, exactly; in dark tone the other half.
        {"huge-coordinates", "C0", 1, {-0.64, -0.64, 0.64, 0.64}, false, {{1, 0, -64, 0, -64, 64}}},
        {"huge-coordinates", "C0", 1, {-0.64, -0.64, 0.64, 0.64}, true, {{1, 0, 0, 64, -64, 64}}},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " layer " << c.layer << (c.dark ? " dark" : ""));
        ImportOptions options = clip(c.cell, c.layer, c.window[0], c.window[1], c.window[2], c.window[3]);
        options.dark = c.dark;
        const ImportResult r = importFile(std::string(AERIAL_LAYOUTS) + "/" + c.file + ".gds", options);
        expectSameCover(r.rects, c.expected);
    }

    // The triangle below y = x from 1.5e308 away is no Manhattan shape; stepping it would
    // take differences of coordinates near the largest double, so it is refused.
    ImportOptions triangle = clip("C0", 2, -0.64, -0.64, 0.64, 0.64);
    triangle.manhattanize = true;
    ImportResult result;
    std::string error;
    EXPECT_FALSE(importLayout(aerial_test::readFile(std::string(AERIAL_LAYOUTS) + "/huge-coordinates.gds"),
                              triangle, kGrid, kMicron, result, error));
    EXPECT_NE(error.find("boundary 1 of cell 'C34'"), std::string::npos) << error;
    EXPECT_NE(error.find("too far from the window"), std::string::npos) << error;
}

// Random Manhattan layouts written by gdspy, with the vertex lists of other tools (starts in
// the middle of an edge, repeated and collinear vertices, spikes, both orientations),
// holes, mirrored, turned, magnified and arrayed references and windows through them
// (tests/random_layouts.py): the import against gdspy's own boolean of the flattened
// polygons and the window, by area and at 576 points off every edge, in both tones.
TEST(LayoutImport, RandomLayoutsClipAsGdspyClipsThem) {
    aerial_test::ScratchFolder folder;
    const int count = 100;
    const std::string command = std::string(AERIAL_PYTHON) + " " + AERIAL_RANDOM_LAYOUTS + " " +
                                std::to_string(count) + " 20 " + folder.path();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (int k = 0; k < count; ++k) {
        const std::string name = folder.path() + "/layout-" + std::to_string(k);
        SCOPED_TRACE(name);
        std::istringstream clipText(aerial_test::readFile(name + ".txt"));
        std::string word, cell;
        int layer = 0, dark = 0;
        double w[4], expectedArea = 0;
        clipText >> word >> cell >> layer >> w[0] >> w[1] >> w[2] >> w[3] >> dark >> expectedArea;
        ASSERT_EQ(word, "clip");
        ImportOptions options = clip(cell, layer, w[0], w[1], w[2], w[3]);
        options.dark = dark != 0;
        ImportResult r;
        std::string error;
        ASSERT_TRUE(importLayout(aerial_test::readFile(name + ".gds"), options, kGrid, kMicron, r, error)) << error;
        expectDisjoint(r.rects);
        EXPECT_NEAR(area(r.rects) * 1e-4, expectedArea, 1e-9); // samples of 0.01 um
        // The window's centre on the database grid (1 nm), in um.
        const double cx = (std::nearbyint(w[0] * 1000) + std::nearbyint(w[2] * 1000)) / 2000;
        const double cy = (std::nearbyint(w[1] * 1000) + std::nearbyint(w[3] * 1000)) / 2000;
        double x, y;
        int inside = 0, wrong = 0;
        while (clipText >> word >> x >> y >> inside) {
            if (coverage(r.rects, (x - cx) / 0.01, (y - cy) / 0.01) != inside) ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "points covered otherwise than gdspy has it";
    }
}

TEST(LayoutImport, TheWindowCutsShapesAndItsCentreIsTheGridCentre) {
    // A window of 0.8 x 0.8 um centred on (0.6, 0.1); the rectangle 0.5..1.2 x -0.2..0.2
    // keeps 0.5..1.0: in samples from the window centre x -10..40, y -30..10.
    aerial_test::ScratchFolder folder;
    writeLayout(folder.path() + "/w.gds",
                "top = gdspy.Cell('TOP'); lib.add(top)\n"
                "top.add(gdspy.Rectangle((0.5, -0.2), (1.2, 0.2), layer=6))\n"
                "top.add(gdspy.Rectangle((1.05, -0.2), (1.2, 0.2), layer=6))\n");
    const std::string path = folder.path() + "/w.gds";
    const ImportResult clear = importFile(path, clip("TOP", 6, 0.2, -0.3, 1.0, 0.5));
    ASSERT_EQ(clear.rects.size(), 1u);
    EXPECT_DOUBLE_EQ(clear.rects[0].xStart, -10);
    EXPECT_DOUBLE_EQ(clear.rects[0].xEnd, 40);
    EXPECT_DOUBLE_EQ(clear.rects[0].yStart, -30);
    EXPECT_DOUBLE_EQ(clear.rects[0].yEnd, 10);
    EXPECT_NEAR(clear.windowWidth, 0.8, 1e-12);

    // Dark tone: the window's field clear around the shape.
    ImportOptions dark = clip("TOP", 6, 0.2, -0.3, 1.0, 0.5);
    dark.dark = true;
    const ImportResult d = importFile(path, dark);
    expectSameCover(d.rects, {{1, 0, -40, -10, -40, 40}, {1, 0, -10, 40, -40, -30}, {1, 0, -10, 40, 10, 40}});
    EXPECT_NEAR(d.clearArea, 80 * 80 - 50 * 40, 1e-9);
}

TEST(LayoutImport, ShapesThatAreNotManhattan) {
    aerial_test::ScratchFolder folder;
    writeLayout(folder.path() + "/t.gds",
                "top = gdspy.Cell('TOP'); lib.add(top)\n"
                "top.add(gdspy.Rectangle((-0.3, -0.3), (0.3, 0.3), layer=7))\n"
                "top.add(gdspy.Polygon([(-0.2, -0.2), (0.2, -0.2), (0, 0.2)], layer=8))\n");
    const std::string path = folder.path() + "/t.gds";
    ImportResult result;
    std::string error;
    ImportOptions triangle = clip("TOP", 8, -0.64, -0.64, 0.64, 0.64);
    EXPECT_FALSE(importLayout(aerial_test::readFile(path), triangle, kGrid, kMicron, result, error));
    EXPECT_NE(error.find("boundary 1 of cell 'TOP' has an edge from"), std::string::npos) << error;
    // Stepped in rows of one sample, each as wide as the triangle at its middle: the
    // triangle of 40 x 40 samples keeps its area, 800 samples^2, up to the rounding of
    // the row ends to the database grid (1 nm, a tenth of a sample: at most 0.05 sample
    // per row end, 40 rows, two ends).
    triangle.manhattanize = true;
    const ImportResult stepped = importFile(path, triangle);
    EXPECT_NEAR(stepped.steppedAreaBefore, 800, 1e-6);
    EXPECT_NEAR(stepped.steppedAreaAfter, 800, 40 * 2 * 0.05);
    EXPECT_NEAR(area(stepped.rects), stepped.steppedAreaAfter, 1e-6);
}

TEST(LayoutImport, AnImportImagesLikeTheSameRectanglesWrittenByHand) {
    aerial_test::ScratchFolder folder;
    writeLayout(folder.path() + "/h.gds", kHierarchy);
    const ImportResult r = importFile(folder.path() + "/h.gds", clip("TOP", 1, -0.64, -0.64, 0.64, 0.64));
    aerial_test::writeFile(aerial::kInputFileName, inputFileText(bundledExampleParameters(), r.rects, "import"));
    aerial::runSimulation();
    ResultTableData imported, byHand;
    std::string error;
    ASSERT_TRUE(readResultTable(aerial::kImageIntensityFileName, imported, error)) << error;

    aerial_test::TestInput draft; // the bundled example's optics
    for (const MaskRectangle& q : hierarchyRectangles())
        draft.rects.push_back({q.transRe, q.transIm, q.xStart, q.xEnd, q.yStart, q.yEnd});
    aerial_test::writeInput(draft);
    aerial::runSimulation();
    ASSERT_TRUE(readResultTable(aerial::kImageIntensityFileName, byHand, error)) << error;
    ASSERT_EQ(imported.values.size(), byHand.values.size());
    double largest = 0, peak = 0;
    for (size_t k = 0; k < imported.values.size(); ++k) {
        largest = std::fmax(largest, std::fabs(imported.values[k] - byHand.values[k]));
        peak = std::fmax(peak, byHand.values[k]);
    }
    EXPECT_LE(largest, 1e-6);
    EXPECT_GT(peak, 0.1); // an image, not an empty one
}

namespace {

struct HostileCase {
    const char* what;
    std::string bytes;
    ImportOptions options;
    const char* reason; // a part of the message
};

std::vector<HostileCase> hostileCases() {
    const ImportOptions top = clip("TOP", 1, -0.64, -0.64, 0.64, 0.64);
    auto library = [](auto&& body) {
        GdsBytes b;
        b.beginLibrary();
        body(b);
        b.endLibrary();
        return b.bytes();
    };
    const std::string good = library([](GdsBytes& b) {
        b.beginStructure("TOP").rectangle(1, -100, -100, 100, 100).endStructure();
    });
    std::string longRecord = good;
    // The BOUNDARY's XY record claims 400 bytes more than there are.
    const size_t xy = good.find(std::string("\x00\x2C\x10\x03", 4));
    longRecord[xy] = '\x02';
    longRecord[xy + 1] = '\x00';
    std::string oddLength = good;
    oddLength[xy + 1] = '\x2B';
    std::string zeroLength = good;
    zeroLength[xy] = zeroLength[xy + 1] = '\0';
    ImportOptions missingCell = top;
    missingCell.cell = "NOPE";
    ImportOptions missingLayer = top;
    missingLayer.layer = {9, 0};
    ImportOptions emptyWindow = clip("TOP", 1, 10, 10, 11, 11);
    ImportOptions wideWindow = clip("TOP", 1, -1, -1, 1, 1);
    ImportOptions noWindow = clip("TOP", 1, 0.5, 0.5, 0.5, 0.6);
    return {
        {"an empty file", "", top, "ends"},
        {"not a stream file", "hello, this is text", top, "record"},
        {"a file cut in the middle", good.substr(0, good.size() / 2), top, "truncated"},
        {"a file cut before ENDLIB", good.substr(0, good.size() - 4), top, "before ENDLIB"},
        {"a record longer than the rest of the file", longRecord, top, "bytes are left"},
        {"a record of odd length", oddLength, top, "even"},
        {"a record of length 0", zeroLength, top, "at least 4"},
        {"a cell that references itself",
         library([](GdsBytes& b) {
             b.beginStructure("TOP").rectangle(1, 0, 0, 10, 10).reference("TOP", 5, 5).endStructure();
         }),
         top, "references itself"},
        {"cells that reference each other",
         library([](GdsBytes& b) {
             b.beginStructure("A").rectangle(1, 0, 0, 10, 10).reference("B", 0, 0).endStructure();
             b.beginStructure("B").reference("C", 0, 0).endStructure();
             b.beginStructure("C").reference("A", 0, 0).endStructure();
             b.beginStructure("TOP").reference("A", 0, 0).endStructure();
         }),
         top, "loop: 'A' -> 'B' -> 'C' -> 'A'"},
        {"a reference to a cell not in the file",
         library([](GdsBytes& b) { b.beginStructure("TOP").reference("GONE", 0, 0).endStructure(); }), top,
         "does not define"},
        {"an array of a million instances",
         library([](GdsBytes& b) {
             b.beginStructure("DOT").rectangle(1, 0, 0, 1, 1).endStructure();
             b.beginStructure("TOP").array("DOT", 1000, 1000, 2, 2).endStructure();
         }),
         top, "would place 1000000 shapes"},
        {"arrays of arrays",
         library([](GdsBytes& b) {
             b.beginStructure("DOT").rectangle(1, 0, 0, 1, 1).endStructure();
             b.beginStructure("ROW").array("DOT", 30000, 30000, 2, 2).endStructure();
             b.beginStructure("TOP").array("ROW", 30000, 30000, 2, 2).endStructure();
         }),
         top, "more than the 100000 shapes"},
        {"a clip of more than 1000 rectangles",
         library([](GdsBytes& b) {
             // 40 x 40 squares of 16 nm every 32 nm across the window: none can merge.
             b.beginStructure("DOT").rectangle(1, -640, -640, -624, -624).endStructure();
             b.beginStructure("TOP").array("DOT", 40, 40, 32, 32).endStructure();
         }),
         top, "the clip needs 1600 rectangles"},
        {"a missing cell", good, missingCell, "no cell named 'NOPE' (cells: 'TOP')"},
        {"a cell name holding a line feed",
         library([](GdsBytes& b) { b.beginStructure("TO\nP").rectangle(1, 0, 0, 10, 10).endStructure(); }), top,
         "(cells: 'TO?P')"},
        {"a missing layer", good, missingLayer, "no shape on layer 9/0 (layers in its hierarchy: 1/0)"},
        {"a window with no shape", good, emptyWindow, "covers any of the window"},
        {"an empty window", good, noWindow, "is empty"},
        {"a window larger than the grid", good, wideWindow, "a sample pitch of 0.015625 or more fits it"},
    };
}

} // namespace

TEST(LayoutImport, HostileFilesEndInOneClearLine) {
    for (const HostileCase& c : hostileCases()) {
        ImportResult result;
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(importLayout(c.bytes, c.options, kGrid, kMicron, result, error)) << c.what;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.what;
        EXPECT_LT(seconds, 5.0) << c.what; // refused before any work on that scale
    }
}

TEST(LayoutImport, TheImportCommandRefusesHostileFilesWithExitStatus2) {
    aerial_test::ScratchFolder folder;
    int k = 0;
    for (const HostileCase& c : hostileCases()) {
        const std::string file = "hostile" + std::to_string(k++) + ".gds";
        aerial_test::writeFile(file, c.bytes);
        char window[160];
        std::snprintf(window, sizeof window, "%.17g,%.17g,%.17g,%.17g", c.options.window[0], c.options.window[1],
                      c.options.window[2], c.options.window[3]);
        const std::string command = std::string(AERIAL_TOOL) + " import " + file + " out --cell " + c.options.cell +
                                    " --layer " + std::to_string(c.options.layer.layer) + "/0 --window " + window +
                                    " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << c.what;
        EXPECT_EQ(WEXITSTATUS(status), 2) << c.what;
        const std::string err = aerial_test::readFile("stderr.txt");
        EXPECT_EQ(err.rfind("aerial import: ", 0), 0u) << c.what << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.what << ": " << err;
        EXPECT_EQ(aerial_test::readFile("stdout.txt"), "") << c.what;
        EXPECT_FALSE(aerial_test::fileExists(std::string("out/") + aerial::kInputFileName)) << c.what;
    }
}

// A cell's name is the file's bytes: whichever refusal names it shows its control bytes as
// '?', so the refusal stays one line (a line feed in the name once split it).
TEST(LayoutImport, RefusalsNamingACellKeepItsControlBytesOnTheLine) {
    GdsBytes b;
    b.beginLibrary();
    b.beginStructure("MI\nD").rectangle(3, 0, 0, 10, 10).endStructure();
    b.endLibrary();
    const std::string file = b.bytes();
    const struct {
        const char* what;
        ImportOptions options;
        const char* reason;
    } cases[] = {
        {"a layer the cell does not hold", clip("MI\nD", 1, -0.1, -0.1, 0.1, 0.1), "cell 'MI?D' has no shape on layer 1/0"},
        {"a window none of its shapes covers", clip("MI\nD", 3, 0.5, 0.5, 0.6, 0.6), "of cell 'MI?D' covers any"},
        {"a cell name not in the file", clip("NO\x1b", 3, -0.1, -0.1, 0.1, 0.1), "no cell named 'NO?'"},
    };
    for (const auto& c : cases) {
        ImportResult result;
        std::string error;
        EXPECT_FALSE(importLayout(file, c.options, kGrid, kMicron, result, error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.find_first_of("\n\x1b"), std::string::npos) << c.what;
    }
}

// Each limit of the reader holds exactly: a file at the limit is read, one more element of
// the kind is refused at the record that goes beyond it.
TEST(LayoutImport, TheReaderCountsWhatAFileHoldsBeforeStoringIt) {
    const GdsLimits limits{3, 4, 12};
    // structures; in the first, references and a rectangle (5 points) and, when points > 0,
    // a boundary of that many points (closing point included)
    auto file = [](int structures, int references, int points) {
        GdsBytes b;
        b.beginLibrary();
        for (int k = 0; k < structures; ++k) {
            b.beginStructure(std::string(1, static_cast<char>('A' + k)));
            if (k == 0) {
                for (int e = 0; e < references; ++e) b.reference("B", 0, 0);
                b.rectangle(1, 0, 0, 10, 10);
                if (points > 0) b.boundary(1, std::vector<std::int32_t>(2 * (points - 1), 7));
            }
            b.endStructure();
        }
        b.endLibrary();
        return b.bytes();
    };
    struct LimitCase {
        const char* what;
        std::string bytes;
        const char* reason; // empty: read
    };
    const LimitCase cases[] = {
        {"at every limit", file(3, 2, 7), ""},
        {"a structure too many", file(4, 0, 0), "goes beyond 3 structures"},
        {"an element too many", file(1, 4, 0), "goes beyond 4 boundaries, paths and references"},
        {"a point too many", file(1, 0, 8), "goes beyond 12 points"},
    };
    for (const LimitCase& c : cases) {
        GdsLibrary library;
        std::string error;
        const bool read = readGdsii(c.bytes, library, error, limits);
        EXPECT_EQ(read, std::string(c.reason).empty()) << c.what << ": " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

namespace {

// Runs `aerial import` on a file and returns its exit status and, from the kernel's
// account of the finished process, its peak resident size in bytes.
int importPeak(const std::string& layout, long long& peakBytes) {
    const std::string tool = AERIAL_TOOL;
    std::vector<std::string> args = {tool, "import", layout, "out", "--cell", "TOP", "--layer", "1",
                                     "--window", "-0.5,-0.5,0.5,0.5", "-q"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ) != 0) return -1;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    peakBytes = usage.ru_maxrss * 1024LL; // kilobytes on Linux
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// Hostile files of the largest size the import reads (512 MiB), each one element repeated
// one time more than its limit allows, of the kind that costs most memory per byte of file
// at that limit: empty structures, structure references by short and by long names, small
// boundaries and boundaries of 8191 points; then zeros to the full size (never parsed). And the largest whole file: small
// boundaries one short of the limit, then records the reader skips up to ENDLIB, so that
// every byte is read and the hierarchy is counted before it is refused. Each stops with a
// line naming its limit, in at most twice the file's size (its mapped bytes included). The
// sanitizers' allocator keeps far more, so their build skips it.
TEST(LayoutImport, HostileFilesOfTheLargestSizeStayWithinTwiceItInMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the peak size of a sanitizer build says nothing about the import's";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the peak size of a sanitizer build says nothing about the import's";
#endif
#endif
    aerial_test::ScratchFolder folder;
    auto element = [](auto&& body) {
        GdsBytes b;
        body(b);
        return b.bytes();
    };
    std::vector<std::int32_t> outline;
    for (int k = 0; k < 8190; ++k) outline.insert(outline.end(), {k % 2 ? 0 : 1, k / 2}); // 8191 points, closed
    const GdsLimits limits;
    struct MemoryCase {
        const char* what;
        std::string unit; // repeated, within a structure named TOP when inStructure
        bool inStructure;
        std::size_t count;
        const char* reason;
    };
    const MemoryCase cases[] = {
        {"empty structures", element([](GdsBytes& b) { b.beginStructure("").endStructure(); }), false,
         limits.structures + 1, "goes beyond 100000 structures"},
        {"structure references", element([](GdsBytes& b) { b.reference("AB", 0, 0); }), true,
         limits.elements + 1, "goes beyond 2000000 boundaries, paths and references"},
        {"references by names of 240 bytes", element([](GdsBytes& b) { b.reference(std::string(240, 'N'), 0, 0); }),
         true, limits.elements + 1, "goes beyond 2000000 boundaries, paths and references"},
        {"small boundaries", element([](GdsBytes& b) { b.rectangle(1, 0, 0, 1, 1); }), true,
         limits.elements + 1, "goes beyond 2000000 boundaries, paths and references"},
        {"boundaries of 8191 points", element([&](GdsBytes& b) { b.boundary(1, outline); }), true,
         limits.points / 8191 + 1, "goes beyond 16000000 points"},
        {"a whole file of small boundaries", element([](GdsBytes& b) { b.rectangle(1, 0, 0, 1, 1); }), true,
         limits.elements - 1, "would place 1999999 shapes"},
    };
    for (const MemoryCase& c : cases) {
        SCOPED_TRACE(c.what);
        GdsBytes head;
        head.beginLibrary();
        if (c.inStructure) head.beginStructure("TOP");
        const std::uintmax_t size = kMaxLayoutBytes;
        {
            std::ofstream out("hostile.gds", std::ios::binary);
            out << head.bytes();
            for (std::size_t k = 0; k < c.count; ++k) out << c.unit;
            if (c.count < limits.elements) { // records of a type the reader skips, to the end
                GdsBytes end;
                end.endStructure().endLibrary();
                std::uintmax_t left = size - static_cast<std::uintmax_t>(out.tellp()) - end.bytes().size();
                while (left > 0) {
                    std::size_t length = left > 65534 ? 65534 : static_cast<std::size_t>(left);
                    if (left - length == 2) length -= 2; // no record is shorter than 4 bytes
                    out << GdsBytes().record(0x3B, 0, std::string(length - 4, '\0')).bytes();
                    left -= length;
                }
                out << end.bytes();
            }
        }
        std::filesystem::resize_file("hostile.gds", size); // zeros, which need no writing
        ASSERT_EQ(std::filesystem::file_size("hostile.gds"), size);
        long long peak = 0;
        EXPECT_EQ(importPeak("hostile.gds", peak), 2);
        const std::string err = aerial_test::readFile("stderr.txt");
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_LE(peak, 2 * static_cast<long long>(size)) << "peak resident size " << peak / (1 << 20) << " MiB";
        std::printf("%s: peak resident size %.0f MiB for a file of %.0f MiB\n", c.what, peak / 1048576.0,
                    size / 1048576.0);
        std::filesystem::remove("hostile.gds");
    }
}
