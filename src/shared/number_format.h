// The number forms the program shows, prints and stores.
#pragma once

#include <QString>
#include <string>

namespace mervo {

// " ####0.000": a blank, at least one integer digit, exactly three decimals; a negative value gets its minus
// sign in front of the blank ("- 1.500"). Rounds half away from zero. A value that rounds to zero shows no sign.
QString formatFixed3(float v);

// The shortest decimal digits (at most seven significant) that give the single-precision value back, without a
// zero before the point of a fraction and without blanks: "12", ".2", "-.5", "1.234568E+07", "1E-05".
QString formatGeneralCore(float v);

// A number item of printed text: a blank (or the minus sign), the general form, one trailing blank: " 12 ", "-.5 ".
QString formatPrintNumber(float v);

// Captions and text boxes: shortest form with no blanks and a zero before the point: "0", "5", "0.2", "-0.5".
QString formatCaption(float v);

// A settings-file value: a blank or the minus sign, then the general form: " 5400", " .5", "-2".
QString formatSettingsValue(float v);

// The same forms written into a caller's buffer, for rows built without a QString per number. Each writes from
// `out` at most kFixed3MaxChars (the fixed form) or kGeneralMaxChars (the others) characters, adds no
// terminating zero, and returns one past the last character written.
inline constexpr int kFixed3MaxChars = 45;   // "- ", the 39 digits of the largest float, ".000"
inline constexpr int kGeneralMaxChars = 14;  // "-1.175494E-38 " as a printed number
char* writeFixed3(char* out, float v);
char* writeGeneralCore(char* out, float v);
char* writePrintNumber(char* out, float v);
char* writeCaption(char* out, float v);

// ... and appended to a std::string.
void appendFixed3(std::string& out, float v);
void appendGeneralCore(std::string& out, float v);
void appendPrintNumber(std::string& out, float v);
void appendCaption(std::string& out, float v);

// The shortest decimal text that reads back to the same float (up to nine digits), for JSON and CSV;
// "null" for NaN and infinities, which JSON cannot hold. With `significantBits` below 24, the shortest that reads
// back to it at that precision, where v is a number of that precision (see shortestDecimal).
std::string formatShortestFloat(float v, int significantBits = 24);
// The same, appended to `out`, or written from `out` (no terminating zero; returns one past the last character
// written). The writer may use kShortestMaxChars bytes from `out`, past the text as well.
void appendShortestFloat(std::string& out, float v);
inline constexpr int kShortestMaxChars = 32;  // "-0.00001001", "-9990000000000000", "-1.1754944e-38"
char* writeShortestFloat(char* out, float v, int significantBits = 24);

}  // namespace mervo
