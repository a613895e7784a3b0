#include "analysis/trend_pyramid.h"

#include <algorithm>
#include <limits>

namespace mervo {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// The smallest of mins[0..n) and the largest of maxs[0..n) folded into lo and hi: written as selects that the
// compiler turns into vector min/max (a NaN operand leaves the running value as it was).
void foldPairs(const float* mins, const float* maxs, int64_t n, float& lo, float& hi) {
    float mn = lo, mx = hi;
    for (int64_t i = 0; i < n; ++i) {
        mn = mins[i] < mn ? mins[i] : mn;
        mx = maxs[i] > mx ? maxs[i] : mx;
    }
    lo = mn;
    hi = mx;
}

}  // namespace

void foldExtremes(const float* v, int64_t n, float& lo, float& hi) { foldPairs(v, v, n, lo, hi); }

void TrendPyramid::reset(const std::vector<TrendQuantity>& quantities, int64_t expectedSamples) {
    slot_.fill(-1);
    held_.clear();
    for (TrendQuantity q : quantities) {
        if (holds(q)) continue;
        slot_[static_cast<size_t>(indexOf(q))] = static_cast<int>(held_.size());
        held_.push_back(q);
    }
    levels_.clear();
    levels_.shrink_to_fit();
    levels_.emplace_back();
    const size_t blocks = static_cast<size_t>(std::max<int64_t>(expectedSamples, 0) / kBlock + 1);
    for (auto* side : {&levels_[0].mins, &levels_[0].maxs}) {
        side->resize(held_.size());
        for (auto& v : *side) v.reserve(blocks);
    }
    pendingLo_.assign(held_.size(), kInf);
    pendingHi_.assign(held_.size(), -kInf);
    pending_ = covered_ = appended_ = 0;
}

void TrendPyramid::append(const std::array<const float*, kTrendQuantities>& columns, int64_t count) {
    for (int64_t j = 0; j < count;) {
        const int64_t take = std::min(kBlock - pending_, count - j);
        for (size_t s = 0; s < held_.size(); ++s)
            foldExtremes(columns[static_cast<size_t>(indexOf(held_[s]))] + j, take, pendingLo_[s], pendingHi_[s]);
        pending_ += take;
        appended_ += take;
        j += take;
        if (pending_ == kBlock) {
            push(0, pendingLo_.data(), pendingHi_.data());
            std::fill(pendingLo_.begin(), pendingLo_.end(), kInf);
            std::fill(pendingHi_.begin(), pendingHi_.end(), -kInf);
            pending_ = 0;
            covered_ += kBlock;
        }
    }
}

void TrendPyramid::finish() {
    if (pending_ > 0) push(0, pendingLo_.data(), pendingHi_.data());
    pending_ = 0;
    covered_ = appended_;
}

void TrendPyramid::push(size_t level, const float* lo, const float* hi) {
    if (level == levels_.size()) {
        levels_.emplace_back();
        levels_.back().mins.resize(held_.size());
        levels_.back().maxs.resize(held_.size());
    }
    Level& l = levels_[level];
    for (size_t s = 0; s < held_.size(); ++s) {
        l.mins[s].push_back(lo[s]);
        l.maxs[s].push_back(hi[s]);
    }
    ++l.count;
    if (l.count % kFan != 0) return;
    // A group is complete: its summary goes one level up.
    std::array<float, kTrendQuantities> groupLo, groupHi;
    groupLo.fill(kInf);
    groupHi.fill(-kInf);
    const size_t from = static_cast<size_t>(l.count - kFan);
    for (size_t s = 0; s < held_.size(); ++s)
        foldPairs(l.mins[s].data() + from, l.maxs[s].data() + from, kFan, groupLo[s], groupHi[s]);
    push(level + 1, groupLo.data(), groupHi.data());  // may move the levels: `l` is not used after it
}

void TrendPyramid::fold(TrendQuantity q, int64_t b0, int64_t b1, float& lo, float& hi) const {
    const int s = slot_[static_cast<size_t>(indexOf(q))];
    if (s < 0) return;
    b0 = std::max<int64_t>(b0, 0);
    b1 = std::min(b1, blocks());
    const auto foldAt = [&](const Level& l, int64_t from, int64_t to) {
        if (from < to)
            foldPairs(l.mins[static_cast<size_t>(s)].data() + from, l.maxs[static_cast<size_t>(s)].data() + from,
                      to - from, lo, hi);
    };
    // The ends of the run at this level, its middle from the level above while that has whole groups of it.
    for (size_t level = 0; b0 < b1; ++level) {
        const Level& l = levels_[level];
        const int64_t up0 = (b0 + kFan - 1) / kFan;
        const int64_t up1 = level + 1 < levels_.size() ? std::min(b1 / kFan, levels_[level + 1].count) : 0;
        if (up0 >= up1) {
            foldAt(l, b0, b1);
            return;
        }
        foldAt(l, b0, up0 * kFan);
        foldAt(l, up1 * kFan, b1);
        b0 = up0;
        b1 = up1;
    }
}

size_t TrendPyramid::bytes() const {
    size_t b = (pendingLo_.capacity() + pendingHi_.capacity()) * sizeof(float);
    for (const Level& l : levels_)
        for (const auto* side : {&l.mins, &l.maxs})
            for (const auto& v : *side) b += v.capacity() * sizeof(float);
    return b;
}

}  // namespace mervo
