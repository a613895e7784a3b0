#include "shared/shortest_texts.h"

#include "shared/decimal_powers.h"

#include <cmath>
#include <cstdint>
#include <iterator>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define MERVO_VECTOR_TEXTS 1
#define MERVO_AVX2 __attribute__((target("avx2")))
#endif

namespace mervo {

#ifdef MERVO_VECTOR_TEXTS
// The vector code's constants, each value in every lane. Writable, so that the compiler cannot fold them into
// instructions that build them in a register (three instructions each); of hidden visibility, so that they
// are reached without a table of addresses: each is taken from memory by the instruction that uses it.
namespace vector_constants __attribute__((visibility("hidden"))) {
    template <uint32_t C>
    struct Lanes {
        alignas(32) static uint32_t value[8];
    };
    template <uint32_t C>
    alignas(32) uint32_t Lanes<C>::value[8] = {C, C, C, C, C, C, C, C};
}  // namespace vector_constants
#endif

namespace {

// One text through the one-at-a-time writer, into its slot.
void formatOne(char* slot, uint8_t* length, float v, bool emptyNonNumber) {
    char text[kShortestMaxChars];
    *length = emptyNonNumber && !std::isfinite(v) ? 0 : static_cast<uint8_t>(writeShortestFloat(text, v) - text);
    std::memcpy(slot, text, 24);
}

#ifdef MERVO_VECTOR_TEXTS

// The same steps as shortestDecimal (shortest_decimal.cpp, where they are explained), on eight floats in the
// lanes of a vector. The powers of ten are its table, split into 32-bit halves for the vector loads.
using decimal_powers::kMinPow;
constexpr uint32_t kWindow = 0;  // the first of the sixteen powers of ten the vectors use

struct PowerHalves {
    uint32_t high[decimal_powers::kMaxPow - kMinPow + 1];
    uint32_t low[decimal_powers::kMaxPow - kMinPow + 1];
};

constexpr PowerHalves makePowerHalves() {
    PowerHalves t{};
    for (size_t i = 0; i < std::size(t.high); ++i) {
        t.high[i] = static_cast<uint32_t>(decimal_powers::kPowers.g[i] >> 32);
        t.low[i] = static_cast<uint32_t>(decimal_powers::kPowers.g[i]);
    }
    return t;
}
constexpr PowerHalves kPowers = makePowerHalves();

// Where the characters of a plain decimal come from, by its sign, its digit count n (1 to 9) and the digits
// before its point (-4 to 8; from n on a whole number, its last ones zeros): a shuffle of a 16-byte vector that
// holds the last eight of nine zero-padded digits in bytes 0 to 7, the first in byte 8, then '.', '0' and '-'.
struct Layouts {
    uint8_t mask[2][10][13][16];
};

constexpr uint8_t digitByte(int digit) {
    return static_cast<uint8_t>(digit == 0 ? 8 : digit - 1);
}

constexpr Layouts makeLayouts() {
    Layouts t{};
    for (int sign = 0; sign < 2; ++sign) {
        for (int n = 1; n <= 9; ++n) {
            for (int point = -4; point <= 8; ++point) {
                uint8_t* m = t.mask[sign][n][point + 4];
                for (int j = 0; j < 16; ++j) m[j] = 0x80;  // a zero byte
                int at = 0;
                if (sign) m[at++] = 11;
                if (point >= n) {
                    for (int j = 0; j < n; ++j) m[at++] = digitByte(9 - n + j);
                    for (int z = n; z < point; ++z) m[at++] = 10;
                } else if (point > 0) {
                    for (int j = 0; j < n; ++j) {
                        if (j == point) m[at++] = 9;
                        m[at++] = digitByte(9 - n + j);
                    }
                } else {
                    m[at++] = 10;
                    m[at++] = 9;
                    for (int z = 0; z < -point; ++z) m[at++] = 10;
                    for (int j = 0; j < n; ++j) m[at++] = digitByte(9 - n + j);
                }
            }
        }
    }
    return t;
}
constexpr Layouts kLayouts = makeLayouts();

// C in every lane.
template <uint32_t C>
MERVO_AVX2 inline __m256i splat() {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(vector_constants::Lanes<C>::value));
}

// Unsigned a <= b, lane by lane.
MERVO_AVX2 inline __m256i atMost(__m256i a, __m256i b) {
    return _mm256_cmpeq_epi32(_mm256_max_epu32(a, b), b);
}

// The high 32 bits of each lane's 64-bit product a * b, shifted right by `shift` more.
MERVO_AVX2 inline __m256i mulHigh(__m256i a, __m256i b, int shift) {
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(a, b), 32 + shift);
    const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(a, 32), b), 32 + shift);
    return _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
}

