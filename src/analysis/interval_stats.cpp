#include "analysis/interval_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measurement/reactive_sign.h"
#include "shared/wide_vectors.h"

namespace mervo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Fold {
    double sum;
    int64_t count;
    float min, max;
};

// The finite values of a column (motor quantities: of the running rows) into f. Which kind of column it is
// comes as template arguments, so each loop has no branch but selects; this file is built to vectorise such
// reductions (in any order of the sum, which a statistic does not mind). The sums are carried in double, as a
// sample at a time does, so a chunk and its samples one by one agree to far below any digit shown.
template <bool Magnitude, bool Negate, bool Motor, int Stride>
MERVO_WIDE_VECTORS void foldColumn(const float* data, const MotorState* state, int64_t from, int64_t to, Fold& f) {
    double sum = 0;
    float mn = f.min, mx = f.max;
    int32_t count = 0;
    for (int64_t j = from; j < to; ++j) {
        float v = data[j * Stride];
        if (Magnitude) v = std::fabs(v);
        if (Negate) v = -v;
        bool ok = std::fabs(v) <= std::numeric_limits<float>::max();  // finite
        if (Motor) ok = ok && state[j] == MotorState::Running;
        sum += ok ? static_cast<double>(v) : 0.0;
        count += ok;
        mn = std::min(mn, ok ? v : mn);
        mx = std::max(mx, ok ? v : mx);
    }
    f.sum = sum;
    f.count = count;
    f.min = mn;
    f.max = mx;
}
struct StateFold {
    int32_t running, belowNoLoad, generating;
    double runningInput, runningOutput;
};

// The time in each motor state, and the input and output while running, of rows [from, to).
MERVO_WIDE_VECTORS StateFold foldStates(const float* input, const float* output, const MotorState* state,
                                        int64_t from, int64_t to) {
    StateFold f{0, 0, 0, 0, 0};
    for (int64_t j = from; j < to; ++j) {
        const bool running = state[j] == MotorState::Running;
        f.running += running;
        f.belowNoLoad += state[j] == MotorState::BelowNoLoad;
        f.generating += state[j] == MotorState::Generating;
        // A finite value where the motor runs: the operating point of a running sample always is.
        f.runningInput += running ? static_cast<double>(input[j]) : 0.0;
        f.runningOutput += running ? static_cast<double>(output[j]) : 0.0;
    }
    return f;
}

}  // namespace

void IntervalAccumulator::add(const TrendSample& s) {
    if (samples_ == 0) {
        mins_.fill(std::numeric_limits<float>::infinity());
        maxs_.fill(-std::numeric_limits<float>::infinity());
    }
    ++samples_;
    const bool running = s.state == MotorState::Running;
    for (int k = 0; k < kTrendQuantities; ++k) {
        const float v = s.values[static_cast<size_t>(k)];
        if (!std::isfinite(v) || (isMotorQuantity(static_cast<TrendQuantity>(k)) && !running)) continue;
        const size_t i = static_cast<size_t>(k);
        sums_[i] += v;
        ++counts_[i];
        mins_[i] = std::min(mins_[i], v);
        maxs_[i] = std::max(maxs_[i], v);
    }
    const float p = s.values[static_cast<size_t>(indexOf(TrendQuantity::SumP))];
    const float q = s.values[static_cast<size_t>(indexOf(TrendQuantity::SumQ))];
    if (std::isfinite(p)) sumP_ += p;
    if (std::isfinite(q)) sumQ_ += q;
    switch (s.state) {
    case MotorState::Running: {
        const float out = s.values[static_cast<size_t>(indexOf(TrendQuantity::OutputPower))];
        ++running_;
        if (std::isfinite(p)) runningP_ += p;
        if (std::isfinite(out)) runningOut_ += out;
        break;
    }
    case MotorState::BelowNoLoad: ++belowNoLoad_; break;
    case MotorState::Generating: ++generating_; break;
    case MotorState::NoMotorData: break;
    }
}

