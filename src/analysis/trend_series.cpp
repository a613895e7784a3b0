#include "analysis/trend_series.h"

#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

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

void trendColumns(const SampleRows& r, int64_t from, int64_t to,
                  const std::array<float*, kTrendQuantities>& out) {
    int64_t done = from;  // rows whose stored quantities are out
#if defined(__SSE2__)
    // The stored values of four rows turned into four columns at a time (two 4 x 4 transposes and the ninth
    // value gathered), instead of a strided read per quantity; magnitudes by clearing the sign bit. A stored
    // value no quantity asks for goes to a scratch column.
    float* to9[9] = {};
    __m128 clear[9];  // the sign bit where a magnitude is wanted
    for (__m128& c : clear) c = _mm_setzero_ps();
    bool stored = false, plain = true;
    for (int k = 0; k < 9 && plain; ++k) {
        if (!out[static_cast<size_t>(k)]) continue;
        const RowColumn c = rowColumn(r, static_cast<TrendQuantity>(k));
        const int64_t at = c.data - r.fileValues;
        plain = c.stride == 9 && !c.negate && !c.motor && at >= 0 && at < 9;
        if (!plain) break;
        to9[at] = out[static_cast<size_t>(k)];
        clear[at] = _mm_set1_ps(c.magnitude ? -0.0f : 0.0f);
        stored = true;
    }
    if (stored && plain) {
        std::vector<float> scratch;
        for (float*& o : to9)
            if (!o) {
                if (scratch.empty()) scratch.resize(static_cast<size_t>(to - from));
                o = scratch.data();
            }
        const auto put = [&](int at, __m128 v, int64_t j) {
            _mm_storeu_ps(to9[at] + (j - from), _mm_andnot_ps(clear[at], v));
        };
        for (; done + 4 <= to; done += 4) {
            const float* p = r.fileValues + 9 * done;
            __m128 a0 = _mm_loadu_ps(p), a1 = _mm_loadu_ps(p + 9), a2 = _mm_loadu_ps(p + 18),
                   a3 = _mm_loadu_ps(p + 27);
            _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
            __m128 b0 = _mm_loadu_ps(p + 4), b1 = _mm_loadu_ps(p + 13), b2 = _mm_loadu_ps(p + 22),
                   b3 = _mm_loadu_ps(p + 31);
            _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
            put(0, a0, done), put(1, a1, done), put(2, a2, done), put(3, a3, done);
            put(4, b0, done), put(5, b1, done), put(6, b2, done), put(7, b3, done);
            put(8, _mm_setr_ps(p[8], p[17], p[26], p[35]), done);
        }
    }
#endif
    for (int k = 0; k < kTrendQuantities; ++k) {
        float* o = out[static_cast<size_t>(k)];
        if (!o) continue;
        const int64_t start = k < 9 ? done : from;
        trendColumn(r, static_cast<TrendQuantity>(k), start, to, o + (start - from));
    }
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
