#include "analysis/trend_interval_job.h"

#include <algorithm>

namespace mervo {

namespace {

// Samples summed per step: well under a millisecond.
constexpr int64_t kChunk = 4096;

}  // namespace

void TrendIntervalJob::reset() {
    source_ = nullptr;
    over_ = true;
    error_.clear();
}

void TrendIntervalJob::start(TrendSource& s, int64_t a, int64_t b) {
    source_ = &s;
    acc_ = IntervalAccumulator();
    stats_ = IntervalStats();
    error_.clear();
    over_ = false;
    const int64_t n = s.size();
    if (a > b) std::swap(a, b);
    a_ = next_ = std::clamp<int64_t>(a, 0, std::max<int64_t>(n - 1, 0));
    end_ = n == 0 ? 0 : std::clamp<int64_t>(b, 0, n - 1) + 1;
}

bool TrendIntervalJob::step() {
    if (!source_ || over_) return true;
    if (next_ < end_) {
        const int64_t to = std::min(next_ + kChunk, end_);
        if (Status s = source_->addTo(acc_, next_, to); !s) {
            error_ = s.message();
            over_ = true;
            return true;
        }
        next_ = to;
        if (next_ < end_) return false;
    }
    stats_ = acc_.finish(source_->empty() ? 0 : source_->firstNumber + a_, source_->stepSeconds(),
                         source_->motorUsable);
    over_ = true;
    return true;
}

Result<IntervalStats> intervalStats(TrendSource& s, int64_t a, int64_t b) {
    TrendIntervalJob job;
    job.start(s, a, b);
    while (!job.step()) {
    }
    if (!job.error().isEmpty()) return Status::failure(job.error());
    return job.stats();
}

}  // namespace mervo
