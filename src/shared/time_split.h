// Durations split for display.
#pragma once

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

}  // namespace mervo
