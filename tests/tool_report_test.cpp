// What the report is made of: the CSV tables studies write and the report reads, the
// manifest that says what a study wrote and from which input, the text of the input as a
// page or a terminal shows it, and the sections built from a study folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/report_content.h"
#include "io/csv_table.h"
#include "io/study_manifest.h"
#include "test_support.h"

using namespace aerial_tool;
using aerial_test::ScratchFolder;
using aerial_test::writeFile;

namespace fs = std::filesystem;

namespace {

std::string joined(const std::vector<std::string>& parts) {
    std::string all;
    for (const std::string& p : parts) all += "[" + p + "]";
    return all;
}

bool anyHas(const std::vector<std::string>& list, const std::string& part) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return s.find(part) != std::string::npos; });
}

} // namespace

TEST(CsvTable, ReadsWhatRfc4180Allows) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> columns;
        std::vector<std::vector<std::string>> rows;
    };
    const Case cases[] = {
        {"plain, LF", "a,b\n1,2\n3,4\n", {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
        {"CR LF and no last line end", "a,b\r\n1,2\r\n3,4", {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
        {"a quoted comma: a mask study's label", "group,cd\n\"pitch 0.3, bias 0.01\",0.1\n",
         {"group", "cd"}, {{"pitch 0.3, bias 0.01", "0.1"}}},
        {"a doubled quote and a line break inside quotes", "a,b\n\"say \"\"hi\"\"\",\"two\nlines\"\n",
         {"a", "b"}, {{"say \"hi\"", "two\nlines"}}},
        {"empty fields, quoted and not", "a,b,c\n,\"\",x\n", {"a", "b", "c"}, {{"", "", "x"}}},
        {"blank lines hold no record", "a\n\n1\n\n", {"a"}, {{"1"}}},
        {"a quote inside an unquoted field is text", "a\nx\"y\n", {"a"}, {{"x\"y"}}},
    };
    for (const Case& c : cases) {
        CsvTable t;
        std::string error;
        ASSERT_TRUE(parseCsv(c.text, t, error)) << c.what << ": " << error;
        EXPECT_EQ(t.columns, c.columns) << c.what;
        EXPECT_EQ(t.rows, c.rows) << c.what;
    }
}

TEST(CsvTable, RefusesBrokenTablesNamingTheRecord) {
    struct Case {
        const char* what;
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"a quote left open", "a,b\n1,\"2\n", "a quote is left open"},
        {"text after a closing quote", "a,b\n1,\"2\"x\n", "record 1: text after the closing quote of field 2"},
        {"a record longer than the header", "a,b\n1,2\n1,2,3\n", "record 2 has 3 fields, the header 2"},
        {"a record shorter than the header: a comma split a label", "a,b,c\n1,2\n", "record 1 has 2 fields"},
        {"nothing at all", "", "no header row"},
    };
    for (const Case& c : cases) {
        CsvTable t;
        std::string error;
        EXPECT_FALSE(parseCsv(c.text, t, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
}

TEST(CsvTable, WritesWhatItReadsBack) {
    CsvTable t;
    t.columns = {"group", "mask.cd", "note"};
    t.rows = {{"pitch 0.3, bias 0.01", "0.1", "plain"},
              {"say \"hi\"", "-0.05", "two\nlines"},
              {" leading space", "", "trailing space "},
              {"", "", ""}};
    const std::string text = csvText(t);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "group,mask.cd,note\n"); // plain names stay plain
    CsvTable back;
    std::string error;
    ASSERT_TRUE(parseCsv(text, back, error)) << error << "\n" << text;
    EXPECT_EQ(back.columns, t.columns);
    EXPECT_EQ(back.rows, t.rows) << text;
    // A table of one column keeps its empty records.
    CsvTable single{{"x"}, {{""}, {"1"}}};
    ASSERT_TRUE(parseCsv(csvText(single), back, error)) << error;
    EXPECT_EQ(back.rows, single.rows) << csvText(single);
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("0.25"), "0.25");
}

TEST(StudyManifest, HashesAsSha256AndReadsBackWhatItWrote) {
    // FIPS 180-2, appendix B.1.
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    StudyManifest m;
    m.study = "sweep";
    m.command = "aerial sweep 'my run' --vary sigma=0.5,0.8";
    m.inputs = {{"../IN_FM.txt", sha256Hex("abc")}, {"../mask.json", sha256Hex("")}};
    m.variables = {{"sigma", "0.5,0.8", 2}, {"defocus", "-0.1:0.1:0.05", 5}};
    m.points = 10;
    m.files = {"results.csv", "bossung.png"};
    m.written = "2024-05-01T12:00:00Z";
    StudyManifest back;
    std::string error;
    ASSERT_TRUE(parseManifest(manifestJson(m), back, error)) << error;
    EXPECT_EQ(back.study, m.study);
    EXPECT_EQ(back.command, m.command);
    ASSERT_EQ(back.inputs.size(), 2u);
    EXPECT_EQ(back.inputs[1].file, "../mask.json");
    EXPECT_EQ(back.inputs[0].sha256, m.inputs[0].sha256);
    ASSERT_EQ(back.variables.size(), 2u);
    EXPECT_EQ(back.variables[1].values, "-0.1:0.1:0.05");
    EXPECT_EQ(back.variables[1].count, 5u);
    EXPECT_EQ(back.points, 10u);
    EXPECT_EQ(back.files, m.files);
    EXPECT_EQ(back.written, m.written);

    // Keys of a later version are ignored; what is not a manifest is refused.
    EXPECT_TRUE(parseManifest(R"({"study": "window", "inputs": [{"file": "../IN_FM.txt", "sha256": "00"}],
                                   "files": [], "refined": {"dof": 0.15}})",
                              back, error))
        << error;
    for (const char* text : {"[]", "{", R"({"study": "sweep", "files": []})",
                             R"({"study": "sweep", "inputs": [{"file": "../IN_FM.txt"}], "files": []})"})
        EXPECT_FALSE(parseManifest(text, back, error)) << text;

    // A manifest names the study's own files and the inputs beside its folder, nothing
    // else: a copied folder's manifest must not have the report read, or embed in a PDF
    // handed on, a file from elsewhere (nor hang on reading a device).
    struct Elsewhere {
        const char* input;
        const char* files;
        const char* error;
    };
    const Elsewhere elsewhere[] = {
        {"../IN_FM.txt", R"(["../../home/me/secret.csv"])", "not in the study's folder: '../../home/me/secret.csv'"},
        {"../IN_FM.txt", R"(["/etc/passwd.csv"])", "not in the study's folder"},
        {"../IN_FM.txt", R"(["points/OUT_M.png"])", "not in the study's folder"},
        {"../IN_FM.txt", R"([".."])", "not in the study's folder"},
        {"/dev/zero", "[]", "not a file beside the study's folder: '/dev/zero'"},
        {"../../IN_FM.txt", "[]", "not a file beside the study's folder"},
        {"IN_FM.txt", "[]", "not a file beside the study's folder"},
    };
    for (const Elsewhere& e : elsewhere) {
        const std::string text = std::string(R"({"study": "sweep", "inputs": [{"file": ")") + e.input +
                                 R"(", "sha256": "00"}], "files": )" + e.files + "}";
        EXPECT_FALSE(parseManifest(text, back, error)) << text;
        EXPECT_NE(error.find(e.error), std::string::npos) << text << ": " << error;
    }
}

