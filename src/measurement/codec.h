// The instrument's three-byte number format, used on the serial line and in the motor catalogue.
#pragma once

#include <array>
#include <cstdint>

namespace mervo {

// Three bytes as received or stored: mantissa low byte, mantissa high byte, sign and exponent.
float DecodeTriple(uint8_t b0, uint8_t b1, uint8_t b2);

// The three-byte form nearest to v (ties away from zero); magnitudes beyond the format saturate, NaN gives 0.
std::array<uint8_t, 3> EncodeTriple(float v);

}  // namespace mervo
