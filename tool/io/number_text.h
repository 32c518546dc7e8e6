// Numbers as the tool writes them, the same in every locale: exactly (the shortest text
// that reads back as the same double) for files scripts read and cells runs read, or to a
// few significant digits for people.
#pragma once

#include <string>

namespace aerial_tool {

// The shortest text that reads back as exactly this double ("0.193", "1e-05"); -0 is
// written "0", and the values no text reads back as "inf", "-inf" and "nan".
std::string exactText(double value);

// At most `digits` significant digits, as C's "%.<digits>g" writes them in the C locale
// ("0.333333", "1.5e-07"); -0 is written "0", non-finite values as exactText does.
std::string shortText(double value, int digits = 6);

// A fixed number of decimals, as C's "%.<decimals>f" in the C locale.
std::string fixedText(double value, int decimals);

// A fraction as a percentage with two decimals: 0.0512 is "5.12 %".
std::string percentText(double fraction);

// The value read back from its text at `digits` significant digits: 0.1 * 3 becomes the
// 0.3 a user writes.
double roundedValue(double value, int digits);

// The value times 10^power, read from the shortest text of the value with its decimal
// exponent moved: 0.193 shifted by 3 is 193 exactly, where 0.193 * 1000 is
// 192.99999999999997. Non-finite values and 0 stay as they are.
double decimalShifted(double value, int power);

// The sum of two numbers as their shortest texts write them, in decimal: the double nearest
// the exact sum, so 0.1 + 0.05 is 0.15 (the sum of the doubles is 0.15000000000000002).
// Numbers too far apart for a 64-bit count of their finer decimal place are added as
// doubles.
double decimalSum(double a, double b);

// k times the number as its shortest text writes it, in decimal: 3 x 0.1 is 0.3 (the
// doubles' product is 0.30000000000000004). Beyond 2^53 digits, the doubles' product.
double decimalMultiple(double value, long long k);

} // namespace aerial_tool
