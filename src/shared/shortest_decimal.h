// The shortest decimal of a float: the fewest significant digits that read back to it, and of those the
// nearest to it, as digits times a power of ten. Exact integer arithmetic on the float's bits, with the powers of
// ten as 64-bit fractions rounded up, close enough for every float (checked against the standard library's
// conversion on every bit pattern by bench/shortest_float_check).
#pragma once

#include <cstdint>

namespace mervo {

struct ShortestDecimal {
    uint32_t digits;  // no trailing zero
    int exponent;     // the value is digits * 10^exponent
};

// For the bits of a finite, non-zero float with the sign bit cleared. With `significantBits` below 24 the digits
// need only read back at that precision (rounded to the nearest number of so many significant bits), so fewer may
// do: 88.3 for the 88.30078125 that a 16-bit mantissa holds. A float with more significant bits than that, or
// beyond 2^102, is taken at its own precision.
ShortestDecimal shortestDecimal(uint32_t magnitudeBits, int significantBits = 24);

}  // namespace mervo
