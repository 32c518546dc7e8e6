// Layout import on GDSII files written by gdspy (an independent writer): placement of
// references and arrays, paths, holes, the window; the image of an import against a
// hand-written input of the same rectangles. Then hostile files, built record by record.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/run_simulation.h"
#include "gdsii_bytes.h"
#include "input/input_layout.h"
#include "io/input_writer.h"
#include "io/result_table.h"
#include "masks/layout_import.h"
#include "test_support.h"

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

double area(const std::vector<MaskRectangle>& rects) {
    double sum = 0;
    for (const MaskRectangle& r : rects) sum += (r.xEnd - r.xStart) * (r.yEnd - r.yStart);
    return sum;
}

double coverage(const std::vector<MaskRectangle>& rects, double x, double y) {
    double t = 0;
    for (const MaskRectangle& r : rects)
        if (x > r.xStart && x < r.xEnd && y > r.yStart && y < r.yEnd) t += r.transRe;
    return t;
}

// The rectangles do not overlap and cover exactly the expected ones (disjoint, in
// samples): equal areas, and every point of a fine lattice covered as expected.
void expectSameCover(const std::vector<MaskRectangle>& got, const std::vector<MaskRectangle>& expected) {
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

    aerial_test::InputSpec spec; // the bundled example's optics
    for (const MaskRectangle& q : hierarchyRectangles())
        spec.rects.push_back({q.transRe, q.transIm, q.xStart, q.xEnd, q.yStart, q.yEnd});
    aerial_test::writeInput(spec);
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