IntervalChunk IntervalAccumulator::fold(const SampleRows& r, int64_t from, int64_t to) {
    IntervalChunk c;
    from = std::max<int64_t>(from, 0);
    to = std::min(to, r.count);
    if (from >= to) return c;
    c.samples = to - from;
    // A quantity at a time over the rows, each kind of column in a loop of its own that the compiler can
    // vectorise.
    for (int k = 0; k < kTrendQuantities; ++k) {
        const RowColumn col = rowColumn(r, static_cast<TrendQuantity>(k));
        Fold f{0, 0, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
        if (col.stride != 1) {
            if (col.magnitude) foldColumn<true, false, false, 9>(col.data, r.state, from, to, f);
            else foldColumn<false, false, false, 9>(col.data, r.state, from, to, f);
        } else if (col.motor) {
            foldColumn<false, false, true, 1>(col.data, r.state, from, to, f);
        } else if (col.magnitude) {
            foldColumn<true, false, false, 1>(col.data, r.state, from, to, f);
        } else if (col.negate) {
            foldColumn<false, true, false, 1>(col.data, r.state, from, to, f);
        } else {
            foldColumn<false, false, false, 1>(col.data, r.state, from, to, f);
        }
        const size_t i = static_cast<size_t>(k);
        c.sums[i] = f.sum;
        c.counts[i] = f.count;
        c.mins[i] = f.min;
        c.maxs[i] = f.max;
    }
    const StateFold st = foldStates(r.sumP, r.outputPower, r.state, from, to);
    c.running = st.running;
    c.belowNoLoad = st.belowNoLoad;
    c.generating = st.generating;
    c.runningInput = st.runningInput;
    c.runningOutput = st.runningOutput;
    return c;
}

void IntervalAccumulator::take(const IntervalChunk& c) {
    if (c.samples == 0) return;
    if (samples_ == 0) {
        mins_.fill(std::numeric_limits<float>::infinity());
        maxs_.fill(-std::numeric_limits<float>::infinity());
    }
    samples_ += c.samples;
    for (size_t i = 0; i < sums_.size(); ++i) {
        sums_[i] += c.sums[i];
        counts_[i] += c.counts[i];
        mins_[i] = std::min(mins_[i], c.mins[i]);
        maxs_[i] = std::max(maxs_[i], c.maxs[i]);
    }
    sumP_ += c.sums[static_cast<size_t>(indexOf(TrendQuantity::SumP))];
    sumQ_ += c.sums[static_cast<size_t>(indexOf(TrendQuantity::SumQ))];
    running_ += c.running;
    belowNoLoad_ += c.belowNoLoad;
    generating_ += c.generating;
    runningP_ += c.runningInput;
    runningOut_ += c.runningOutput;
}

IntervalStats IntervalAccumulator::finish(int64_t firstNumber, double stepSeconds, bool motorUsable) const {
    IntervalStats st;
    st.motorUsable = motorUsable;
    st.samples = samples_;
    st.firstNumber = firstNumber;
    st.lastNumber = firstNumber + std::max<int64_t>(samples_, 1) - 1;
    st.stepSeconds = stepSeconds;
    st.seconds = static_cast<double>(samples_) * stepSeconds;
    for (size_t k = 0; k < st.q.size(); ++k) {
        QuantityStats& q = st.q[k];
        q.count = counts_[k];
        if (q.count == 0) continue;
        q.mean = sums_[k] / static_cast<double>(q.count);
        q.min = mins_[k];
        q.max = maxs_[k];
    }
    const double wh = stepSeconds / 3.6;  // kW·s to W·h
    st.activeEnergyWh = sumP_ * wh;
    st.reactiveEnergyVarh = sumQ_ * wh;
    const double apparent = std::hypot(st.activeEnergyWh, st.reactiveEnergyVarh);
    st.powerFactor = apparent > 0 ? std::fabs(st.activeEnergyWh) / apparent : kNaN;
    st.powerFactorIndicator = reactiveIndicator(st.reactiveEnergyVarh);
    st.runningSeconds = static_cast<double>(running_) * stepSeconds;
    st.belowNoLoadSeconds = static_cast<double>(belowNoLoad_) * stepSeconds;
    st.generatingSeconds = static_cast<double>(generating_) * stepSeconds;
    st.runningInputWh = runningP_ * wh;
    st.outputWh = runningOut_ * wh;
    st.efficiency = running_ > 0 && runningP_ > 0 ? 100.0 * runningOut_ / runningP_ : kNaN;
    return st;
}

}  // namespace mervo
