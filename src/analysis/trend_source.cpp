#include "analysis/trend_source.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mervo {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

int64_t TrendSource::lowerBound(double t) const {
    const int64_t n = size();
    if (n == 0 || std::isnan(t) || time(0) >= t) return 0;
    if (time(n - 1) < t) return n;
    // A first guess as if the samples were evenly spaced, then steps doubling away from it until the time is
    // passed, then halving: a few dozen looks wherever the spacing is uneven (a gap in a receive).
    const double first = time(0), last = time(n - 1);
    const double share = last > first ? (t - first) / (last - first) : 0.0;
    const int64_t g = std::clamp<int64_t>(static_cast<int64_t>(share * static_cast<double>(n - 1)), 0, n - 1);
    int64_t lo = 1, hi = n - 1;  // time(0) < t <= time(n - 1): the answer lies in [1, n - 1]
    if (time(g) < t) {
        lo = g + 1;
        for (int64_t step = 1; g + step < n - 1; step *= 2) {
            if (time(g + step) >= t) {
                hi = g + step;
                break;
            }
            lo = g + step + 1;
        }
    } else {
        hi = g;
        for (int64_t step = 1; g - step > 0; step *= 2) {
            if (time(g - step) < t) {
                lo = g - step + 1;
                break;
            }
            hi = g - step;
        }
    }
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (time(mid) < t) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

int64_t TrendSource::nearest(double t) const {
    if (empty()) return -1;
    const int64_t i = lowerBound(t);
    if (i >= size()) return size() - 1;
    if (i == 0) return 0;
    return t - time(i - 1) <= time(i) - t ? i - 1 : i;
}

float TrendSource::value(TrendQuantity q, int64_t i) const {
    const Run r = runAt(i);
    return r.values[static_cast<size_t>(indexOf(q))][i - r.first];
}

TrendSample TrendSource::sample(int64_t i) const {
    const Run r = runAt(i);
    TrendSample t;
    for (size_t k = 0; k < static_cast<size_t>(kTrendQuantities); ++k) t.values[k] = r.values[k][i - r.first];
    t.state = r.state[i - r.first];
    return t;
}

void TrendSource::foldSamples(TrendQuantity q, int64_t a, int64_t b, float& lo, float& hi) const {
    while (a < b) {
        const Run r = runAt(a);
        const int64_t take = std::min(b, r.first + r.count) - a;
        foldExtremes(r.values[static_cast<size_t>(indexOf(q))] + (a - r.first), take, lo, hi);
        a += take;
    }
}

void TrendSource::rangeMinMax(TrendQuantity q, int64_t a, int64_t b, float* lo, float* hi) const {
    float mn = kInf, mx = -kInf;
    a = std::max<int64_t>(a, 0);
    b = std::min(b, size());
    if (a < b && pyramid_.holds(q)) {
        // Whole blocks from their summaries; the samples before the first and after the last read one by one.
        const int64_t covered = pyramid_.samples();
        const int64_t b0 = (a + kBlock - 1) / kBlock;
        const int64_t b1 = b >= covered ? pyramid_.blocks() : b / kBlock;
        if (b0 < b1) {
            const int64_t wholeEnd = b >= covered ? covered : b1 * kBlock;
            foldSamples(q, a, b0 * kBlock, mn, mx);
            pyramid_.fold(q, b0, b1, mn, mx);
            foldSamples(q, wholeEnd, b, mn, mx);
            a = b;
        }
    }
    foldSamples(q, a, b, mn, mx);
    *lo = mn;
    *hi = mx;
}

}  // namespace mervo