TEST(StudyManifest, SaysWhatNoLongerStands) {
    ScratchFolder scratch;
    fs::create_directory("sweep");
    writeFile("IN_FM.txt", "the input");
    writeFile("sweep/results.csv", "a\n1\n");
    StudyManifest m;
    m.study = "sweep";
    m.inputs = {{"../IN_FM.txt", sha256Hex("the input")}};
    m.files = {"results.csv"};
    std::string error;
    ASSERT_TRUE(writeStudyManifest("sweep", m, error)) << error;
    const auto manifestTime = fs::last_write_time("sweep/manifest.json");
    EXPECT_TRUE(manifestProblems("sweep", m).empty()) << joined(manifestProblems("sweep", m));

    // The input edited after the study: the study is older than it.
    writeFile("IN_FM.txt", "the input, edited");
    fs::last_write_time("IN_FM.txt", manifestTime + std::chrono::seconds(5));
    std::vector<std::string> problems = manifestProblems("sweep", m);
    ASSERT_EQ(problems.size(), 1u) << joined(problems);
    EXPECT_NE(problems[0].find("older than ../IN_FM.txt"), std::string::npos) << problems[0];
    // Another input put in its place, older than the study: made from another input.
    fs::last_write_time("IN_FM.txt", manifestTime - std::chrono::hours(24));
    problems = manifestProblems("sweep", m);
    ASSERT_EQ(problems.size(), 1u) << joined(problems);
    EXPECT_NE(problems[0].find("made from another input than ../IN_FM.txt"), std::string::npos) << problems[0];
    // The same bytes again: it stands, whatever the file's time.
    writeFile("IN_FM.txt", "the input");
    EXPECT_TRUE(manifestProblems("sweep", m).empty()) << joined(manifestProblems("sweep", m));

    // A listed file gone, the input gone.
    fs::remove("sweep/results.csv");
    fs::remove("IN_FM.txt");
    problems = manifestProblems("sweep", m);
    EXPECT_TRUE(anyHas(problems, "results.csv is listed but missing")) << joined(problems);
    EXPECT_TRUE(anyHas(problems, "which cannot be read now")) << joined(problems);

    // A study that writes its files again takes the earlier one's away first: the files its
    // manifest lists, then the manifest; a file it does not list stays.
    writeFile("sweep/results.csv", "a\n1\n");
    writeFile("sweep/notes.txt", "mine");
    ASSERT_TRUE(writeStudyManifest("sweep", m, error)) << error;
    removeEarlierStudy("sweep");
    EXPECT_FALSE(fs::exists("sweep/results.csv"));
    EXPECT_TRUE(fs::exists("sweep/notes.txt"));
    EXPECT_FALSE(readStudyManifest("sweep", m, error));
    EXPECT_NE(error.find("manifest.json"), std::string::npos) << error;
}

