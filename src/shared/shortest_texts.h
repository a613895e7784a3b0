// The shortest texts of many floats at once, each exactly as writeShortestFloat writes it. An export prints
// nineteen numbers a row, over a billion on a month's recording: on a processor with 256-bit integer vectors
// the digits of eight numbers are worked out together, without a branch that depends on them; elsewhere, and
// for zero, non-numbers and the exponent and whole-number forms, one at a time as writeShortestFloat does.
#pragma once

#include <cstddef>
#include <cstring>

#include "shared/number_format.h"

namespace mervo {

class ShortestTexts {
  public:
    static constexpr size_t kCapacity = 640;

    // Works out the texts of values[0..count); count is at most kCapacity. The texts of an earlier call are
    // gone.
    void format(const float* values, size_t count);

    // Writes text i from `out`, which has kShortestMaxChars bytes of room, and returns one past its end.
    char* put(char* out, size_t i) const {
        std::memcpy(out, slots_[i], kSlot);
        return out + static_cast<unsigned char>(slots_[i][kSlot - 1]);
    }

  private:
    // A text from the slot's first byte; its length in the last. The longest text has 17 characters.
    static constexpr size_t kSlot = 32;
    static_assert(kSlot <= static_cast<size_t>(kShortestMaxChars), "a slot is copied whole");
    alignas(32) char slots_[kCapacity][kSlot];
};

}  // namespace mervo
