// Drawing a long curve one pixel column at a time: the samples of a run of joined segments that fall into one
// column are reduced to their first, last, highest and lowest points, which cover every row the segments do.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/surface.h"

namespace mervo {

struct SpanPoint {
    double x = 0, y = 0;
    int64_t i = 0;  // sample number, for the drawing order
};

// The part of a run of drawn segments that lies in one column (y grows downwards: `top` has the least y).
struct ColumnSpan {
    SpanPoint first, last, top, bottom;

    explicit ColumnSpan(const SpanPoint& p = {}) : first(p), last(p), top(p), bottom(p) {}
    bool single() const { return first.i == last.i; }
    void extend(const SpanPoint& p) {
        last = p;
        if (p.y < top.y) top = p;
        if (p.y > bottom.y) bottom = p;
    }
    bool overlaps(const ColumnSpan& o) const { return top.y <= o.bottom.y && o.top.y <= bottom.y; }
    void merge(const ColumnSpan& o) {
        if (o.first.i < first.i) first = o.first;
        if (o.last.i > last.i) last = o.last;
        if (o.top.y < top.y) top = o.top;
        if (o.bottom.y > bottom.y) bottom = o.bottom;
    }
};

// Consecutive segments share their end points, so inside one column the path first -> extremes -> last in
// sample order covers exactly what all of them cover.
inline void drawColumnSpan(Surface& s, const ColumnSpan& span, Colour colour) {
    SpanPoint pts[4] = {span.first, span.top, span.bottom, span.last};
    std::sort(pts, pts + 4, [](const SpanPoint& a, const SpanPoint& b) { return a.i < b.i; });
    const SpanPoint* prev = &pts[0];
    for (int j = 1; j < 4; ++j) {
        if (pts[j].i == prev->i) continue;
        s.line(prev->x, prev->y, pts[j].x, pts[j].y, colour);
        prev = &pts[j];
    }
}

}  // namespace mervo
