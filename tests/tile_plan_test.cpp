// The tiling's plan and the verification's geometry, without processes: cores from the
// region's corner with the last one short, refusals with their counts, EPE sites placed along
// an edge, hotspots grouped by neighbourhood; tiles.json naming its layout from its own folder.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "analysis/layout_verification.h"
#include "io/study_manifest.h"
#include "io/tile_manifest.h"
#include "masks/tiling.h"
#include "test_support.h"

using namespace aerial_tool;

TEST(TilePlan, CoresRunFromTheCornerTheLastHoldingWhatIsLeft) {
    // 7 um at cores of 3 um: 3, 3 and 1 um; each grid of 128 x 0.04 um centred on its core.
    Tiling t;
    std::string error;
    ASSERT_TRUE(planTiling({0, 0, 7, 3}, 3, 1, 128, 0.04, t, error)) << error;
    ASSERT_EQ(t.columns, 3);
    ASSERT_EQ(t.rows, 1);
    EXPECT_DOUBLE_EQ(t.tiles[2].core.x0, 6);
    EXPECT_DOUBLE_EQ(t.tiles[2].core.x1, 7);
    EXPECT_DOUBLE_EQ(t.tiles[2].grid.centreX(), 6.5);
    EXPECT_NEAR(t.tiles[2].grid.width(), 5.12, 1e-12);
    EXPECT_DOUBLE_EQ(t.tiles[2].window.x0, 5); // the core and its halo of 1
    EXPECT_EQ(t.tiles[1].name, "tile_r000_c001");
    // Edges in decimal as the region, core and halo are written: from -0.4 at cores of 0.3
    // the second core starts at -0.1 (the doubles give -0.10000000000000003), its window at
    // -0.1 - 0.3 = -0.4 and its grid of 128 x 0.03 = 3.84 at the core's centre 0.05 - 1.92.
    ASSERT_TRUE(planTiling({-0.4, -0.4, 0.4, 0.4}, 0.3, 0.3, 128, 0.03, t, error)) << error;
    ASSERT_EQ(t.columns, 3);
    EXPECT_EQ(t.tiles[1].core.x0, -0.1);
    EXPECT_EQ(t.tiles[1].core.x1, 0.2);
    EXPECT_EQ(t.tiles[0].core.x1, t.tiles[1].core.x0);
    EXPECT_EQ(t.tiles[1].window.x0, -0.4);
    EXPECT_EQ(t.tiles[1].window.x1, 0.5);
    EXPECT_EQ(t.tiles[1].grid.x0, -1.87);
    EXPECT_EQ(t.tiles[1].grid.x1, 1.97);
    // The default halo, 4 lambda / NA = 4 x 0.193 / 0.85 = 0.908 up to whole samples of 0.03:
    // 31 samples, 0.93 (the doubles' product is 0.9299999999999999).
    EXPECT_EQ(defaultHalo(0.193, 0.85, 0.03), 0.93);
    // A region of whole cores has no sliver of a tile.
    ASSERT_TRUE(planTiling({0, 0, 6.08, 3.04}, 3.04, 1.04, 128, 0.04, t, error)) << error;
    EXPECT_EQ(t.columns, 2);
    EXPECT_EQ(t.rows, 1);
}

TEST(TilePlan, RefusesWhatTheGridCannotHoldAndTooManyTilesWithTheirCount) {
    Tiling t;
    std::string error;
    EXPECT_FALSE(planTiling({0, 0, 10, 10}, 4, 1, 128, 0.04, t, error)); // 4 + 2 > 5.12
    EXPECT_NE(error.find("the largest core with this halo is 3.12"), std::string::npos) << error;
    EXPECT_FALSE(planTiling({0, 0, 101, 100}, 1, 1, 128, 0.04, t, error));
    EXPECT_NE(error.find("101 x 100 = 10100 tiles"), std::string::npos) << error;
    // The default halo: 4 x 0.193 / 0.75 = 1.0293 rounded up to whole samples of 0.04.
    EXPECT_NEAR(defaultHalo(0.193, 0.75, 0.04), 1.04, 1e-12);
}

