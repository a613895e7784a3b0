#include "acquisition/sync_search.h"

#include <algorithm>
#include <cstring>

namespace mervo {

void BlockScanner::reset() {
    buf_.reset();
    fillerPending_ = false;
}

void BlockScanner::append(const uint8_t* data, size_t n) { buf_.RxBuffer.insert(buf_.RxBuffer.end(), data, data + n); }

bool BlockScanner::next(std::array<uint8_t, kValueBytes>& values) {
    const auto& b = buf_.RxBuffer;
    size_t pos = buf_.RxReadPos;
    const size_t end = b.size();
    auto isSyncAt = [&](size_t i) { return b[i] == kSync[0] && b[i + 1] == kSync[1] && b[i + 2] == kSync[2]; };

    if (fillerPending_) {
        if (end - pos < 3) return false;
        if (!isSyncAt(pos)) {
            pos += 3;
            buf_.SkippedBytes += 3;
        }
        fillerPending_ = false;
        buf_.RxReadPos = pos;
    }

    // Every position is a possible start, so a sync inside a failed partial match (12 12 34 56) is found.
    size_t i = pos;
    while (i + 3 <= end && !isSyncAt(i)) ++i;
    if (i + 3 > end) {
        // No whole sync yet: keep only a tail that may still become one.
        size_t keep = 0;
        if (end - pos >= 2 && b[end - 2] == kSync[0] && b[end - 1] == kSync[1]) keep = 2;
        else if (end - pos >= 1 && b[end - 1] == kSync[0]) keep = 1;
        buf_.SkippedBytes += (end - pos) - keep;
        buf_.RxReadPos = end - keep;
        return false;
    }
    buf_.SkippedBytes += i - pos;
    buf_.RxReadPos = i;
    if (end - i < kBlockBytes) return false;
    std::memcpy(values.data(), b.data() + i + 3, kValueBytes);
    buf_.RxReadPos = i + kBlockBytes;
    fillerPending_ = rule_ == FillerRule::SkipFillerUnlessSync;
    return true;
}

void BlockScanner::compact() {
    auto& b = buf_.RxBuffer;
    b.erase(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(buf_.RxReadPos, b.size())));
    buf_.RxReadPos = 0;
}

void BlockScanner::dropPartial() {
    compact();
    buf_.SkippedBytes += buf_.RxBuffer.size();
    buf_.RxBuffer.clear();
    fillerPending_ = false;
}

}  // namespace mervo
