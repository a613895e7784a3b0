// The geometry every curve drawing shares, on the analysis window's boxes and on the printed report: the value
// and time axes, the height of a value in a plot band, the values a grid steps through, and the per-column
// drawing that keeps a long curve as cheap as the plot is wide.
#pragma once

#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/surface.h"

namespace mervo {

constexpr double kPlotTop = 200;      // y of the axis maximum in a band
constexpr double kPlotBottom = 1600;  // y of the axis minimum in a band
constexpr double kPlotWidth = 6000;   // x span of the whole measuring time on a curve box

// The screen rounds the largest value up with 0.999 to find the top of its axis, the printed report with 0.99.
constexpr float kScreenAxisRoundUp = 0.999f;
constexpr float kReportAxisRoundUp = 0.99f;

// A value axis for a data range: a round step giving fewer than 6 intervals (10^e times 1, 2 or 5), or 0 to
// 1.00001 in steps of 0.2 for a range of at most 1. Non-finite inputs get the small default axis; a range near
// the largest float may give an infinite top, which the grid loops and heights below tolerate.
struct ValueAxis {
    float min = 0, max = 0, step = 0;
};
ValueAxis valueAxisFor(float MIN, float MAX, float roundUp = kScreenAxisRoundUp);

// The time grid step in seconds: 1, 2, 5, 10 or 30 times 60^m, giving fewer than 15 intervals.
float timeStepFor(float totalTime);
// "秒" for steps under a minute, "分" under an hour, "时" from an hour.
QString timeUnitFor(float timeStep);
// The seconds in the unit timeUnitFor names (1, 60 or 3600): time labels are written in that unit.
float timeUnitSeconds(float timeStep);

// The height of value v in a band whose axis runs from lo (at origin + 1600) up to hi (at origin + 200). In the
// precision of the caller: the segmented curves keep their heights in single precision.
template <class T>
T bandY(T v, T lo, T hi, T origin = 0) {
    return (origin + static_cast<T>(kPlotBottom)) - (v - lo) * static_cast<T>(kPlotBottom - kPlotTop) / (hi - lo);
}

// Loops over grid values stop here even if a damaged axis would let them run on.
constexpr int kGridLineLimit = 64;

// The values from `from` to `to` in steps of `step`, added up in single precision as the grids do. With
// `snapToZero`, a sum within 0.000001 of 0 becomes exactly 0 and the steps go on from there. At most `limit`
// values, and none once a step no longer changes the sum (a step lost in the magnitude of the value).
std::vector<float> steppedValues(float from, float to, float step, bool snapToZero = false,
                                 int limit = kGridLineLimit);

// What the labels of `count` grid lines from `from` in steps of `step` read: from + k * step, rounded to the
// decimals of the step. Adding a step that a float cannot hold exactly line by line shows as noise (4.799999
// for 4.8); each label worked out on its own does not.
std::vector<float> gridLabelValues(float from, float step, size_t count);

// A segment cut to the rectangle from (left, top) to (right, bottom), y growing downwards: false when no part
// of it lies inside.
struct ClipRect {
    double left = -INFINITY, top = -INFINITY, right = INFINITY, bottom = INFINITY;
};
bool clipSegment(double& x1, double& y1, double& x2, double& y2, const ClipRect& r);

// ---------------------------------------------------------------------------------------------------------
// Per-column drawing

struct SpanPoint {
    double x = 0, y = 0;
    int64_t i = 0;  // sample number, for the drawing order
};

// The part of a run of drawn segments that lies in one column (y grows downwards: `top` has the least y).
struct ColumnSpan {
    SpanPoint first, last, top, bottom;

