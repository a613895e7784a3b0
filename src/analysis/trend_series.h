// The quantities of the trend window and the one rule that gives them for a sample: which stored value is
// which quantity, magnitudes, the IEC sign of ΣQ, and the motor's figures only where it has outputs.
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
// The same for every quantity k whose out[k] is not null, the stored values of a row read once for all of
// them.
void trendColumns(const SampleRows& r, int64_t from, int64_t to,
                  const std::array<float*, kTrendQuantities>& out);

}  // namespace mervo
