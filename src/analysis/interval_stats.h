// The statistics of an interval of samples, defined once for every view that gives them: the trend window's
// A/B table, the CSV's interval rows and the motor assessment.
//
// - An interval A..B holds B − A + 1 samples, and each stands for the same time, the measurement's step T/N.
//   Δt = (B − A + 1) · T/N, and an energy is the sum of power × step over those same samples, so the whole file
//   gives its duration and the analysis's totals.
// - Currents, voltages and the power factor are magnitudes; ΣP is signed; ΣQ is in the IEC convention.
// - The motor's figures (output power, efficiency, load rate) are taken over the samples where it runs, and its
//   efficiency over the interval is output energy ÷ input energy over those samples.
// - The power factor over the interval is |Ep| / √(Ep² + Eq²) of the interval's own energies, with L or C from
//   the net reactive energy; the per-sample extremes stay magnitudes.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/trend_series.h"

namespace mervo {

struct QuantityStats {
    double mean = 0;
    float min = 0, max = 0;
    int64_t count = 0;  // samples with a value; mean, min and max mean nothing without one
};

struct IntervalStats {
    int64_t firstNumber = 0, lastNumber = 0;  // sample numbers of A and B, A <= B
    int64_t samples = 0;
    double stepSeconds = 0;  // the time each sample stands for
    double seconds = 0;      // Δt = samples × step
    std::array<QuantityStats, kTrendQuantities> q{};
    double activeEnergyWh = 0, reactiveEnergyVarh = 0;  // within the interval; ΣQ's IEC sign
    double powerFactor = 0;                             // from the energies; NaN when both are 0
    const char* powerFactorIndicator = "";              // "L", "C" or "" from the net reactive energy
    bool motorUsable = false;
    double runningSeconds = 0, belowNoLoadSeconds = 0, generatingSeconds = 0;
    double runningInputWh = 0, outputWh = 0;  // over the running samples
    double efficiency = 0;                    // %, output ÷ input energy while running; NaN when it never ran

    const QuantityStats& operator[](TrendQuantity k) const { return q[static_cast<size_t>(indexOf(k))]; }
};

// What rows of a chunk add to an interval, worked out apart from the samples before them.
struct IntervalChunk {
    int64_t samples = 0;
    std::array<double, kTrendQuantities> sums{};
    std::array<int64_t, kTrendQuantities> counts{};
    std::array<float, kTrendQuantities> mins{}, maxs{};
    int64_t running = 0, belowNoLoad = 0, generating = 0;
    double runningInput = 0, runningOutput = 0;  // kW summed over the running rows
};

// Takes the samples of an interval one after another.
class IntervalAccumulator {
public:
    void add(const TrendSample& s);
    // Rows j in [from, to) of a pass's chunk: the same as add(trendSampleOf(r, j)) for each.
    void add(const SampleRows& r, int64_t from, int64_t to) { take(fold(r, from, to)); }
    // The same in two steps: fold needs nothing from the samples before the rows, so a chunk can be folded on
    // any thread as soon as it is read; take adds the folds in the samples' order.
    static IntervalChunk fold(const SampleRows& r, int64_t from, int64_t to);
    void take(const IntervalChunk& c);
    int64_t samples() const { return samples_; }
    // The statistics of the samples taken, the first of them numbered `firstNumber`.
    IntervalStats finish(int64_t firstNumber, double stepSeconds, bool motorUsable) const;

private:
    int64_t samples_ = 0;
    std::array<double, kTrendQuantities> sums_{};
    std::array<int64_t, kTrendQuantities> counts_{};
    std::array<float, kTrendQuantities> mins_{}, maxs_{};
    double sumP_ = 0, sumQ_ = 0, runningP_ = 0, runningOut_ = 0;  // kW and kvar summed over samples
    int64_t running_ = 0, belowNoLoad_ = 0, generating_ = 0;
};

}  // namespace mervo
