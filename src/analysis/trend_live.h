// The last half hour or so of a receive for the trend window: a ring of fixed size filled from the blocks the
// receive has processed (the values it writes to the file), so memory stays flat however long it records.
// Filling costs a copy and the motor evaluation per block; the window copies the ring out when it redraws.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/trend_series.h"
#include "shared/shared_state.h"

namespace mervo {

class TrendLiveBuffer {
public:
    // Thirty-four minutes of blocks at the instrument's 32 a second.
    static constexpr int64_t kDefaultCapacity = 65536;
    explicit TrendLiveBuffer(int64_t capacity = kDefaultCapacity);

    // A receive starts: empties the ring; the nameplate is the one it records with.
    void start(const std::array<float, 7>& nameplate, float startClock);
    // One processed block: its number in the receive (from 1), its elapsed time, the nine values written to the
    // file, and its totals with the signed power factor.
    void push(int64_t number, float elapsed, const float written[9], float sumP, float sumQ, float s, float pf);

    // Blocks pushed since start(): a window redraws when this has moved on.
    int64_t received() const { return received_; }
    int64_t held() const { return held_; }
    int64_t capacity() const { return static_cast<int64_t>(elapsed_.size()); }
    bool started() const { return started_; }
    // Every block held, oldest first, into `out` (replaced).
    void copyTo(TrendSeries& out) const;
    size_t bytes() const;

private:
    std::vector<TrendSample> ring_;
    std::vector<float> elapsed_;
    int64_t head_ = 0, held_ = 0, received_ = 0, lastNumber_ = 0;
    MotorValues motor_;
    float startClock_ = 0;
    bool started_ = false;
};

}  // namespace mervo