TEST(VerifySites, EverySpacingCentredOnTheEdgeNoneNearACorner) {
    struct Case {
        double length;
        int count;
        double first; // from the edge's start
    } cases[] = {
        {0.2, 5, 0.02},    // 0.16 usable: sites at 0.02, 0.06, ..., 0.18
        {0.1, 2, 0.03},    // 0.06 usable: one spacing, centred
        {0.04, 1, 0.02},   // exactly the two clearances: its middle
        {0.039, 0, 0},     // shorter: none
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const DrawnEdge edge{1, 2, 1, 2 + c.length, -1, 0};
        const std::vector<EpeSite> sites = placeSites({edge}, 0.04, 0.02);
        ASSERT_EQ(static_cast<int>(sites.size()), c.count);
        if (c.count == 0) continue;
        EXPECT_NEAR(sites[0].y - 2, c.first, 1e-12);
        EXPECT_NEAR(sites.back().y - 2, c.length - c.first, 1e-12);
        EXPECT_EQ(sites[0].x, 1);
        EXPECT_EQ(sites[0].nx, -1);
    }
}

TEST(VerifyHotspots, NeighbouringSitesOfOneKindAreOneHotspot) {
    VerifyOptions o = verifyDefaults(1e-6, 0.193, 0.75);
    const double inf = std::numeric_limits<double>::infinity();
    auto site = [&](double x, double y, double width, double epe) {
        EpeSite s;
        s.x = x;
        s.y = y;
        s.width = width;
        s.space = inf;
        s.epe = epe;
        return s;
    };
    // Two sides of a neck 0.05 apart (within three spacings), a third pinch far away, and one
    // EPE beyond the limit of 15 nm next to a site within it.
    const std::vector<EpeSite> sites = {site(1.975, 2.0, 0.03, -0.01), site(2.025, 2.0, 0.04, -0.01),
                                        site(5.0, 5.0, 0.0, 0.0), site(8.0, 8.0, 0.2, 0.02),
                                        site(8.0, 8.04, 0.2, 0.01)};
    const std::vector<Hotspot> h = findHotspots(sites, o);
    ASSERT_EQ(h.size(), 3u);
    EXPECT_EQ(h[0].kind, HotspotKind::kPinch);
    EXPECT_NEAR(h[0].x, 2.0, 1e-12);
    EXPECT_EQ(h[0].sites, 2);
    EXPECT_DOUBLE_EQ(h[0].value, 0.03);
    EXPECT_EQ(h[1].kind, HotspotKind::kPinch);
    EXPECT_EQ(h[2].kind, HotspotKind::kEpe);
    EXPECT_EQ(h[2].sites, 1);
    EXPECT_DOUBLE_EQ(h[2].value, 0.02);
}

TEST(TileManifest, NamesTheLayoutFromItsOwnFolderSoThatACopyFindsItsOwn) {
    // tiles.json in job/ cut from layouts/chip.gds: it names ../layouts/chip.gds, and a copy
    // of the whole tree reads it as the copy's layout, not the original's.
    aerial_test::ScratchFolder scratch;
    namespace fs = std::filesystem;
    fs::create_directories("tree/job");
    fs::create_directories("tree/layouts");
    TileManifest m;
    m.layout = "tree/layouts/chip.gds";
    m.unit = "um";
    m.tiling.gridSize = 64;
    m.tiling.samplePitch = 0.01;
    const std::string text = manifestText(m, "tree/job");
    EXPECT_NE(text.find("\"layout\": \"../layouts/chip.gds\""), std::string::npos) << text;
    {
        std::ofstream out("tree/job/" + std::string(kTileManifestFileName), std::ios::binary);
        out << text;
    }
    fs::copy("tree", "copy", fs::copy_options::recursive);
    TileManifest back;
    std::string error;
    ASSERT_TRUE(readManifest("copy/job", back, error)) << error;
    EXPECT_EQ(back.layout, "copy/layouts/chip.gds");

    // The rule itself: relative to the folder, absolute only where no relative path leads.
    const struct {
        std::string path, folder, written;
    } cases[] = {
        {"w/defocus_0", "w", "defocus_0"},
        {"w", "w", "."},
        {"a/b.gds", "c/d", "../../a/b.gds"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pathFromFolder(c.path, c.folder), c.written) << c.path;
        EXPECT_EQ(pathInFolder(c.written, c.folder), c.path) << c.written;
    }
    EXPECT_EQ(pathInFolder("/data/chip.gds", "anywhere"), "/data/chip.gds");
}
