#include "input/cell_parse.h"
#include "state/precision_guard.h"

#include <atomic>
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

namespace {

// The C locale object, made at the first parse and kept for the process. Not a
// function-local static, whose guard would tie the library to the C++ runtime for this
// one object, and not made at load time, when the library runs no code.
#if defined(_WIN32)
using LocaleHandle = _locale_t;
LocaleHandle makeCLocale() { return _create_locale(LC_NUMERIC, "C"); }
void dropLocale(LocaleHandle locale) { _free_locale(locale); }
#else
using LocaleHandle = locale_t;
// glibc hands out its built-in C locale object here; nothing is allocated.
LocaleHandle makeCLocale() { return newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0)); }
void dropLocale(LocaleHandle locale) { freelocale(locale); }
#endif

std::atomic<LocaleHandle> cLocale{nullptr};

LocaleHandle theCLocale() {
    LocaleHandle locale = cLocale.load(std::memory_order_acquire);
    if (locale != nullptr) return locale;
    LocaleHandle made = makeCLocale();
    // Two threads parsing for the first time at once: one object is kept, the other freed.
    if (!cLocale.compare_exchange_strong(locale, made, std::memory_order_acq_rel)) {
        dropLocale(made);
        return locale;
    }
    return made;
}

} // namespace

ParsedReal parseRealPrefix(const char* text) {
    char* end = nullptr;
#if defined(_WIN32)
    const double value = _strtod_l(text, &end, theCLocale());
#else
    const double value = strtod_l(text, &end, theCLocale());
#endif
    return {value, static_cast<int>(end - text)};
}

} // namespace aerial