// roundToOdd of shortest_decimal.cpp: the top 32 bits of g * cp past 2^64, the bits below folded into the
// last.
MERVO_AVX2 inline __m256i roundToOdd(__m256i gHigh, __m256i gLow, __m256i cp) {
    const __m256i cpOdd = _mm256_srli_epi64(cp, 32);
    const __m256i even =
        _mm256_add_epi64(_mm256_mul_epu32(gHigh, cp), _mm256_srli_epi64(_mm256_mul_epu32(gLow, cp), 32));
    const __m256i odd =
        _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(gHigh, 32), cpOdd),
                         _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(gLow, 32), cpOdd), 32));
    const __m256i high = _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
    const __m256i middle = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    const __m256i atMostOne =
        _mm256_cmpeq_epi32(_mm256_and_si256(middle, splat<~1u>()), _mm256_setzero_si256());
    return _mm256_or_si256(high, _mm256_andnot_si256(atMostOne, splat<1>()));
}

constexpr uint32_t inverseMod2To32(uint32_t a) {
    uint32_t x = a;
    for (int i = 0; i < 5; ++i) x *= 2 - a * x;
    return x;
}
constexpr uint32_t powerOf5(int k) {
    return k == 0 ? 1 : 5 * powerOf5(k - 1);
}

// Drops K trailing zeros from the lanes that have them: d is a multiple of 10^K exactly when d times the
// inverse of 5^K, turned right by K, is at most (2^32 - 1) / 10^K, and that is then d / 10^K.
template <int K>
MERVO_AVX2 inline void dropZeros(__m256i& digits, __m256i& exponent) {
    const __m256i x = _mm256_mullo_epi32(digits, splat<inverseMod2To32(powerOf5(K))>());
    const __m256i turned = _mm256_or_si256(_mm256_srli_epi32(x, K), _mm256_slli_epi32(x, 32 - K));
    const __m256i multiple = atMost(turned, splat<0xffffffffu / (powerOf5(K) << K)>());
    digits = _mm256_blendv_epi8(digits, turned, multiple);
    exponent = _mm256_sub_epi32(exponent, _mm256_and_si256(multiple, splat<static_cast<uint32_t>(-K)>()));
}

// Each lane below 10^4 as its four digit characters, the first in the lowest byte.
MERVO_AVX2 inline __m256i fourDigits(__m256i x) {
    const __m256i hundreds =
        _mm256_srli_epi32(_mm256_mullo_epi32(x, splat<10486>()), 20);  // x / 100 below 43699
    const __m256i pairs = _mm256_or_si256(
        hundreds, _mm256_slli_epi32(_mm256_sub_epi32(x, _mm256_mullo_epi32(hundreds, splat<100>())), 16));
    const __m256i tens = _mm256_srli_epi16(_mm256_mullo_epi16(pairs, splat<0x00670067>()), 10);  // below 100
    const __m256i ones = _mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, splat<0x000a000a>()));
    return _mm256_or_si256(_mm256_or_si256(tens, _mm256_slli_epi16(ones, 8)), splat<0x30303030>());
}

// Entry `power` (0 to 15) of the sixteen of `table` from kWindow on, lane by lane.
MERVO_AVX2 inline __m256i fromWindow(const uint32_t* table, __m256i power) {
    const auto* eights = reinterpret_cast<const __m256i*>(table + (static_cast<int>(kWindow) - kMinPow));
    return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(_mm256_loadu_si256(eights), power),
                              _mm256_permutevar8x32_epi32(_mm256_loadu_si256(eights + 1), power),
                              _mm256_cmpgt_epi32(power, splat<7>()));
}

