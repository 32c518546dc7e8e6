#include "cli/mask_study.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "analysis/mask_error.h"
#include "io/picture_loader.h"
#include "io/study_outputs.h"
#include "analysis/run_pictures.h"
#include "io/csv_table.h"
#include "io/file_reason.h"
#include "io/input_edit.h"
#include "io/run_folder.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace fs = std::filesystem;

namespace {

// The first axis of that mask parameter, or -1.
int maskAxis(const Study& study, std::initializer_list<const char*> names) {
    for (size_t a = 0; a < study.axes.size(); ++a)
        for (const char* n : names)
            if (study.axes[a].maskParameter == n) return static_cast<int>(a);
    return -1;
}

// Rows grouped by everything but the axis x: the other axes and, when several, the threshold.
std::string groupLabel(const Study& study, const SweepRow& r, size_t x, bool manyThresholds) {
    std::string label;
    for (size_t a = 0; a < study.axes.size(); ++a) {
        if (a == x) continue;
        label += std::string(label.empty() ? "" : ", ") + axisName(study.axes[a]) + " " + exactText(r.values[a]);
    }
    if (manyThresholds || label.empty()) label += std::string(label.empty() ? "" : ", ") + "threshold " + exactText(r.threshold);
    return label;
}

BossungSeries& seriesOf(std::vector<BossungSeries>& all, const std::string& label) {
    for (BossungSeries& s : all)
        if (s.label == label) return s;
    all.push_back({label, {}, {}});
    return all.back();
}

// Points in the order of x, whatever order the values were given in.
void sortByX(std::vector<BossungSeries>& all) {
    for (BossungSeries& s : all) {
        std::vector<std::pair<double, double>> points;
        for (size_t k = 0; k < s.defocus.size(); ++k) points.push_back({s.defocus[k], s.cd[k]});
        std::stable_sort(points.begin(), points.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t k = 0; k < points.size(); ++k) {
            s.defocus[k] = points[k].first;
            s.cd[k] = points[k].second;
        }
    }
}

bool measured(const SweepRow& r) { return r.feature.status == FeatureStatus::kMeasured; }

// The mask CD of a point as drawn: the recipe's CD (for contacts the size along the
// measured CD) with the point's values of mask.cd and mask.bias.
double maskCdOf(const Study& study, const SweepRow& r, const CutChoice& choice) {
    const std::optional<MaskRecipe> recipe = pointRecipe(study, r.values);
    const PatternRequest& p = recipe->pattern;
    const bool alongY = choice.measure == Measure::kCdY || choice.axis == CutAxis::kY;
    return (p.kind == PatternKind::kContacts ? (alongY ? p.sizeY : p.sizeX) : p.cd) + p.bias;
}

} // namespace

bool checkMaskPoints(const Study& study) {
    std::map<std::string, std::vector<std::string>> notes;
    for (size_t p = 0; p < study.points.size(); ++p) {
        std::string bytes, error, warning;
        if (!pointInput(study, study.points[p].values, bytes, error, &warning)) {
            std::fprintf(stderr, "aerial: %s\n", error.c_str());
            return false;
        }
        if (!warning.empty()) notes[warning].push_back(study.points[p].folder);
    }
    for (const auto& [warning, folders] : notes) {
        std::string list;
        for (const std::string& f : folders) list += std::string(list.empty() ? "" : ", ") + f;
        std::fprintf(stderr,
                     "aerial: note: %s: %s, so the pattern breaks at the grid edge: not periodic on this grid, "
                     "not measured (--fit fits the sample pitch of each point)\n",
                     list.c_str(), warning.c_str());
    }
    return true;
}

