#include "cli/verify_command.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

#include "analysis/engine_pool.h"
#include "analysis/layout_verification.h"
#include "analysis/tile_runs.h"
#include "io/file_reason.h"
#include "io/input_edit.h"
#include "io/input_writer.h"
#include "io/picture_loader.h"
#include "io/csv_table.h"
#include "io/number_text.h"
#include "io/tile_manifest.h"

namespace aerial_tool {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "aerial verify: %s\n", message.c_str());
    return 2;
}

// A length in verify.csv: exact, or "none" where nothing was measured.
std::string cell(double value) { return std::isfinite(value) ? exactText(value) : "none"; }

// A length as the summary prints it.
std::string shown(double value) { return std::isfinite(value) ? fixedText(value, 6) : "none"; }

json number(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

} // namespace

int verifyTiledLayout(const VerifyCommandOptions& o) {
    const auto start = std::chrono::steady_clock::now();
    TileManifest manifest;
    std::string error;
    double unit = 0;
    if (!readFinishedTiling(o.directory, manifest, unit, error)) return fail(error);
    const std::vector<TileFrame>& tiles = manifest.tiling.tiles;

    std::vector<TileImage> images(tiles.size());
    for (size_t t = 0; t < tiles.size(); ++t)
        if (!readTileImage(o.directory, tiles[t], images[t], error)) return fail(error);
    auto input = std::make_unique<aerial::InputValues>();
    if (!readTileInput(o.directory, tiles[0], *input, error)) return fail(error);
    VerifyOptions options = verifyDefaults(unit, input->wavelength, input->numericalAperture);
    options.threshold = o.threshold;
    options.foci = o.foci;
    options.doses = o.doses;
    if (o.epeLimit) options.epeLimit = *o.epeLimit;
    if (o.minWidth) options.minWidth = *o.minWidth;
    if (o.minSpace) options.minSpace = *o.minSpace;
    if (o.siteSpacing) options.siteSpacing = *o.siteSpacing;

    DrawnLayout drawn;
    if (!drawnLayout(o.directory, manifest, drawn, error)) return fail(error);
    std::vector<EpeSite> sites = placeSites(drawn.edges, options.siteSpacing, options.cornerClearance);
    measureSites(sites, tiles, images, manifest.dark, options, poolThreadCount(o.jobs));
    const std::vector<Hotspot> hotspots = findHotspots(sites, options);

    // The band: the nominal focus at every dose, then each focus corner, run here.
    BandRaster band;
    if (!bandRaster(manifest.tiling.region, options.pixel, band, error)) return fail(error);
    RegionRaster nominal;
    if (!regionRaster(manifest.tiling.region, options.pixel, nominal, error)) return fail(error);
    for (size_t t = 0; t < tiles.size(); ++t) {
        addCorner(band, tiles[t], images[t], manifest.dark, options);
        stitchTile(tiles[t], images[t], nominal);
    }
    std::vector<PoolFailure> failures;
    if (!o.foci.empty()) {
        std::mutex lock;
        const size_t batch = 64;
        std::vector<std::pair<size_t, double>> corners;
        for (size_t t = 0; t < tiles.size(); ++t)
            for (double focus : o.foci) corners.push_back({t, focus});
        for (size_t begin = 0; begin < corners.size(); begin += batch) {
            const size_t end = std::min(corners.size(), begin + batch);
            std::vector<aerial::InputValues> inputs(end - begin);
            for (size_t k = begin; k < end; ++k) {
                if (!readTileInput(o.directory, tiles[corners[k].first], inputs[k - begin], error)) return fail(error);
                inputs[k - begin].defocus = corners[k].second;
            }
            std::vector<PoolFailure> some =
                runInParallel(inputs, o.jobs, [&](size_t index, const aerial::SimulationResult& result) {
                    const size_t t = corners[begin + index].first;
                    TileImage image;
                    std::string why;
                    if (!tileImageFrom(tiles[t], inputs[index], result.intensity, image, why))
                        throw std::runtime_error(why);
                    std::lock_guard<std::mutex> guard(lock);
                    addCorner(band, tiles[t], image, manifest.dark, options);
                });
            for (PoolFailure& f : some) failures.push_back({begin + f.index, f.message});
        }
    }
    if (!failures.empty())
        return fail("a focus corner of " + tiles[failures[0].index / o.foci.size()].name +
                    " did not run: " + failures[0].message);
    double totalBand = 0;
    const std::vector<double> tileBands = bandAreas(band, tiles, totalBand);

    // The files.
    const fs::path dir(o.directory);
    {
        std::string out = csvRecord({"x", "y", "normal_x", "normal_y", "tile", "status", "epe", "printed_width", "printed_space",
                          "epe_hotspot", "pinch", "bridge"});
        for (const EpeSite& s : sites) {
            const bool epeHot = s.status != SiteStatus::kMeasured || std::fabs(s.epe) > options.epeLimit;
            out += csvRecord({cell(s.x), cell(s.y), exactText(s.nx), exactText(s.ny), tiles[s.tile].name,
                              siteStatusName(s.status), s.status == SiteStatus::kMeasured ? cell(s.epe) : "none",
                              cell(s.width), cell(s.space), epeHot ? "yes" : "no",
                              s.width < options.minWidth ? "yes" : "no", s.space < options.minSpace ? "yes" : "no"});
        }
        const std::string path = (dir / "verify.csv").string();
        if (!writeFileBytes(path, out, error)) return fail(path + ": cannot write: " + error);
    }
    double worst = 0, sum = 0, sumSquares = 0;
    size_t measured = 0;
    for (const EpeSite& s : sites) {
        if (s.status != SiteStatus::kMeasured) continue;
        ++measured;
        worst = std::max(worst, std::fabs(s.epe));
        sum += s.epe;
        sumSquares += s.epe * s.epe;
    }
    size_t counts[3] = {0, 0, 0};
    json hotspotList = json::array();
    for (const Hotspot& h : hotspots) {
        ++counts[static_cast<int>(h.kind)];
        hotspotList.push_back({{"kind", hotspotKindName(h.kind)}, {"x", h.x}, {"y", h.y},
                               {h.kind == HotspotKind::kEpe      ? "largestAbsEpe"
                                : h.kind == HotspotKind::kPinch ? "smallestWidth"
                                                                : "smallestSpace",
                                number(h.value)},
                               {"sites", h.sites}});
    }
    json tileList = json::array();
    for (size_t t = 0; t < tiles.size(); ++t) tileList.push_back({{"name", tiles[t].name}, {"bandArea", tileBands[t]}});
    const json report = {
        {"unit", manifest.unit},
        {"threshold", options.threshold},
        {"foci", o.foci},
        {"doses", o.doses.empty() ? std::vector<double>{1.0} : o.doses},
        {"corners", "the tiles' own focus and every focus given, each at every dose"},
        {"sites", {{"count", sites.size()},
                   {"measured", measured},
                   {"spacing", options.siteSpacing},
                   {"cornerClearance", options.cornerClearance},
                   {"largestAbsEpe", measured ? json(worst) : json(nullptr)},
                   {"meanEpe", measured ? json(sum / measured) : json(nullptr)},
                   {"rmsEpe", measured ? json(std::sqrt(sumSquares / measured)) : json(nullptr)},
                   {"epe", "signed distance from the drawn edge to the printed contour along the edge's outward "
                           "normal, at the tiles' own focus and dose 1"}}},
        {"limits", {{"epe", options.epeLimit}, {"minWidth", options.minWidth}, {"minSpace", options.minSpace}}},
        {"band", {{"total", totalBand}, {"pixel", options.pixel}, {"tiles", tileList}}},
        {"hotspots", {{"epe", counts[0]}, {"pinch", counts[1]}, {"bridge", counts[2]}, {"list", hotspotList}}}};
    {
        const std::string path = (dir / "verify.json").string();
        if (!writeFileBytes(path, report.dump(1) + "\n", error)) return fail(path + ": cannot write: " + error);
    }
    const RgbRaster picture = verifyPicture(nominal, band, drawn.edges, hotspots);
    const PictureFunctions* draw = loadPictureFunctions(error);
    if (draw == nullptr) return fail(error);
    if (!draw->rgbPng(picture.rgb, picture.width, picture.height, (dir / "verify.png").string()))
        return fail((dir / "verify.png").string() + ": " + notWritable((dir / "verify.png").string()));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!o.quiet) {
        std::printf("%s: %zu EPE sites (%zu measured), largest |EPE| %s %s; PV band %s %s^2 over %zu corners; "
                    "hotspots: %zu EPE, %zu pinch, %zu bridge (%s s)\n",
                    (dir / "verify.json").string().c_str(), sites.size(), measured, shown(worst).c_str(),
                    manifest.unit.c_str(), shown(totalBand).c_str(), manifest.unit.c_str(),
                    (1 + o.foci.size()) * (o.doses.empty() ? 1 : o.doses.size()), counts[0], counts[1], counts[2],
                    fixedText(seconds, 1).c_str());
        for (const Hotspot& h : hotspots)
            if (h.kind != HotspotKind::kEpe)
                std::printf("  %s at (%s, %s): %s %s\n", hotspotKindName(h.kind), shown(h.x).c_str(), shown(h.y).c_str(),
                            h.kind == HotspotKind::kPinch ? "printed width" : "printed space", shown(h.value).c_str());
    }
    return 0;
}

} // namespace aerial_tool
