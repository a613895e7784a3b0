#include "measurement/sample_math.h"

#include "measurement/sample_totals.h"
#include "shared/wide_vectors.h"

#include <cmath>
#include <limits>

namespace mervo {

namespace {

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
    const ChannelPowers a = channelPowers(lv[0], lv[1], lv[2]);
    const ChannelPowers b = channelPowers(lv[3], lv[4], lv[5]);
    const ChannelPowers c = channelPowers(lv[6], lv[7], lv[8]);
    if (!std::isfinite(a.s) || !std::isfinite(b.s) || !std::isfinite(c.s)) return kErrOverflow;
    lv[2] = a.p;
    lv[5] = b.p;
    lv[8] = c.p;
    const Totals t = formTotals(a, b, c);
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
    float limited[3];
    const Totals t = sampleTotals(sampleValues.data(), limited);
    for (int k = 0; k < 3; ++k) sampleValues[3 * k + 2] = limited[k];
    target[2] = t.sumP;
    target[5] = t.sumQ;
    target[8] = t.pf;
    target[9] = t.s;
}

// Where the processor has them, wider vectors take twice the samples a step; the arithmetic is the same IEEE
// operations either way (no fused multiply-add), so every result is identical.
MERVO_WIDE_VECTORS
void deriveTotalsBlock(const float* samples, int64_t count, float* sumP, float* sumQ, float* pf, float* s) {
    // The nine values of a run of samples side by side first: unit-stride columns are what vectorises.
    constexpr int64_t kRun = 256;
    float column[9][kRun];
    for (int64_t j0 = 0; j0 < count; j0 += kRun) {
        const int64_t m = count - j0 < kRun ? count - j0 : kRun;
        const float* in = samples + 9 * j0;
        for (int64_t j = 0; j < m; ++j)
            for (int k = 0; k < 9; ++k) column[k][j] = in[9 * j + k];
        for (int64_t j = 0; j < m; ++j) {
            const ChannelPowers a = channelPowers(column[0][j], column[1][j], column[2][j]);
            const ChannelPowers b = channelPowers(column[3][j], column[4][j], column[5][j]);
            const ChannelPowers c = channelPowers(column[6][j], column[7][j], column[8][j]);
            const Totals t = formTotals(a, b, c);
            sumP[j0 + j] = t.sumP;
            sumQ[j0 + j] = t.sumQ;
            pf[j0 + j] = t.pf;
            s[j0 + j] = t.s;
        }
    }
}

ExtremesScan::ExtremesScan(float duration, int64_t samples) {
    live_.resetExtremes();
    duration_ = std::isfinite(duration) && duration > 0 ? duration : 0.0f;
    samples_ = samples;
}

void ExtremesScan::add(const float v[9]) {
    for (int k = 0; k < 9; ++k) live_.LiveValues[k] = v[k];
    // The analysis pass's own clock, so the energies agree with what it shows.
    ProcessSample(live_, sums_, sampleElapsed(duration_, ++added_, samples_));
}

}  // namespace mervo
