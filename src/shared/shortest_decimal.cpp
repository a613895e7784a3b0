#include "shared/shortest_decimal.h"

#include "shared/decimal_powers.h"

namespace mervo {

namespace {

using namespace decimal_powers;

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
