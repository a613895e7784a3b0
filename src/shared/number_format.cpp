#include "shared/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "shared/shortest_decimal.h"

namespace mervo {

namespace {

char* put(char* out, const char* text) {
    while (*text) *out++ = *text++;
    return out;
}

char* putNonFinite(char* out, float v) {
    if (std::isnan(v)) return put(out, "NaN");
    return put(out, v < 0 ? "-Inf" : "Inf");
}

// The significant digits of a finite, positive float, at most seven and without trailing zeros, and the power of
// ten of the first one.
struct Digits {
    char digit[10];
    int count;
    int exp10;
};

// Reads to_chars' scientific text "d.ddde+XX" (no point when there is one digit).
Digits parseScientific(const char* first, const char* last) {
    Digits d{};
    const char* e = first;
    while (*e != 'e') {
        if (*e != '.') d.digit[d.count++] = *e;
        ++e;
    }
    while (d.count > 1 && d.digit[d.count - 1] == '0') --d.count;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), last, d.exp10);
    return d;
}

Digits generalDigits(float a) {
    char buf[32];
    // The shortest digits that read back to the float. Where at most six do, they are also the value rounded to
    // that many digits (the form wants the fewest digits whose rounding reads back, and a shortest candidate is
    // the nearest one).
    auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
    Digits d = parseScientific(buf, r.ptr);
    if (d.count <= 6) return d;
    // Otherwise the exact value rounded to seven digits, half-way cases to the even digit, as the form always
    // gave; the shortest seven-digit text could differ from that on a tie.
    r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 6);
    return parseScientific(buf, r.ptr);
}

// |v| in the general form: plain from 1E-04 up to below 1E+07, otherwise a mantissa and a two-digit exponent.
char* putAbsoluteGeneral(char* out, float a, bool zeroBeforePoint) {
    if (a == 0.0f) {
        *out++ = '0';
        return out;
    }
    const Digits d = generalDigits(a);
    if (d.exp10 >= 7 || d.exp10 < -4) {
        *out++ = d.digit[0];
        if (d.count > 1) {
            *out++ = '.';
            for (int i = 1; i < d.count; ++i) *out++ = d.digit[i];
        }
        const int e = std::abs(d.exp10);  // below 100 for every float
        *out++ = 'E';
        *out++ = d.exp10 < 0 ? '-' : '+';
        *out++ = static_cast<char>('0' + e / 10);
        *out++ = static_cast<char>('0' + e % 10);
        return out;
    }
    if (d.exp10 >= 0) {
        for (int i = 0; i <= d.exp10; ++i) *out++ = i < d.count ? d.digit[i] : '0';
        if (d.count > d.exp10 + 1) {
            *out++ = '.';
            for (int i = d.exp10 + 1; i < d.count; ++i) *out++ = d.digit[i];
        }
        return out;
    }
    if (zeroBeforePoint) *out++ = '0';
    *out++ = '.';
    for (int i = -1; i > d.exp10; --i) *out++ = '0';
    for (int i = 0; i < d.count; ++i) *out++ = d.digit[i];
    return out;
}

char* putGeneral(char* out, float v, bool zeroBeforePoint) {
    if (!std::isfinite(v)) return putNonFinite(out, v);
    if (v < 0) *out++ = '-';
    return putAbsoluteGeneral(out, std::fabs(v), zeroBeforePoint);
}

template <int N, typename Write>
QString toQString(float v, Write write) {
    char buf[N];
    return QString::fromLatin1(buf, static_cast<qsizetype>(write(buf, v) - buf));
}

template <int N, typename Write>
void appendTo(std::string& out, float v, Write write) {
    char buf[N];
    out.append(buf, static_cast<size_t>(write(buf, v) - buf));
}

}  // namespace

char* writeFixed3(char* out, float v) {
    if (!std::isfinite(v)) {
        *out++ = ' ';
        return putNonFinite(out, v);
    }
    const double a = std::fabs(static_cast<double>(v));
    if (a >= 1e15) {
        // Floats this large are whole numbers; print them exactly.
        if (v < 0) *out++ = '-';
        *out++ = ' ';
        out = std::to_chars(out, out + 40, a, std::chars_format::fixed, 0).ptr;
        return put(out, ".000");
    }
    // A float times 1000 is exact in a double, and so is adding the half, so this rounds the exact value half
    // away from zero (the sum is not negative, so the conversion truncates as floor would).
    const auto units = static_cast<unsigned long long>(a * 1000.0 + 0.5);
    if (v < 0 && units != 0) *out++ = '-';
    *out++ = ' ';
    out = std::to_chars(out, out + 20, units / 1000).ptr;
    const auto decimals = static_cast<unsigned>(units % 1000);
    out[0] = '.';
    out[1] = static_cast<char>('0' + decimals / 100);
    out[2] = static_cast<char>('0' + decimals / 10 % 10);
    out[3] = static_cast<char>('0' + decimals % 10);
    return out + 4;
}

char* writeGeneralCore(char* out, float v) { return putGeneral(out, v, false); }

char* writePrintNumber(char* out, float v) {
    if (!(v < 0)) *out++ = ' ';
    out = putGeneral(out, v, false);
    *out++ = ' ';
    return out;
}

char* writeCaption(char* out, float v) { return putGeneral(out, v, true); }

