#include "measurement/sample_math.h"

#include <cmath>
#include <limits>

namespace mervo {

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

}  // namespace mervo
