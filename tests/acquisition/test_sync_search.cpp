// Finding blocks in the serial stream: garbage, partial syncs, back-to-back blocks, filler bytes and blocks
// split across reads.
#include <gtest/gtest.h>

#include <vector>

#include "acquisition/sync_search.h"

using namespace mervo;

namespace {

using Bytes = std::vector<uint8_t>;

// A block whose 27 value bytes all equal `tag`, so each found block tells which one it was.
Bytes block(uint8_t tag) {
    Bytes b{0x12, 0x34, 0x56};
    b.insert(b.end(), 27, tag);
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Feeds the stream in pieces cut at the given positions and returns the tags of the blocks found.
std::vector<int> scan(const Bytes& stream, FillerRule rule, std::vector<size_t> cuts = {},
                      uint64_t* skipped = nullptr, size_t* maxBuffer = nullptr) {
    ReceiveBuffer buf;
    BlockScanner s(buf, rule);
    std::vector<int> tags;
    cuts.push_back(stream.size());
    size_t from = 0;
    for (size_t cut : cuts) {
        s.append(stream.data() + from, cut - from);
        from = cut;
        std::array<uint8_t, kValueBytes> v;
        while (s.next(v)) {
            for (uint8_t x : v) EXPECT_EQ(x, v[0]) << "value bytes of one block were mixed up";
            tags.push_back(v[0]);
        }
        s.compact();
        if (maxBuffer) *maxBuffer = std::max(*maxBuffer, buf.RxBuffer.size());
    }
    if (skipped) *skipped = buf.SkippedBytes;
    return tags;
}

TEST(BlockScanner, findsBlocksWhateverTheStreamLooksLike) {
    const Bytes garbage{0x00, 0xFF, 0x12, 0x34, 0x99, 0x56, 0x34};
    const Bytes partial = block(5);
    struct Case {
        const char* name;
        Bytes stream;
        FillerRule rule;
        std::vector<int> tags;
        uint64_t skipped;
    } cases[] = {
        {"one block", block(1), FillerRule::SearchAfterValues, {1}, 0},
        {"garbage before the first sync", cat({garbage, block(2)}), FillerRule::SearchAfterValues, {2}, 7},
        {"sync inside a failed partial match", cat({{0x12}, block(3)}), FillerRule::SearchAfterValues, {3}, 1},
        {"double partial match", cat({{0x12, 0x34, 0x12}, block(4)}), FillerRule::SearchAfterValues, {4}, 3},
        {"back to back, timed", cat({block(1), block(2), block(3)}), FillerRule::SearchAfterValues, {1, 2, 3}, 0},
        {"back to back, manual", cat({block(1), block(2), block(3)}), FillerRule::SkipFillerUnlessSync, {1, 2, 3}, 0},
        {"three filler bytes, manual", cat({block(1), {9, 9, 9}, block(2), {9, 9, 9}, block(3)}),
         FillerRule::SkipFillerUnlessSync, {1, 2, 3}, 6},
        {"three filler bytes, timed", cat({block(1), {9, 9, 9}, block(2)}), FillerRule::SearchAfterValues, {1, 2}, 3},
        {"value bytes that look like a sync are values", cat({block(0x12), block(0x34)}),
         FillerRule::SearchAfterValues, {0x12, 0x34}, 0},
        {"no sync at all", Bytes(500, 0x12), FillerRule::SearchAfterValues, {}, 499},
        {"incomplete block waits", Bytes(partial.begin(), partial.begin() + 29), FillerRule::SearchAfterValues, {}, 0},
    };
    for (const auto& c : cases) {
        uint64_t skipped = 0;
        EXPECT_EQ(scan(c.stream, c.rule, {}, &skipped), c.tags) << c.name;
        EXPECT_EQ(skipped, c.skipped) << c.name;
    }
}

TEST(BlockScanner, blocksSplitAcrossReadsAtEveryBytePositionAreFound) {
    const Bytes stream = cat({{0x07, 0x12}, block(1), {1, 2, 3}, block(2), block(3)});
    for (FillerRule rule : {FillerRule::SearchAfterValues, FillerRule::SkipFillerUnlessSync}) {
        const std::vector<int> whole = scan(stream, rule);
        ASSERT_EQ(whole, (std::vector<int>{1, 2, 3}));
        for (size_t cut = 1; cut < stream.size(); ++cut) EXPECT_EQ(scan(stream, rule, {cut}), whole) << "cut at " << cut;
        std::vector<size_t> everyByte;
        for (size_t i = 1; i < stream.size(); ++i) everyByte.push_back(i);
        EXPECT_EQ(scan(stream, rule, everyByte), whole) << "one byte per read";
    }
}

TEST(BlockScanner, memoryStaysFlatOverALongStream) {
    Bytes stream;
    for (int i = 0; i < 5000; ++i) {
        const Bytes b = block(static_cast<uint8_t>(i));
        stream.insert(stream.end(), b.begin(), b.end());
        if (i % 7 == 0) stream.insert(stream.end(), 40, 0xAA);  // bursts of noise between some blocks
    }
    std::vector<size_t> cuts;
    for (size_t c = 97; c < stream.size(); c += 97) cuts.push_back(c);
    size_t maxBuffer = 0;
    EXPECT_EQ(scan(stream, FillerRule::SearchAfterValues, cuts, nullptr, &maxBuffer).size(), 5000u);
    EXPECT_LT(maxBuffer, 97u + kBlockBytes);
}

}  // namespace
