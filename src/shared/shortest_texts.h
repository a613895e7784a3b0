// The shortest texts of many floats at once, each exactly as writeShortestFloat writes it. An export prints
// nineteen numbers a row, over a billion on a month's recording: on a processor with 256-bit integer vectors
// the digits of eight numbers are worked out together, without a branch that depends on them; elsewhere, and
// for non-numbers, the exponent form and whole numbers from 2^24 on, one at a time as writeShortestFloat does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "shared/number_format.h"

namespace mervo {

class ShortestTexts {
public:
    static constexpr size_t kCapacity = 640;

    // What NaN and the infinities are written as: "null" as writeShortestFloat has it, or nothing (an empty
    // field of a table).
    enum class NonNumbers { Null, Empty };
    explicit ShortestTexts(NonNumbers nonNumbers = NonNumbers::Null) : emptyNonNumbers_(nonNumbers == NonNumbers::Empty) {}

    // Works out the texts of values[0..count) as texts at to at + count - 1 (at most kCapacity), in place of
    // those an earlier call left there.
    void format(const float* values, size_t count, size_t at = 0);

    // Writes text i from `out`, which has kShortestMaxChars bytes of room, and returns one past its end.
    char* put(char* out, size_t i) const {
        std::memcpy(out, slots_[i], kSlot);
        return out + lengths_[i];
    }

private:
    // A text from the slot's first byte, and its length. The longest text has 17 characters.
    static constexpr size_t kSlot = 32;
    static_assert(kSlot <= static_cast<size_t>(kShortestMaxChars), "a slot is copied whole");
    alignas(32) char slots_[kCapacity][kSlot];
    uint8_t lengths_[kCapacity];
    bool emptyNonNumbers_;
};

}  // namespace mervo
