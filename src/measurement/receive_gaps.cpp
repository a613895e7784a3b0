#include "measurement/receive_gaps.h"

#include <algorithm>

namespace mervo {

ReceiveGaps::ReceiveGaps(std::vector<ReceiveGap> gaps) {
    std::stable_sort(gaps.begin(), gaps.end(),
                     [](const ReceiveGap& a, const ReceiveGap& b) { return a.afterSample < b.afterSample; });
    for (const ReceiveGap& g : gaps) add(g);
}

void ReceiveGaps::add(const ReceiveGap& gap) {
    gaps_.push_back(gap);
    before_.push_back(totalSeconds() + gap.seconds);
}

double ReceiveGaps::secondsBefore(int64_t i) const {
    // Running sums over gaps in sample order: a month with many gaps still costs a binary search a sample.
    const auto end = std::lower_bound(gaps_.begin(), gaps_.end(), i,
                                      [](const ReceiveGap& g, int64_t n) { return g.afterSample < n; });
    const auto k = end - gaps_.begin();
    return k == 0 ? 0.0 : before_[static_cast<size_t>(k - 1)];
}

}  // namespace mervo
