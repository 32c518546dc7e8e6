// Verification of a tiled region against its drawn layout: edge placement error at sites
// along every drawn edge, the process-variation band over focus and dose corners, and
// hotspots (sites whose |EPE| exceeds a limit, places where the printed contour pinches below
// a width or bridges a space below a width).
//
// Every contour point is a root of the continuous image along a cut through the site along
// the edge's normal (analysis/continuous_cut.h), so it holds below a sample. A feature prints
// where the image reaches the threshold (drawn shapes clear) or stays below it (shapes dark).
#pragma once

#include <string>
#include <vector>

#include "analysis/option_defaults.h"
#include "analysis/region_picture.h"
#include "analysis/tile_images.h"

namespace aerial_tool {

struct VerifyOptions {
    double threshold = kDefaultThreshold;
    std::vector<double> foci;  // the corners' defocus (empty: the tiles' own)
    std::vector<double> doses; // the corners' relative doses (empty: 1)
    // Lengths in the tiling's unit; the defaults, in micrometres, come from verifyDefaults.
    double siteSpacing = 0;     // between sites along an edge
    double cornerClearance = 0; // no site nearer a corner
    double epeLimit = 0;        // |EPE| above it is a hotspot
    double minWidth = 0;        // a printed width below it is a pinch
    double minSpace = 0;        // a printed space below it is a bridge
    double reach = 0;           // the farthest a site looks for its contour
    double pixel = 0;           // of the band's raster
};

// The defaults in the unit (metres per unit): the lengths of option_defaults.h (sites every
// kSiteSpacingNm, ...), and a contour looked for up to lambda / NA from its edge.
VerifyOptions verifyDefaults(double unitMetres, double wavelength, double na);

enum class SiteStatus { kMeasured, kNotPrinted, kMerged };
const char* siteStatusName(SiteStatus status);

struct EpeSite {
    double x = 0, y = 0; // on the drawn edge
    int nx = 0, ny = 0;  // the edge's outward normal
    size_t tile = 0;
    SiteStatus status = SiteStatus::kMeasured;
    double epe = 0;   // signed, along the outward normal: > 0 the feature prints beyond its edge
    double width = 0; // printed width of the feature through the site along the normal (inf: none found)
    double space = 0; // printed space beyond it (inf: none found)
};

enum class HotspotKind { kEpe, kPinch, kBridge };
const char* hotspotKindName(HotspotKind kind);

struct Hotspot {
    HotspotKind kind;
    double x = 0, y = 0; // the mean of its sites
    double value = 0;    // largest |EPE|, smallest width or smallest space
    int sites = 0;
};

// The sites along the edges: every siteSpacing, centred on the edge, none within
// cornerClearance of its ends (an edge too short for that has none).
std::vector<EpeSite> placeSites(const std::vector<DrawnEdge>& edges, double spacing, double clearance);

// Each site's EPE, width and space on the nominal image of the tile whose core holds it, on
// up to `threads` threads.
void measureSites(std::vector<EpeSite>& sites, const std::vector<TileFrame>& tiles,
                  const std::vector<TileImage>& images, bool darkShapes, const VerifyOptions& options,
                  int threads = 1);

// Sites beyond the limits, neighbours of one kind (within three site spacings) grouped into one.
std::vector<Hotspot> findHotspots(const std::vector<EpeSite>& sites, const VerifyOptions& options);

// Where the feature prints in some corner and not in all: union and intersection of the
// printed regions, pixel by pixel of the raster (a pixel in a core counts by its centre).
struct BandRaster {
    RegionRaster geometry;      // its values unused
    std::vector<unsigned char> everPrinted, alwaysPrinted;
};
bool bandRaster(const Box2& region, double pixel, BandRaster& band, std::string& error);

// One corner's image of one tile into the band (every dose of the options at once).
void addCorner(BandRaster& band, const TileFrame& tile, const TileImage& image, bool darkShapes,
               const VerifyOptions& options);

// Band area (length unit squared) in each tile's core and in all.
std::vector<double> bandAreas(const BandRaster& band, const std::vector<TileFrame>& tiles, double& total);

inline constexpr PixelColour kBandColour{255, 150, 0};
inline constexpr PixelColour kEpeColour{255, 230, 0};
inline constexpr PixelColour kPinchColour{255, 0, 0};
inline constexpr PixelColour kBridgeColour{255, 0, 255};
inline constexpr int kHotspotRing = 6; // pixels from a hotspot to its ring

// The nominal image in grey, the band over it, the outline, a ring round each hotspot.
RgbRaster verifyPicture(const RegionRaster& nominal, const BandRaster& band, const std::vector<DrawnEdge>& edges,
                        const std::vector<Hotspot>& hotspots);

} // namespace aerial_tool
