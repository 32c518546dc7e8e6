#include "output/format_number.h"
#include "state/precision_guard.h"

#if !defined(__SIZEOF_INT128__)
#include <charconv>
#endif
#include <cmath>
#include <cstdint>
#include <cstring>

namespace aerial {

namespace {

#if defined(__SIZEOF_INT128__)
constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The common case, the magnitudes of every table cell and label below 1.8e13, by exact
// integer arithmetic: a double is m * 2^e, so value * 10^6 = (m * 10^6) * 2^e is rounded
// to an integer q, to nearest with ties to even, from its exact binary expansion; q then
// prints as q / 10^6, a point and q % 10^6 in six digits. Returns 0 when the value is
// outside that range. Compilers without 128-bit integers use the standard library's
// conversion instead.
std::size_t formatExactly(double value, char* out) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0x7FF) return 0; // infinities and NaNs
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int e = (biased == 0 ? 1 : biased) - 1075;

    std::uint64_t q;
    if (m == 0) {
        q = 0;
    } else if (e >= 0) {
        if (e > 10) return 0; // m * 2^e could exceed 2^63
        std::uint64_t whole = m << e;
        if (whole > UINT64_MAX / 1000000) return 0;
        q = whole * 1000000;
    } else {
        const unsigned shift = static_cast<unsigned>(-e);
        const unsigned __int128 scaled = static_cast<unsigned __int128>(m) * 1000000u;
        if (shift >= 128) {
            q = 0; // scaled < 2^73, so the value is far below half a unit of the sixth decimal
        } else {
            const unsigned __int128 quotient = scaled >> shift;
            if ((quotient >> 64) != 0) return 0;
            q = static_cast<std::uint64_t>(quotient);
            const unsigned __int128 remainder = scaled - (quotient << shift);
            const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
            // Without branches: the rounding direction of table cells is unpredictable.
            q += static_cast<std::uint64_t>((remainder > half) | ((remainder == half) & ((q & 1) != 0)));
        }
    }

    std::uint64_t whole = q / 1000000;
    const std::uint32_t decimals = static_cast<std::uint32_t>(q % 1000000);
    // %f keeps the sign of values that print as zero. Written always, kept when negative.
    out[0] = '-';
    std::size_t length = negative ? 1 : 0;
    if (whole < 10) {
        out[length++] = static_cast<char>('0' + whole);
    } else {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        while (count > 0) out[length++] = digits[--count];
    }
    out[length++] = '.';
    // Six decimals as three pairs of digits.
    std::memcpy(out + length, kDigitPairs + 2 * (decimals / 10000), 2);
    std::memcpy(out + length + 2, kDigitPairs + 2 * (decimals / 100 % 100), 2);
    std::memcpy(out + length + 4, kDigitPairs + 2 * (decimals % 100), 2);
    return length + 6;
}

// Every other finite value, by the same arithmetic on a wide integer: value * 10^6 rounded
// as above is (m * 10^6) * 2^e exactly when e >= 0; when e < 0 the value is below 2^53, so
// the rounded product fits 128 bits. Its decimal digits come from repeated division by
// 10^9; the last six are the decimals.
std::size_t formatWide(double value, char* out) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int e = (biased == 0 ? 1 : biased) - 1075;

    // value * 10^6 in 32-bit limbs, least significant first: below 2^(73 + 971).
    constexpr int kLimbs = 34;
    std::uint32_t limbs[kLimbs] = {};
    unsigned __int128 scaled = static_cast<unsigned __int128>(m) * 1000000u;
    int shift = 0;
    if (e < 0) {
        const unsigned right = static_cast<unsigned>(-e);
        if (right >= 128) {
            scaled = 0;
        } else {
            const unsigned __int128 quotient = scaled >> right;
            const unsigned __int128 remainder = scaled - (quotient << right);
            const unsigned __int128 half = static_cast<unsigned __int128>(1) << (right - 1);
            scaled = quotient + ((remainder > half) | ((remainder == half) & ((quotient & 1) != 0)));
        }
    } else {
        shift = e;
    }
    const int limbShift = shift / 32;
    const int bitShift = shift % 32;
    for (int i = 0; i < 4 && limbShift + i < kLimbs; ++i) {
        const std::uint64_t part = static_cast<std::uint32_t>(scaled >> (32 * i));
        const std::uint64_t moved = part << bitShift;
        limbs[limbShift + i] |= static_cast<std::uint32_t>(moved);
        if (limbShift + i + 1 < kLimbs) limbs[limbShift + i + 1] |= static_cast<std::uint32_t>(moved >> 32);
    }

    // Groups of nine digits, least significant first.
    char digits[kNumberTextCapacity];
    int count = 0;
    int top = kLimbs - 1;
    while (top > 0 && limbs[top] == 0) --top;
    do {
        std::uint64_t remainder = 0;
        for (int i = top; i >= 0; --i) {
            const std::uint64_t current = (remainder << 32) | limbs[i];
            limbs[i] = static_cast<std::uint32_t>(current / 1000000000u);
            remainder = current % 1000000000u;
        }
        while (top > 0 && limbs[top] == 0) --top;
        for (int d = 0; d < 9; ++d) {
            digits[count++] = static_cast<char>('0' + remainder % 10);
            remainder /= 10;
        }
    } while (top > 0 || limbs[0] != 0);
    while (count > 7 && digits[count - 1] == '0') --count; // leading zeros, keeping "0.xxxxxx"

    std::size_t length = 0;
    if (negative) out[length++] = '-';
    for (int i = count - 1; i >= 6; --i) out[length++] = digits[i];
    out[length++] = '.';
    for (int i = 5; i >= 0; --i) out[length++] = digits[i];
    return length;
}
#endif

std::size_t formatNonFinite(double value, char* out) {
    // The C library's words, with the sign bit kept for NaNs too.
    const char* text = std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan")
                                         : (value < 0 ? "-inf" : "inf");
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return length;
}

} // namespace

std::size_t formatFixed6At(double value, char* out) {
    if (!std::isfinite(value)) return formatNonFinite(value, out);
#if defined(__SIZEOF_INT128__)
    if (std::size_t length = formatExactly(value, out)) return length;
    return formatWide(value, out);
#else
    std::to_chars_result result =
        std::to_chars(out, out + kNumberTextCapacity, value, std::chars_format::fixed, 6);
    return static_cast<std::size_t>(result.ptr - out);
#endif
}

std::size_t formatFixed6(double value, char (&out)[kNumberTextCapacity]) {
    return formatFixed6At(value, out);
}

} // namespace aerial