    explicit ColumnSpan(const SpanPoint& p = {}) : first(p), last(p), top(p), bottom(p) {}
    bool single() const { return first.i == last.i; }
    void extend(const SpanPoint& p);
    bool overlaps(const ColumnSpan& o) const { return top.y <= o.bottom.y && o.top.y <= bottom.y; }
    void merge(const ColumnSpan& o);
    // Consecutive segments share their end points, so inside one column the path first -> extremes -> last
    // in sample order covers exactly what all of them cover.
    void draw(Surface& s, Colour colour, const ClipRect& clip = {}) const;
};

// The column of x when columns `width` wide start at `left`.
inline int64_t columnAt(double x, double left, double width) {
    const double c = (x - left) / width;
    // Truncation is the floor for the columns at and right of `left`, without a call into the maths library.
    return c >= 0 && c < 9.0e18 ? static_cast<int64_t>(c) : static_cast<int64_t>(std::floor(c));
}

// The values of one curve over a run of samples and the band axis that places them: value j at
// values[j * stride], its magnitude where `magnitude`, at the height bandY gives on the axis lo..hi of the band
// at `origin`.
struct BandValues {
    const float* values = nullptr;
    ptrdiff_t stride = 1;
    bool magnitude = false;
    double lo = 0, hi = 1, origin = 0;

    float value(int64_t j) const {
        const float v = values[j * stride];
        return magnitude ? std::fabs(v) : v;
    }
    double yOf(float v) const { return bandY<double>(v, lo, hi, origin); }
    double y(int64_t j) const { return yOf(value(j)); }
};

// Where the samples of a run stand across a plot: sample j of the run at left + span * (number + j) / samples,
// from its number rather than by adding steps (a million small steps would drift). Worked out when asked for:
// a run through a column needs the places of only a few of its samples.
struct SamplePlaces {
    double left = 0, span = 0, samples = 1;
    int64_t number = 0;  // the number of the run's first sample, counting from 1
    double x(int64_t j) const { return left + span * static_cast<double>(number + j) / samples; }
};

// One curve drawn segment by segment. Once samples outnumber the pixel columns of the plot, the segments that
// fall into a column are reduced to the span from their lowest to their highest point plus the segments that
// join it to the neighbouring columns: the same picture as every segment, at a cost bounded by the plot's width
// instead of the sample count.
class CurveTrace {
public:
    // Columns `columnWidth` wide from x = `left`; a width of 0 draws every segment. Every line is cut to `clip`,
    // the curve's frame, so a value beyond its axis never draws over the title above it.
    CurveTrace(Surface& surface, Colour colour, double left, double columnWidth, bool decimate,
               const ClipRect& clip = {});

    // The segment from `prev` to `p`, drawn, or left out (`drawn` false, or a height no arithmetic could place).
    void add(const SpanPoint& prev, const SpanPoint& p, bool drawn);
    // The same with the columns of prev.x and p.x already known (columnAt): curves that share their x positions
    // work out the columns once for all of them.
    void add(const SpanPoint& prev, const SpanPoint& p, bool drawn, int64_t prevColumn, int64_t column);
    // Samples first .. first + count - 1 one after another, as add() takes them: sample j at (at.x(j),
    // values.y(j)), the segment towards it drawn where drawn[j] is not 0 (every one when `drawn` is null);
    // `prev` is the point before the run, in column `prevColumn`. The same picture at the cost of a pass of
    // comparisons: inside a column, drawn samples only move the column's span, and its extremes are found among
    // the values, whose order their heights keep.
    void addRun(const SpanPoint& prev, int64_t prevColumn, const SamplePlaces& at, const BandValues& values,
                const uint8_t* drawn, int64_t first, int64_t count);
    double left() const { return left_; }
    double columnWidth() const { return width_; }
    // Draws what the last column still holds.
    void finish();

private:
    void closeRun();
    void drawHeld();
    int64_t extendRun(const SamplePlaces& at, const BandValues& v, int64_t first, int64_t from, int64_t to);
    int64_t columnOf(const SamplePlaces& at, int64_t j) const { return decimate_ ? columnAt(at.x(j), left_, width_) : 0; }

    void line(double x1, double y1, double x2, double y2);

    Surface* surface_;
    Colour colour_;
    ClipRect clip_;
    double left_, width_;
    bool decimate_;
    int64_t column_ = INT64_MIN;
    bool open_ = false;  // `run_` goes on: the next drawn segment extends it
    ColumnSpan run_;
    std::vector<ColumnSpan> held_;  // finished runs of this column, overlapping ones merged
};

}  // namespace mervo
