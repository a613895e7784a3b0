// The bytes a receiver must store for the blocks the simulator sent, worked out here from the instrument's
// number format and the transformer ratios rather than by the program's own decoding and scaling.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace mervo::test {

// Three bytes: a 16-bit mantissa fraction (low byte first), then the sign in the top bit and the power of two
// in the low seven (64 to 127 standing for -64 to -1).
inline float instrumentNumber(const uint8_t* b) {
    const double mantissa = (b[1] * 256 + b[0]) / 65536.0;
    const int e = b[2] & 0x7f;
    const double v = std::ldexp(mantissa, e >= 64 ? e - 128 : e);
    return static_cast<float>((b[2] & 0x80) ? -v : v);
}

// The stored samples of the first `count` blocks, `stride` bytes apart (30, or 33 with filler bytes): current
// times the CT ratio, voltage times the PT ratio, power times both, as 4-byte little-endian floats.
inline std::string expectedSamples(const std::string& sent, size_t stride, float ct, float pt, size_t count) {
    std::string out;
    for (size_t k = 0; k < count && k * stride + 30 <= sent.size(); ++k) {
        const auto* b = reinterpret_cast<const uint8_t*>(sent.data() + k * stride + 3);
        for (int ch = 0; ch < 3; ++ch) {
            const float values[3] = {instrumentNumber(b + 9 * ch) * ct, instrumentNumber(b + 9 * ch + 3) * pt,
                                     instrumentNumber(b + 9 * ch + 6) * ct * pt};
            for (float v : values) {
                uint32_t bits;
                std::memcpy(&bits, &v, 4);
                for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(bits >> (8 * i)));
            }
        }
    }
    return out;
}

}  // namespace mervo::test
