#include "analysis/trend_live.h"

#include <algorithm>

namespace mervo {

TrendLiveBuffer::TrendLiveBuffer(int64_t capacity)
    : ring_(static_cast<size_t>(std::max<int64_t>(capacity, 1))), elapsed_(ring_.size()) {}

void TrendLiveBuffer::start(const std::array<float, 7>& nameplate, float startClock) {
    motor_ = MotorValues{};
    confirmNameplate(motor_, nameplate);
    startClock_ = startClock;
    head_ = held_ = received_ = lastNumber_ = 0;
    started_ = true;
}

void TrendLiveBuffer::push(int64_t number, float elapsed, const float written[9], float sumP, float sumQ, float s,
                           float pf) {
    const size_t at = static_cast<size_t>(head_);
    ring_[at] = trendSampleOf(written, sumP, sumQ, s, pf, evaluateMotor(motor_, sumP));
    elapsed_[at] = elapsed;
    head_ = (head_ + 1) % capacity();
    held_ = std::min(held_ + 1, capacity());
    ++received_;
    lastNumber_ = number;
}

void TrendLiveBuffer::copyTo(TrendSeries& out) const {
    out.reset(0, held_);
    out.startClock = startClock_;
    out.motorUsable = motorModelUsable(motor_);
    out.firstNumber = lastNumber_ - held_ + 1;
    const int64_t oldest = (head_ - held_ + capacity()) % capacity();
    for (int64_t k = 0; k < held_; ++k) {
        const size_t at = static_cast<size_t>((oldest + k) % capacity());
        out.append(ring_[at], elapsed_[at]);
    }
}

size_t TrendLiveBuffer::bytes() const {
    return ring_.capacity() * sizeof(TrendSample) + elapsed_.capacity() * sizeof(float);
}

}  // namespace mervo
