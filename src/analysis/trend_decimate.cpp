#include "analysis/trend_decimate.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mervo {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// Per column the extremes of samples [i, next), from the one nearer the line's last point to the other so
// the joins stay short; one point for a single sample, a NaN point (a gap) where none has a value.
class ColumnPoints {
public:
    explicit ColumnPoints(PlotPoints& out) : out_(out) {}
    void put(double t, float v) {
        out_.t.push_back(t);
        out_.v.push_back(static_cast<double>(v));
        previous_ = v;
    }
    void column(const TrendSource& s, TrendQuantity q, int64_t i, int64_t next) {
        float lo, hi;
        s.rangeMinMax(q, i, next, &lo, &hi);
        const double ta = s.time(i), tb = s.time(next - 1);
        if (!(lo <= hi)) {
            put((ta + tb) / 2, kNoValue);
        } else if (next - i == 1) {
            put(ta, lo);
        } else {
            const bool lowFirst =
                std::isnan(previous_) || std::fabs(previous_ - lo) <= std::fabs(previous_ - hi);
            put(ta, lowFirst ? lo : hi);
            put(tb, lowFirst ? hi : lo);
        }
    }

private:
    PlotPoints& out_;
    float previous_ = kNoValue;
};

}  // namespace

void envelope(const TrendSource& s, TrendQuantity q, double t0, double t1, int columns, PlotPoints& out) {
    out.clear();
    const int64_t n = s.ready();
    if (n == 0 || !(t1 > t0) || columns < 1) return;
    const double after = std::nextafter(t1, HUGE_VAL);
    // The samples in view, [a, b).
    const int64_t a = std::min(s.lowerBound(t0), n), b = std::min(s.lowerBound(after), n);
    ColumnPoints points(out);
    const double width = (t1 - t0) / columns;
    if (b - a >= TrendSource::kBlock * columns) {
        // Whole blocks: the view widened to the blocks it touches, less than a column on either side.
        const int64_t block = TrendSource::kBlock;
        const int64_t first = a / block * block, end = std::min(n, (b + block - 1) / block * block);
        int64_t i = first;
        for (int c = 0; c < columns && i < end; ++c) {
            const int64_t next =
                c + 1 == columns ? end : std::min(end, s.lowerBound(t0 + width * (c + 1)) / block * block);
            if (next <= i) continue;
            points.column(s, q, i, next);
            i = next;
        }
        return;
    }
    // With one neighbour on each side, so the line runs on to the edges.
    const int64_t first = std::max<int64_t>(0, a - 1), end = std::min(n, b + 1);
    if (end - first <= 2 * static_cast<int64_t>(columns)) {
        for (int64_t i = first; i < end; ++i) points.put(s.time(i), s.value(q, i));
        return;
    }
    int64_t i = first;
    if (i < a) points.put(s.time(i), s.value(q, i)), ++i;
    for (int c = 0; c < columns && i < b; ++c) {
        const int64_t next = c + 1 == columns ? b : std::min(b, s.lowerBound(t0 + width * (c + 1)));
        if (next <= i) continue;
        points.column(s, q, i, next);
        i = next;
    }
    for (; i < end; ++i) points.put(s.time(i), s.value(q, i));
}

}  // namespace mervo
