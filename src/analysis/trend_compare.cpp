#include "analysis/trend_compare.h"

#include <algorithm>

namespace mervo {

double compareShift(CompareAlignment how, float firstStartClock, float secondStartClock, double offsetSeconds) {
    const double clocks = how == CompareAlignment::ClockTime
                              ? static_cast<double>(secondStartClock) - static_cast<double>(firstStartClock)
                              : 0.0;
    return clocks + offsetSeconds;
}

IndexSpan alignedSpan(const TrendSource& second, double shift, double t0, double t1) {
    if (second.empty() || !std::isfinite(shift)) return {};
    if (t1 < t0) std::swap(t0, t1);
    // A sample lies on the first's axis at time(i) + shift; the half-sample of rounding in a float time is
    // not the operator's intent, so the ends are taken a millisecond wide.
    const int64_t a = second.lowerBound(t0 - shift - 1e-3);
    const int64_t b = second.lowerBound(t1 - shift + 1e-3) - 1;
    return {a, b};
}

}  // namespace mervo
