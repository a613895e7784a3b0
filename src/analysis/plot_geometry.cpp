#include "analysis/plot_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mervo {

ValueAxis valueAxisFor(float MIN, float MAX, float roundUp) {
    // A damaged trailer may hold NaN or infinities; such a range gets the small default axis.
    if (!std::isfinite(MIN)) MIN = 0;
    if (!std::isfinite(MAX)) MAX = 0;
    ValueAxis a;
    const float top = std::floor(MAX + roundUp);
    const float bottom = std::floor(MIN);
    const float range = top - bottom;
    if (range > 1.0f && std::isfinite(range)) {
        static const float bases[] = {1, 2, 5, 10};
        float r = range;
        float scale = 1;
        float step = 0;
        // Each round divides by ten, so a finite range reaches a base within a few dozen rounds.
        for (int e = 0; e < 45 && step == 0; ++e) {
            for (float b : bases) {
                if (r / b < 6.0f) {
                    step = scale * b;
                    break;
                }
            }
            r = r / 10.0f;
            scale = scale * 10.0f;
        }
        a.step = step;
        a.max = step + std::floor(MAX / step) * step;
        a.min = std::floor(MIN / step) * step;
    } else {
        a.min = std::floor(MIN);
        a.max = std::floor(MIN) + 1.00001f;
        a.step = 0.2f;
    }
    return a;
}

float timeStepFor(float totalTime) {
    static const float bases[] = {1, 2, 5, 10, 30};
    float t = totalTime;
    float scale = 1;
    // Each round divides by 60, so a finite duration ends within a few dozen rounds.
    for (int m = 0; m < 40 && std::isfinite(t); ++m) {
        for (float b : bases) {
            const float q = t / b;
            if (q < 15.0f) return scale * b;
        }
        t = t / 60.0f;
        scale = scale * 60.0f;
    }
    return scale;
}

QString timeUnitFor(float timeStep) {
    if (timeStep < 60.0f) return QStringLiteral("秒");
    if (timeStep < 3600.0f) return QStringLiteral("分");
    return QStringLiteral("时");
}

float timeUnitSeconds(float timeStep) {
    if (timeStep < 60.0f) return 1;
    if (timeStep < 3600.0f) return 60;
    return 3600;
}

std::vector<float> gridLabelValues(float from, float step, size_t count) {
    // The decimals of the step: 0 for the whole-number steps, 1 for 0.2.
    double scale = 1;
    for (int d = 0; d < 6; ++d, scale *= 10) {
        const double s = static_cast<double>(step) * scale;
        if (std::fabs(s - std::nearbyint(s)) <= 1e-4 * std::fabs(s)) break;
    }
    std::vector<float> out;
    out.reserve(count);
    for (size_t k = 0; k < count; ++k) {
        const double v = static_cast<double>(from) + static_cast<double>(k) * static_cast<double>(step);
        // Adding 0 turns a rounded -0 into 0, which prints without its sign.
        out.push_back(static_cast<float>(std::nearbyint(v * scale) / scale + 0.0));
    }
    return out;
}

bool clipSegment(double& x1, double& y1, double& x2, double& y2, const ClipRect& r) {
    // Liang-Barsky: the part of the parameter range [0, 1] on the inner side of all four edges.
    const double dx = x2 - x1, dy = y2 - y1;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - r.left, r.right - x1, y1 - r.top, r.bottom - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;  // parallel to this edge and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double ox = x1, oy = y1;
    if (t1 < 1) x2 = ox + t1 * dx, y2 = oy + t1 * dy;
    if (t0 > 0) x1 = ox + t0 * dx, y1 = oy + t0 * dy;
    return true;
}