namespace {

// The tables of a section, by title.
const ReportTable* tableTitled(const ReportSection& s, const std::string& title) {
    for (const ReportBlock& b : s.blocks)
        for (const ReportTable& t : b.tables)
            if (t.title == title) return &t;
    return nullptr;
}

std::vector<std::string> picturesOf(const ReportSection& s) {
    std::vector<std::string> out;
    for (const ReportBlock& b : s.blocks)
        for (const std::string& p : b.pictures) out.push_back(fs::path(p).filename().string());
    return out;
}

std::string linesOf(const ReportSection& s, LineStyle style) {
    std::string out;
    for (const ReportBlock& b : s.blocks)
        for (const ReportLine& l : b.lines)
            if (l.style == style) out += l.text + "\n";
    return out;
}

std::string cellOf(const ReportTable& t, const std::string& first, size_t column) {
    for (const auto& row : t.rows)
        if (!row.empty() && row[0] == first && column < row.size()) return row[column];
    return "(no row " + first + ")";
}

} // namespace

// Study folders as studies leave them, with the columns and keys a later version may add:
// the report shows what the manifest lists, as tables, whatever else the folder holds.
TEST(ReportContent, ShowsWhatTheManifestListsAsTables) {
    ScratchFolder scratch;
    fs::create_directory("sweep");
    writeFile("sweep/results.csv",
              "sigma,defocus,effective_sigma,threshold,cd,status,refined_dof,label\n"
              "0.5,-0.1,0.428888888889,0.36,0.0812345678,measured,0.15,\"a, b\"\n"
              "0.5,0,0.428888888889,0.36,not printed,not printed,none,c\n");
    writeFile("sweep/bossung.png", "");
    writeFile("sweep/cd_through_pitch.png", ""); // an earlier study's, not listed
    StudyManifest m;
    m.study = "sweep";
    m.command = "aerial sweep . --vary sigma=0.5 --defocus -0.1:0:0.1";
    m.inputs = {{"../IN_FM.txt", sha256Hex("x")}};
    m.variables = {{"sigma", "0.5", 1}, {"defocus", "-0.1:0:0.1", 2}};
    m.points = 2;
    m.files = {"results.csv", "bossung.png"};
    const StudyContent sweep = studyContent("sweep", "sweep", m, {"older than ../IN_FM.txt: ..."}, "um");
    EXPECT_NE(linesOf(sweep.section, LineStyle::kAlert).find("sweep/: older than ../IN_FM.txt"), std::string::npos);
    EXPECT_NE(linesOf(sweep.section, LineStyle::kCode).find(m.command), std::string::npos);
    const ReportTable* points = tableTitled(sweep.section, "The points (results.csv)");
    ASSERT_NE(points, nullptr);
    const std::vector<std::string> columns = {"sigma", "defocus", "effective sigma", "threshold", "CD (um)",
                                              "status", "refined dof", "label"};
    EXPECT_EQ(points->columns, columns);
    ASSERT_EQ(points->rows.size(), 2u);
    const std::vector<std::string> first = {"0.5", "-0.1", "0.428889", "0.36", "0.0812346", "measured", "0.15", "a, b"};
    EXPECT_EQ(points->rows[0], first);
    EXPECT_EQ(points->rows[1][4], "not printed");
    EXPECT_EQ(picturesOf(sweep.section), std::vector<std::string>{"bossung.png"});

    // A window: its figures from window.json, keys it does not know left aside.
    fs::create_directory("window");
    writeFile("window/window.json", R"({"target_cd": 0.1, "tolerance": 0.1, "t0": 0.3, "best_focus": 0,
        "dose_to_size": 0.826332, "max_el": 0.13521, "length_unit": "um", "feature": "bright",
        "feature_at": 0, "status": "sampled", "refined": {"dof": 0.41},
        "dof_at_el": [{"el": 0.05, "dof": 0.3}, {"el": 0.1, "dof": 0.2}],
        "windows": [{"el": 0, "dof": 0.4, "focus_min": -0.2, "focus_max": 0.2, "dose_min": 0.866586,
                     "dose_max": 0.888361, "open_end": false, "status": "sampled"}],
        "foci": [{"focus": -0.3, "status": "in tolerance at no dose", "dose_to_size": null,
                  "dose_min": null, "dose_max": null, "el": null}]})");
    writeFile("window/fem.csv", "focus,dose,threshold,cd,status\n-0.3,0.8,0.375,0.09,measured\n"
                                "-0.3,0.9,0.333333,0.11,measured\n0,0.8,0.375,merged,merged\n");
    StudyManifest w = m;
    w.study = "window";
    w.files = {"fem.csv", "window.json"};
    const StudyContent window = studyContent("window", "window", w, {}, "um");
    EXPECT_EQ(linesOf(window.section, LineStyle::kAlert), "");
    ASSERT_TRUE(window.t0);
    EXPECT_EQ(*window.t0, 0.3);
    const ReportTable* summary = tableTitled(window.section, "The window");
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(cellOf(*summary, "best focus", 1), "0 um");
    EXPECT_EQ(cellOf(*summary, "max EL", 1), "13.52 %");
    EXPECT_EQ(cellOf(*summary, "DOF at EL 5 %", 1), "0.3 um");
    EXPECT_EQ(cellOf(*summary, "DOF at EL 10 %", 1), "0.2 um");
    // Dose to size E prints at threshold T0 / E = 0.3 / 0.826332 = 0.363050.
    EXPECT_EQ(cellOf(*summary, "dose to size", 1), "0.826332 (threshold 0.36305)");
    const ReportTable* eldof = tableTitled(window.section, "Exposure latitude against depth of focus");
    ASSERT_NE(eldof, nullptr);
    EXPECT_EQ(cellOf(*eldof, "0.00 %", 1), "0.4");
    const ReportTable* fem = tableTitled(window.section, "CD (um) through focus and dose (fem.csv)");
    ASSERT_NE(fem, nullptr);
    const std::vector<std::string> femColumns = {"focus \\ dose", "0.8", "0.9"};
    EXPECT_EQ(fem->columns, femColumns);
    EXPECT_EQ(cellOf(*fem, "-0.3", 2), "0.11");
    EXPECT_EQ(cellOf(*fem, "0", 1), "merged");
    EXPECT_EQ(cellOf(*fem, "0", 2), ""); // not sampled

    // A listed file that cannot be read is said in red in its place.
    fs::remove("window/window.json");
    writeFile("window/window.json", "{ cut short");
    const StudyContent broken = studyContent("window", "window", w, {}, "um");
    EXPECT_NE(linesOf(broken.section, LineStyle::kAlert).find("window/window.json: not a window summary"),
              std::string::npos);
}

