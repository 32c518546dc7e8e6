// Number parsing of input cells: the rules of the C library's atoi and atof, made
// independent of the host's locale and free of undefined behaviour.
#pragma once

namespace aerial {

// atoi's rules (leading white space, optional sign, decimal digits, the rest ignored,
// no number gives 0), saturating at the int limits instead of wrapping.
int parseIntCell(const char* text);

// atof's rules in the C locale: the decimal separator is always the point, whatever
// locale the host process has set. Accepts what strtod accepts (exponents, hex, inf, nan).
double parseRealCell(const char* text);

} // namespace aerial
