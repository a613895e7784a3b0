// The gaps of a receive that lost its instrument and waited for it to come back: after which sample each came,
// and how long it lasted. The samples of a measurement span the time they cover; a gap adds its seconds to the
// time of every sample after it.
#pragma once

#include <cstdint>
#include <vector>

namespace mervo {

struct ReceiveGap {
    int64_t afterSample = 0;  // the number (from 1) of the last sample before it; 0 before the first
    double seconds = 0;
    bool operator==(const ReceiveGap& o) const { return afterSample == o.afterSample && seconds == o.seconds; }
};

class ReceiveGaps {
public:
    ReceiveGaps() = default;
    // In any order; kept in the order of their samples.
    explicit ReceiveGaps(std::vector<ReceiveGap> gaps);

    bool empty() const { return gaps_.empty(); }
    const std::vector<ReceiveGap>& list() const { return gaps_; }
    // A gap after the last one.
    void add(const ReceiveGap& gap);
    // The seconds of every gap before sample i (from 1): those after samples 0 to i - 1.
    double secondsBefore(int64_t i) const;
    double totalSeconds() const { return before_.empty() ? 0.0 : before_.back(); }

private:
    std::vector<ReceiveGap> gaps_;
    std::vector<double> before_;  // before_[k]: the seconds of gaps 0..k
};

}  // namespace mervo
