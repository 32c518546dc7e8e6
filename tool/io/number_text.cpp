#include "io/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace aerial_tool {

namespace {

std::string nonFinite(double value) { return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf"; }

template <typename... Format> std::string written(double value, Format... format) {
    if (!std::isfinite(value)) return nonFinite(value);
    if (value == 0) value = 0; // -0 as 0
    char text[400];            // room for the fixed form of the largest double
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, format...);
    if (r.ec != std::errc()) return nonFinite(NAN);
    std::string s(text, r.ptr);
    // A negative value rounded to zero ("-0.000") reads as zero.
    if (s.front() == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

bool readBack(const std::string& text, double& value) {
    return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

// A finite value as an integer of its shortest digits and the decimal exponent of the last
// of them: 0.193 is 193 and -3.
struct DecimalDigits {
    long long digits;
    int last;
};

DecimalDigits decimalDigits(double value) {
    const std::string scientific = written(value, std::chars_format::scientific);
    const size_t e = scientific.find('e');
    std::string digits;
    for (size_t k = 0; k < e; ++k)
        if (scientific[k] != '.') digits += scientific[k];
    const int exponent = std::stoi(scientific.substr(e + 1));
    return {std::stoll(digits), exponent - static_cast<int>(digits.size() - (digits[0] == '-' ? 2 : 1))};
}

} // namespace

std::string exactText(double value) { return written(value); }

std::string shortText(double value, int digits) { return written(value, std::chars_format::general, digits); }

std::string fixedText(double value, int decimals) { return written(value, std::chars_format::fixed, decimals); }

std::string percentText(double fraction) { return fixedText(fraction * 100, 2) + " %"; }

double roundedValue(double value, int digits) {
    double rounded = value;
    return std::isfinite(value) && readBack(shortText(value, digits), rounded) ? rounded : value;
}

double decimalShifted(double value, int power) {
    if (!std::isfinite(value) || value == 0 || power == 0) return value;
    // d.ddde±x: the digits as they are, the exponent moved.
    const std::string scientific = written(value, std::chars_format::scientific);
    const size_t e = scientific.find('e');
    const int exponent = std::stoi(scientific.substr(e + 1));
    double shifted = 0;
    // Beyond the doubles' range: infinity or zero, as the product gives it.
    if (!readBack(scientific.substr(0, e + 1) + std::to_string(exponent + power), shifted))
        return value * std::pow(10.0, power);
    return shifted;
}

double decimalMultiple(double value, long long k) {
    if (!std::isfinite(value) || value == 0 || k == 0) return value * static_cast<double>(k);
    constexpr long long kExact = 1LL << 53;
    const DecimalDigits d = decimalDigits(value);
    if (d.digits > kExact / (k < 0 ? -k : k) || d.digits < -kExact / (k < 0 ? -k : k))
        return value * static_cast<double>(k);
    double product = 0;
    const std::string text = std::to_string(d.digits * k) + "e" + std::to_string(d.last);
    return readBack(text, product) ? product : value * static_cast<double>(k);
}

double decimalSum(double a, double b) {
    if (!std::isfinite(a) || !std::isfinite(b) || a == 0 || b == 0) return a + b;
    const DecimalDigits x = decimalDigits(a), y = decimalDigits(b);
    const int last = std::min(x.last, y.last);
    // Both as counts of the finer place, within 2^53 so that the count is exact.
    constexpr long long kExact = 1LL << 53;
    auto count = [&](const DecimalDigits& d, long long& out) {
        out = d.digits;
        for (int k = last; k < d.last; ++k) {
            if (out > kExact / 10 || out < -kExact / 10) return false;
            out *= 10;
        }
        return true;
    };
    long long cx = 0, cy = 0;
    if (!count(x, cx) || !count(y, cy) || cx + cy > kExact || cx + cy < -kExact) return a + b;
    double sum = 0;
    const std::string text = std::to_string(cx + cy) + "e" + std::to_string(last);
    return readBack(text, sum) ? sum : a + b;
}

} // namespace aerial_tool
