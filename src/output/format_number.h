// Numbers of the result tables in the C library's "%f" form: optional minus sign, integer
// digits, a point and exactly six decimals, rounded to nearest with ties to even from the
// exact value of the double. Locale-independent: the separator is always a point.
#pragma once

#include <cstddef>

namespace aerial {

// Big enough for the integer digits of the largest double (309) and any sign/decimals.
constexpr std::size_t kNumberTextCapacity = 512;

// Writes the text of value into out (no terminating zero) and returns its length, which
// is never more than kNumberTextCapacity - 1.
// Infinities print as "inf"/"-inf", NaNs as "nan"/"-nan", as glibc's "%f" does.
std::size_t formatFixed6(double value, char (&out)[kNumberTextCapacity]);

// The same into a buffer with at least kNumberTextCapacity bytes of room at out.
std::size_t formatFixed6At(double value, char* out);

} // namespace aerial
