#include "analysis/sweep_plan.h"

#include "analysis/option_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "io/csv_table.h"
#include "io/number_text.h"

namespace aerial_tool {

namespace {

constexpr int kMaxValues = 1000;
constexpr size_t kMaxPoints = 10000;

bool parseDouble(const std::string& text, double& value) { return readNumber(text, value); }

// Through the short text, so that 0.1 * 3 is the 0.3 a user writes.
double shortValue(double v) { return roundedValue(v, 12); }

} // namespace

bool parseRange(const std::string& text, std::vector<double>& values, std::string& error, bool* missedStop) {
    const size_t a = text.find(':');
    const size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    double start, stop, step;
    if (b == std::string::npos || text.find(':', b + 1) != std::string::npos ||
        !parseDouble(text.substr(0, a), start) || !parseDouble(text.substr(a + 1, b - a - 1), stop) ||
        !parseDouble(text.substr(b + 1), step)) {
        error = "'" + text + "' is not START:STOP:STEP" + decimalCommaHint(text);
        return false;
    }
    if (!(step > 0)) {
        error = "'" + text + "': the step must be above zero";
        return false;
    }
    if (stop < start) {
        error = "'" + text + "': STOP lies below START";
        return false;
    }
    const double steps = std::floor((stop - start) / step + 1e-9);
    if (steps + 1 > kMaxValues) {
        error = "'" + text + "' gives more than 1000 values";
        return false;
    }
    values.clear();
    // Each value from the start and its index, not by repeated addition, so rounding
    // does not build up along the series.
    for (int i = 0; i <= static_cast<int>(steps); ++i) {
        double v = start + i * step;
        if (std::fabs(v) < step * 1e-9) v = 0; // 0.3 - 3 * 0.1 is 0, not -5e-17
        values.push_back(shortValue(v));
    }
    if (missedStop) *missedStop = std::fabs(start + steps * step - stop) > step * 1e-9;
    return true;
}

bool parseValues(const std::string& text, std::vector<double>& values, std::string& error, bool* missedStop) {
    if (text.find(':') != std::string::npos) return parseRange(text, values, error, missedStop);
    if (missedStop) *missedStop = false;
    values.clear();
    size_t from = 0;
    while (true) {
        const size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        double v;
        if (!parseDouble(item, v)) {
            error = "'" + text + "' is neither START:STOP:STEP nor a list of numbers V1,V2,..." + decimalCommaHint(text);
            return false;
        }
        v = shortValue(v);
        for (double seen : values) {
            if (seen == v) {
                error = "'" + text + "' names " + exactText(v) + " twice";
                return false;
            }
        }
        values.push_back(v);
        if (values.size() > kMaxValues) {
            error = "'" + text + "' gives more than 1000 values";
            return false;
        }
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return true;
}

std::string variableNames() {
    std::string names;
    for (const aerial::ParameterCell& cell : aerial::kParameterCells) {
        if (cell.kind != aerial::CellKind::kReal) continue;
        if (!names.empty()) names += ", ";
        names += cell.name;
    }
    return names;
}

bool parseVary(const std::string& text, SweepAxis& axis, std::string& error) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) {
        error = "--vary '" + text + "' is not NAME=START:STOP:STEP or NAME=V1,V2,...";
        return false;
    }
    const std::string name = text.substr(0, eq);
    const aerial::ParameterCell* cell = aerial::findParameter(name);
    const bool mask = name == "mask.pitch" || name == "mask.cd" || name == "mask.bias";
    if (cell == nullptr && !mask) {
        error = "--vary: unknown parameter '" + name + "' (one of: " + variableNames() +
                "; of a folder made by aerial mask also mask.pitch, mask.cd, mask.bias)";
        return false;
    }
    if (mask) {
        axis.cell = nullptr;
        axis.maskParameter = name;
        axis.valuesText = text.substr(eq + 1);
        std::string why;
        if (!parseValues(axis.valuesText, axis.values, why, &axis.missedStop)) {
            error = "--vary " + name + ": " + why;
            return false;
        }
        axis.note = listCommaNote(axis.valuesText);
        return true;
    }
    if (cell->kind != aerial::CellKind::kReal) {
        error = "--vary: '" + name + "' is a whole number of the input's layout, not an optical parameter (one of: " +
                variableNames() + ")";
        return false;
    }
    axis.cell = cell;
    axis.valuesText = text.substr(eq + 1);
    std::string why;
    if (!parseValues(axis.valuesText, axis.values, why, &axis.missedStop)) {
        error = "--vary " + name + ": " + why;
        return false;
    }
    axis.note = listCommaNote(axis.valuesText);
    return true;
}

