#include "analysis/trend_series.h"

#include <cmath>
#include <limits>


namespace mervo {

namespace {

const TrendQuantityInfo kInfo[kTrendQuantities] = {
    {"I1", "A"},     {"I2", "A"},    {"I3", "A"},      {"U1", "V"},       {"U2", "V"},
    {"U3", "V"},     {"P1", "kW"},   {"P2", "kW"},     {"P3", "kW"},      {"ΣP", "kW"},
    {"ΣQ(+L/−C)", "kvar"},           {"S", "kVA"},     {"功率因数", ""},
    {"效率", "%"},   {"负载率", "%"}, {"输出功率", "kW"},
};

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

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

namespace {

// RowColumn::at over a run, the kind of column fixed so the loop has no branch.
template <bool Magnitude, bool Negate, int64_t Stride>
void copyColumn(const float* data, int64_t from, int64_t to, float* out) {
    for (int64_t j = from; j < to; ++j) {
        float v = data[j * Stride];
        if (Magnitude) v = std::fabs(v);
        if (Negate) v = -v;
        out[j - from] = v;
    }
}

}  // namespace

void trendColumn(const SampleRows& r, TrendQuantity q, int64_t from, int64_t to, float* out) {
    const RowColumn c = rowColumn(r, q);
    if (c.stride == 9 && (c.magnitude || !c.negate)) {
        if (c.magnitude) copyColumn<true, false, 9>(c.data, from, to, out);
        else copyColumn<false, false, 9>(c.data, from, to, out);
    } else if (c.stride == 1) {
        if (c.magnitude) copyColumn<true, false, 1>(c.data, from, to, out);
        else if (c.negate) copyColumn<false, true, 1>(c.data, from, to, out);
        else copyColumn<false, false, 1>(c.data, from, to, out);
    } else {
        for (int64_t j = from; j < to; ++j) out[j - from] = c.at(j);
    }
    if (c.motor)
        for (int64_t j = from; j < to; ++j) out[j - from] = hasOutputs(r.state[j]) ? out[j - from] : kNoValue;
}

}  // namespace mervo
