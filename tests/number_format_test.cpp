#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "output/format_number.h"
#include "test_support.h"

namespace {

std::string formatted(double value) {
    char text[aerial::kNumberTextCapacity];
    std::size_t length = aerial::formatFixed6(value, text);
    return std::string(text, length);
}

// The standard library's general conversion, a second reference beside the C library.
std::string toChars(double value) {
    char text[aerial::kNumberTextCapacity];
    std::to_chars_result result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return std::string(text, result.ptr);
}

std::string cLibrary(double value) {
    char text[aerial::kNumberTextCapacity];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

} // namespace

TEST(NumberFormat, MatchesTheCLibraryOnAwkwardValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {
        0.0, -0.0, 1.0, -1.0, 0.1, 0.2, 0.3, 0.0078125, -0.0078125, 0.0000005, 0.0000015,
        0.0000025, 0.0000035, 0.0000045, 0.5000005, 2.0000025, 18446744073709.551, 1.8e13,
        1.9e13, 9007199254740992.0, 4503599627370496.5, 1e18, 9.3e18, 2e19, 1099511627776.0, -0.0000005, 2.5e-7, -2.5e-7, 1e-300, -1e-300, 4.9e-324,
        -4.9e-324, 0.4999995, 1.0000005, 123456.7890125, 3.14159265358979, -3.14159265358979,
        0.785398163397448, 1e15 + 0.5, 9007199254740993.0, 1e22, 1e246, -1e246, 1e300, DBL_MAX,
        -DBL_MAX, DBL_MIN, inf, -inf, nan, -nan};
    for (double v : values) EXPECT_EQ(formatted(v), cLibrary(v)) << "value " << v;
}

TEST(NumberFormat, MatchesTheCLibraryOnManyFractions) {
    // Multiples of 2^-20 hit every kind of tie and near-tie at the sixth decimal.
    for (int i = -5000; i <= 5000; ++i) {
        double v = i / 1048576.0 + i;
        ASSERT_EQ(formatted(v), cLibrary(v)) << v;
    }
}

TEST(NumberFormat, MatchesTheCLibraryOnRandomBitPatterns) {
    // Every exponent from tiny to beyond the exact integer path, with random mantissas.
    std::uint64_t state = 12345;
    for (int i = 0; i < 300000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const std::uint64_t exponent = 900 + (state >> 33) % 240; // about 1e-37 .. 1e34
        const std::uint64_t bits = (state & 0x800FFFFFFFFFFFFFull) | (exponent << 52);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        ASSERT_EQ(formatted(v), cLibrary(v)) << v;
        ASSERT_EQ(formatted(v), toChars(v)) << v;
    }
}

TEST(NumberFormat, MatchesTheCLibraryOnEveryExponent) {
    // Subnormals to the largest doubles: the integer path, the wide path beyond 1.8e13
    // (integers of up to 1024 bits) and the rounding of half-units near 2^64 / 10^6.
    std::uint64_t state = 777;
    for (std::uint64_t exponent = 0; exponent < 2047; ++exponent) {
        for (int i = 0; i < 12; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const std::uint64_t mantissa = i == 0 ? 0 : i == 1 ? 0xFFFFFFFFFFFFFull : state >> 12;
            const std::uint64_t bits = ((state & 1) << 63) | (exponent << 52) | mantissa;
            double v;
            std::memcpy(&v, &bits, sizeof v);
            ASSERT_EQ(formatted(v), cLibrary(v)) << v;
        }
    }
}

TEST(NumberFormat, LargestDoubleFitsInFull) {
    std::string text = formatted(-DBL_MAX);
    EXPECT_EQ(text.size(), 1 + 309 + 1 + 6);
    EXPECT_EQ(text.substr(text.size() - 7), ".000000");
}

TEST(NumberFormat, IgnoresTheHostLocale) {
    if (!aerial_test::useCommaDecimalLocale()) GTEST_SKIP() << "no comma-decimal locale available";
    EXPECT_EQ(cLibrary(0.5), "0,500000"); // the host's locale really is in force
    EXPECT_EQ(formatted(-2.356194490192345), "-2.356194");
    aerial_test::useClassicLocale();
}
