#include "analysis/layout_verification.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <thread>

#include "analysis/continuous_cut.h"

namespace aerial_tool {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

size_t tileHolding(const std::vector<TileFrame>& tiles, double x, double y) {
    for (size_t t = 0; t < tiles.size(); ++t)
        if (tiles[t].core.holds(x, y)) return t;
    // On the region's far edges: the nearest core.
    size_t best = 0;
    double bestDistance = kInfinity;
    for (size_t t = 0; t < tiles.size(); ++t) {
        const Box2& c = tiles[t].core;
        const double dx = std::max({c.x0 - x, 0.0, x - c.x1}), dy = std::max({c.y0 - y, 0.0, y - c.y1});
        if (dx + dy < bestDistance) {
            bestDistance = dx + dy;
            best = t;
        }
    }
    return best;
}

// A crossing of the threshold at offset d along the normal, rising (along the normal) or not.
struct NormalCrossing {
    double d;
    bool rising;
};

} // namespace

VerifyOptions verifyDefaults(double unitMetres, double wavelength, double na) {
    const double nm = 1e-9 / unitMetres;
    VerifyOptions o;
    o.siteSpacing = kSiteSpacingNm * nm;
    o.cornerClearance = kCornerClearanceNm * nm;
    o.epeLimit = kEpeLimitNm * nm;
    o.minWidth = kMinWidthNm * nm;
    o.minSpace = kMinSpaceNm * nm;
    o.reach = wavelength / na;
    o.pixel = kBandPixelNm * nm;
    return o;
}

const char* siteStatusName(SiteStatus status) {
    switch (status) {
    case SiteStatus::kMeasured: return "measured";
    case SiteStatus::kNotPrinted: return "not printed";
    case SiteStatus::kMerged: return "merged";
    }
    return "";
}

const char* hotspotKindName(HotspotKind kind) {
    switch (kind) {
    case HotspotKind::kEpe: return "epe";
    case HotspotKind::kPinch: return "pinch";
    case HotspotKind::kBridge: return "bridge";
    }
    return "";
}

std::vector<EpeSite> placeSites(const std::vector<DrawnEdge>& edges, double spacing, double clearance) {
    std::vector<EpeSite> sites;
    for (const DrawnEdge& e : edges) {
        const double length = e.length(), usable = length - 2 * clearance;
        if (usable < -1e-12 * length) continue;
        const int count = static_cast<int>(std::floor(std::max(usable, 0.0) / spacing + 1e-9)) + 1;
        const double first = (length - (count - 1) * spacing) / 2;
        const bool alongX = e.ny != 0;
        for (int k = 0; k < count; ++k) {
            EpeSite s;
            const double along = first + k * spacing;
            s.x = alongX ? e.x0 + along : e.x0;
            s.y = alongX ? e.y0 : e.y0 + along;
            s.nx = e.nx;
            s.ny = e.ny;
            sites.push_back(s);
        }
    }
    return sites;
}

namespace {

void measureSite(EpeSite& s, const std::vector<TileFrame>& tiles, const std::vector<TileImage>& images,
                 bool darkShapes, const VerifyOptions& o) {
    {
        s.tile = tileHolding(tiles, s.x, s.y);
        const TileImage& image = images[s.tile];
        const bool alongX = s.nx != 0;
        const int sign = alongX ? s.nx : s.ny;
        const double across = alongX ? s.y - image.centreY : s.x - image.centreX;
        const double at = alongX ? s.x - image.centreX : s.y - image.centreY;
        Profile profile;
        double cutPosition = 0;
        std::string error;
        s.width = s.space = kInfinity;
        if (!imageCut(image.samples, alongX ? CutAxis::kX : CutAxis::kY, across, profile, cutPosition, error) ||
            !profile.continuous) {
            s.status = SiteStatus::kNotPrinted;
            return;
        }
        const TrigCut& cut = *profile.continuous;
        const double period = cut.period();
        std::vector<NormalCrossing> crossings;
        for (const TrigCrossing& c : trigCrossings(cut, o.threshold)) {
            for (double shift : {-period, 0.0, period}) {
                const double d = (c.position + shift - at) * sign;
                if (std::fabs(d) <= 2 * o.reach) crossings.push_back({d, sign > 0 ? c.rising : !c.rising});
            }
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const NormalCrossing& a, const NormalCrossing& b) { return a.d < b.d; });
        // Leaving the feature outwards: the image falls below the threshold (clear shapes) or
        // reaches it (dark shapes).
        const bool exitRising = darkShapes;
        int exit = -1;
        for (size_t k = 0; k < crossings.size(); ++k) {
            if (crossings[k].rising != exitRising || std::fabs(crossings[k].d) > o.reach) continue;
            if (exit < 0 || std::fabs(crossings[k].d) < std::fabs(crossings[exit].d)) exit = static_cast<int>(k);
        }
        if (exit < 0) {
            const double value = trigValue(cut, at);
            const bool inside = darkShapes ? value < o.threshold : value >= o.threshold;
            s.status = inside ? SiteStatus::kMerged : SiteStatus::kNotPrinted;
            if (inside) s.space = 0;
            else s.width = 0;
            return;
        }
        s.status = SiteStatus::kMeasured;
        s.epe = crossings[exit].d;
        if (exit > 0) s.width = s.epe - crossings[exit - 1].d;
        if (exit + 1 < static_cast<int>(crossings.size())) s.space = crossings[exit + 1].d - s.epe;
    }
}

} // namespace

