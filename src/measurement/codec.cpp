#include "measurement/codec.h"

#include <cmath>

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

}  // namespace mervo
