#include "output/format_number.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace aerial {

std::size_t formatFixed6(double value, char (&out)[kNumberTextCapacity]) {
    if (std::isnan(value)) {
        // to_chars would print "nan" for either sign; the C library keeps the sign bit.
        const char* text = std::signbit(value) ? "-nan" : "nan";
        std::size_t length = std::strlen(text);
        std::memcpy(out, text, length);
        return length;
    }
    std::to_chars_result result =
        std::to_chars(out, out + kNumberTextCapacity, value, std::chars_format::fixed, 6);
    return static_cast<std::size_t>(result.ptr - out);
}

} // namespace aerial
