#include "io/tile_manifest.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "io/study_manifest.h"

namespace aerial_tool {

namespace {

using nlohmann::json;

json boxJson(const Box2& b) { return json::array({b.x0, b.y0, b.x1, b.y1}); }

bool boxFrom(const json& j, Box2& b) {
    if (!j.is_array() || j.size() != 4) return false;
    for (const json& v : j)
        if (!v.is_number()) return false;
    b = {j[0].get<double>(), j[1].get<double>(), j[2].get<double>(), j[3].get<double>()};
    return true;
}

} // namespace

std::string manifestText(const TileManifest& m, const std::string& directory) {
    const Tiling& t = m.tiling;
    json tiles = json::array();
    for (const TileFrame& tile : t.tiles) {
        tiles.push_back({{"name", tile.name}, {"row", tile.row}, {"column", tile.column},
                         {"core", boxJson(tile.core)}, {"grid", boxJson(tile.grid)}, {"window", boxJson(tile.window)},
                         {"rectangles", tile.rects}});
    }
    json j = {{"layout", pathFromFolder(m.layout, directory)},
              {"layoutSha256", m.layoutSha256},
              {"cell", m.cell},
              {"layer", m.layer},
              {"shapes", m.dark ? "dark" : "clear"},
              {"unit", m.unit},
              {"exactUnit", m.exactUnit},
              {"region", boxJson(t.region)},
              {"core", t.core},
              {"halo", t.halo},
              {"haloRule", m.haloRule},
              {"gridSize", t.gridSize},
              {"samplePitch", t.samplePitch},
              {"columns", t.columns},
              {"rows", t.rows},
              {"tiles", tiles}};
    return j.dump(1) + "\n";
}

bool readManifest(const std::string& directory, TileManifest& m, std::string& error) {
    const std::filesystem::path path = std::filesystem::path(directory) / kTileManifestFileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path.string() + " is missing: cut the tiles first (aerial tile LAYOUT " + directory + " ...)";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    const json j = json::parse(text.str(), nullptr, false);
    m = TileManifest{};
    Tiling& t = m.tiling;
    try {
        if (j.is_discarded()) throw std::runtime_error("not JSON");
        m.layout = pathInFolder(j.at("layout").get<std::string>(), directory);
        m.layoutSha256 = j.at("layoutSha256").get<std::string>();
        m.cell = j.at("cell").get<std::string>();
        m.layer = j.at("layer").get<std::string>();
        m.dark = j.at("shapes").get<std::string>() == "dark";
        m.unit = j.at("unit").get<std::string>();
        m.exactUnit = j.at("exactUnit").get<double>();
        m.haloRule = j.value("haloRule", "");
        t.core = j.at("core").get<double>();
        t.halo = j.at("halo").get<double>();
        t.gridSize = j.at("gridSize").get<int>();
        t.samplePitch = j.at("samplePitch").get<double>();
        t.columns = j.at("columns").get<int>();
        t.rows = j.at("rows").get<int>();
        if (!boxFrom(j.at("region"), t.region)) throw std::runtime_error("region");
        for (const json& e : j.at("tiles")) {
            TileFrame tile;
            tile.name = e.at("name").get<std::string>();
            tile.row = e.at("row").get<int>();
            tile.column = e.at("column").get<int>();
            tile.rects = e.at("rectangles").get<int>();
            if (!boxFrom(e.at("core"), tile.core) || !boxFrom(e.at("grid"), tile.grid) ||
                !boxFrom(e.at("window"), tile.window))
                throw std::runtime_error("tile box");
            if (tile.name.empty() || tile.name.find('/') != std::string::npos || tile.name[0] == '.')
                throw std::runtime_error("tile name");
            t.tiles.push_back(tile);
        }
        if (t.tiles.size() != static_cast<size_t>(t.columns) * t.rows || t.gridSize < 1 || !(t.samplePitch > 0))
            throw std::runtime_error("tiling");
    } catch (const std::exception&) {
        error = path.string() + " is not a tiling this tool wrote (cut the tiles again)";
        return false;
    }
    return true;
}

} // namespace aerial_tool
