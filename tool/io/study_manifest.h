// The manifest a study leaves in its folder: the command that ran it, the SHA-256 of each
// input it was made from, what it varied and the files it wrote. The report shows what a
// manifest lists, and only that, and tells from the hashes whether an input has changed
// since.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace aerial_tool {

inline constexpr const char* kStudyManifestFileName = "manifest.json";

struct StudyVariable {
    std::string name;   // "sigma", "mask.pitch"
    std::string values; // as given: "0.5,0.8", "-0.3:0.3:0.05"
    size_t count = 0;   // how many values that is
};

// A file the study's points were made from.
struct StudyInput {
    std::string file;   // relative to the study folder: "../IN_FM.txt", "../mask.json"
    std::string sha256; // of its bytes as the study read them, lower-case hex
};

struct StudyManifest {
    std::string study;              // the study folder's name: "sweep", "window"
    std::string command;            // the command line as typed, quoted for a shell
    std::vector<StudyInput> inputs; // the input file first
    std::vector<StudyVariable> variables;
    size_t points = 0;
    std::vector<std::string> files; // written, relative to the study folder
    std::string written;            // UTC, ISO 8601
};

// A path as a JSON file in `folder` writes it: relative to that folder, so that a copied or
// moved folder still points at its own files ("defocus_0", "../layout.gds"); absolute only
// when no relative path leads there (another drive).
std::string pathFromFolder(const std::string& path, const std::string& folder);

// A path read from a JSON file in `folder`, as the current directory reaches it: relative
// ones joined to the folder, absolute ones as they are.
std::string pathInFolder(const std::string& written, const std::string& folder);

// The SHA-256 of the bytes in lower-case hex, as sha256sum prints it.
std::string sha256Hex(std::string_view bytes);

// The current time in UTC as "2024-05-01T12:00:00Z".
std::string utcNow();

// The manifest as JSON text, and back. Reading ignores keys it does not know; false with a
// reason when the text is not a manifest (no study name, no inputs, no list of files) or
// names a file elsewhere than the study's folder (its files) or the folder above (its
// inputs, "../NAME").
std::string manifestJson(const StudyManifest& manifest);
bool parseManifest(std::string_view text, StudyManifest& manifest, std::string& error);

// Writes FOLDER/manifest.json. False with the system's reason.
bool writeStudyManifest(const std::string& folder, const StudyManifest& manifest, std::string& error);

// Reads FOLDER/manifest.json; false with a reason naming the file when it is missing or
// not a manifest.
bool readStudyManifest(const std::string& folder, StudyManifest& manifest, std::string& error);

// Removes the files FOLDER/manifest.json lists (plain names in FOLDER; the points' folders
// stay), then the manifest: a study about to write its files again makes the earlier
// study's figures untrue, also when the new one ends without any.
void removeEarlierStudy(const std::string& folder);

// What a report must say about a study before showing it, one sentence each: an input
// that has changed since the study ran (newer than the manifest), that is another file
// than the one it was made from (its bytes differ but it is not newer), or that cannot be
// read; and every listed file that is missing. Empty when the study stands.
std::vector<std::string> manifestProblems(const std::string& folder, const StudyManifest& manifest);

} // namespace aerial_tool