void measureSites(std::vector<EpeSite>& sites, const std::vector<TileFrame>& tiles,
                  const std::vector<TileImage>& images, bool darkShapes, const VerifyOptions& o, int threads) {
    // Each site on its own: interleaved over the threads, every result the same whatever
    // their number.
    const int count = std::max(1, std::min<int>(threads, static_cast<int>(sites.size() / 64) + 1));
    std::vector<std::thread> workers;
    for (int w = 1; w < count; ++w)
        workers.emplace_back([&, w] {
            for (size_t k = w; k < sites.size(); k += count) measureSite(sites[k], tiles, images, darkShapes, o);
        });
    for (size_t k = 0; k < sites.size(); k += count) measureSite(sites[k], tiles, images, darkShapes, o);
    for (std::thread& t : workers) t.join();
}

std::vector<Hotspot> findHotspots(const std::vector<EpeSite>& sites, const VerifyOptions& o) {
    std::vector<Hotspot> hotspots;
    const double linkReach = 3 * o.siteSpacing;
    for (HotspotKind kind : {HotspotKind::kPinch, HotspotKind::kBridge, HotspotKind::kEpe}) {
        std::vector<size_t> members;
        for (size_t k = 0; k < sites.size(); ++k) {
            const EpeSite& s = sites[k];
            const bool hot = kind == HotspotKind::kPinch    ? s.width < o.minWidth
                             : kind == HotspotKind::kBridge ? s.space < o.minSpace
                                                            : (s.status != SiteStatus::kMeasured ||
                                                               std::fabs(s.epe) > o.epeLimit);
            if (hot) members.push_back(k);
        }
        // Neighbours by union-find over the members, sorted along X to bound the pairs.
        std::sort(members.begin(), members.end(), [&](size_t a, size_t b) { return sites[a].x < sites[b].x; });
        std::vector<size_t> parent(members.size());
        std::iota(parent.begin(), parent.end(), 0);
        auto root = [&](size_t a) {
            while (parent[a] != a) a = parent[a] = parent[parent[a]];
            return a;
        };
        for (size_t a = 0; a < members.size(); ++a) {
            for (size_t b = a + 1; b < members.size() && sites[members[b]].x - sites[members[a]].x <= linkReach; ++b) {
                if (std::fabs(sites[members[b]].y - sites[members[a]].y) <= linkReach) parent[root(a)] = root(b);
            }
        }
        std::vector<int> group(members.size(), -1);
        const size_t first = hotspots.size();
        for (size_t a = 0; a < members.size(); ++a) {
            const size_t r = root(a);
            if (group[r] < 0) {
                group[r] = static_cast<int>(hotspots.size());
                Hotspot h{kind, 0, 0, kind == HotspotKind::kEpe ? 0.0 : kInfinity, 0};
                hotspots.push_back(h);
            }
            Hotspot& h = hotspots[group[r]];
            const EpeSite& s = sites[members[a]];
            h.x += s.x;
            h.y += s.y;
            ++h.sites;
            if (kind == HotspotKind::kPinch) h.value = std::min(h.value, s.width);
            else if (kind == HotspotKind::kBridge) h.value = std::min(h.value, s.space);
            else h.value = std::max(h.value, s.status == SiteStatus::kMeasured ? std::fabs(s.epe) : kInfinity);
        }
        for (size_t k = first; k < hotspots.size(); ++k) {
            hotspots[k].x /= hotspots[k].sites;
            hotspots[k].y /= hotspots[k].sites;
        }
    }
    return hotspots;
}