bool checkAxes(const std::vector<SweepAxis>& axes, std::string& error) {
    size_t points = 1;
    for (size_t i = 0; i < axes.size(); ++i) {
        for (size_t k = 0; k < i; ++k) {
            if (axisName(axes[k]) == axisName(axes[i])) {
                error = std::string("'").append(axisName(axes[i])).append("' is varied twice");
                return false;
            }
        }
        points *= axes[i].values.size();
        if (points > kMaxPoints) {
            error = "the study would have more than 10000 points";
            return false;
        }
    }
    return true;
}

std::vector<SweepPoint> sweepPoints(const std::vector<SweepAxis>& axes) {
    std::vector<SweepPoint> points(1);
    for (const SweepAxis& axis : axes) {
        std::vector<SweepPoint> grown;
        for (const SweepPoint& p : points) {
            for (double v : axis.values) {
                SweepPoint q = p;
                q.values.push_back(v);
                if (!q.folder.empty()) q.folder += '_';
                q.folder.append(axisName(axis)).append("_").append(exactText(v));
                grown.push_back(q);
            }
        }
        points = grown;
    }
    return axes.empty() ? std::vector<SweepPoint>{} : points;
}

bool variesSourceRounding(const std::vector<SweepAxis>& axes) {
    using aerial::ParameterId;
    for (const SweepAxis& axis : axes) {
        if (axis.cell == nullptr) continue; // the mask: N and the sample pitch stay fixed
        switch (axis.cell->id) {
        case ParameterId::kSigma:
        case ParameterId::kNumericalAperture:
        case ParameterId::kWavelength:
        case ParameterId::kSamplePitch: return true;
        default: break;
        }
    }
    return false;
}

std::string resultsCsv(const std::vector<SweepAxis>& axes, bool withEffectiveSigma, Measure measure,
                       const std::vector<SweepRow>& rows) {
    const bool area = measureIsArea(measure);
    std::vector<std::string> header;
    for (const SweepAxis& axis : axes) header.push_back(axisName(axis));
    if (withEffectiveSigma) header.push_back("effective_sigma");
    for (const char* name : {"threshold", measure == Measure::kCdY ? "cd_y" : "cd", "status", "left_slope", "left_nils",
                             "right_slope", "right_nils", "contrast", "peak", "minimum"})
        header.push_back(name);
    if (area) header.insert(header.end(), {"area", "area_status"});
    header.push_back("image");
    std::string csv = csvRecord(header);
    for (const SweepRow& r : rows) {
        std::vector<std::string> record;
        for (double v : r.values) record.push_back(exactText(v));
        if (withEffectiveSigma) record.push_back(r.effectiveSigma ? exactText(*r.effectiveSigma) : "none");
        const FeatureMetrics& f = r.feature;
        const bool measured = f.status == FeatureStatus::kMeasured;
        const std::string status = statusText(f.status);
        auto cell = [&](double v) { return measured ? exactText(v) : status; };
        // A point not measured at all has no contrast either.
        auto whole = [&](double v) { return !imageMeasured(f.status) ? status : exactText(v); };
        record.insert(record.end(), {exactText(r.threshold), cell(f.cd), status, cell(f.left.slope),
                                     cell(f.left.nils), cell(f.right.slope), cell(f.right.nils), whole(f.contrast),
                                     whole(f.peak), whole(f.minimum)});
        if (area) {
            const std::string areaStatus = statusText(figureStatus(f, measure));
            record.push_back(figureStatus(f, measure) == FeatureStatus::kMeasured ? exactText(figureOf(f, measure))
                                                                                   : areaStatus);
            record.push_back(areaStatus);
        }
        record.push_back(!imageMeasured(f.status) ? status : std::string(f.sampled ? "sampled" : "continuous"));
        csv += csvRecord(record);
    }
    return csv;
}

std::string axisName(const SweepAxis& axis) { return axis.cell != nullptr ? axis.cell->name : axis.maskParameter; }

bool axisIsLength(const SweepAxis& axis) { return axis.cell != nullptr ? axis.cell->isLength : true; }

} // namespace aerial_tool
