#include "shared/shortest_decimal.h"

namespace mervo {

namespace {

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
constexpr Powers kPowers = makePowers();

// The top 32 bits of g * cp past 2^64, with the bits below folded into the last one ("round to odd"), so that a
// comparison with a bound stays exact.
inline uint32_t roundToOdd(uint64_t g, uint32_t cp) {
    const Wide p = static_cast<Wide>(g) * cp;
    const auto high = static_cast<uint32_t>(p >> 64);
    const auto middle = static_cast<uint32_t>(p >> 32);
    return high | (middle > 1 ? 1u : 0u);
}

inline ShortestDecimal withoutTrailingZeros(uint32_t digits, int exponent) {
    while (digits % 10 == 0) {
        digits /= 10;
        ++exponent;
    }
    return {digits, exponent};
}

}  // namespace

ShortestDecimal shortestDecimal(uint32_t bits, int significantBits) {
    const uint32_t field = bits & ((1u << 23) - 1);
    const uint32_t exponentBits = bits >> 23;
    // The value is c * 2^q.
    uint32_t c = exponentBits == 0 ? field : field | (1u << 23);
    int q = (exponentBits == 0 ? 1 : static_cast<int>(exponentBits)) - 150;
    // A float's text is read back rounding ties to even, so a bound that ties goes to an even mantissa.
    bool acceptBounds = (c & 1) == 0;
    // Read back at fewer bits: the same steps on the shorter mantissa. Only for a number of that precision (the
    // bits dropped are zero), and within the exponents the table covers.
    const int drop = 24 - significantBits;
    if (exponentBits != 0 && drop > 0 && drop < 24 && (c & ((1u << drop) - 1)) == 0 && q + drop <= kMaxQ) {
        c >>= drop;
        q += drop;
        acceptBounds = false;  // however the shorter form rounds a tie, a text strictly inside reads back
    }
    // Halfway to the neighbours, in quarters of the last bit; a power of two has its lower neighbour nearer.
    const bool lowerCloser = field == 0 && exponentBits > 1;
    const uint32_t cbl = 4 * c - 2 + (lowerCloser ? 1 : 0);
    const uint32_t cb = 4 * c;
    const uint32_t cbr = 4 * c + 2;
    // Scaled by 10^-k so that the interval between the halfway points is one to ten units of the last digit.
    const int k = lowerCloser ? floorLog10ThreeQuartersPow2(q) : floorLog10Pow2(q);
    const int h = q + floorLog2Pow10(-k) + 1;
    const uint64_t g = kPowers.g[-k - kMinPow];
    const uint32_t vbl = roundToOdd(g, cbl << h);
    const uint32_t vb = roundToOdd(g, cb << h);
    const uint32_t vbr = roundToOdd(g, cbr << h);
    const uint32_t lower = vbl + (acceptBounds ? 0 : 1);
    const uint32_t upper = vbr - (acceptBounds ? 0 : 1);

    // One digit fewer first: a multiple of ten inside the interval is shorter. Both candidates are worked out
    // and one is picked without a branch: which one wins depends on the digits and cannot be predicted.
    const uint32_t s = vb / 4;
    const uint32_t sp = s / 10;
    const uint32_t spBelowInside = lower <= 40 * sp;
    const uint32_t spAboveInside = 40 * sp + 40 <= upper;
    const uint32_t shorter = (s >= 10) & (spBelowInside ^ spAboveInside);
    const uint32_t belowInside = lower <= 4 * s;
    const uint32_t aboveInside = 4 * s + 4 <= upper;
    // Both or neither: the nearer of the two, a tie to the even one.
    const uint32_t mid = 4 * s + 2;
    const uint32_t roundUp = (vb > mid) | ((vb == mid) & s);
    const uint32_t up = (belowInside ^ aboveInside) ? aboveInside : roundUp;
    const uint32_t shortDigits = sp + spAboveInside;
    const uint32_t longDigits = s + (up & 1);
    return withoutTrailingZeros(shorter ? shortDigits : longDigits, k + static_cast<int>(shorter));
}

}  // namespace mervo
