// The statistics between the trend window's A and B cursors, and the table that shows and copies them.
#pragma once

#include <QString>
#include <array>
#include <vector>

#include "analysis/trend_series.h"

namespace mervo {

struct QuantityStats {
    double mean = 0;
    float min = 0, max = 0;
    int64_t count = 0;  // samples with a value; mean, min and max mean nothing without one
};

// Over the samples A..B (both included). Times and energies follow the measurement's own convention: a sample
// carries its power over the step that ends at it, so the interval's energy is what the cumulative energy gains
// from A to B, and the time below no-load plus the time generating never exceeds Δt.
struct IntervalStats {
    int64_t firstNumber = 0, lastNumber = 0;  // sample numbers of A and B, A <= B
    int64_t samples = 0;
    double seconds = 0;  // Δt, from A to B
    std::array<QuantityStats, kTrendQuantities> q{};
    double activeEnergy = 0, reactiveEnergy = 0;  // W·h and var·h, signed
    double meanPowerFactor = 0;                   // mean ΣP / mean S; NaN when the mean S is 0
    bool motorUsable = false;
    double belowNoLoadSeconds = 0, generatingSeconds = 0;
};

// The statistics between sample indexes a and b (from 0, in either order, clamped to the series).
IntervalStats intervalStats(const TrendSeries& s, int64_t a, int64_t b);

struct IntervalRow {
    QString label;
    std::vector<QString> cells;  // under the columns 平均, 最小, 最大 (fewer for a single figure)
};
// The table's rows; the motor rows only with a usable nameplate. An empty cell where there is no value.
std::vector<IntervalRow> intervalTable(const IntervalStats& st);
// The rows as tab-separated lines under a header line, for the clipboard.
QString intervalTableText(const std::vector<IntervalRow>& rows);

}  // namespace mervo