int reportMaskStudy(const Study& study, const std::vector<SweepRow>& rows, bool manyThresholds,
                    const std::string& unit, bool bright, const CutChoice& choice, PictureFormat format,
                    bool quiet, std::vector<std::string>& written) {
    const std::string feature = std::string(bright ? "space" : "line") + " at " + exactText(choice.featureAt);
    const fs::path folder = study.folder;
    int status = 0;
    std::string error;
    const int pitch = maskAxis(study, {"mask.pitch"});
    const int width = maskAxis(study, {"mask.bias", "mask.cd"});
    if (pitch < 0 && width < 0) return 0;
    const PictureFunctions* draw = loadPictureFunctions(error);
    if (draw == nullptr) {
        std::fprintf(stderr, "aerial: %s\n", error.c_str());
        return 2;
    }
    // Titled with the folder and the conditions, the study's thresholds among them.
    const RunInput input = readRunInput(study.directory);
    std::vector<double> thresholds;
    for (const SweepRow& r : rows)
        if (std::find(thresholds.begin(), thresholds.end(), r.threshold) == thresholds.end())
            thresholds.push_back(r.threshold);
    auto plot = [&](std::vector<BossungSeries> series, const std::string& what, const std::string& x,
                    const std::string& y, const std::string& stem) {
        sortByX(series);
        const fs::path path = folder / (stem + pictureExtension(format));
        removePictures(folder.string(), stem);
        if (!draw->linePlot(series, studyPictureTitle(input, what, study.axes, thresholds), x, y, format,
                            path.string())) {
            std::fprintf(stderr, "aerial: %s: %s\n", path.c_str(), notWritable(path.string(), "the drawing failed").c_str());
            return false;
        }
        if (!quiet) std::printf("picture %s\n", path.c_str());
        written.push_back(path.filename().string());
        return true;
    };

    if (pitch >= 0) {
        std::vector<BossungSeries> cd, nils;
        for (const SweepRow& r : rows) {
            const std::string label = groupLabel(study, r, pitch, manyThresholds);
            BossungSeries& c = seriesOf(cd, label);
            BossungSeries& n = seriesOf(nils, label);
            c.defocus.push_back(r.values[pitch]);
            n.defocus.push_back(r.values[pitch]);
            c.cd.push_back(measured(r) ? r.feature.cd : NAN);
            n.cd.push_back(measured(r) ? (r.feature.left.nils + r.feature.right.nils) / 2 : NAN);
        }
        const std::string x = "pitch (" + unit + ")";
        if (!plot(cd, "CD of the " + feature + " through pitch", x, "CD (" + unit + ")", "cd_through_pitch") ||
            !plot(nils, "NILS of the " + feature + " through pitch (mean of its two edges)", x, "NILS",
                  "nils_through_pitch"))
            return 2;
    }

    if (width >= 0) {
        std::vector<std::string> labels;
        std::map<std::string, std::vector<CdPair>> pairs;
        for (const SweepRow& r : rows) {
            const std::string label = groupLabel(study, r, width, manyThresholds);
            if (!pairs.count(label)) labels.push_back(label);
            pairs[label].push_back({maskCdOf(study, r, choice), measured(r) ? r.feature.cd : NAN});
        }
        std::string csv = csvRecord({"group", "mask_cd", "wafer_cd", "meef_local", "meef_fitted"});
        std::vector<BossungSeries> series;
        for (const std::string& label : labels) {
            MaskErrorFactor f;
            if (!maskErrorFactor(pairs[label], f, error)) {
                std::fprintf(stderr, "aerial: %s: %s\n", label.c_str(), error.c_str());
                status = 1;
                continue;
            }
            const std::string text = shortText(f.fitted, 3);
            if (!quiet)
                std::printf("MEEF %s (%s): %s from %zu mask CDs, %s to %s %s\n", feature.c_str(), label.c_str(), text.c_str(),
                            f.used.size(), exactText(f.used.front().maskCd).c_str(),
                            exactText(f.used.back().maskCd).c_str(), unit.c_str());
            // The legend is narrow: the factor first, the group after it in short.
            std::string shortLabel = label;
            if (shortLabel.rfind("threshold ", 0) == 0) shortLabel = "T " + shortLabel.substr(10);
            BossungSeries s{std::string("MEEF ") + text + (labels.size() > 1 ? ", " + shortLabel : ""), {}, {}};
            for (size_t k = 0; k < f.used.size(); ++k) {
                s.defocus.push_back(f.used[k].maskCd);
                s.cd.push_back(f.used[k].waferCd);
                csv += csvRecord({label, exactText(f.used[k].maskCd), exactText(f.used[k].waferCd),
                                  exactText(f.local[k]), exactText(f.fitted)});
            }
            series.push_back(s);
        }
        const fs::path csvPath = folder / kMeefTableFileName;
        if (!writeFileBytes(csvPath.string(), csv, error)) {
            std::fprintf(stderr, "aerial: %s: cannot write: %s\n", csvPath.c_str(), error.c_str());
            return 2;
        }
        written.push_back(csvPath.filename().string());
        if (!series.empty() &&
            !plot(series, "Printed CD of the " + feature + " against the mask CD (MEEF: the slope)",
                  "mask CD (" + unit + ")", "wafer CD (" + unit + ")", "meef"))
            return 2;
    }
    return status;
}

} // namespace aerial_tool
