#include "analysis/trend_live.h"

#include <algorithm>

#include "analysis/interval_stats.h"

namespace mervo {

TrendLiveBuffer::TrendLiveBuffer(int64_t capacity)
    : ring_(static_cast<size_t>(std::max<int64_t>(capacity, 1))), elapsed_(ring_.size()) {}

void TrendLiveBuffer::start(const std::array<float, 7>& nameplate, float startClock) {
    motor_ = MotorValues{};
    confirmNameplate(motor_, nameplate);
    startClock_ = startClock;
    nameplate_ = nameplate;
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

bool TrendLiveBuffer::motorUsable() const { return motorModelUsable(motor_); }

size_t TrendLiveBuffer::bytes() const {
    return ring_.capacity() * sizeof(TrendSample) + elapsed_.capacity() * sizeof(float);
}

}  // namespace mervo

namespace mervo {

TrendLiveSource::TrendLiveSource(const TrendLiveBuffer& ring, std::function<bool()> receiving,
                                 const std::vector<TrendQuantity>& quantities)
    : ring_(ring), receiving_(std::move(receiving)), quantities_(quantities) {
    pyramid_.reset(quantities_, 0);
    startClock = ring_.startClock();
    nameplate = ring_.nameplate();
    motorUsable = ring_.motorUsable();
}

bool TrendLiveSource::update() {
    if (ring_.received() == pulled_) return false;
    pulled_ = ring_.received();
    const size_t n = static_cast<size_t>(ring_.held());
    for (auto& v : values_) v.resize(n);
    state_.resize(n);
    elapsed_.resize(n);
    for (size_t k = 0; k < n; ++k) {
        const TrendSample& s = ring_.at(static_cast<int64_t>(k));
        for (size_t q = 0; q < values_.size(); ++q) values_[q][k] = s.values[q];
        state_[k] = s.state;
        elapsed_[k] = ring_.elapsedAt(static_cast<int64_t>(k));
    }
    startClock = ring_.startClock();
    nameplate = ring_.nameplate();
    motorUsable = ring_.motorUsable();
    firstNumber = ring_.firstNumber();
    std::array<const float*, kTrendQuantities> columns{};
    for (size_t q = 0; q < values_.size(); ++q) columns[q] = values_[q].data();
    pyramid_.reset(quantities_, static_cast<int64_t>(n));
    pyramid_.append(columns, static_cast<int64_t>(n));
    pyramid_.finish();
    return true;
}

bool TrendLiveSource::settled() const { return !(receiving_ && receiving_()); }

QString TrendLiveSource::status() const {
    return settled()
               ? QStringLiteral("接收结束：已记录 %1 组（重新载入可显示整个文件）").arg(ring_.received())
               : QStringLiteral("正在接收：已记录 %1 组").arg(ring_.received());
}

double TrendLiveSource::stepSeconds() const {
    if (empty()) return 0;
    const int64_t lastNumber = firstNumber + size() - 1;
    return lastNumber > 0 ? time(size() - 1) / static_cast<double>(lastNumber) : 0.0;
}

Status TrendLiveSource::addTo(IntervalAccumulator& acc, int64_t from, int64_t to) {
    for (int64_t i = std::max<int64_t>(from, 0); i < std::min(to, size()); ++i) acc.add(sample(i));
    return {};
}

TrendSource::Run TrendLiveSource::runAt(int64_t) const {
    Run r;
    r.count = size();
    for (size_t q = 0; q < values_.size(); ++q) r.values[q] = values_[q].data();
    r.state = state_.data();
    return r;
}

size_t TrendLiveSource::bytes() const {
    size_t b =
        pyramid_.bytes() + state_.capacity() * sizeof(MotorState) + elapsed_.capacity() * sizeof(float);
    for (const auto& v : values_) b += v.capacity() * sizeof(float);
    return b;
}

}  // namespace mervo
