#include "shared/shortest_decimal.h"

namespace mervo {

namespace {

__extension__ typedef unsigned __int128 Wide;

// The powers of five as 64-bit fractions: 2^k / 5^q rounded up for the negative powers of ten, 5^q cut to
// its top bits for the positive ones; bit counts as in the published shortest-float method.
constexpr int kInvBits = 59;
constexpr int kPowBits = 61;
// The largest binary exponent the tables serve: a float's own, 254 - 127 - 23 - 2.
constexpr int kMaxE2 = 102;

constexpr int pow5bits(int e) { return static_cast<int>((static_cast<uint32_t>(e) * 1217359u) >> 19) + 1; }
constexpr int log10Pow2(int e) { return static_cast<int>((static_cast<uint32_t>(e) * 78913u) >> 18); }
constexpr int log10Pow5(int e) { return static_cast<int>((static_cast<uint32_t>(e) * 732923u) >> 20); }

struct Tables {
    uint64_t inv[31];
    uint64_t pow[47];
};

constexpr Tables makeTables() {
    Tables t{};
    Wide p5 = 1;
    for (int i = 0; i < 47; ++i) {
        const int bits = pow5bits(i);
        // 5^i with its top kPowBits bits kept.
        t.pow[i] = static_cast<uint64_t>(bits >= kPowBits ? p5 >> (bits - kPowBits) : p5 << (kPowBits - bits));
        if (i < 31) {
            // floor(2^(bits - 1 + kInvBits) / 5^i) + 1; 2^128 itself does not fit, 2^128 - 1 has the same quotient.
            const int shift = bits - 1 + kInvBits;
            const Wide num = shift >= 128 ? ~static_cast<Wide>(0)
                                                       : static_cast<Wide>(1) << shift;
            t.inv[i] = static_cast<uint64_t>(num / p5) + 1;
        }
        p5 *= 5;
    }
    return t;
}
constexpr Tables kTables = makeTables();

uint32_t mulShift32(uint32_t m, uint64_t factor, int shift) {
    const uint64_t lo = static_cast<uint64_t>(m) * static_cast<uint32_t>(factor);
    const uint64_t hi = static_cast<uint64_t>(m) * (factor >> 32);
    return static_cast<uint32_t>(((lo >> 32) + hi) >> (shift - 32));
}
bool multipleOfPowerOf5(uint32_t v, int p) {
    int count = 0;
    while (v % 5 == 0) {
        v /= 5;
        ++count;
    }
    return count >= p;
}
bool multipleOfPowerOf2(uint32_t v, int p) { return (v & ((1u << p) - 1)) == 0; }

}  // namespace

ShortestDecimal shortestDecimal(uint32_t bits, int significantBits) {
    const uint32_t mantissa = bits & ((1u << 23) - 1);
    const uint32_t exponentBits = bits >> 23;
    int e2;
    uint32_t m2;
    if (exponentBits == 0) {
        e2 = 1 - 127 - 23 - 2;
        m2 = mantissa;
    } else {
        e2 = static_cast<int>(exponentBits) - 127 - 23 - 2;
        m2 = (1u << 23) | mantissa;
    }
    // A float's text is read back rounding ties to even, so a bound that ties goes to an even mantissa.
    bool acceptBounds = (m2 & 1) == 0;
    // Read back at fewer bits: the same steps on the shorter mantissa. Only for a number of that precision (the
    // bits dropped are zero), and within the exponents the tables cover.
    const int drop = 24 - significantBits;
    if (exponentBits != 0 && drop > 0 && drop < 24 && (m2 & ((1u << drop) - 1)) == 0 && e2 + drop <= kMaxE2) {
        m2 >>= drop;
        e2 += drop;
        acceptBounds = false;  // however the shorter form rounds a tie, a text strictly inside reads back
    }
    const uint32_t mv = 4 * m2;
    const uint32_t mp = 4 * m2 + 2;
    const uint32_t mmShift = (mantissa != 0 || exponentBits <= 1) ? 1 : 0;
    const uint32_t mm = 4 * m2 - 1 - mmShift;

    uint32_t vr, vp, vm;
    int e10;
    bool vmIsTrailingZeros = false, vrIsTrailingZeros = false;
    uint8_t lastRemovedDigit = 0;
    if (e2 >= 0) {
        const int q = log10Pow2(e2);
        e10 = q;
        const int k = kInvBits + pow5bits(q) - 1;
        const int i = -e2 + q + k;
        vr = mulShift32(mv, kTables.inv[q], i);
        vp = mulShift32(mp, kTables.inv[q], i);
        vm = mulShift32(mm, kTables.inv[q], i);
        if (q != 0 && (vp - 1) / 10 <= vm / 10) {
            const int l = kInvBits + pow5bits(q - 1) - 1;
            lastRemovedDigit = static_cast<uint8_t>(mulShift32(mv, kTables.inv[q - 1], -e2 + q - 1 + l) % 10);
        }
        if (q <= 9) {
            if (mv % 5 == 0)
                vrIsTrailingZeros = multipleOfPowerOf5(mv, q);
            else if (acceptBounds)
                vmIsTrailingZeros = multipleOfPowerOf5(mm, q);
            else
                vp -= multipleOfPowerOf5(mp, q) ? 1 : 0;
        }
    } else {
        const int q = log10Pow5(-e2);
        e10 = q + e2;
        const int i = -e2 - q;
        const int k = pow5bits(i) - kPowBits;
        int j = q - k;
        vr = mulShift32(mv, kTables.pow[i], j);
        vp = mulShift32(mp, kTables.pow[i], j);
        vm = mulShift32(mm, kTables.pow[i], j);
        if (q != 0 && (vp - 1) / 10 <= vm / 10) {
            j = q - 1 - (pow5bits(i + 1) - kPowBits);
            lastRemovedDigit = static_cast<uint8_t>(mulShift32(mv, kTables.pow[i + 1], j) % 10);
        }
        if (q <= 1) {
            vrIsTrailingZeros = true;
            if (acceptBounds)
                vmIsTrailingZeros = mmShift == 1;
            else
                --vp;
        } else if (q < 31) {
            vrIsTrailingZeros = multipleOfPowerOf2(mv, q - 1);
        }
    }

    int removed = 0;
    // One digit less of all three bounds, remembering the digit the value loses.
    const auto dropDigit = [&] {
        lastRemovedDigit = static_cast<uint8_t>(vr % 10);
        vr /= 10;
        vp /= 10;
        vm /= 10;
        ++removed;
    };
    uint32_t output;
    if (vmIsTrailingZeros || vrIsTrailingZeros) {
        while (vp / 10 > vm / 10) {
            vmIsTrailingZeros &= vm % 10 == 0;
            vrIsTrailingZeros &= lastRemovedDigit == 0;
            dropDigit();
        }
        if (vmIsTrailingZeros) {
            while (vm % 10 == 0) {
                vrIsTrailingZeros &= lastRemovedDigit == 0;
                dropDigit();
            }
        }
        if (vrIsTrailingZeros && lastRemovedDigit == 5 && vr % 2 == 0) lastRemovedDigit = 4;
        output = vr + (((vr == vm && (!acceptBounds || !vmIsTrailingZeros)) || lastRemovedDigit >= 5) ? 1 : 0);
    } else {
        while (vp / 10 > vm / 10) dropDigit();
        output = vr + ((vr == vm || lastRemovedDigit >= 5) ? 1 : 0);
    }
    int exponent = e10 + removed;
    while (output % 10 == 0) {
        output /= 10;
        ++exponent;
    }
    return {output, exponent};
}

}  // namespace mervo
