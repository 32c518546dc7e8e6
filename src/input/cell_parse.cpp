#include "input/cell_parse.h"

#include <climits>
#include <cstdlib>

#include <locale.h>

namespace aerial {

namespace {

// The "C" locale of the C library's isspace: space, \t, \n, \v, \f, \r.
bool isCSpace(char ch) {
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

} // namespace

ParsedInt parseIntPrefix(const char* text) {
    const char* p = text;
    while (isCSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // Accumulate towards the sign's own limit so INT_MIN is reachable without overflow.
    long long value = 0;
    const char* digits = p;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (p == digits) return {0, 0};
    const int consumed = static_cast<int>(p - text);
    if (negative) return {value > INT_MAX ? INT_MIN : -static_cast<int>(value), consumed};
    return {value > INT_MAX ? INT_MAX : static_cast<int>(value), consumed};
}

ParsedReal parseRealPrefix(const char* text) {
    char* end = nullptr;
#if defined(_WIN32)
    static _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
    const double value = _strtod_l(text, &end, cLocale);
#else
    // glibc hands out its built-in C locale object here; nothing is allocated.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const double value = strtod_l(text, &end, cLocale);
#endif
    return {value, static_cast<int>(end - text)};
}

} // namespace aerial
