// Durations split for display.
#pragma once

#include <QString>
#include <cstdint>

#include "shared/shared_state.h"

namespace mervo {

// Seconds to hours, minutes, seconds and hundredths, carrying rounded hundredths upwards.
void SplitTime(float t, TimeParts& out);

// Seconds for the settings window's three duration fields: whole hours and minutes, and the seconds rounded to
// a whole number (halves to even), with the carries of 60. A negative or non-finite duration gives zeros.
struct DurationFields {
    double hours = 0;  // whole, but beyond what an int holds for an absurd stored duration
    int minutes = 0, seconds = 0;
};
DurationFields splitDuration(float t);

// A time of day as seconds since the midnight of a measurement's first day (past 86400 on later days): the day
// (0: the first) and the hundredths of a second into it, 23:59:59.996 being 00:00:00.00 of the next day. False
// for a time that is not finite or absurdly far.
bool splitClock(double seconds, int64_t* day, long long* hundredths);
// "HH:MM:SS.ss" of such a time, on its own day; empty when splitClock refuses it.
QString clockText(double seconds);

}  // namespace mervo
