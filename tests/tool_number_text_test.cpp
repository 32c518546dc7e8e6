// The tool's numbers as text: exact for files and cells, a few digits for people, and the
// decimal arithmetic that keeps a written 0.193 um a written 193 nm.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "io/input_writer.h"
#include "io/number_text.h"

using namespace aerial_tool;

namespace {

double readBack(const std::string& text) {
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    EXPECT_EQ(r.ptr, text.data() + text.size()) << text;
    return v;
}

} // namespace

TEST(NumberText, ExactTextIsTheShortestThatReadsBack) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.193, "0.193"},
        {1.35, "1.35"},
        {1e-3, "0.001"},
        {1e-5, "1e-05"},
        {128, "128"},
        {0.1 + 0.2, "0.30000000000000004"}, // the doubles nearest 0.1 and 0.2 do not sum to 0.3's
        {1.0 / 3, "0.3333333333333333"},
        {-0.0, "0"},                      // a negative zero reads as plain zero
        {5e-324, "5e-324"},               // the smallest subnormal
        {DBL_MAX, "1.7976931348623157e+308"},
        {inf, "inf"},
        {-inf, "-inf"},
        {std::nan(""), "nan"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exactText(c.value), c.text);
        if (std::isfinite(c.value)) {
            EXPECT_EQ(readBack(exactText(c.value)), c.value) << c.text;
        }
    }
}

TEST(NumberText, ShortAndFixedTextsForPeople) {
    const struct {
        std::string got, want;
    } cases[] = {
        {shortText(1.0 / 3), "0.333333"},      // six significant digits, as %g
        {shortText(2.0 / 3, 4), "0.6667"},
        {shortText(1.5e-7), "1.5e-07"},        // %g goes to an exponent below 1e-4
        {shortText(123456789), "1.23457e+08"}, // and at 10^precision
        {shortText(0.5), "0.5"},               // no trailing zeros
        {shortText(-0.0), "0"},
        {shortText(INFINITY), "inf"},
        {fixedText(0.1, 6), "0.100000"},
        {fixedText(-1e-9, 4), "0.0000"}, // rounded to zero: no sign
        {percentText(0.0512), "5.12 %"},
        {percentText(0.13621393356628692), "13.62 %"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
    // Rounded through the text: 0.1 * 3 is the 0.3 a person writes.
    EXPECT_EQ(roundedValue(0.1 * 3, 12), 0.3);
    EXPECT_EQ(roundedValue(1.0 / 3, 3), 0.333);
}

TEST(NumberText, DecimalArithmeticKeepsTheWrittenDigits) {
    // Each expected value is the double nearest the decimal a person writes: the shifted or
    // summed digits, rounded once. The products and sums of the doubles miss it (0.193 *
    // 1000 = 192.99999999999997, 0.1 + 0.05 = 0.15000000000000002).
    const struct {
        double got, want;
    } cases[] = {
        {decimalShifted(0.193, 3), 193},       // um -> nm
        {decimalShifted(193, -3), 0.193},      // nm -> um
        {decimalShifted(0.01, 3), 10},
        {decimalShifted(1.35, 3), 1350},
        {decimalShifted(1.35, -3), 0.00135},   // um -> mm
        {decimalShifted(0.00135, 3), 1.35},    // mm -> um
        {decimalShifted(1e-3, 6), 1000},       // mm -> nm
        {decimalShifted(1000, -6), 1e-3},      // nm -> mm
        {decimalShifted(-0.193, 3), -193},
        {decimalShifted(0, 3), 0},
        {decimalShifted(1e300, 10), INFINITY}, // beyond the doubles: as the product
        {decimalSum(0.1, 0.05), 0.15},
        {decimalSum(0.1, -0.25), -0.15},
        {decimalSum(0.2234375, 0.2234375), 0.446875},
        {decimalSum(1e20, 1e-20), 1e20 + 1e-20}, // too many places for a count: as doubles
        {decimalSum(0.3, 0), 0.3},
        {decimalMultiple(0.1, 3), 0.3},       // 0.1 * 3 is 0.30000000000000004
        {decimalMultiple(0.01, 128), 1.28},   // a grid's length, N x the sample pitch
        {decimalMultiple(-0.03, 7), -0.21},
        {decimalMultiple(1e300, 0), 0},
        {decimalMultiple(0.1, 1LL << 60), 0.1 * static_cast<double>(1LL << 60)}, // past a count: as doubles
    };
    for (size_t k = 0; k < std::size(cases); ++k) EXPECT_EQ(cases[k].got, cases[k].want) << "case " << k;
}

TEST(InputWriter, LengthUnitsConvertByTheirDecimalDigits) {
    // The bundled example's optics (0.01 um pitch, 0.193 um wavelength) and lengths of other
    // digits in every unit and back: each length is the decimal its unit gives it.
    const struct {
        const char* unit;
        double pitch, wavelength, defocus;
    } units[] = {{"um", 0.01, 0.193, 1.35}, {"nm", 10, 193, 1350}, {"mm", 1e-5, 1.93e-4, 1.35e-3}};
    for (const auto& from : units) {
        for (const auto& to : units) {
            InputParameters p = bundledExampleParameters();
            std::string error;
            ASSERT_TRUE(convertLengthUnit(p, from.unit, error)) << error;
            p[aerial::ParameterId::kDefocus] = from.defocus;
            ASSERT_TRUE(convertLengthUnit(p, to.unit, error)) << error;
            EXPECT_EQ(p.unit, to.unit);
            EXPECT_EQ(p[aerial::ParameterId::kSamplePitch], to.pitch) << from.unit << " -> " << to.unit;
            EXPECT_EQ(p[aerial::ParameterId::kWavelength], to.wavelength) << from.unit << " -> " << to.unit;
            EXPECT_EQ(p[aerial::ParameterId::kDefocus], to.defocus) << from.unit << " -> " << to.unit;
            EXPECT_EQ(p[aerial::ParameterId::kNumericalAperture], 0.75); // not a length
        }
    }
    InputParameters p = bundledExampleParameters();
    std::string error;
    ASSERT_TRUE(convertLengthUnit(p, "nm", error)) << error;
    EXPECT_NE(inputFileText(p, {}, "t").find("wavelength\tnm\t193\t"), std::string::npos);
    EXPECT_FALSE(convertLengthUnit(p, "inch", error));
}
