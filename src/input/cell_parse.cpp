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

int parseIntCell(const char* text) {
    const char* p = text;
    while (isCSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // Accumulate towards the sign's own limit so INT_MIN is reachable without overflow.
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return value > INT_MAX ? INT_MIN : -static_cast<int>(value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

double parseRealCell(const char* text) {
#if defined(_WIN32)
    static _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(text, nullptr, cLocale);
#else
    // glibc hands out its built-in C locale object here; nothing is allocated.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(text, nullptr, cLocale);
#endif
}

} // namespace aerial
