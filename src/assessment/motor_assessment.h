// The motor assessment of an interval of samples: is the motor run economically, how far from it, and why.
//
// Design note: the figures and where they come from
// -------------------------------------------------
// An interval A..B holds B − A + 1 samples, each standing for dt = T/N of the measurement (analysis/
// interval_stats.h). Per sample: P1 = ΣP (kW, each channel limited to its apparent power), Q1 = |ΣQ| (kvar),
// the motor state of the loss model, and while running the output P2 and load rate β of the operating point
// P1 = P2 + P0 + β²·P_K, β = P2/P_N (motor/operating_point.h). From the nameplate P_N (kW), I_N (A), η_N (%),
// I0 (A), P0 (kW), U_N (V): P_loss = (100/η_N − 1)·P_N and P_K = P_loss − P0.
//
// Starts. A start begins at the first sample whose largest current reaches kStartBeginsAt·I_N after a sample
// below it; its peak is the largest current until the current first falls to kStartEndsAt·I_N or below, and it
// lasts from its first sample up to (not including) that sample, or to the interval's end. The steady-state loss
// model does not hold during a start (an inrush would read as 230 % load), so a start's samples are counted as
// starting time and left out of everything below that speaks of running; their input energy still counts.
//
// Energies: E_in = Σ P1·dt over all samples; over the running samples outside starts E_run = Σ P1·dt,
// E_out = Σ P2·dt and E_q = Σ Q1·dt. Efficiency = E_out / E_run.
//
// Comprehensive efficiency, after the economic-operation rules for three-phase induction motors (GB/T 12497),
// which charge the reactive power drawn at a reactive economic equivalent K_Q (kW per kvar; 0.02 to 0.1, higher
// the more transformation stages lie between motor and generation; the operator's choice, 0.05 by default):
//   measured      η_c  = E_out / (E_run + K_Q·E_q); per sample η_c,i = P2 / (P1 + K_Q·Q1)
//   rated         η_cN = P_N / (P_N/η_N + K_Q·Q_N), cos φ_N = 1000·P_N / (√3·U_N·I_N·η_N), Q_N = (P_N/η_N)·tan φ_N
//   allowed       η_cy: the same with the nameplate less the tolerances of GB/T 755 / IEC 60034-1:
//                 η_y = η_N − 0.15·(100 − η_N) up to 150 kW, − 0.10·(100 − η_N) above;
//                 cos φ_y = cos φ_N − (1 − cos φ_N)/6, that deduction held between 0.02 and 0.07.
// Operating zone (our reading of the standard's definitions, stated with every result): 经济运行 when
// η_c ≥ η_cN, 允许运行 when η_cy ≤ η_c < η_cN, 非经济运行 when η_c < η_cy; for the interval's η_c, and per
// running sample for the time in each zone.
// Economic load rates: Q0 = √((√3·U_N·I0/1000)² − P0²); active β_a = √(P0/P_K); comprehensive
//   β_c = √((P0 + K_Q·Q0) / (P_K + K_Q·(Q_N − Q0))).
// Load profile: time and input energy of the running samples in the load-rate bands 0-25, 25-50, 50-75, 75-100,
//   100-115 and 115+ (% , lower edge included), and of the samples below no-load, generating (energy signed) and
//   starting; the time-weighted mean, the 95th percentile (nearest rank, to 0.01 %) and the maximum of β.
// Efficiency class: η_N against the IE1–IE4 minima of IEC 60034-30-1 (assessment/efficiency_class.h);
//   GB 18613-2020 grade 3 is the IE3 minimum, grade 2 the IE4 minimum; grade 1 is not assessed.
// Unbalance (all three channels connected): per sample max |X_k − mean| / mean × 100 over the three voltages
//   and over the three current magnitudes (deviation from the mean: the instrument sends no phase angles for the
//   negative-sequence definition); mean and maximum over the interval, and the time the voltage unbalance is
//   above kVoltageUnbalanceGuide, a guide value rather than a standard's verdict.
// Reactive compensation to a target power factor: Q_C = P·(tan φ1 − tan φ2), P the interval's mean active power,
//   φ1 from the interval's energy power factor, φ2 from the target; 0 when a lagging φ1 already meets the target,
//   0 for a leading interval (it needs no capacitors); also for the sample that needs most.
// Without usable motor data the electrical figures stay; the motor figures and the starts (which need I_N) are
// absent, with the reason. A nameplate that contradicts itself (cos φ_N > 1, Q0 of a negative radicand) is
// refused the same way.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/interval_stats.h"
#include "assessment/efficiency_class.h"
#include "assessment/rated_figures.h"
#include "measurement/receive_gaps.h"

