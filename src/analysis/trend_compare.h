// A second measurement laid over the first on the trend window's time axis, as a retrofit is judged (before and
// after a change): its times moved by a shift, from the two starts' elapsed times or their clocks plus the
// operator's offset, and the span of its samples that matches the first one's A..B.
#pragma once

#include <cstdint>

#include "analysis/trend_source.h"

namespace mervo {

enum class CompareAlignment { Elapsed, ClockTime };

// Seconds added to a time of the second measurement to put it on the first one's axis. By time of day, a sample
// taken at the same clock as one of the first lies at that one's time (the clocks are seconds since midnight,
// as header record 1 keeps them); the offset moves it on from there.
double compareShift(CompareAlignment how, float firstStartClock, float secondStartClock, double offsetSeconds);

// Indexes [a, b] of a source; empty when b < a.
struct IndexSpan {
    int64_t a = 0, b = -1;
    bool empty() const { return b < a; }
};

// The samples of `second` whose times, shifted by `shift`, lie in [t0, t1] of the first's axis (either order).
IndexSpan alignedSpan(const TrendSource& second, double shift, double t0, double t1);

}  // namespace mervo
