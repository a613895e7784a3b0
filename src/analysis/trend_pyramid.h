// The smallest and largest value of each summarised quantity per 64 samples, and per 16 of those at every
// coarser level, so the envelope of any stretch of a measurement costs a few dozen summaries a pixel column
// however long the measurement: a month of 85 million samples keeps about 1.7 bytes a sample per quantity.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/trend_series.h"

namespace mervo {

class TrendPyramid {
public:
    static constexpr int64_t kBlock = 64;  // samples per summary of the finest level
    static constexpr int64_t kFan = 16;    // summaries of one level per summary of the next

    // Empty, summarising `quantities` (the others are not kept); room reserved for `expectedSamples`.
    void reset(const std::vector<TrendQuantity>& quantities, int64_t expectedSamples);
    bool holds(TrendQuantity q) const { return slot_[static_cast<size_t>(indexOf(q))] >= 0; }

    // The next `count` samples: column k holds quantity k's values (NaN where a sample has none); a column
    // of a quantity not held may be null.
    void append(const std::array<const float*, kTrendQuantities>& columns, int64_t count);
    // The last samples, fewer than a block, get a summary of their own: no sample will follow.
    void finish();

    // Samples covered by summaries: whole blocks, and after finish() every sample appended.
    int64_t samples() const { return covered_; }
    // Finest-level summaries: block b covers samples [b·kBlock, min((b + 1)·kBlock, samples())).
    int64_t blocks() const { return levels_.empty() ? 0 : levels_[0].count; }

    // Folds the extremes of q over blocks [b0, b1) into lo and hi (NaN never counts); q must be held.
    void fold(TrendQuantity q, int64_t b0, int64_t b1, float& lo, float& hi) const;

    size_t bytes() const;

private:
    struct Level {
        int64_t count = 0;
        std::vector<std::vector<float>> mins, maxs;  // per held quantity
    };
    void push(size_t level, const float* lo, const float* hi);
    // Summarises one level up the groups of `level` completed since it held `before` summaries.
    void lift(size_t level, int64_t before);

    std::array<int, kTrendQuantities> slot_{};
    std::vector<TrendQuantity> held_;
    std::vector<Level> levels_;
    std::vector<float> pendingLo_, pendingHi_;  // the block being filled, per held quantity
    int64_t pending_ = 0, covered_ = 0, appended_ = 0;
};

// Folds v[0..n) into lo and hi, NaN skipped.
void foldExtremes(const float* v, int64_t n, float& lo, float& hi);

}  // namespace mervo
