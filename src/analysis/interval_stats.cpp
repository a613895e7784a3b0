#include "analysis/interval_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measurement/reactive_sign.h"

namespace mervo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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

void IntervalAccumulator::add(const SampleRows& r, int64_t from, int64_t to) {
    from = std::max<int64_t>(from, 0);
    to = std::min(to, r.count);
    if (from >= to) return;
    if (samples_ == 0) {
        mins_.fill(std::numeric_limits<float>::infinity());
        maxs_.fill(-std::numeric_limits<float>::infinity());
    }
    samples_ += to - from;
    // A quantity at a time over the rows: the loops run over contiguous memory and vectorise.
    for (int k = 0; k < kTrendQuantities; ++k) {
        const RowColumn c = rowColumn(r, static_cast<TrendQuantity>(k));
        const size_t i = static_cast<size_t>(k);
        double sum = 0;
        int64_t count = 0;
        float mn = mins_[i], mx = maxs_[i];
        for (int64_t j = from; j < to; ++j) {
            const float v = c.at(j);
            const bool take = std::isfinite(v) && (!c.motor || r.state[j] == MotorState::Running);
            sum += take ? v : 0.0f;
            count += take;
            mn = take && v < mn ? v : mn;
            mx = take && v > mx ? v : mx;
        }
        sums_[i] += sum;
        counts_[i] += count;
        mins_[i] = mn;
        maxs_[i] = mx;
    }
    const RowColumn q = rowColumn(r, TrendQuantity::SumQ);
    for (int64_t j = from; j < to; ++j) {
        const float p = r.sumP[j], out = r.outputPower[j];
        const float reactive = q.at(j);
        if (std::isfinite(p)) sumP_ += p;
        if (std::isfinite(reactive)) sumQ_ += reactive;
        switch (r.state[j]) {
            case MotorState::Running:
                ++running_;
                if (std::isfinite(p)) runningP_ += p;
                if (std::isfinite(out)) runningOut_ += out;
                break;
            case MotorState::BelowNoLoad: ++belowNoLoad_; break;
            case MotorState::Generating: ++generating_; break;
            case MotorState::NoMotorData: break;
        }
    }
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

IntervalStats intervalStats(const TrendSeries& s, int64_t a, int64_t b) {
    IntervalAccumulator acc;
    if (s.empty()) return acc.finish(0, s.stepSeconds(), s.motorUsable);
    if (a > b) std::swap(a, b);
    a = std::clamp<int64_t>(a, 0, s.size() - 1);
    b = std::clamp<int64_t>(b, 0, s.size() - 1);
    for (int64_t i = a; i <= b; ++i) acc.add(s.sample(i));
    return acc.finish(s.firstNumber + a, s.stepSeconds(), s.motorUsable);
}

}  // namespace mervo