std::vector<float> steppedValues(float from, float to, float step, bool snapToZero, int limit) {
    std::vector<float> out;
    for (float v = from; v <= to && static_cast<int>(out.size()) < limit; v += step) {
        // A sum of steps that should give 0 gives a tiny residue.
        if (snapToZero && v > -0.000001f && v < 0.000001f) v = 0;
        out.push_back(v);
        if (v + step == v) break;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------------------

void ColumnSpan::extend(const SpanPoint& p) {
    last = p;
    if (p.y < top.y) top = p;
    if (p.y > bottom.y) bottom = p;
}

void ColumnSpan::merge(const ColumnSpan& o) {
    if (o.first.i < first.i) first = o.first;
    if (o.last.i > last.i) last = o.last;
    if (o.top.y < top.y) top = o.top;
    if (o.bottom.y > bottom.y) bottom = o.bottom;
}

void ColumnSpan::draw(Surface& s, Colour colour, const ClipRect& clip) const {
    SpanPoint pts[4] = {first, top, bottom, last};
    std::sort(pts, pts + 4, [](const SpanPoint& a, const SpanPoint& b) { return a.i < b.i; });
    const SpanPoint* prev = &pts[0];
    for (int j = 1; j < 4; ++j) {
        if (pts[j].i == prev->i) continue;
        double x1 = prev->x, y1 = prev->y, x2 = pts[j].x, y2 = pts[j].y;
        if (clipSegment(x1, y1, x2, y2, clip)) s.line(x1, y1, x2, y2, colour);
        prev = &pts[j];
    }
}

namespace {
// More separate runs than this in one column (a state flapping every few samples between far-apart values)
// are drawn at once rather than held.
constexpr size_t kHeldSpans = 8;
}  // namespace

CurveTrace::CurveTrace(Surface& surface, Colour colour, double left, double columnWidth, bool decimate,
                       const ClipRect& clip)
    : surface_(&surface),
      colour_(colour),
      clip_(clip),
      left_(left),
      width_(columnWidth),
      decimate_(decimate && columnWidth > 0) {}

void CurveTrace::line(double x1, double y1, double x2, double y2) {
    if (clipSegment(x1, y1, x2, y2, clip_)) surface_->line(x1, y1, x2, y2, colour_);
}

void CurveTrace::add(const SpanPoint& prev, const SpanPoint& p, bool drawn) {
    if (!decimate_) return add(prev, p, drawn, 0, 0);
    add(prev, p, drawn, columnAt(prev.x, left_, width_), columnAt(p.x, left_, width_));
}

void CurveTrace::add(const SpanPoint& prev, const SpanPoint& p, bool drawn, int64_t prevColumn, int64_t column) {
    drawn = drawn && std::isfinite(prev.y) && std::isfinite(p.y);
    if (!decimate_) {
        if (drawn) line(prev.x, prev.y, p.x, p.y);
        return;
    }
    if (column != column_) {
        closeRun();
        drawHeld();
        column_ = column;
    }
    if (!drawn) {
        closeRun();
        return;
    }
    if (open_) {
        run_.extend(p);
        return;
    }
    // A run that starts inside the column takes its first segment into the span; one that enters from another
    // column draws that segment as it is.
    if (prevColumn == column) {
        run_ = ColumnSpan(prev);
        run_.extend(p);
    } else {
        line(prev.x, prev.y, p.x, p.y);
        run_ = ColumnSpan(p);
    }
    open_ = true;
}

void CurveTrace::addRun(const SpanPoint& prev, int64_t prevColumn, const SamplePlaces& at, const BandValues& values,
                        const uint8_t* drawn, int64_t first, int64_t count) {
    SpanPoint before = prev;
    int64_t beforeColumn = prevColumn;
    int64_t column = count > 0 ? columnOf(at, 0) : 0;  // of sample j
    for (int64_t j = 0; j < count;) {
        if (decimate_ && open_ && column == column_ && (!drawn || drawn[j])) {
            // The open run goes on through the drawn samples of its column: where the column ends is found
            // in steps that double, then halve, as columns never go back.
            int64_t inside = j, step = 1;  // inside: a sample known to be in the column
            int64_t beyond = count;        // the first sample known to be past it, or the end
            while (inside + step < count) {
                if (columnOf(at, inside + step) != column_) {
                    beyond = inside + step;
                    break;
                }
                inside += step;
                step *= 2;
            }
            while (beyond - inside > 1) {
                const int64_t mid = inside + (beyond - inside) / 2;
                (columnOf(at, mid) == column_ ? inside : beyond) = mid;
            }
            int64_t end = beyond;
            if (drawn) {
                const void* gap = std::memchr(drawn + j, 0, static_cast<size_t>(end - j));
                if (gap) end = static_cast<const uint8_t*>(gap) - drawn;
            }
            const int64_t reached = extendRun(at, values, first, j, end);
            if (reached > j) {
                j = reached;
                before = run_.last;
                beforeColumn = column_;
                if (j < count) column = j == beyond ? columnOf(at, j) : column_;
                continue;
            }
        }
        const SpanPoint p{at.x(j), values.y(j), first + j};
        add(before, p, !drawn || drawn[j], beforeColumn, column);
        before = p;
        beforeColumn = column;
        if (++j < count) column = columnOf(at, j);
    }
}

namespace {
// Lowest and highest of a block of values that are all numbers, or false when one is not: a loop without an exit
// and without the earliest sample's index, four values at a time. A zero's sign may come out either way; both
// zeros stand at one height, and the earliest sample of an extreme is then found by comparing values.
constexpr int64_t kScanBlock = 64;
template <bool Magnitude>
bool blockExtremes(const float* values, float& lo, float& hi) {
#if defined(__SSE2__)
    const __m128i exponent = _mm_set1_epi32(0x7f800000);
    const __m128 sign = _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN));
    __m128 blockLo = _mm_set1_ps(INFINITY), blockHi = _mm_set1_ps(-INFINITY);
    __m128i notNumber = _mm_setzero_si128();
    for (int64_t i = 0; i < kScanBlock; i += 4) {
        __m128 v = _mm_loadu_ps(values + i);
        if (Magnitude) v = _mm_andnot_ps(sign, v);
        notNumber = _mm_or_si128(notNumber, _mm_cmpeq_epi32(_mm_and_si128(_mm_castps_si128(v), exponent), exponent));
        blockLo = _mm_min_ps(blockLo, v);
        blockHi = _mm_max_ps(blockHi, v);
    }
    if (_mm_movemask_epi8(notNumber)) return false;
    float l[4], h[4];
    _mm_storeu_ps(l, blockLo);
    _mm_storeu_ps(h, blockHi);
    lo = std::min({l[0], l[1], l[2], l[3]});
    hi = std::max({h[0], h[1], h[2], h[3]});
    return true;
#else
    float blockLo = INFINITY, blockHi = -INFINITY;
    for (int64_t i = 0; i < kScanBlock; ++i) {
        const float v = Magnitude ? std::fabs(values[i]) : values[i];
        if (!std::isfinite(v)) return false;
        blockLo = std::min(blockLo, v);
        blockHi = std::max(blockHi, v);
    }
    lo = blockLo;
    hi = blockHi;
    return true;
#endif
}
}  // namespace

