#include "cli/sweep_command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <thread>

#include "analysis/metrics.h"
#include "analysis/sweep_plan.h"
#include "io/input_edit.h"
#include "io/input_folder.h"
#include "io/picture_loader.h"
#include "io/result_table.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

constexpr int kDefocusLine = 9;
constexpr int kValueColumn = 2;

std::string selfPath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("aerial") : self.string();
}

std::string shellQuoted(const std::string& s) {
    bool plain = !s.empty();
    for (char ch : s) plain = plain && (std::isalnum(static_cast<unsigned char>(ch)) || std::strchr("/._-+=:,", ch));
    if (plain) return s;
    std::string out = "'";
    for (char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

std::vector<std::string> runArguments(const std::string& self, const std::string& folder,
                                      const std::string& library) {
    std::vector<std::string> args = {self, "run", "-q", folder};
    if (!library.empty()) {
        args.push_back("--library");
        args.push_back(library);
    }
    return args;
}

pid_t start(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// main4 keeps its state per process and must never run twice at once in one, so every
// member is its own process; at most `jobs` of them run at a time.
int runAll(const std::vector<std::vector<std::string>>& commands, int jobs) {
    std::map<pid_t, size_t> running;
    size_t next = 0;
    int failures = 0;
    while (next < commands.size() || !running.empty()) {
        while (next < commands.size() && static_cast<int>(running.size()) < jobs) {
            pid_t pid = start(commands[next]);
            if (pid < 0) {
                std::fprintf(stderr, "aerial: cannot start a run for %s\n", commands[next][3].c_str());
                ++failures;
            } else {
                running[pid] = next;
            }
            ++next;
        }
        if (running.empty()) continue;
        int status = 0;
        pid_t done = waitpid(-1, &status, 0);
        if (done < 0) break;
        auto it = running.find(done);
        if (it == running.end()) continue;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "aerial: the run in %s failed\n", commands[it->second][3].c_str());
            ++failures;
        }
        running.erase(it);
    }
    return failures;
}

std::string cellText(const std::string& bytes, int line, int column) {
    std::istringstream in(bytes);
    std::string text;
    for (int k = 0; k <= line && std::getline(in, text); ++k) {}
    for (int k = 0; k < column; ++k) {
        const size_t tab = text.find('\t');
        if (tab == std::string::npos) return "";
        text.erase(0, tab + 1);
    }
    return text.substr(0, text.find_first_of("\t\r"));
}

// What follows the leading number of a cell when white space sets it off.
std::string unitAfterNumber(const std::string& cell) {
    size_t p = cell.find_first_not_of(" \t");
    if (p == std::string::npos) return "";
    p = cell.find_first_of(" \t", p);
    return p == std::string::npos ? "" : cell.substr(p);
}

} // namespace

int runSweep(const SweepOptions& options) {
    const fs::path dir = options.directory;
    const fs::path input = dir / "IN_FM.txt";
    std::ifstream in(input, std::ios::binary);
    std::error_code ec;
    if (!in || !fs::is_regular_file(input, ec)) {
        std::fprintf(stderr, "aerial: %s: not a readable file\n", input.c_str());
        return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string bytes = text.str();

    std::vector<double> values;
    std::string error;
    if (!parseRange(options.defocus, values, error)) {
        std::fprintf(stderr, "aerial: --defocus %s\n", error.c_str());
        return 2;
    }
    const fs::path sweepDir = dir / "sweep";
    std::vector<fs::path> folders;
    for (double v : values) folders.push_back(sweepDir / memberFolderName(v));

    // A unit written after the number in the same cell ("0 um") stays.
    const std::string unitSuffix = unitAfterNumber(cellText(bytes, kDefocusLine, kValueColumn));
    if (!options.noRun) {
        for (size_t k = 0; k < values.size(); ++k) {
            std::string member;
            if (!replaceCell(bytes, kDefocusLine, kValueColumn, valueText(values[k]) + unitSuffix, member)) {
                std::fprintf(stderr, "aerial: %s has no defocus cell (line 9, column 2)\n", input.c_str());
                return 2;
            }
            fs::create_directories(folders[k], ec);
            std::ofstream out(folders[k] / "IN_FM.txt", std::ios::binary | std::ios::trunc);
            out << member;
            if (!out) {
                std::fprintf(stderr, "aerial: %s: cannot write\n", (folders[k] / "IN_FM.txt").c_str());
                return 2;
            }
        }
    }

    const std::string self = selfPath();
    std::vector<std::vector<std::string>> commands;
    for (const fs::path& f : folders) commands.push_back(runArguments(self, f.string(), options.libraryPath));
    if (options.printCommands) {
        for (const auto& args : commands) {
            std::string line;
            for (const std::string& a : args) {
                if (!line.empty()) line += ' ';
                line += shellQuoted(a);
            }
            std::printf("%s\n", line.c_str());
        }
        return 0;
    }

    int failures = 0;
    if (!options.noRun) {
        int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
        failures = runAll(commands, jobs > 0 ? jobs : 1);
    }

    // The CD is the width of the run through the grid centre, along X at y = 0: the
    // feature a mask centred on the grid prints there.
    std::vector<double> thresholds = options.thresholds.empty() ? std::vector<double>{0.3} : options.thresholds;
    std::vector<SweepRow> rows;
    std::vector<BossungSeries> curves;
    for (double t : thresholds) curves.push_back({"threshold " + valueText(t), {}, {}});
    for (size_t k = 0; k < values.size(); ++k) {
        ResultTableData table;
        if (!readResultTable((folders[k] / "OUT_M.xls").string(), table, error)) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            ++failures;
            continue;
        }
        const Profile profile = cutProfile(table, CutAxis::kX, table.size / 2);
        for (size_t i = 0; i < thresholds.size(); ++i) {
            CutMetrics m = measureProfile(profile, thresholds[i]);
            const Run* run = runAt(m, 0.0);
            double cd = run && run->bounded ? run->width() : std::numeric_limits<double>::quiet_NaN();
            rows.push_back({values[k], thresholds[i], cd, run ? (run->bright ? "bright" : "dark") : "",
                            m.peak, m.contrast});
            curves[i].defocus.push_back(values[k]);
            curves[i].cd.push_back(cd);
        }
    }
    const std::string csv = sweepCsv(rows);
    std::ofstream(sweepDir / "bossung.csv", std::ios::binary | std::ios::trunc) << csv;
    const std::string unit = lengthUnitOf(options.directory);
    const PictureFunctions* draw = loadPictureFunctions(error);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    draw->linePlot(curves, "Bossung: CD through focus", "defocus (" + unit + ")",
                   "CD (" + unit + ")", (sweepDir / "bossung.png").string());
    std::printf("%s", csv.c_str());
    std::printf("table %s, picture %s\n", (sweepDir / "bossung.csv").c_str(),
                (sweepDir / "bossung.png").c_str());
    return failures == 0 ? 0 : 1;
}

} // namespace aerial_tool
