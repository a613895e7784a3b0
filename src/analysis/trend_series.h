// The series of the trend window: every quantity of every sample of a measurement (or of the last minutes of a
// receive) as one float array per quantity, so a day-long file of 2.76 million samples stays near 150 MB and a
// column of the plot is a run over contiguous memory.
#pragma once

#include <QString>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/sample_rows.h"
#include "motor/operating_point.h"

namespace mervo {

// Currents, voltages and the power factor as magnitudes, as the panels and curves show them (the sign of a
// stored current is the direction of its reactive power, which ΣQ keeps); the channels' active powers as stored;
// ΣP signed; ΣQ in the IEC convention (positive lagging, see measurement/reactive_sign.h).
enum class TrendQuantity : int {
    I1, I2, I3,        // A
    U1, U2, U3,        // V
    P1, P2, P3,        // kW, each channel's active power as stored
    SumP, SumQ, S,     // kW, kvar, kVA
    PF,
    Efficiency,        // %  } from the motor model, NaN where it gives no outputs (generating, no usable
    LoadRate,          // %  } nameplate); 0 below the no-load power
    OutputPower,       // kW }
};
constexpr int kTrendQuantities = 16;
constexpr int indexOf(TrendQuantity q) { return static_cast<int>(q); }

struct TrendQuantityInfo {
    const char* name;  // as the window's legend and table show it
    const char* unit;
};
const TrendQuantityInfo& trendQuantityInfo(TrendQuantity q);
// Whether a quantity comes from the motor model (shown only with a usable nameplate).
constexpr bool isMotorQuantity(TrendQuantity q) { return indexOf(q) >= indexOf(TrendQuantity::Efficiency); }

// One sample's values in the order of TrendQuantity, and its motor state.
struct TrendSample {
    std::array<float, kTrendQuantities> values{};
    MotorState state = MotorState::NoMotorData;
};


// Where a quantity lies in a pass's rows: row j's value is data[j * stride], a magnitude or in the IEC sign
// where said; a motor quantity means something only where the row's motor state gives outputs (hasOutputs).
// The one place that says which stored value is which quantity.
struct RowColumn {
    const float* data;
    int64_t stride;
    bool magnitude, negate, motor;
    float at(int64_t j) const {
        const float v = data[j * stride];
        return magnitude ? std::fabs(v) : negate ? -v : v;
    }
};
RowColumn rowColumn(const SampleRows& r, TrendQuantity q);
inline bool hasOutputs(MotorState m) { return m == MotorState::Running || m == MotorState::BelowNoLoad; }

// The trend quantities of row j (NaN for a motor quantity without outputs), and of a sample given by its nine
// stored values (file order), its totals and its motor evaluation.
TrendSample trendSampleOf(const SampleRows& r, int64_t j);
TrendSample trendSampleOf(const float fileValues[9], float sumP, float sumQ, float s, float pf,
                          const MotorSample& motor);
// Quantity q of rows [from, to) into out[0 .. to - from): the values trendSampleOf gives, a column at a time.
void trendColumn(const SampleRows& r, TrendQuantity q, int64_t from, int64_t to, float* out);

class TrendSeries {
public:
    // Empty; `uniformTotalTime` > 0 spreads that duration evenly over the samples as the analysis pass does
    // (sample i of n at i x duration / n); otherwise every sample brings its own time.
    void reset(float uniformTotalTime, int64_t expectedSamples);
    void append(const TrendSample& s);
    void append(const TrendSample& s, float elapsed);  // with its own time, for the live series
    // A pass's rows at once.
    void append(const SampleRows& r);

    int64_t size() const { return static_cast<int64_t>(state_.size()); }
    bool empty() const { return state_.empty(); }
    const float* data(TrendQuantity q) const { return values_[static_cast<size_t>(indexOf(q))].data(); }
    float value(TrendQuantity q, int64_t i) const { return data(q)[i]; }
    MotorState state(int64_t i) const { return static_cast<MotorState>(state_[static_cast<size_t>(i)]); }
    TrendSample sample(int64_t i) const;

    // Seconds from the start of the measurement to sample index i (from 0).
    double time(int64_t i) const;
    // The time each sample stands for: the duration over the number of samples, as the measurement's energies
    // count it (for the live series, the latest block's elapsed time over its number).
    double stepSeconds() const;
    // The index of the sample nearest to time t (clamped to the series); -1 when empty.
    int64_t nearest(double t) const;
    // The first index whose time is at least t (size() when none).
    int64_t lowerBound(double t) const;

    // The smallest and largest value of q over the indexes [a, b), NaN skipped; lo > hi when none has a value.
    // Whole blocks of kBlock samples come from their summaries, so a column of a day costs little.
    static constexpr int64_t kBlock = 64;
    void rangeMinMax(TrendQuantity q, int64_t a, int64_t b, float* lo, float* hi) const;

    // The measurement's clock at its start (seconds since midnight), for the time-of-day axis.
    float startClock = 0;
    // The sample number of index 0: 1 for a file, the block number within the receive for the live series.
    int64_t firstNumber = 1;
    // Whether the nameplate lets the motor model evaluate the samples.
    bool motorUsable = false;
    // Bytes held, for the memory bound.
    size_t bytes() const;

private:
    std::array<std::vector<float>, kTrendQuantities> values_;
    std::vector<uint8_t> state_;  // MotorState, a byte each
    std::vector<float> elapsed_;  // only without a uniform duration
    std::array<std::vector<float>, kTrendQuantities> blockMin_, blockMax_;  // per kBlock samples
    void summariseNewBlocks();
    float totalTime_ = 0;
    int64_t expected_ = 0;
};

}  // namespace mervo