// Extends the open run by samples from .. to - 1 up to the first whose height is no number, and returns where it
// stopped: what extending it point by point leaves (the earliest of equal extremes, the last point).
int64_t CurveTrace::extendRun(const SamplePlaces& at, const BandValues& v, int64_t first, int64_t from, int64_t to) {
    // The extremes among the values: the height falls as the value rises on an axis that runs upwards. Whole blocks
    // of numbers first, then one by one up to the first value that is no number. The earliest sample of each
    // extreme is in the first block that reached it.
    float lo = INFINITY, hi = -INFINITY;
    int64_t end = from, loFrom = from, hiFrom = from;
    if (v.stride == 1) {
        for (; end + kScanBlock <= to; end += kScanBlock) {
            float blockLo, blockHi;
            if (!(v.magnitude ? blockExtremes<true>(v.values + end, blockLo, blockHi)
                              : blockExtremes<false>(v.values + end, blockLo, blockHi)))
                break;
            if (blockLo < lo) lo = blockLo, loFrom = end;
            if (blockHi > hi) hi = blockHi, hiFrom = end;
        }
    }
    for (; end < to; ++end) {
        const float a = v.value(end);
        if (!std::isfinite(a)) break;
        if (a < lo) lo = a, loFrom = end;
        if (a > hi) hi = a, hiFrom = end;
    }
    int64_t atLo = loFrom, atHi = hiFrom;
    if (end > from) {
        while (v.value(atLo) != lo) ++atLo;
        while (v.value(atHi) != hi) ++atHi;
    }
    if (end == from) return from;
    const bool upwards = v.hi > v.lo && std::isfinite(v.lo) && std::isfinite(v.hi) && std::isfinite(v.origin);
    double top = v.yOf(hi), bottom = v.yOf(lo);
    // Two values may round to one height (values near 0 on a wide axis); then the earliest sample of that height
    // need not hold the extreme value, and the heights themselves are compared.
    const bool distinct = upwards && v.yOf(std::nextafter(hi, -INFINITY)) != top &&
                          v.yOf(std::nextafter(lo, INFINITY)) != bottom;
    if (!distinct) {
        top = INFINITY, bottom = -INFINITY;
        int64_t e = from;
        for (; e < end; ++e) {
            const double y = v.y(e);
            if (!std::isfinite(y)) break;
            if (y < top) top = y, atHi = e;
            if (y > bottom) bottom = y, atLo = e;
        }
        end = e;
        if (end == from) return from;
    }
    if (top < run_.top.y) run_.top = {at.x(atHi), top, first + atHi};
    if (bottom > run_.bottom.y) run_.bottom = {at.x(atLo), bottom, first + atLo};
    run_.last = {at.x(end - 1), v.y(end - 1), first + end - 1};
    return end;
}

void CurveTrace::closeRun() {
    if (!open_) return;
    open_ = false;
    // A lone point belongs to no drawn segment: nothing to show.
    if (run_.single()) return;
    // Runs broken by left-out samples (a motor hovering at its no-load power) mostly overlap: merging them keeps
    // a column to a few lines however often the curve is interrupted.
    for (ColumnSpan& h : held_) {
        if (h.overlaps(run_)) {
            h.merge(run_);
            return;
        }
    }
    held_.push_back(run_);
    if (held_.size() > kHeldSpans) drawHeld();
}

void CurveTrace::drawHeld() {
    for (const ColumnSpan& h : held_) h.draw(*surface_, colour_, clip_);
    held_.clear();
}

void CurveTrace::finish() {
    closeRun();
    drawHeld();
}

}  // namespace mervo
