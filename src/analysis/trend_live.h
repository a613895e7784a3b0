// The last half hour or so of a receive for the trend window: a ring of fixed size filled from the blocks the
// receive has processed (the values it writes to the file), so memory stays flat however long it records.
// Filling costs a copy and the motor evaluation per block; the window's source copies the ring out when it
// has moved on.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/trend_series.h"
#include "analysis/trend_source.h"
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
    size_t bytes() const;

    // Held block k, oldest first (0 <= k < held()), and its elapsed time.
    const TrendSample& at(int64_t k) const { return ring_[slotOf(k)]; }
    float elapsedAt(int64_t k) const { return elapsed_[slotOf(k)]; }
    // The number of the oldest block held.
    int64_t firstNumber() const { return lastNumber_ - held_ + 1; }
    float startClock() const { return startClock_; }
    const std::array<float, 7>& nameplate() const { return nameplate_; }
    bool motorUsable() const;

private:
    size_t slotOf(int64_t k) const {
        return static_cast<size_t>((head_ - held_ + k + 2 * capacity()) % capacity());
    }
    std::vector<TrendSample> ring_;
    std::vector<float> elapsed_;
    int64_t head_ = 0, held_ = 0, received_ = 0, lastNumber_ = 0;
    MotorValues motor_;
    float startClock_ = 0;
    std::array<float, 7> nameplate_{};
    bool started_ = false;
};

}  // namespace mervo

namespace mervo {

// The receive in progress as the trend window's source: the blocks the ring holds, copied out when they have
// moved on (a view held still keeps what it copied while recording goes on), each with its own time.
class TrendLiveSource : public TrendSource {
public:
    // Summarises `quantities` of what `ring` holds; `receiving` says whether the receive still runs.
    TrendLiveSource(const TrendLiveBuffer& ring, std::function<bool()> receiving,
                    const std::vector<TrendQuantity>& quantities);

    int64_t size() const override { return static_cast<int64_t>(elapsed_.size()); }
    double time(int64_t i) const override { return elapsed_[static_cast<size_t>(i)]; }
    // The latest block's elapsed time over its number, as the receive's energies count it.
    double stepSeconds() const override;
    bool update() override;
    bool settled() const override;
    QString status() const override;
    Status addTo(IntervalAccumulator& acc, int64_t from, int64_t to) override;
    size_t bytes() const override;

protected:
    Run runAt(int64_t i) const override;

private:
    const TrendLiveBuffer& ring_;
    std::function<bool()> receiving_;
    std::vector<TrendQuantity> quantities_;
    std::array<std::vector<float>, kTrendQuantities> values_;
    std::vector<MotorState> state_;
    std::vector<float> elapsed_;
    int64_t pulled_ = -1;  // blocks received when last copied
};

}  // namespace mervo