namespace mervo {

constexpr double kStartBeginsAt = 0.1;  // × I_N: a start begins when the largest current reaches this
constexpr double kStartEndsAt = 1.2;    // × I_N: and ends when it falls to this or below
constexpr double kVoltageUnbalanceGuide = 2.0;  // %

enum class OperatingZone { Economic, Allowed, Uneconomic };
QString zoneName(OperatingZone z);  // 经济运行, 允许运行, 非经济运行
// The zone rule in words, as every output states it.
QString zoneRuleText();

// A sample as the assessment classes it.
enum class SampleUse { Running, Starting, BelowNoLoad, Generating, NoMotorData };

// A chunk's rows as assessed, handed on to what builds on the assessment (the savings): rows [from, to) of the
// pass's chunk, and how the assessment classed each (indexed as the rows). P2 and β are the rows' own where the
// use is Running.
struct AssessedRows {
    const SampleRows* rows = nullptr;
    int64_t from = 0, to = 0;
    const SampleUse* use = nullptr;
};

// The load rate's distribution over the running samples outside starts, in steps of kLoadRateStep %.
constexpr double kLoadRateStep = 0.01;
struct LoadRateHistogram {
    std::vector<int64_t> counts;  // counts[b]: samples with b·step <= β < (b+1)·step; the last takes the rest
    int64_t samples = 0;
    // The nearest-rank percentile p (0..100), to the step; none without samples.
    std::optional<double> percentile(double p) const;
    // Samples whose β lies above `loadRate` (to the step).
    int64_t above(double loadRate) const;
};

struct LoadBand {
    QString name;  // "0-25" … "115+", "below_no_load", "generating", "starting"
    double seconds = 0, energyKwh = 0;
};

struct MotorStart {
    int64_t sample = 0;     // its first sample's number
    double timeOfDay = 0;   // seconds since midnight
    double peakAmperes = 0, peakMultiple = 0, seconds = 0;
};

// What the assessment needs of the measurement besides its samples.
struct AssessedMeasurement {
    MotorValues motor;
    std::array<bool, 3> channels{true, true, true};
    float startClock = 0;  // seconds since midnight at the start
    float totalTime = 0;   // T, s: the time the samples cover
    int64_t samples = 0;   // N
    ReceiveGaps gaps;      // a reconnected receive's time away, which its clock counts and its energies do not

    double stepSeconds() const { return samples > 0 ? static_cast<double>(totalTime) / static_cast<double>(samples) : 0.0; }
    // The clock of sample `number` (from 1), seconds since the midnight before the start (past 86400 on later days).
    double timeOfDay(int64_t number) const;
};

struct Assessment {
    AssessmentSettings settings;
    IntervalStats electrical;  // the interval statistics of every sample
    double energyInKwh = 0, energyRunningKwh = 0, energyOutKwh = 0, energyReactiveKvarh = 0;
    double runningSeconds = 0, startingSeconds = 0, belowNoLoadSeconds = 0, generatingSeconds = 0;

    std::optional<RatedFigures> rated;  // absent without usable motor data
    QString motorNote;                  // why the motor figures are absent
    EfficiencyClass efficiencyClass;
    // The motor figures, present with usable motor data and running samples.
    std::optional<double> efficiency, comprehensiveEfficiency;  // %
    std::optional<double> loadRateMean, loadRateP95, loadRateMax;  // %
    std::optional<OperatingZone> zone;
    std::array<double, 3> zoneSeconds{};  // economic, allowed, uneconomic
    std::vector<LoadBand> loadProfile;
    LoadRateHistogram loadRates;
    std::vector<MotorStart> starts;

    std::optional<double> voltageUnbalanceMean, voltageUnbalanceMax, voltageUnbalanceOverGuideSeconds;
    std::optional<double> currentUnbalanceMean, currentUnbalanceMax;
    std::optional<double> compensationKvar, compensationMaxKvar;
    bool leading = false;  // the interval draws capacitive reactive power on balance

    QString verdict;
};

// What rows of a chunk add to an assessment apart from the samples before them: the interval statistics, the
// unbalances, the input energy and the compensation the worst sample needs.
struct AssessmentChunk {
    int64_t first = -1, from = 0, to = 0;  // the rows it was worked out for
    IntervalChunk electrical;
    struct Unbalance {
        double sum = 0;  // of the rows where it is defined
        int64_t count = 0, over = 0;
        float max = -1;  // -1 where it is not defined
    } voltage, current;
    double input = 0;         // kW summed
    double compensation = -1;  // kvar; -1 where no row needs any
};

// Takes the samples of an interval in order, keeping no per-sample arrays.
class AssessmentAccumulator {
public:
    AssessmentAccumulator(const AssessedMeasurement& m, const AssessmentSettings& s);
    ~AssessmentAccumulator();
    AssessmentAccumulator(const AssessmentAccumulator&) = delete;
    AssessmentAccumulator& operator=(const AssessmentAccumulator&) = delete;

    // Rows j in [from, to) of a pass's chunk; `folded`, when it was made by fold() for the same rows, is taken
    // instead of being worked out here.
    void add(const SampleRows& r, int64_t from, int64_t to, const AssessmentChunk* folded = nullptr);
    // What of rows [from, to) needs nothing from the samples before them; safe to call on any thread while
    // another adds earlier rows, so a chunk can be folded as soon as it is read.
    AssessmentChunk fold(const SampleRows& r, int64_t from, int64_t to) const;
    Assessment finish() const;
    // Every chunk's rows as they are assessed, for figures built on them.
    std::function<void(const AssessedRows&)> onRows;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace mervo
