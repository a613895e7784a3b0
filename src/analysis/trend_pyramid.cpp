#include "analysis/trend_pyramid.h"

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mervo {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// The smallest of mins[0..n) and the largest of maxs[0..n) folded into lo and hi, a NaN leaving the running
// value as it was. The compiler keeps a select on a comparison of floats one at a time (it may not assume
// there is no NaN), so where the processor has them the vector minimum and maximum are asked for by name:
// they keep their second operand when either is NaN, which is the select.
void foldPairs(const float* mins, const float* maxs, int64_t n, float& lo, float& hi) {
    float mn = lo, mx = hi;
    int64_t i = 0;
#if defined(__SSE2__)
    if (n >= 8) {
        __m128 lo0 = _mm_set1_ps(mn), lo1 = lo0, hi0 = _mm_set1_ps(mx), hi1 = hi0;
        for (; i + 8 <= n; i += 8) {
            lo0 = _mm_min_ps(_mm_loadu_ps(mins + i), lo0);
            lo1 = _mm_min_ps(_mm_loadu_ps(mins + i + 4), lo1);
            hi0 = _mm_max_ps(_mm_loadu_ps(maxs + i), hi0);
            hi1 = _mm_max_ps(_mm_loadu_ps(maxs + i + 4), hi1);
        }
        float l[4], h[4];
        _mm_storeu_ps(l, _mm_min_ps(lo0, lo1));
        _mm_storeu_ps(h, _mm_max_ps(hi0, hi1));
        mn = std::min({l[0], l[1], l[2], l[3]});  // no NaN among them
        mx = std::max({h[0], h[1], h[2], h[3]});
    }
#endif
    for (; i < n; ++i) {
        mn = mins[i] < mn ? mins[i] : mn;
        mx = maxs[i] > mx ? maxs[i] : mx;
    }
    lo = mn;
    hi = mx;
}

// The extremes of each of `blocks` runs of `Run` values from v into mins and maxs.
template <int64_t Run>
void foldRuns(const float* v, int64_t blocks, float* mins, float* maxs) {
    for (int64_t b = 0; b < blocks; ++b) {
        float mn = kInf, mx = -kInf;
        foldPairs(v + b * Run, v + b * Run, Run, mn, mx);
        mins[b] = mn;
        maxs[b] = mx;
    }
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
    const auto column = [&](size_t s) { return columns[static_cast<size_t>(indexOf(held_[s]))]; };
    // Samples into the block being filled.
    const auto fill = [&](int64_t j, int64_t take) {
        for (size_t s = 0; s < held_.size(); ++s)
            foldExtremes(column(s) + j, take, pendingLo_[s], pendingHi_[s]);
        pending_ += take;
        appended_ += take;
        if (pending_ < kBlock) return;
        push(0, pendingLo_.data(), pendingHi_.data());
        std::fill(pendingLo_.begin(), pendingLo_.end(), kInf);
        std::fill(pendingHi_.begin(), pendingHi_.end(), -kInf);
        pending_ = 0;
        covered_ += kBlock;
    };
    int64_t j = 0;
    if (pending_ > 0) {
        j = std::min(kBlock - pending_, count);
        fill(0, j);
    }
    // Whole blocks straight into the finest level, a quantity at a time.
    if (const int64_t whole = (count - j) / kBlock; whole > 0) {
        Level& l = levels_[0];
        const size_t at = static_cast<size_t>(l.count);
        for (size_t s = 0; s < held_.size(); ++s) {
            l.mins[s].resize(at + static_cast<size_t>(whole));
            l.maxs[s].resize(at + static_cast<size_t>(whole));
            foldRuns<kBlock>(column(s) + j, whole, l.mins[s].data() + at, l.maxs[s].data() + at);
        }
        l.count += whole;
        appended_ += whole * kBlock;
        covered_ += whole * kBlock;
        j += whole * kBlock;
        lift(0, static_cast<int64_t>(at));
    }
    if (j < count) fill(j, count - j);
}

void TrendPyramid::lift(size_t level, int64_t before) {
    const int64_t groups = levels_[level].count / kFan, done = before / kFan;
    if (groups == done) return;
    if (level + 1 == levels_.size()) {
        levels_.emplace_back();
        levels_.back().mins.resize(held_.size());
        levels_.back().maxs.resize(held_.size());
    }
    const Level& l = levels_[level];
    Level& up = levels_[level + 1];
    const size_t at = static_cast<size_t>(up.count), n = static_cast<size_t>(groups - done);
    for (size_t s = 0; s < held_.size(); ++s) {
        up.mins[s].resize(at + n);
        up.maxs[s].resize(at + n);
        for (size_t g = 0; g < n; ++g) {
            float lo = kInf, hi = -kInf;
            const size_t from = static_cast<size_t>((done + static_cast<int64_t>(g)) * kFan);
            foldPairs(l.mins[s].data() + from, l.maxs[s].data() + from, kFan, lo, hi);
            up.mins[s][at + g] = lo;
            up.maxs[s][at + g] = hi;
        }
    }
    up.count += static_cast<int64_t>(n);
    lift(level + 1, static_cast<int64_t>(at));
}

void TrendPyramid::finish() {
    if (pending_ > 0) push(0, pendingLo_.data(), pendingHi_.data());
    pending_ = 0;
    covered_ = appended_;
}

void TrendPyramid::push(size_t level, const float* lo, const float* hi) {
    Level& l = levels_[level];
    for (size_t s = 0; s < held_.size(); ++s) {
        l.mins[s].push_back(lo[s]);
        l.maxs[s].push_back(hi[s]);
    }
    ++l.count;
    lift(level, l.count - 1);  // a group it completes is summarised one level up
}

void TrendPyramid::fold(TrendQuantity q, int64_t b0, int64_t b1, float& lo, float& hi) const {
    const int s = slot_[static_cast<size_t>(indexOf(q))];
    if (s < 0) return;
    b0 = std::max<int64_t>(b0, 0);
    b1 = std::min(b1, blocks());
    const auto foldAt = [&](const Level& l, int64_t from, int64_t to) {
        if (from < to)
            foldPairs(l.mins[static_cast<size_t>(s)].data() + from,
                      l.maxs[static_cast<size_t>(s)].data() + from, to - from, lo, hi);
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
