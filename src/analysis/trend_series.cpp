#include "analysis/trend_series.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measurement/sample_math.h"

namespace mervo {

namespace {

const TrendQuantityInfo kInfo[kTrendQuantities] = {
    {"I1", "A"},     {"I2", "A"},    {"I3", "A"},      {"U1", "V"},       {"U2", "V"},
    {"U3", "V"},     {"P1", "kW"},   {"P2", "kW"},     {"P3", "kW"},      {"ΣP", "kW"},
    {"ΣQ(+L/−C)", "kvar"},           {"S", "kVA"},     {"功率因数", ""},
    {"效率", "%"},   {"负载率", "%"}, {"输出功率", "kW"},
};

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// The smallest of mins[0..n) and the largest of maxs[0..n) folded into lo and hi, NaN skipped: written as
// selects that the compiler turns into vector min/max (a NaN operand leaves the running value as it was). The
// samples themselves are both arrays at once; block summaries are two.
void foldBlocks(const float* mins, const float* maxs, int64_t n, float& lo, float& hi) {
    float mn = lo, mx = hi;
    for (int64_t i = 0; i < n; ++i) {
        mn = mins[i] < mn ? mins[i] : mn;
        mx = maxs[i] > mx ? maxs[i] : mx;
    }
    lo = mn;
    hi = mx;
}

void foldMinMax(const float* v, int64_t n, float& lo, float& hi) { foldBlocks(v, v, n, lo, hi); }

constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

const TrendQuantityInfo& trendQuantityInfo(TrendQuantity q) { return kInfo[indexOf(q)]; }

RowColumn rowColumn(const SampleRows& r, TrendQuantity q) {
    // The stored value (file order I1 U1 P1 I2 U2 P2 I3 U3 P3) behind each of I1 ... P3.
    constexpr int kStored[9] = {0, 3, 6, 1, 4, 7, 2, 5, 8};
    const int k = indexOf(q);
    if (k < 9) return {r.fileValues + kStored[k], 9, k < 6, false, false};
    switch (q) {
        case TrendQuantity::SumP: return {r.sumP, 1, false, false, false};
        case TrendQuantity::SumQ: return {r.sumQ, 1, false, true, false};  // see measurement/reactive_sign.h
        case TrendQuantity::S: return {r.s, 1, false, false, false};
        case TrendQuantity::PF: return {r.pf, 1, true, false, false};
        case TrendQuantity::Efficiency: return {r.efficiency, 1, false, false, true};
        case TrendQuantity::LoadRate: return {r.loadRate, 1, false, false, true};
        default: return {r.outputPower, 1, false, false, true};
    }
}

TrendSample trendSampleOf(const SampleRows& r, int64_t j) {
    TrendSample t;
    t.state = r.state[j];
    for (int k = 0; k < kTrendQuantities; ++k) {
        const RowColumn c = rowColumn(r, static_cast<TrendQuantity>(k));
        t.values[static_cast<size_t>(k)] = c.motor && !hasOutputs(t.state) ? kNoValue : c.at(j);
    }
    return t;
}

TrendSample trendSampleOf(const float v[9], float sumP, float sumQ, float s, float pf, const MotorSample& motor) {
    const MotorOutputs o = motor.outputs.value_or(MotorOutputs{});
    const MotorState state = motor.outputs ? motor.state : MotorState::NoMotorData;
    SampleRows r;
    r.count = 1;
    r.fileValues = v;
    r.sumP = &sumP;
    r.sumQ = &sumQ;
    r.s = &s;
    r.pf = &pf;
    r.outputPower = &o.outputPower;
    r.efficiency = &o.efficiency;
    r.loadRate = &o.loadRate;
    r.state = &state;
    TrendSample t = trendSampleOf(r, 0);
    t.state = motor.state;
    return t;
}

void trendColumn(const SampleRows& r, TrendQuantity q, int64_t from, int64_t to, float* out) {
    const RowColumn c = rowColumn(r, q);
    for (int64_t j = from; j < to; ++j) out[j - from] = c.at(j);
    if (c.motor)
        for (int64_t j = from; j < to; ++j)
            if (!hasOutputs(r.state[j])) out[j - from] = kNoValue;
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
    for (auto* blocks : {&blockMin_, &blockMax_})
        for (auto& b : *blocks) {
            b.clear();
            b.shrink_to_fit();
            b.reserve(n / kBlock + 1);
        }
}

void TrendSeries::append(const TrendSample& s) {
    for (int k = 0; k < kTrendQuantities; ++k) values_[static_cast<size_t>(k)].push_back(s.values[static_cast<size_t>(k)]);
    state_.push_back(static_cast<uint8_t>(s.state));
    if (state_.size() % kBlock == 0) summariseNewBlocks();
}

void TrendSeries::append(const SampleRows& r) {
    const size_t n = static_cast<size_t>(r.count);
    for (int k = 0; k < kTrendQuantities; ++k) {
        auto& v = values_[static_cast<size_t>(k)];
        const size_t at = v.size();
        v.resize(at + n);
        trendColumn(r, static_cast<TrendQuantity>(k), 0, r.count, v.data() + at);
    }
    const size_t at = state_.size();
    state_.resize(at + n);
    for (size_t j = 0; j < n; ++j) state_[at + j] = static_cast<uint8_t>(r.state[j]);
    summariseNewBlocks();
}

void TrendSeries::summariseNewBlocks() {
    const size_t whole = state_.size() / kBlock;
    for (size_t k = 0; k < static_cast<size_t>(kTrendQuantities); ++k) {
        for (size_t b = blockMin_[k].size(); b < whole; ++b) {
            float lo = kInf, hi = -kInf;
            foldMinMax(values_[k].data() + b * kBlock, kBlock, lo, hi);
            blockMin_[k].push_back(lo);
            blockMax_[k].push_back(hi);
        }
    }
}

void TrendSeries::rangeMinMax(TrendQuantity q, int64_t a, int64_t b, float* lo, float* hi) const {
    const size_t k = static_cast<size_t>(indexOf(q));
    const float* v = values_[k].data();
    float mn = kInf, mx = -kInf;
    const int64_t firstBlock = (a + kBlock - 1) / kBlock;
    const int64_t endBlock = std::min<int64_t>(b / kBlock, static_cast<int64_t>(blockMin_[k].size()));
    if (firstBlock >= endBlock) {
        foldMinMax(v + a, b - a, mn, mx);
    } else {
        foldMinMax(v + a, firstBlock * kBlock - a, mn, mx);
        foldBlocks(blockMin_[k].data() + firstBlock, blockMax_[k].data() + firstBlock, endBlock - firstBlock, mn, mx);
        foldMinMax(v + endBlock * kBlock, b - endBlock * kBlock, mn, mx);
    }
    *lo = mn;
    *hi = mx;
}

void TrendSeries::append(const TrendSample& s, float elapsed) {
    append(s);
    elapsed_.push_back(elapsed);
}

double TrendSeries::time(int64_t i) const {
    if (totalTime_ > 0) return sampleElapsed(totalTime_, i + 1, expected_);
    return elapsed_[static_cast<size_t>(i)];
}

double TrendSeries::stepSeconds() const {
    if (totalTime_ > 0) return expected_ > 0 ? static_cast<double>(totalTime_) / static_cast<double>(expected_) : 0.0;
    if (empty()) return 0;
    const int64_t lastNumber = firstNumber + size() - 1;
    return lastNumber > 0 ? time(size() - 1) / static_cast<double>(lastNumber) : 0.0;
}

TrendSample TrendSeries::sample(int64_t i) const {
    TrendSample t;
    for (size_t k = 0; k < static_cast<size_t>(kTrendQuantities); ++k) t.values[k] = values_[k][static_cast<size_t>(i)];
    t.state = state(i);
    return t;
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
    for (const auto* blocks : {&blockMin_, &blockMax_})
        for (const auto& v : *blocks) b += v.capacity() * sizeof(float);
    return b;
}

}  // namespace mervo
