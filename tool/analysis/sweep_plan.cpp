#include "analysis/sweep_plan.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace aerial_tool {

namespace {

bool parseDouble(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

} // namespace

bool parseRange(const std::string& text, std::vector<double>& values, std::string& error) {
    const size_t a = text.find(':');
    const size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    double start, stop, step;
    if (b == std::string::npos || text.find(':', b + 1) != std::string::npos ||
        !parseDouble(text.substr(0, a), start) || !parseDouble(text.substr(a + 1, b - a - 1), stop) ||
        !parseDouble(text.substr(b + 1), step)) {
        error = "'" + text + "' is not START:STOP:STEP";
        return false;
    }
    if (step == 0 || (stop - start) * step < 0) {
        error = "step " + valueText(step) + " does not lead from " + valueText(start) + " to " + valueText(stop);
        return false;
    }
    const double count = std::floor((stop - start) / step + 1e-9) + 1;
    if (count > 1000) {
        error = "'" + text + "' gives more than 1000 values";
        return false;
    }
    values.clear();
    // Each value from the start and its index, not by repeated addition, so rounding
    // does not build up along the series; then through its short text, so 0.1 * 3 is 0.3.
    for (int i = 0; i < static_cast<int>(count); ++i) {
        double v = start + i * step;
        if (std::fabs(v) < std::fabs(step) * 1e-9) v = 0; // 0.3 - 3 * 0.1 is focus, not -5e-17
        values.push_back(std::strtod(valueText(v).c_str(), nullptr));
    }
    return true;
}

std::string valueText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.12g", value);
    std::string s = text;
    return s == "-0" ? "0" : s;
}


std::string memberFolderName(double defocus) { return "defocus_" + valueText(defocus); }

std::string sweepCsv(const std::vector<SweepRow>& rows) {
    std::string csv = "defocus,threshold,cd,feature,peak,contrast\n";
    auto number = [](double v) { return std::isfinite(v) ? valueText(v) : std::string(); };
    for (const SweepRow& r : rows) {
        csv += valueText(r.defocus) + "," + valueText(r.threshold) + "," + number(r.cd) + "," +
               r.feature + "," + number(r.peak) + "," + number(r.contrast) + "\n";
    }
    return csv;
}

} // namespace aerial_tool
