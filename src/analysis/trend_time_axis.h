// The trend window's time axis: elapsed time in the unit the visible span suits, or the time of day.
#pragma once

#include <QString>
#include <vector>

#include "analysis/trend_source.h"

namespace mervo {

enum class TrendTimeMode { Elapsed, ClockTime };

struct TrendTimeUnit {
    double seconds;  // 1, 60 or 3600: the unit the ticks step in
    const char* name;  // "s", "min", "h", or "h:mm:ss"
    bool hms = false;  // labels as hours, minutes and seconds since the start
};
// Seconds for spans up to 2 minutes, minutes up to 2 hours, hours beyond. A view of up to 2 hours that reaches past
// the first hour reads as h:mm:ss, since "14410 s" or "240.2 min" would have to be worked out by the operator.
TrendTimeUnit trendTimeUnit(double span, double end = 0);

// The label of time t (seconds from the start) on an axis whose ticks are `step` seconds apart: the elapsed time
// in `unit`, or the clock (start + t, past midnight from 00:00) as HH:MM or HH:MM:SS, each with the decimals that
// write every tick of the step exactly (27.5 on a 2.5 s grid, 10:00:00.25 on a 0.25 s one).
QString trendTimeLabel(double t, double step, TrendTimeMode mode, float startClock, const TrendTimeUnit& unit);

// The readout of sample index i: its number, elapsed time and clock, then each of `quantities` with its unit
// (blank where the sample has no value).
QString trendReadout(const TrendSource& s, int64_t i, const std::vector<TrendQuantity>& quantities);

}  // namespace mervo
