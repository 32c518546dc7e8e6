#include "analysis/option_values.h"

#include <cmath>
#include <cstdio>

#include "analysis/sweep_plan.h"
#include "input/cell_parse.h"

namespace aerial_tool {

namespace {

// The field with one comma that reads whole with the comma taken for a point, or empty.
std::string commaField(const std::string& field) {
    const size_t comma = field.find(',');
    if (comma == std::string::npos || field.find(',', comma + 1) != std::string::npos) return "";
    std::string pointed = field;
    pointed[comma] = '.';
    double ignored = 0;
    return readNumber(pointed, ignored) ? field : "";
}

std::string got(const std::string& text) { return ", got '" + text + "'" + decimalCommaHint(text); }

// A finite number meeting `fits`, else the reason "must be <what>, got 'TEXT'".
template <typename Fits>
bool parseKind(const std::string& text, double& value, std::string& error, const char* what, Fits fits) {
    double v = 0;
    if (!readNumber(text, v) || !fits(v)) {
        error = std::string("must be ") + what + got(text);
        return false;
    }
    value = v;
    return true;
}

} // namespace

bool readNumber(const std::string& text, double& value) {
    if (text.empty() || text.find('\0') != std::string::npos) return false;
    const aerial::ParsedReal read = aerial::parseRealPrefix(text.c_str());
    if (read.consumed == 0 || static_cast<size_t>(read.consumed) != text.size() || !std::isfinite(read.value))
        return false;
    value = read.value;
    return true;
}

std::string decimalCommaHint(const std::string& text) {
    size_t from = 0;
    while (true) {
        const size_t colon = text.find(':', from);
        const std::string field = commaField(text.substr(from, colon == std::string::npos ? std::string::npos : colon - from));
        if (!field.empty()) {
            std::string pointed = field;
            pointed[pointed.find(',')] = '.';
            return " (the decimal separator is the point: write " + pointed + " for " + field + ")";
        }
        if (colon == std::string::npos) return "";
        from = colon + 1;
    }
}

std::string listCommaNote(const std::string& text) {
    if (text.find(':') != std::string::npos || commaField(text).empty()) return "";
    const size_t comma = text.find(',');
    return "'" + text + "' is read as the two values " + text.substr(0, comma) + " and " + text.substr(comma + 1) +
           decimalCommaHint(text);
}

bool parseThreshold(const std::string& text, double& value, std::string& error) {
    return parseKind(text, value, error, "a finite intensity above 0", [](double v) { return v > 0; });
}

bool parseDose(const std::string& text, double& value, std::string& error) {
    return parseKind(text, value, error, "a finite relative dose above 0", [](double v) { return v > 0; });
}

bool parseSigma(const std::string& text, double& value, std::string& error) {
    return parseKind(text, value, error, "a partial coherence from 0 to 1", [](double v) { return v >= 0 && v <= 1; });
}

bool parseFraction(const std::string& text, double& value, std::string& error) {
    return parseKind(text, value, error, "a fraction above 0 and below 1", [](double v) { return v > 0 && v < 1; });
}

bool parseLength(const std::string& text, double& value, std::string& error) {
    return parseKind(text, value, error, "a finite distance", [](double) { return true; });
}

bool parsePositiveLength(const std::string& text, double& value, std::string& error) {
    return parseKind(text, value, error, "a finite distance above 0", [](double v) { return v > 0; });
}

bool parsePositiveNumber(const std::string& text, double& value, std::string& error) {
    return parseKind(text, value, error, "a finite number above 0", [](double v) { return v > 0; });
}

bool parseWholeNumber(const std::string& text, int lo, int hi, int& value, std::string& error) {
    const aerial::ParsedInt read = aerial::parseIntPrefix(text.c_str());
    const bool digits = !text.empty() && text.find_first_not_of("+-0123456789") == std::string::npos;
    if (!digits || static_cast<size_t>(read.consumed) != text.size() || read.value < lo || read.value > hi) {
        error = "must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) + got(text);
        return false;
    }
    value = read.value;
    return true;
}

bool parseTransmission(const std::string& text, double& re, double& im, std::string& error) {
    const size_t comma = text.find(',');
    double r = 0, i = 0;
    if (comma == std::string::npos || !readNumber(text.substr(0, comma), r) || !readNumber(text.substr(comma + 1), i)) {
        error = "must be RE,IM, two finite numbers (e.g. -0.245,0), got '" + text + "'";
        return false;
    }
    if (std::hypot(r, i) > 1) {
        const std::string imText = text.substr(comma + 1);
        const std::string sum = imText[0] == '-' ? " - " + imText.substr(1) : " + " + imText;
        error = "'" + text + "' is " + text.substr(0, comma) + sum +
                "i, above 1 in magnitude: no passive mask transmits more light than it receives" +
                decimalCommaHint(text);
        return false;
    }
    re = r;
    im = i;
    return true;
}

bool parseBox(const std::string& text, double box[4], std::string& error) {
    double read[4];
    size_t from = 0;
    for (int k = 0; k < 4; ++k) {
        const size_t comma = text.find(',', from);
        const bool last = k == 3;
        if ((comma == std::string::npos) != last ||
            !readNumber(text.substr(from, last ? std::string::npos : comma - from), read[k])) {
            error = "must be X0,Y0,X1,Y1, four finite numbers (e.g. 0,0,1.28,1.28), got '" + text + "'";
            return false;
        }
        from = comma + 1;
    }
    for (int k = 0; k < 4; ++k) box[k] = read[k];
    return true;
}

bool parseDoseList(const std::string& text, std::vector<double>& values, std::string& error) {
    std::vector<double> read;
    if (!parseValues(text, read, error)) return false;
    for (double v : read) {
        if (!(v > 0)) {
            error = "'" + text + "': every relative dose must lie above 0" + decimalCommaHint(text);
            return false;
        }
    }
    values = read;
    return true;
}

bool parseLengthList(const std::string& text, std::vector<double>& values, std::string& error) {
    return parseValues(text, values, error);
}

} // namespace aerial_tool
