// Numbers and dates from text the operator typed or a script passed: one reading of each, for every window and
// command. Blanks around the text are allowed; the decimal point is a full stop, whatever the desktop's locale.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace mervo {

// A decimal number ("12", " 3.5", "-2", "1e3"); nothing for other text, an empty one, NaN or infinity.
std::optional<double> numberFromText(const QString& text);

// A number a float can hold: finite once rounded to single precision.
std::optional<float> floatFromText(const QString& text);

// A number with no fractional part, within the range of a 64-bit integer ("7", "1e3"; not "3.5").
std::optional<int64_t> wholeNumberFromText(const QString& text);

// Digits with an optional sign, nothing else ("42", "-5"; not "1e3" nor "0x10"), as a code or count is written.
std::optional<int64_t> integerFromText(const QString& text);

// A date and time written "Y,M,D,h,m": five integers, the month 1 to 12, the day 1 to 31, the hour 0 to 23 and
// the minute 0 to 59.
struct DateFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};
std::optional<DateFields> dateFromText(const QString& text);

}  // namespace mervo
