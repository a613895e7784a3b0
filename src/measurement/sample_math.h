// The arithmetic that turns a sample into the quantities shown and stored: totals, power factor, energies and
// the running extremes that become a file's trailer.
#pragma once

#include <array>
#include <cstdint>

#include "measurement/receive_gaps.h"
#include "shared/shared_state.h"

namespace mervo {

// Error numbers of the per-block arithmetic; 0 means none.
constexpr int kErrInvalidArgument = 5;
constexpr int kErrOverflow = 6;

// Per received block: limits the channel powers, forms the totals, power factor, energies over `elapsed`
// seconds and the running extremes. Returns 0, or the error number of a value the arithmetic cannot hold,
// in which case the running sums and extremes are left as they were.
int ProcessSample(LiveArrays& live, RunningSums& sums, float elapsed);

// The same limiting and totals for a sample read back from a file (no energies, no extremes). Before the
// call SampleValues and target[0..8] hold the stored sample; afterwards target[2,5,8,9] hold the total active
// power, total reactive power, signed power factor and apparent power.
void DeriveRecord(std::array<float, 9>& sampleValues, std::array<float, 12>& target);

// The elapsed time of stored sample i (from 1) of n spread evenly over `totalTime` seconds, computed from the
// index: a clock that adds totalTime / n sample by sample drifts by minutes over a day.
inline float sampleElapsed(float totalTime, int64_t i, int64_t n) {
    return n > 0 ? static_cast<float>(static_cast<double>(totalTime) * static_cast<double>(i) / static_cast<double>(n))
                 : 0.0f;
}

// The time of stored sample i since the start of its receive, as it was taken: its place among the samples
// (above) plus the receive's gaps before it. Every time of day or elapsed time shown, exported or printed comes
// from here; the energies count the time the samples cover, the rule above.
inline float sampleElapsed(float totalTime, int64_t i, int64_t n, const ReceiveGaps& gaps) {
    return n > 0 ? static_cast<float>(static_cast<double>(totalTime) * static_cast<double>(i) / static_cast<double>(n) +
                                      gaps.secondsBefore(i))
                 : 0.0f;
}

// DeriveRecord's totals for `count` stored samples (nine values each, file order) at once, into four arrays:
// the same arithmetic, in a loop the compiler can vectorise.
void deriveTotalsBlock(const float* samples, int64_t count, float* sumP, float* sumQ, float* pf, float* s);

// The maxima and minima of stored samples gathered as the receive gathers them, for a file whose trailer is
// missing. The duration is spread evenly over the samples: sample k (from 1) counts as received at k x step,
// step = duration / samples, so the energies at the last sample are duration x mean power / 3600. A duration
// that is negative or not finite (a damaged header) counts as 0, giving zero energies rather than no extremes.
// A sample the receive could not have processed leaves the extremes as they were, as it would have.
class ExtremesScan {
public:
    ExtremesScan(float duration, int64_t samples);
    void add(const float v[9]);
    const LiveArrays& live() const { return live_; }
    const RunningSums& sums() const { return sums_; }

private:
    LiveArrays live_;
    RunningSums sums_;
    float duration_ = 0;
    int64_t samples_ = 0, added_ = 0;
};

}  // namespace mervo