// The pages as the PDF writer lays them out: a table of 200 rows runs on over the pages
// (A3 is 842 points tall and a row of 10-point type needs more than 8.4, a hundredth of
// it, so 200 rows need more than two pages besides the first); the file is a whole PDF.
TEST(ReportPdf, ALongTableRunsOnOverThePages) {
    ScratchFolder scratch;
    ReportDocument d;
    d.title = "a long table";
    d.front = {"a long table", {headingBlock("Notes"), linesBlock({{"one line", LineStyle::kPlain},
                                                                 {"in red", LineStyle::kAlert}})}};
    ReportTable t;
    t.title = "Points";
    t.columns = {"k", "value"};
    t.numeric = {true, false};
    for (int k = 0; k < 200; ++k) t.rows.push_back({std::to_string(k), "row " + std::to_string(k)});
    t.notes = {"a note under the last rows"};
    d.sections.push_back({"study/", {linesBlock({{"aerial sweep . --vary sigma=0.5", LineStyle::kCode}}),
                                     tablesBlock({t}), picturesBlock({"missing.png"})}});
    int pages = 0;
    std::string error;
    ASSERT_TRUE(writeReportPdf(d, "report.pdf", pages, error)) << error;
    EXPECT_GE(pages, 4);
    const std::string bytes = aerial_test::readFile("report.pdf");
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(bytes.find("%%EOF"), std::string::npos);
    EXPECT_FALSE(writeReportPdf(d, "no/such/folder/report.pdf", pages, error));
    EXPECT_FALSE(error.empty());
}
