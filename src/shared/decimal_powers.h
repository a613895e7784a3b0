// The powers of ten that the shortest digits of a float are worked out with, one number at a time
// (shortest_decimal.cpp) and eight at a time (shortest_texts.cpp), and the exponents that pick them.
#pragma once

#include <cstdint>

namespace mervo::decimal_powers {

__extension__ typedef unsigned __int128 Wide;

// The powers of ten a float's exponents reach, 10^-31 to 10^45, each as a 64-bit fraction with its top bit set,
// rounded up (cut to 64 bits and one added, as the published method needs for its round-to-odd products).
constexpr int kMinPow = -31;
constexpr int kMaxPow = 45;
// The largest binary exponent the table serves: a float's own, 254 - 150.
constexpr int kMaxQ = 104;

// floor(e * log2(10)), floor(e * log10(2)) and floor(log10(3/4 * 2^e)) for the exponents of a float.
constexpr int floorLog2Pow10(int e) { return (e * 1741647) >> 19; }
constexpr int floorLog10Pow2(int e) { return (e * 315653) >> 20; }
constexpr int floorLog10ThreeQuartersPow2(int e) { return (e * 631305 - 261663) >> 21; }

struct Powers {
    uint64_t g[kMaxPow - kMinPow + 1];
};

constexpr Powers makePowers() {
    Powers t{};
    for (int e = kMinPow; e <= kMaxPow; ++e) {
        const int n = e < 0 ? -e : e;
        Wide p5 = 1;
        for (int i = 0; i < n; ++i) p5 *= 5;
        int b = 0;  // floor(log2(5^n))
        while ((p5 >> (b + 1)) != 0) ++b;
        Wide g = 0;
        if (e >= 0) {
            // 10^e * 2^(63 - floorLog2Pow10(e)) is 5^e with its top bit moved to bit 63.
            g = b <= 63 ? p5 << (63 - b) : p5 >> (b - 63);
        } else {
            // 2^(64 + b) / 5^n, bit by bit: the dividend does not fit in 128 bits.
            Wide r = 0;
            for (int bit = 64 + b; bit >= 0; --bit) {
                r = 2 * r + (bit == 64 + b ? 1 : 0);
                g *= 2;
                if (r >= p5) {
                    r -= p5;
                    g |= 1;
                }
            }
        }
        t.g[e - kMinPow] = static_cast<uint64_t>(g) + 1;
    }
    return t;
}
inline constexpr Powers kPowers = makePowers();

}  // namespace mervo::decimal_powers
