// Number parsing of input cells: the rules of the C library's atoi and atof, made
// independent of the host's locale and free of undefined behaviour.
#pragma once

namespace aerial {

// A cell's number and how many bytes of its text were read as the number (leading white
// space included); consumed is 0 when the text does not begin with a number, and the value
// is then 0. A cell is read whole when only white space follows the consumed bytes.
struct ParsedInt {
    int value;
    int consumed;
};
struct ParsedReal {
    double value;
    int consumed;
};

// atoi's rules (leading white space, optional sign, decimal digits, the rest ignored,
// no number gives 0), saturating at the int limits instead of wrapping.
ParsedInt parseIntPrefix(const char* text);

// atof's rules in the C locale: the decimal separator is always the point, whatever
// locale the host process has set. Accepts what strtod accepts (exponents, hex, inf, nan).
ParsedReal parseRealPrefix(const char* text);

inline int parseIntCell(const char* text) { return parseIntPrefix(text).value; }
inline double parseRealCell(const char* text) { return parseRealPrefix(text).value; }

} // namespace aerial
