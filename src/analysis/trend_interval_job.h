// The statistics of samples A..B of a trend source, summed a step at a time so that a week between the
// cursors never holds the window up; the figures are those of summing them at once.
#pragma once

#include <QString>
#include <cstdint>

#include "analysis/interval_stats.h"
#include "analysis/trend_source.h"

namespace mervo {

class TrendIntervalJob {
public:
    // Starts over on indexes a and b of `s` (in either order, clamped to it); `s` must outlive the job or the
    // job be reset first.
    void start(TrendSource& s, int64_t a, int64_t b);
    void reset();
    // Sums the next few thousand samples (well under a millisecond); true once the interval is done, or failed
    // (then error() says why).
    bool step();
    bool active() const { return source_ != nullptr && !over_; }
    int64_t done() const { return next_ - a_; }
    int64_t total() const { return end_ - a_; }
    int64_t a() const { return a_; }
    int64_t b() const { return end_ - 1; }
    // Once done.
    const IntervalStats& stats() const { return stats_; }
    const QString& error() const { return error_; }

private:
    TrendSource* source_ = nullptr;
    IntervalAccumulator acc_;
    IntervalStats stats_;
    QString error_;
    int64_t a_ = 0, next_ = 0, end_ = 0;
    bool over_ = true;
};

// The same at once (the command line, tests).
Result<IntervalStats> intervalStats(TrendSource& s, int64_t a, int64_t b);

}  // namespace mervo
