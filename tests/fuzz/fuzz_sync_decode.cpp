// The serial byte stream: blocks found by the scanner fed in arbitrary pieces must be exactly the blocks a
// one-pass search over the whole stream finds, and every decoded block either processes to finite, consistent
// values or is refused without touching the running sums and extremes.
//
// Input: a flags byte (filler rule, transformer ratios), then pairs of a piece length byte and that many
// stream bytes.
#include <cmath>
#include <vector>

#include "measurement/codec.h"
#include "measurement/sample_math.h"
#include "acquisition/record_scaling.h"
#include "acquisition/sync_search.h"
#include "fuzz_support.h"

using namespace mervo;

namespace {

bool syncAt(const std::vector<uint8_t>& s, size_t i) {
    return i + 3 <= s.size() && s[i] == kSync[0] && s[i + 1] == kSync[1] && s[i + 2] == kSync[2];
}

// Start offsets of the blocks in the whole stream, searched in one pass.
std::vector<size_t> referenceBlocks(const std::vector<uint8_t>& s, FillerRule rule) {
    std::vector<size_t> starts;
    size_t pos = 0;
    bool filler = false;
    for (;;) {
        if (filler) {
            if (s.size() - pos < 3) break;
            if (!syncAt(s, pos)) pos += 3;
            filler = false;
        }
        size_t i = pos;
        while (i + 3 <= s.size() && !syncAt(s, i)) ++i;
        if (i + kBlockBytes > s.size()) break;
        starts.push_back(i);
        pos = i + kBlockBytes;
        filler = rule == FillerRule::SkipFillerUnlessSync;
    }
    return starts;
}

void checkProcessing(const std::array<uint8_t, kValueBytes>& bytes, float ct, float pt, LiveArrays& live,
                     RunningSums& sums, float elapsed) {
    for (int i = 0; i < 9; ++i) {
        const float v = DecodeTriple(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
        // The format holds 16-bit mantissas and exponents up to 63: always a finite number.
        FUZZ_CHECK(std::isfinite(v));
        // Re-encoding a decoded value and decoding again is stable.
        const auto again = EncodeTriple(v);
        FUZZ_CHECK(DecodeTriple(again[0], again[1], again[2]) == v);
        live.SampleValues[i] = v;
        live.LiveValues[i] = v;
    }
    ScaleRecord(live.LiveValues, ct, pt);
    const RunningSums sumsBefore = sums;
    const auto maxBefore = live.LiveMax, minBefore = live.LiveMin;
    const int err = ProcessSample(live, sums, elapsed);
    if (err != 0) {
        FUZZ_CHECK(err == kErrOverflow || err == kErrInvalidArgument);
        FUZZ_CHECK(sums.BlockCount == sumsBefore.BlockCount);
        FUZZ_CHECK(std::memcmp(&sums.SumP, &sumsBefore.SumP, sizeof(double)) == 0);
        FUZZ_CHECK(std::memcmp(&sums.SumQ, &sumsBefore.SumQ, sizeof(double)) == 0);
        FUZZ_CHECK(live.LiveMax == maxBefore && live.LiveMin == minBefore);
        return;
    }
    FUZZ_CHECK(sums.BlockCount == sumsBefore.BlockCount + 1);
    for (int n = 0; n < 12; ++n) {
        FUZZ_CHECK(std::isfinite(live.LiveValues[n]));
        FUZZ_CHECK(live.LiveMin[n] <= live.LiveMax[n]);
    }
    FUZZ_CHECK(live.LiveValues[8] >= 0.0f && live.LiveValues[8] <= 1.0f);  // |power factor|
    FUZZ_CHECK(live.LiveValues[9] >= 0.0f);                                 // apparent power
    FUZZ_CHECK(std::isfinite(sums.EnergyP) && std::isfinite(sums.EnergyQ));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t flags = in.byte();
    const FillerRule rule = (flags & 1) ? FillerRule::SkipFillerUnlessSync : FillerRule::SearchAfterValues;
    static const float kRatios[4] = {1.0f, 0.001f, 200.0f, 1e30f};
    const float ct = kRatios[(flags >> 1) & 3];
    const float pt = kRatios[(flags >> 3) & 3];

    ReceiveBuffer buf;
    BlockScanner scanner(buf, rule);
    LiveArrays live;
    live.resetExtremes();
    RunningSums sums;

    std::vector<uint8_t> stream;     // every byte appended, for the reference search
    std::vector<size_t> found;       // block starts in `stream`
    size_t compacted = 0;            // bytes dropped from the front of the buffer so far
    std::array<uint8_t, kValueBytes> values;

    while (in.left() > 0) {
        size_t n = in.byte();
        const uint8_t* piece = in.take(&n);
        scanner.append(piece, n);
        stream.insert(stream.end(), piece, piece + n);
        while (scanner.next(values)) {
            FUZZ_CHECK(buf.RxReadPos >= kBlockBytes && buf.RxReadPos <= buf.RxBuffer.size());
            const size_t start = compacted + buf.RxReadPos - kBlockBytes;
            FUZZ_CHECK(syncAt(stream, start));
            FUZZ_CHECK(std::memcmp(values.data(), stream.data() + start + 3, kValueBytes) == 0);
            FUZZ_CHECK(found.empty() || start >= found.back() + kBlockBytes);
            found.push_back(start);
            checkProcessing(values, ct, pt, live, sums, static_cast<float>(found.size()));
        }
        // Every byte is either in a block, counted as skipped or still waiting in the buffer.
        FUZZ_CHECK(buf.SkippedBytes + kBlockBytes * found.size() + (buf.RxBuffer.size() - buf.RxReadPos) ==
                   stream.size());
        compacted += buf.RxReadPos;
        scanner.compact();
        // Drained and compacted, the buffer holds less than one block.
        FUZZ_CHECK(buf.RxBuffer.size() < kBlockBytes);
    }
    FUZZ_CHECK(found == referenceBlocks(stream, rule));
    return 0;
}
