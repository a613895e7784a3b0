// Finding the instrument's 30-byte blocks in the serial byte stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "shared/shared_state.h"

namespace mervo {

constexpr uint8_t kSync[3] = {0x12, 0x34, 0x56};
constexpr size_t kBlockBytes = 30;
constexpr size_t kValueBytes = 27;

// How the bytes after a block are treated. A manual receive skips three filler bytes after each block unless
// they are the next block's sync; a timed receive searches right after the values.
enum class FillerRule { SearchAfterValues, SkipFillerUnlessSync };

class BlockScanner {
public:
    BlockScanner(ReceiveBuffer& buffer, FillerRule rule) : buf_(buffer), rule_(rule) {}

    void setRule(FillerRule rule) { rule_ = rule; }
    void reset();
    void append(const uint8_t* data, size_t n);
    // Takes the next complete block out of the buffer; false when more bytes are needed first. Never reads
    // past the bytes received so far.
    bool next(std::array<uint8_t, kValueBytes>& values);
    // Drops the consumed bytes; call after draining, so the buffer stays small over a long receive.
    void compact();
    // Drops what is left of a block whose rest will never come (the line was lost), counting it as skipped.
    void dropPartial();

private:
    ReceiveBuffer& buf_;
    FillerRule rule_;
    bool fillerPending_ = false;
};

}  // namespace mervo