MERVO_AVX2 void formatEight(const float* values, char (*out)[32], uint8_t* lengths, bool emptyNonNumbers) {
    const __m256i one = splat<1>();
    const __m256i zero = _mm256_setzero_si256();
    const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values));
    __m256i magnitude = _mm256_and_si256(raw, splat<0x7fffffff>());
    // The infinities and NaN are left to the one-at-a-time writer; 1.0 stands in for them and for zero here.
    const __m256i nonFinite = _mm256_cmpgt_epi32(magnitude, splat<0x7f7fffff>());
    const __m256i isZero = _mm256_cmpeq_epi32(magnitude, zero);
    magnitude = _mm256_blendv_epi8(magnitude, splat<0x3f800000>(), _mm256_or_si256(nonFinite, isZero));

    // The value is c * 2^q.
    const __m256i field = _mm256_and_si256(magnitude, splat<(1u << 23) - 1>());
    const __m256i exponentBits = _mm256_srli_epi32(magnitude, 23);
    const __m256i c =
        _mm256_or_si256(field, _mm256_and_si256(_mm256_cmpgt_epi32(exponentBits, zero), splat<1u << 23>()));
    const __m256i q = _mm256_sub_epi32(_mm256_max_epi32(exponentBits, one), splat<150>());
    const __m256i odd = _mm256_and_si256(c, one);  // bounds that tie are taken only for an even mantissa
    const __m256i lowerCloser =
        _mm256_andnot_si256(_mm256_cmpgt_epi32(field, zero), _mm256_cmpgt_epi32(exponentBits, one));
    const __m256i cb = _mm256_slli_epi32(c, 2);
    const __m256i cbl = _mm256_sub_epi32(_mm256_sub_epi32(cb, splat<2>()), lowerCloser);
    const __m256i cbr = _mm256_add_epi32(cb, splat<2>());
    const __m256i kThreeQuarters =
        _mm256_srai_epi32(_mm256_sub_epi32(_mm256_mullo_epi32(q, splat<631305>()), splat<261663>()), 21);
    const __m256i kPow2 = _mm256_srai_epi32(_mm256_mullo_epi32(q, splat<315653>()), 20);
    const __m256i k = _mm256_blendv_epi8(kPow2, kThreeQuarters, lowerCloser);
    const __m256i minusK = _mm256_sub_epi32(zero, k);
    const __m256i h = _mm256_add_epi32(
        _mm256_add_epi32(q, _mm256_srai_epi32(_mm256_mullo_epi32(minusK, splat<1741647>()), 19)), one);
    // The numbers laid out here, from 10^-5 to below 2^24, are scaled by 10^0 to 10^13: the sixteen powers
    // from 10^0 are picked out of two vectors rather than loaded one by one. A number that needs others goes
    // the slow way.
    const __m256i power = _mm256_sub_epi32(minusK, splat<kWindow>());
    const __m256i outOfWindow = _mm256_xor_si256(
        _mm256_cmpeq_epi32(_mm256_andnot_si256(splat<15>(), power), zero), _mm256_cmpeq_epi32(zero, zero));
    const __m256i gHigh = fromWindow(kPowers.high, power);
    const __m256i gLow = fromWindow(kPowers.low, power);
    const __m256i vb = roundToOdd(gHigh, gLow, _mm256_sllv_epi32(cb, h));
    const __m256i lower = _mm256_add_epi32(roundToOdd(gHigh, gLow, _mm256_sllv_epi32(cbl, h)), odd);
    const __m256i upper = _mm256_sub_epi32(roundToOdd(gHigh, gLow, _mm256_sllv_epi32(cbr, h)), odd);

    // One digit fewer, or the nearer of the two candidates with as many digits.
    const __m256i s = _mm256_srli_epi32(vb, 2);
    const __m256i sp = mulHigh(s, splat<0xCCCCCCCDu>(), 3);  // s / 10
    const __m256i sp40 = _mm256_mullo_epi32(sp, splat<40>());
    const __m256i spAbove = atMost(_mm256_add_epi32(sp40, splat<40>()), upper);
    const __m256i shorter =
        _mm256_and_si256(_mm256_cmpgt_epi32(s, splat<9>()), _mm256_xor_si256(atMost(lower, sp40), spAbove));
    const __m256i s4 = _mm256_slli_epi32(s, 2);
    const __m256i below = atMost(lower, s4);
    const __m256i above = atMost(_mm256_add_epi32(s4, splat<4>()), upper);
    const __m256i mid = _mm256_add_epi32(s4, splat<2>());
    const __m256i atMid = _mm256_cmpeq_epi32(vb, mid);
    const __m256i roundUp =
        _mm256_or_si256(_mm256_andnot_si256(atMid, atMost(mid, vb)),
                        _mm256_and_si256(atMid, _mm256_sub_epi32(zero, _mm256_and_si256(s, one))));
    const __m256i up = _mm256_blendv_epi8(roundUp, above, _mm256_xor_si256(below, above));
    __m256i digits = _mm256_blendv_epi8(_mm256_sub_epi32(s, up), _mm256_sub_epi32(sp, spAbove), shorter);
    __m256i exponent = _mm256_sub_epi32(k, shorter);
    dropZeros<8>(digits, exponent);
    dropZeros<4>(digits, exponent);
    dropZeros<2>(digits, exponent);
    dropZeros<1>(digits, exponent);
    digits = _mm256_andnot_si256(isZero, digits);  // zero is "0"
    exponent = _mm256_andnot_si256(isZero, exponent);

    // n digits, and the point after the first `point` of them. Plain decimals are laid out here; the exponent
    // form (first digit below 10^-5) by the one-at-a-time writer.
    __m256i n = one;
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<9>()));
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<99>()));
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<999>()));
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<9999>()));
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<99999>()));
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<999999>()));
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<9999999>()));
    n = _mm256_sub_epi32(n, _mm256_cmpgt_epi32(digits, splat<99999999>()));
    const __m256i point = _mm256_add_epi32(n, exponent);
    // From 2^24 on, a whole number's digits are its own (37462168, not the shortest 37462170).
    const __m256i slow = _mm256_or_si256(_mm256_or_si256(_mm256_or_si256(nonFinite, outOfWindow),
                                                         _mm256_cmpgt_epi32(magnitude, splat<0x4b7fffff>())),
                                         _mm256_cmpgt_epi32(splat<static_cast<uint32_t>(-4)>(), point));
    const __m256i sign = _mm256_srli_epi32(raw, 31);
    const __m256i layout = _mm256_andnot_si256(
        slow, _mm256_slli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(_mm256_add_epi32(_mm256_mullo_epi32(sign, splat<10>()), n),
                                                                    splat<13>()),
                                                 _mm256_add_epi32(point, splat<4>())),
                                4));
    // A whole number's digits and zeros; or n digits and the point, and the "0." and zeros before a fraction.
    const __m256i whole = _mm256_cmpgt_epi32(point, _mm256_sub_epi32(n, one));
    const __m256i fraction =
        _mm256_add_epi32(_mm256_add_epi32(n, one), _mm256_max_epi32(_mm256_sub_epi32(one, point), zero));
    const __m256i length = _mm256_add_epi32(_mm256_blendv_epi8(fraction, point, whole), sign);

    // Nine digits, zero-padded: the first, and the other eight as two lanes of four.
    const __m256i first = mulHigh(digits, splat<1441151881>(), 25);  // / 10^8, for digits below 2^32
    const __m256i lastEight = _mm256_sub_epi32(digits, _mm256_mullo_epi32(first, splat<100000000>()));
    const __m256i high4 = mulHigh(lastEight, splat<0xD1B71759u>(), 13);  // / 10^4
    const __m256i group1 = fourDigits(high4);
    const __m256i group2 = fourDigits(_mm256_sub_epi32(lastEight, _mm256_mullo_epi32(high4, splat<10000>())));
    const __m256i tail = _mm256_or_si256(first, splat<'0' | '.' << 8 | '0' << 16 | '-' << 24>());
    // 64-bit words of eight digits for numbers 0 1 | 4 5 and 2 3 | 6 7, then each beside its tail: 0 | 4, 1 |
    // 5 ...
    const __m256i wordsA = _mm256_unpacklo_epi32(group1, group2);
    const __m256i wordsB = _mm256_unpackhi_epi32(group1, group2);
    const __m256i tailA = _mm256_unpacklo_epi32(tail, zero);
    const __m256i tailB = _mm256_unpackhi_epi32(tail, zero);
    const __m256i texts[4] = {_mm256_unpacklo_epi64(wordsA, tailA), _mm256_unpackhi_epi64(wordsA, tailA),
                              _mm256_unpacklo_epi64(wordsB, tailB), _mm256_unpackhi_epi64(wordsB, tailB)};

    // Each text with a single store, so that reading the slot back takes it from that store.
    alignas(32) uint32_t layoutAt[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(layoutAt), layout);
    const uint8_t* masks = &kLayouts.mask[0][0][0][0];
    for (int j = 0; j < 4; ++j) {
        const int a = j, b = j + 4;
        const __m256i mask = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(masks + layoutAt[a]))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks + layoutAt[b])), 1);
        const __m256i text = _mm256_shuffle_epi8(texts[j], mask);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[a]), _mm256_castsi256_si128(text));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[b]), _mm256_extracti128_si256(text, 1));
    }
    const __m128i length16 = _mm_packus_epi32(_mm256_castsi256_si128(length), _mm256_extracti128_si256(length, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(lengths), _mm_packus_epi16(length16, length16));
    for (auto rest = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(slow))); rest != 0;
         rest &= rest - 1) {
        const int i = __builtin_ctz(rest);
        formatOne(out[i], lengths + i, values[i], emptyNonNumbers);
    }
}

#endif

}  // namespace

void ShortestTexts::format(const float* values, size_t count, size_t at) {
    char(*into)[kSlot] = slots_ + at;
    uint8_t* lengths = lengths_ + at;
    size_t i = 0;
#ifdef MERVO_VECTOR_TEXTS
    static const bool vectors = __builtin_cpu_supports("avx2");
    if (vectors)
        for (; i + 8 <= count; i += 8) formatEight(values + i, into + i, lengths + i, emptyNonNumbers_);
#endif
    for (; i < count; ++i) formatOne(into[i], lengths + i, values[i], emptyNonNumbers_);
}

}  // namespace mervo
