#include "analysis/trend_series.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measurement/sample_math.h"

namespace mervo {

namespace {

const TrendQuantityInfo kInfo[kTrendQuantities] = {
    {"I1", "A"},     {"I2", "A"},    {"I3", "A"},      {"U1", "V"},       {"U2", "V"},
    {"U3", "V"},     {"ΣP", "kW"},   {"ΣQ", "kvar"},   {"S", "kVA"},      {"功率因数", ""},
    {"效率", "%"},   {"负载率", "%"}, {"输出功率", "kW"},
};

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

}  // namespace

const TrendQuantityInfo& trendQuantityInfo(TrendQuantity q) { return kInfo[indexOf(q)]; }

TrendSample trendSampleOf(const float v[9], float sumP, float sumQ, float s, float pf, const MotorSample& motor) {
    TrendSample t;
    auto set = [&t](TrendQuantity q, float x) { t.values[static_cast<size_t>(indexOf(q))] = x; };
    set(TrendQuantity::I1, v[0]);
    set(TrendQuantity::U1, v[1]);
    set(TrendQuantity::I2, v[3]);
    set(TrendQuantity::U2, v[4]);
    set(TrendQuantity::I3, v[6]);
    set(TrendQuantity::U3, v[7]);
    set(TrendQuantity::SumP, sumP);
    set(TrendQuantity::SumQ, sumQ);
    set(TrendQuantity::S, s);
    set(TrendQuantity::PF, pf);
    set(TrendQuantity::Efficiency, motor.outputs ? motor.outputs->efficiency : kNoValue);
    set(TrendQuantity::LoadRate, motor.outputs ? motor.outputs->loadRate : kNoValue);
    set(TrendQuantity::OutputPower, motor.outputs ? motor.outputs->outputPower : kNoValue);
    t.state = motor.state;
    return t;
}

void TrendSeries::reset(float uniformTotalTime, int64_t expectedSamples) {
    totalTime_ = uniformTotalTime > 0 && std::isfinite(uniformTotalTime) ? uniformTotalTime : 0.0f;
    expected_ = expectedSamples;
    const size_t n = static_cast<size_t>(std::max<int64_t>(expectedSamples, 0));
    for (auto& v : values_) {
        v.clear();
        v.shrink_to_fit();
        v.reserve(n);
    }
    state_.clear();
    state_.shrink_to_fit();
    state_.reserve(n);
    elapsed_.clear();
    elapsed_.shrink_to_fit();
    if (totalTime_ == 0) elapsed_.reserve(n);
}

void TrendSeries::append(const TrendSample& s) {
    for (int k = 0; k < kTrendQuantities; ++k) values_[static_cast<size_t>(k)].push_back(s.values[static_cast<size_t>(k)]);
    state_.push_back(static_cast<uint8_t>(s.state));
}

void TrendSeries::append(const TrendSample& s, float elapsed) {
    append(s);
    elapsed_.push_back(elapsed);
}

double TrendSeries::time(int64_t i) const {
    if (totalTime_ > 0) return sampleElapsed(totalTime_, i + 1, expected_);
    return elapsed_[static_cast<size_t>(i)];
}

int64_t TrendSeries::lowerBound(double t) const {
    int64_t lo = 0, hi = size();
    if (std::isnan(t)) return 0;
    if (totalTime_ > 0 && expected_ > 0 && std::fabs(t) < 1e12) {
        // A first guess from the even spacing, then the exact comparison around it.
        const double guess = t * static_cast<double>(expected_) / totalTime_ - 1.0;
        const int64_t g = std::clamp<int64_t>(static_cast<int64_t>(std::floor(guess)), 0, hi);
        lo = std::max<int64_t>(0, g - 2);
        hi = std::min<int64_t>(hi, g + 3);
        while (lo > 0 && time(lo - 1) >= t) --lo;
        while (hi < size() && time(hi) < t) ++hi;
    }
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (time(mid) < t) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

int64_t TrendSeries::nearest(double t) const {
    if (empty()) return -1;
    const int64_t i = lowerBound(t);
    if (i >= size()) return size() - 1;
    if (i == 0) return 0;
    return t - time(i - 1) <= time(i) - t ? i - 1 : i;
}

size_t TrendSeries::bytes() const {
    size_t b = state_.capacity() + elapsed_.capacity() * sizeof(float);
    for (const auto& v : values_) b += v.capacity() * sizeof(float);
    return b;
}

}  // namespace mervo
