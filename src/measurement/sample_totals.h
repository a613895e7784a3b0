// The per-sample arithmetic from the nine stored values to the totals: each channel's active power limited to
// its apparent power, then the reactive powers, the total active and reactive power, the apparent power and the
// signed power factor. Inline, because it is the inner loop of a day-long pass: the receive, the recovery and
// the analysis pass all call this one copy, and a loop over many samples lets the compiler vectorise it.
#pragma once

#include <cmath>

namespace mervo {

// Written as selects rather than branches, so a loop over many samples vectorises; the values are those of
// the plain comparisons (0 for NaN and for either zero).
inline float signOf(float x) { return (x > 0 ? 1.0f : 0.0f) - (x < 0 ? 1.0f : 0.0f); }

// U * I / 1000 rounded once to float (the product of two floats is exact in a double).
inline float apparentPower(float u, float i) {
    return static_cast<float>(static_cast<double>(u) * static_cast<double>(i) / 1000.0);
}

struct Totals {
    float sumP, sumQ, s, pf;
};

// One channel: its apparent power, its active power limited to that, and its reactive power with the sign of
// its current.
struct ChannelPowers {
    float s, p, q;
};
inline ChannelPowers channelPowers(float i, float u, float p) {
    ChannelPowers c;
    c.s = apparentPower(u, i);
    const float as = std::fabs(c.s);
    c.p = as < std::fabs(p) ? as * signOf(p) : p;
    const double d = static_cast<double>(c.s) * c.s - static_cast<double>(c.p) * c.p;
    c.q = static_cast<float>(std::sqrt(d) * signOf(i));
    return c;
}

// Totals, S and signed PF from the three channels.
inline Totals formTotals(const ChannelPowers& a, const ChannelPowers& b, const ChannelPowers& c) {
    Totals t{};
    t.sumQ = (a.q + b.q) + c.q;
    t.sumP = (a.p + b.p) + c.p;
    t.s = static_cast<float>(
        std::sqrt(static_cast<double>(t.sumQ) * t.sumQ + static_cast<double>(t.sumP) * t.sumP));
    const float pf = t.sumP * signOf(t.sumQ) / t.s;
    t.pf = t.sumQ == 0.0f ? 1.0f : pf;
    return t;
}

// The totals of one stored sample (I U P of the three channels, file order); `limited`, when given, receives
// each channel's limited active power.
inline Totals sampleTotals(const float v[9], float* limited = nullptr) {
    const ChannelPowers a = channelPowers(v[0], v[1], v[2]);
    const ChannelPowers b = channelPowers(v[3], v[4], v[5]);
    const ChannelPowers c = channelPowers(v[6], v[7], v[8]);
    if (limited) {
        limited[0] = a.p;
        limited[1] = b.p;
        limited[2] = c.p;
    }
    return formTotals(a, b, c);
}

}  // namespace mervo
