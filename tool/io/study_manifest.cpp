#include "io/study_manifest.h"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "io/input_edit.h"
#include "io/file_reason.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

using json = nlohmann::ordered_json;

// The start of a hash, enough to tell two inputs apart on a page.
std::string shortHash(const std::string& hex) { return hex.substr(0, 12) + "..."; }

bool readBytes(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return !in.bad();
}

std::string textAt(const json& j, const char* key) {
    return j.is_object() && j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
}

// A file name alone: no folder, not "." or "..".
bool plainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

// What a study writes is in its folder, and what it is made from one folder up: a manifest
// naming any other file (a copied folder's, say "../../home/me/notes.csv" or
// "/dev/zero") would have a report read it, or embed it in a PDF handed on.
bool inStudyFolder(const std::string& file) { return plainName(file); }
bool besideStudyFolder(const std::string& file) { return file.rfind("../", 0) == 0 && plainName(file.substr(3)); }

} // namespace

std::string sha256Hex(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (uint8_t byte : digest) {
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    return out;
}

std::string pathFromFolder(const std::string& path, const std::string& folder) {
    const fs::path target = fs::absolute(path).lexically_normal();
    const fs::path relative = target.lexically_relative(fs::absolute(folder).lexically_normal());
    return relative.empty() ? target.string() : relative.string();
}

std::string pathInFolder(const std::string& written, const std::string& folder) {
    const fs::path p(written);
    if (p.is_absolute()) return written;
    std::string joined = (fs::path(folder) / p).lexically_normal().string();
    // "w/." is the folder "w" itself.
    if (joined.size() > 1 && joined.back() == '/') joined.pop_back();
    return joined;
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string manifestJson(const StudyManifest& m) {
    json inputs = json::array();
    for (const StudyInput& i : m.inputs) inputs.push_back({{"file", i.file}, {"sha256", i.sha256}});
    json variables = json::array();
    for (const StudyVariable& v : m.variables)
        variables.push_back({{"name", v.name}, {"values", v.values}, {"count", v.count}});
    const json out = {{"study", m.study},         {"command", m.command}, {"inputs", inputs},
                      {"variables", variables},   {"points", m.points},   {"files", m.files},
                      {"written", m.written}};
    // A command line may hold bytes that are not UTF-8: they are replaced, not refused.
    return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool parseManifest(std::string_view text, StudyManifest& m, std::string& error) {
    const json in = json::parse(text, nullptr, false);
    m = StudyManifest{};
    if (in.is_discarded() || !in.is_object()) {
        error = "not JSON";
        return false;
    }
    m.study = textAt(in, "study");
    if (m.study.empty() || !in.contains("inputs") || !in["inputs"].is_array() || in["inputs"].empty() ||
        !in.contains("files") || !in["files"].is_array()) {
        error = "not a study manifest (it needs a study, its inputs and its files)";
        return false;
    }
    for (const json& i : in["inputs"]) {
        StudyInput input{textAt(i, "file"), textAt(i, "sha256")};
        if (input.file.empty() || input.sha256.empty()) {
            error = "an input without its file or its sha256";
            return false;
        }
        if (!besideStudyFolder(input.file)) {
            error = "an input that is not a file beside the study's folder: '" + input.file + "'";
            return false;
        }
        m.inputs.push_back(input);
    }
    m.command = textAt(in, "command");
    m.written = textAt(in, "written");
    if (in.contains("points") && in["points"].is_number_unsigned()) m.points = in["points"].get<size_t>();
    for (const json& f : in["files"]) {
        if (!f.is_string()) continue;
        if (!inStudyFolder(f.get<std::string>())) {
            error = "a file that is not in the study's folder: '" + f.get<std::string>() + "'";
            return false;
        }
        m.files.push_back(f.get<std::string>());
    }
    if (in.contains("variables") && in["variables"].is_array()) {
        for (const json& v : in["variables"]) {
            StudyVariable variable{textAt(v, "name"), textAt(v, "values"), 0};
            if (v.is_object() && v.contains("count") && v["count"].is_number_unsigned())
                variable.count = v["count"].get<size_t>();
            m.variables.push_back(variable);
        }
    }
    return true;
}

bool writeStudyManifest(const std::string& folder, const StudyManifest& m, std::string& error) {
    const fs::path path = fs::path(folder) / kStudyManifestFileName;
    if (writeFileBytes(path.string(), manifestJson(m), error)) return true;
    error = path.string() + ": cannot write: " + error;
    return false;
}

bool readStudyManifest(const std::string& folder, StudyManifest& m, std::string& error) {
    const fs::path path = fs::path(folder) / kStudyManifestFileName;
    std::string text;
    if (!readBytes(path, text)) {
        error = path.string() + ": " + notReadable(path.string());
        return false;
    }
    if (!parseManifest(text, m, error)) {
        error = path.string() + ": " + error;
        return false;
    }
    return true;
}

void removeEarlierStudy(const std::string& folder) {
    std::error_code ec;
    StudyManifest earlier;
    std::string error;
    if (readStudyManifest(folder, earlier, error)) {
        for (const std::string& name : earlier.files) {
            const fs::path file(name);
            // Only a file the study wrote beside the manifest: never a path out of the folder.
            if (name.empty() || file.has_parent_path() || name == "." || name == ".." || name == kStudyManifestFileName)
                continue;
            if (fs::is_regular_file(fs::path(folder) / file, ec)) fs::remove(fs::path(folder) / file, ec);
        }
    }
    fs::remove(fs::path(folder) / kStudyManifestFileName, ec);
}

std::vector<std::string> manifestProblems(const std::string& folder, const StudyManifest& m) {
    std::vector<std::string> problems;
    std::error_code ec;
    const fs::path manifestPath = fs::path(folder) / kStudyManifestFileName;
    const fs::file_time_type recorded = fs::last_write_time(manifestPath, ec);
    const bool recordedKnown = !ec;
    for (const StudyInput& input : m.inputs) {
        const fs::path path = fs::path(folder) / input.file;
        std::string bytes;
        if (!fs::is_regular_file(path, ec) || !readBytes(path, bytes)) {
            problems.push_back("made from " + input.file + ", which cannot be read now");
            continue;
        }
        const std::string now = sha256Hex(bytes);
        if (now == input.sha256) continue;
        const std::string hashes = " (SHA-256 " + shortHash(input.sha256) + " then, " + shortHash(now) + " now)";
        const fs::file_time_type changed = fs::last_write_time(path, ec);
        if (recordedKnown && !ec && changed > recorded)
            problems.push_back("older than " + input.file + ": the input has changed since the study ran" + hashes +
                               "; run the study again");
        else
            problems.push_back("made from another input than " + input.file + hashes + "; run the study again");
    }
    for (const std::string& f : m.files)
        if (!fs::is_regular_file(fs::path(folder) / f, ec)) problems.push_back(f + " is listed but missing");
    return problems;
}

} // namespace aerial_tool