void appendFixed3(std::string& out, float v) { appendTo<kFixed3MaxChars>(out, v, writeFixed3); }
void appendGeneralCore(std::string& out, float v) { appendTo<kGeneralMaxChars>(out, v, writeGeneralCore); }
void appendPrintNumber(std::string& out, float v) { appendTo<kGeneralMaxChars>(out, v, writePrintNumber); }
void appendCaption(std::string& out, float v) { appendTo<kGeneralMaxChars>(out, v, writeCaption); }

QString formatFixed3(float v) { return toQString<kFixed3MaxChars>(v, writeFixed3); }
QString formatGeneralCore(float v) { return toQString<kGeneralMaxChars>(v, writeGeneralCore); }
QString formatPrintNumber(float v) { return toQString<kGeneralMaxChars>(v, writePrintNumber); }
QString formatCaption(float v) { return toQString<kGeneralMaxChars>(v, writeCaption); }

QString formatSettingsValue(float v) {
    char buf[kGeneralMaxChars];
    char* out = buf;
    if (!(v < 0)) *out++ = ' ';
    out = putGeneral(out, v, false);
    return QString::fromLatin1(buf, static_cast<qsizetype>(out - buf));
}

namespace {
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839404142434445464748495051525354"
    "555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "eight characters are kept in a word, the first lowest");

uint64_t pairOf(uint32_t twoDigits) {
    uint16_t pair;
    std::memcpy(&pair, kPairs + 2 * twoDigits, 2);
    return pair;
}

// A number below 10^8 as eight digits with leading zeros in one word. An export writes twenty numbers a row:
// a loop over the digits mispredicts its end, and reading back digits just stored one by one stalls the load.
uint64_t eightDigits(uint32_t v) {
    const uint32_t high = v / 10000;
    const uint32_t low = v % 10000;
    return pairOf(high / 100) | pairOf(high % 100) << 16 | pairOf(low / 100) << 32 | pairOf(low % 100) << 48;
}

void putWord(char* out, uint64_t word) { std::memcpy(out, &word, sizeof word); }

// How many decimal digits a number from 1 to 999999999 has, without a loop.
int decimalDigits(uint32_t v) {
    static constexpr uint32_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
    const int guess = ((32 - __builtin_clz(v)) * 1233) >> 12;  // floor(log10(2^bits))
    return guess + (v >= kPowers[guess] ? 1 : 0);
}
}  // namespace

char* writeShortestFloat(char* out, float v, int significantBits) {
    if (!std::isfinite(v)) return std::copy_n("null", 4, out);
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    if (bits >> 31) *out++ = '-';
    bits &= 0x7fffffffu;
    if (bits == 0) {
        *out++ = '0';
        return out;
    }
    // The shortest digits, without trying precisions one by one: a million-sample export prints twenty
    // numbers a row.
    const ShortestDecimal d = shortestDecimal(bits, significantBits);
    const int n = decimalDigits(d.digits);
    const int point = n + d.exponent;  // digits before the decimal point
    // Plain decimals for everyday magnitudes (380, not 3.8e+02); the exponent form where the first digit
    // stands 10^-6 or less, or 10^16 or more.
    const int exp10 = point - 1;
    if (exp10 < -5 || exp10 >= 16) {
        char digits[10];
        std::to_chars(digits, digits + sizeof digits, d.digits);
        *out++ = digits[0];
        if (n > 1) {
            *out++ = '.';
            out = std::copy(digits + 1, digits + n, out);
        }
        *out++ = 'e';
        *out++ = exp10 < 0 ? '-' : '+';
        const int e = exp10 < 0 ? -exp10 : exp10;
        if (e < 10) *out++ = '0';
        return std::to_chars(out, out + 3, e).ptr;
    }
    if (point >= n) {
        // A whole number: of the texts of as many digits that read back to it, its own value is the nearest
        // (37462168, not 37462170).
        const auto whole = static_cast<uint64_t>(std::fabs(v));
        return std::to_chars(out, out + 20, whole).ptr;
    }
    // Whole words stored, the text's own length returned: the caller leaves kShortestMaxChars of room.
    char* digitsAt = out;  // where the first digit goes
    if (point <= 0) {
        // "0.", then up to four zeros (the first digit stands 10^-5 at the least).
        putWord(out, 0x3030303030302e30u);  // "0.000000"
        digitsAt = out + 2 - point;
    }
    const char* end = digitsAt + n + (point > 0 ? 1 : 0);
    uint64_t word;
    if (n == 9) {
        digitsAt[0] = static_cast<char>('0' + d.digits / 100000000);
        word = eightDigits(d.digits % 100000000);
        if (point > 0) {
            // The first digit stored; the point comes after the next point - 1 of the eight.
            putWord(digitsAt + 1, word);
            digitsAt[point] = '.';
            putWord(digitsAt + point + 1, word >> (8 * (point - 1)));
            return const_cast<char*>(end);
        }
        putWord(digitsAt + 1, word);
        return const_cast<char*>(end);
    }
    word = eightDigits(d.digits) >> (8 * (8 - n));  // the n digits, the first lowest
    putWord(digitsAt, word);
    if (point > 0) {
        digitsAt[point] = '.';
        putWord(digitsAt + point + 1, word >> (8 * point));
    }
    return const_cast<char*>(end);
}

void appendShortestFloat(std::string& out, float v) {
    char buf[kShortestMaxChars];
    out.append(buf, static_cast<size_t>(writeShortestFloat(buf, v) - buf));
}

std::string formatShortestFloat(float v, int significantBits) {
    char buf[kShortestMaxChars];
    return std::string(buf, writeShortestFloat(buf, v, significantBits));
}

}  // namespace mervo
