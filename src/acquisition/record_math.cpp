#include "acquisition/record_math.h"

#include <cmath>
#include <limits>

namespace mervo {

float DecodeTriple(uint8_t b0, uint8_t b1, uint8_t b2) {
    float m = static_cast<float>(256 * b1 + b0) / 65536.0f;
    int c = b2;
    if (c > 127) {
        m = -m;
        c -= 128;
    }
    // m has 16 significant bits and the power of two is exact, so one scaling gives the exact value.
    if (c >= 64) return static_cast<float>(std::ldexp(static_cast<double>(m), -(128 - c)));
    return static_cast<float>(std::ldexp(static_cast<double>(m), c));
}

std::array<uint8_t, 3> EncodeTriple(float v) {
    if (!(v == v) || v == 0.0f) return {0, 0, 0};
    const bool negative = v < 0;
    double a = std::fabs(static_cast<double>(v));
    int e = 0;
    double frac = std::frexp(a, &e);  // a = frac * 2^e, frac in [0.5, 1)
    long mant;
    if (e > 63 || std::isinf(a)) {
        e = 63;
        mant = 65535;
    } else {
        if (e < -64) {
            frac = std::ldexp(a, 64);
            e = -64;
        }
        mant = std::lround(frac * 65536.0);
        if (mant >= 65536) {
            if (e == 63) {
                mant = 65535;
            } else {
                mant = 32768;
                ++e;
            }
        }
    }
    int c = e >= 0 ? e : 128 + e;
    if (negative) c += 128;
    return {static_cast<uint8_t>(mant & 0xFF), static_cast<uint8_t>(mant >> 8), static_cast<uint8_t>(c)};
}

void ScaleRecord(std::array<float, 12>& values, float ctRatio, float ptRatio) {
    for (int k = 0; k < 3; ++k) {
        values[3 * k] = values[3 * k] * ctRatio;
        values[3 * k + 1] = values[3 * k + 1] * ptRatio;
        values[3 * k + 2] = values[3 * k + 2] * ctRatio * ptRatio;
    }
}

namespace {

float signOf(float x) { return x > 0 ? 1.0f : (x < 0 ? -1.0f : 0.0f); }

// U * I / 1000 rounded once to float (the product of two floats is exact in a double).
float apparentPower(float u, float i) {
    return static_cast<float>(static_cast<double>(u) * static_cast<double>(i) / 1000.0);
}

struct Totals {
    float sumP, sumQ, s, pf;
};

// Given per-channel S and limited P with the currents' signs: Q per channel, totals, S and signed PF.
Totals formTotals(const float sk[3], const float pk[3], const float ik[3]) {
    float qk[3];
    for (int k = 0; k < 3; ++k) {
        const double d = static_cast<double>(sk[k]) * sk[k] - static_cast<double>(pk[k]) * pk[k];
        qk[k] = static_cast<float>(std::sqrt(d) * signOf(ik[k]));
    }
    Totals t{};
    t.sumQ = (qk[0] + qk[1]) + qk[2];
    t.sumP = (pk[0] + pk[1]) + pk[2];
    t.s = static_cast<float>(
        std::sqrt(static_cast<double>(t.sumQ) * t.sumQ + static_cast<double>(t.sumP) * t.sumP));
    t.pf = t.sumQ == 0.0f ? 1.0f : t.sumP * signOf(t.sumQ) / t.s;
    return t;
}

// Limits |P| of each channel to its apparent power; channel values are read from `v` (file-sample order).
void limitChannels(const float* v, float sk[3], float pk[3], float ik[3]) {
    for (int k = 0; k < 3; ++k) {
        ik[k] = v[3 * k];
        sk[k] = apparentPower(v[3 * k + 1], ik[k]);
        pk[k] = v[3 * k + 2];
        if (std::fabs(sk[k]) < std::fabs(pk[k])) pk[k] = std::fabs(sk[k]) * signOf(pk[k]);
    }
}

bool allFinite(const float* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

}  // namespace

int ProcessSample(LiveArrays& live, RunningSums& sums, float elapsed) {
    auto& lv = live.LiveValues;
    for (int i = 0; i < 9; ++i) live.SampleValues[i] = lv[i];
    if (!allFinite(lv.data(), 9)) return kErrOverflow;

    // U * I is a float product: a block whose product no float can hold is an overflow, as it would be
    // before the division by 1000.
    for (int k = 0; k < 3; ++k)
        if (std::fabs(static_cast<double>(lv[3 * k]) * lv[3 * k + 1]) > std::numeric_limits<float>::max())
            return kErrOverflow;
    float sk[3], pk[3], ik[3];
    limitChannels(lv.data(), sk, pk, ik);
    if (!allFinite(sk, 3)) return kErrOverflow;
    for (int k = 0; k < 3; ++k) lv[3 * k + 2] = pk[k];
    const Totals t = formTotals(sk, pk, ik);
    if (!std::isfinite(t.sumP) || !std::isfinite(t.sumQ) || !std::isfinite(t.s)) return kErrOverflow;
    if (!std::isfinite(t.pf)) return kErrInvalidArgument;

    const RunningSums before = sums;
    sums.SumP = sums.SumP + t.sumP;
    sums.SumQ = sums.SumQ + t.sumQ;
    sums.BlockCount = sums.BlockCount + 1;
    sums.EnergyP = static_cast<float>(elapsed * (sums.SumP / sums.BlockCount) / 3600.0);
    sums.EnergyQ = static_cast<float>(elapsed * (sums.SumQ / sums.BlockCount) / 3600.0);
    if (!std::isfinite(sums.EnergyP) || !std::isfinite(sums.EnergyQ)) {
        sums = before;
        return kErrOverflow;
    }

    lv[2] = t.sumP;
    lv[5] = t.sumQ;
    lv[8] = std::fabs(t.pf);
    lv[9] = t.s;
    lv[10] = std::fabs(sums.EnergyP);
    lv[11] = std::fabs(sums.EnergyQ);
    live.PowerFactorNegative = t.pf < 0;

    for (int n = 0; n < 12; ++n) {
        const float v = n == 2 ? lv[2] : std::fabs(lv[n]);
        // Both still at their initial values means no reading yet: the first one sets both, also when it lies
        // beyond them (a 110 kV line must not keep a minimum of 100000).
        if (live.LiveMax[n] == kLiveMaxInit && live.LiveMin[n] == kLiveMinInit) {
            live.LiveMax[n] = v;
            live.LiveMin[n] = v;
            continue;
        }
        if (v > live.LiveMax[n]) live.LiveMax[n] = v;
        if (v < live.LiveMin[n]) live.LiveMin[n] = v;
    }
    return 0;
}

void DeriveRecord(std::array<float, 9>& sampleValues, std::array<float, 12>& target) {
    float sk[3], pk[3], ik[3];
    limitChannels(sampleValues.data(), sk, pk, ik);
    for (int k = 0; k < 3; ++k) sampleValues[3 * k + 2] = pk[k];
    const Totals t = formTotals(sk, pk, ik);
    target[2] = t.sumP;
    target[5] = t.sumQ;
    target[8] = t.pf;
    target[9] = t.s;
}

ExtremesScan::ExtremesScan(float duration, int64_t samples) {
    live_.resetExtremes();
    const float d = std::isfinite(duration) && duration > 0 ? duration : 0.0f;
    step_ = samples > 0 ? d / static_cast<float>(samples) : 0.0f;
}

void ExtremesScan::add(const float v[9]) {
    for (int k = 0; k < 9; ++k) live_.LiveValues[k] = v[k];
    // Accumulated like the analysis pass's own clock, so the energies agree with what it shows.
    t_ = t_ + step_;
    ProcessSample(live_, sums_, t_);
}

void SplitTime(float t, TimeParts& out) {
    // Negative, non-finite or absurd times (a damaged header) show as zero rather than wrapping around.
    if (!(t >= 0.0f) || t >= 32767.0f * 3600.0f) {
        out = TimeParts{};
        return;
    }
    const double td = t;
    const double x = td / 3600.0;
    double h = std::floor(x);
    const double y = (x - h) * 60.0;
    double m = std::floor(y);
    double s = std::floor((y - m) * 60.0);
    const double f = td - h * 3600.0 - m * 60.0 - s;
    double cs = std::floor(f * 100.0 + 0.5);
    if (cs == 100) {
        cs = 0;
        s += 1;
    }
    if (s >= 60) {
        s = 0;
        m += 1;
    }
    if (m >= 60) {
        m = 0;
        h += 1;
    }
    out.TimeH = static_cast<int16_t>(h);
    out.TimeM = static_cast<int16_t>(m);
    out.TimeS = static_cast<int16_t>(s);
    out.TimeCs = static_cast<float>(cs);
}

}  // namespace mervo