bool bandRaster(const Box2& region, double pixel, BandRaster& band, std::string& error) {
    if (!regionRaster(region, pixel, band.geometry, error)) return false;
    band.geometry.values.clear();
    band.geometry.values.shrink_to_fit();
    const size_t n = static_cast<size_t>(band.geometry.width) * band.geometry.height;
    band.everPrinted.assign(n, 0);
    band.alwaysPrinted.assign(n, 1);
    return true;
}

void addCorner(BandRaster& band, const TileFrame& tile, const TileImage& image, bool darkShapes,
               const VerifyOptions& o) {
    RegionRaster& g = band.geometry;
    const CorePixels pixels = corePixels(tile, g);
    const std::vector<int>& columns = pixels.columns;
    const std::vector<int>& rows = pixels.rows;
    const std::vector<double>& xs = pixels.xs;
    if (xs.empty() || pixels.ys.empty()) return;
    const std::vector<double> values = resample(image, xs, pixels.ys);
    const std::vector<double> doses = o.doses.empty() ? std::vector<double>{1.0} : o.doses;
    for (size_t b = 0; b < rows.size(); ++b) {
        for (size_t a = 0; a < columns.size(); ++a) {
            const double v = values[b * xs.size() + a];
            const size_t p = static_cast<size_t>(rows[b]) * g.width + columns[a];
            for (double dose : doses) {
                const bool printed = darkShapes ? v * dose < o.threshold : v * dose >= o.threshold;
                band.everPrinted[p] |= printed;
                band.alwaysPrinted[p] &= printed;
            }
        }
    }
}

std::vector<double> bandAreas(const BandRaster& band, const std::vector<TileFrame>& tiles, double& total) {
    const RegionRaster& g = band.geometry;
    std::vector<double> areas(tiles.size(), 0.0);
    const double pixelArea = g.pitch * g.pitch;
    total = 0;
    for (int j = 0; j < g.height; ++j) {
        for (int i = 0; i < g.width; ++i) {
            const size_t p = static_cast<size_t>(j) * g.width + i;
            if (!band.everPrinted[p] || band.alwaysPrinted[p]) continue;
            areas[tileHolding(tiles, g.x(i), g.y(j))] += pixelArea;
            total += pixelArea;
        }
    }
    return areas;
}

RgbRaster verifyPicture(const RegionRaster& nominal, const BandRaster& band, const std::vector<DrawnEdge>& edges,
                        const std::vector<Hotspot>& hotspots) {
    const auto high = std::max_element(nominal.values.begin(), nominal.values.end());
    RgbRaster picture = greyPicture(nominal, high != nominal.values.end() && *high > 0 ? *high : 1);
    const RegionRaster& g = band.geometry;
    for (int j = 0; j < picture.height && j < g.height; ++j) {
        for (int i = 0; i < picture.width && i < g.width; ++i) {
            const size_t p = static_cast<size_t>(j) * g.width + i;
            if (band.everPrinted[p] && !band.alwaysPrinted[p]) picture.set(i, j, kBandColour);
        }
    }
    drawOutline(picture, nominal, edges, kOutlineColour);
    // EPE first, so that a pinch or a bridge at the same place shows on top.
    for (HotspotKind kind : {HotspotKind::kEpe, HotspotKind::kBridge, HotspotKind::kPinch}) {
        for (const Hotspot& h : hotspots) {
            if (h.kind != kind) continue;
            const PixelColour colour = kind == HotspotKind::kPinch    ? kPinchColour
                               : kind == HotspotKind::kBridge ? kBridgeColour
                                                              : kEpeColour;
            drawRing(picture, nominal, h.x, h.y, kind == HotspotKind::kEpe ? kHotspotRing - 2 : kHotspotRing, colour);
        }
    }
    return picture;
}

} // namespace aerial_tool
