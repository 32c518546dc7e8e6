// The grammar of the values the tool's options take: one reader per kind of value, with one
// way of saying why a text is none. Every command reads its options through these, so that
// a threshold, a dose or a list means the same wherever it is given.
//
// A number is read as a run reads an input cell (the core's parseRealPrefix: the C
// locale's rules, the point as the decimal separator), the whole text, and must be finite.
// A comma is never a decimal separator: where one number is expected, "0,5" is refused;
// where a list or a pair is expected it separates values, and a text that would be a single
// number with its comma taken for a point is reported (listCommaNote).
//
// The errors are one-line reasons, "must be ..., got 'TEXT'", for the caller to prefix
// with the option's name.
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

// The whole text as one finite number, by the core's rules; false otherwise.
bool readNumber(const std::string& text, double& value);

// When a field of the text (the text, or one of its ':'-separated parts) holds one comma and
// reads as a number with that comma taken for a point, the words that say so:
// " (the decimal separator is the point: write 0.5 for 0,5)"; else empty. Every message
// about a decimal comma ends with these words.
std::string decimalCommaHint(const std::string& text);

// A list or pair given with a comma that could be a decimal comma ("0,5"): the note that it
// is read as two values, "'0,5' is read as the two values 0 and 5 (the decimal separator
// ...)"; else empty.
std::string listCommaNote(const std::string& text);

// An intensity threshold: finite, above 0.
bool parseThreshold(const std::string& text, double& value, std::string& error);

// A relative dose: finite, above 0.
bool parseDose(const std::string& text, double& value, std::string& error);

// A partial-coherence factor as an input should hold it: from 0 to 1 (`aerial check` warns
// above 1, and a negative sigma is the same source as its magnitude).
bool parseSigma(const std::string& text, double& value, std::string& error);

// A fraction strictly between 0 and 1.
bool parseFraction(const std::string& text, double& value, std::string& error);

// A length or position: finite, of either sign.
bool parseLength(const std::string& text, double& value, std::string& error);

// A length that must be above 0 (a pitch, a width, a wavelength, a pixel).
bool parsePositiveLength(const std::string& text, double& value, std::string& error);

// A number above 0 without a unit (a numerical aperture).
bool parsePositiveNumber(const std::string& text, double& value, std::string& error);

// A whole number in decimal digits from lo to hi.
bool parseWholeNumber(const std::string& text, int lo, int hi, int& value, std::string& error);

// A complex amplitude transmission "RE,IM": two finite numbers with |RE + i IM| at most 1
// (a passive mask transmits at most the light it receives).
bool parseTransmission(const std::string& text, double& re, double& im, std::string& error);

// A box X0,Y0,X1,Y1 (a layout window or region): four finite numbers.
bool parseBox(const std::string& text, double box[4], std::string& error);

// A range START:STOP:STEP or a list V1,V2,... (parseValues of sweep_plan.h) whose every
// value is a relative dose.
bool parseDoseList(const std::string& text, std::vector<double>& values, std::string& error);

// A range or list of lengths (any sign).
bool parseLengthList(const std::string& text, std::vector<double>& values, std::string& error);

} // namespace aerial_tool
