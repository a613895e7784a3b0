#include "assessment/motor_assessment.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measurement/reactive_sign.h"
#include "measurement/sample_math.h"
#include "shared/wide_vectors.h"

namespace mervo {

namespace {

// The load-rate histogram: steps up to kHistogramTop %, the rest in the last step.
constexpr double kHistogramStep = kLoadRateStep;
constexpr int64_t kHistogramTop = 400;
constexpr size_t kHistogramBins = static_cast<size_t>(kHistogramTop / kHistogramStep) + 1;

const char* const kBandNames[] = {"0-25", "25-50", "50-75", "75-100", "100-115", "115+"};
constexpr double kBandEdges[] = {25, 50, 75, 100, 115};
constexpr size_t kBands = std::size(kBandNames);

// Largest deviation from the mean over the mean, %; negative when the mean is not positive. Written as selects,
// so a loop over many samples vectorises.
inline float unbalance(float a, float b, float c) {
    const float sum = a + b + c;  // 3 × the mean: the deviations are taken three times as large too
    const float da = std::fabs(3 * a - sum), db = std::fabs(3 * b - sum), dc = std::fabs(3 * c - sum);
    const float most = da > db ? (da > dc ? da : dc) : (db > dc ? db : dc);
    return sum > 0 ? 100.0f * most / sum : -1.0f;
}

// Of values never below 0.
struct MeanMax {
    double sum = 0, max = 0;
    int64_t count = 0;
    void add(double v) {
        sum += v;
        max = std::max(max, v);
        ++count;
    }
    std::optional<double> mean() const { return count ? std::optional<double>(sum / count) : std::nullopt; }
    std::optional<double> maximum() const { return count ? std::optional<double>(max) : std::nullopt; }
};

// The unbalance of three magnitudes at stored offsets 0, 3 and 6 from `v`, nine values a row; the rows above
// the guide value counted in `over`.
MERVO_WIDE_VECTORS AssessmentChunk::Unbalance foldUnbalance(const float* v, int64_t from, int64_t to) {
    float sum = 0, max = -1;
    int32_t count = 0, above = 0;
    for (int64_t j = from; j < to; ++j) {
        const float u = unbalance(std::fabs(v[9 * j]), std::fabs(v[9 * j + 3]), std::fabs(v[9 * j + 6]));
        const bool defined = u >= 0;
        sum += defined ? u : 0.0f;
        count += defined;
        max = std::max(max, u);
        above += u > static_cast<float>(kVoltageUnbalanceGuide);
    }
    AssessmentChunk::Unbalance out;
    out.sum = sum;
    out.count = count;
    out.max = max;
    out.over = above;
    return out;
}

void take(const AssessmentChunk::Unbalance& u, MeanMax& out, int64_t* over) {
    out.sum += u.sum;
    out.count += u.count;
    out.max = std::max(out.max, static_cast<double>(u.max));
    if (over) *over += u.over;
}

QString percent(double v, int decimals) { return QString::number(v, 'f', decimals) + QStringLiteral(" %"); }

}  // namespace

double AssessedMeasurement::timeOfDay(int64_t number) const {
    return static_cast<double>(startClock) + static_cast<double>(sampleElapsed(totalTime, number, samples, gaps));
}

std::optional<double> LoadRateHistogram::percentile(double p) const {
    // Nearest rank: the smallest value with at least p % of the samples at or below it.
    const int64_t rank = static_cast<int64_t>(std::ceil(p / 100.0 * static_cast<double>(samples)));
    int64_t seen = 0;
    for (size_t b = 0; b < counts.size(); ++b) {
        seen += counts[b];
        if (seen >= std::max<int64_t>(rank, 1)) return static_cast<double>(b) * kLoadRateStep;
    }
    return std::nullopt;
}

int64_t LoadRateHistogram::above(double loadRate) const {
    const double first = std::ceil(loadRate / kLoadRateStep - 1e-9);
    int64_t n = 0;
    for (size_t b = first < 0 ? 0 : static_cast<size_t>(first); b < counts.size(); ++b) n += counts[b];
    return n;
}

QString zoneName(OperatingZone z) {
    switch (z) {
        case OperatingZone::Economic: return QStringLiteral("经济运行");
        case OperatingZone::Allowed: return QStringLiteral("允许运行");
        case OperatingZone::Uneconomic: return QStringLiteral("非经济运行");
    }
    return QString();
}

QString zoneRuleText() {
    return QStringLiteral(
        "综合效率 η_c = 输出电量 ÷（运行输入电量 + K_Q × 无功电量），起动过程除外。"
        "经济运行：η_c 不低于额定综合效率 η_cN；允许运行：η_c 低于 η_cN、不低于允许综合效率 η_cy；"
        "非经济运行：η_c 低于 η_cy。η_cN 由铭牌额定值算得，η_cy 由铭牌值减去 GB/T 755 容差算得"
        "（效率减 0.15 或 0.10 ×（100 − η_N），功率因数减 (1 − cosφ_N)/6，限于 0.02～0.07）。"
        "这是本程序对 GB/T 12497 定义的理解。");
}

struct AssessmentAccumulator::Impl {
    AssessedMeasurement m;
    AssessmentSettings settings;
    std::optional<RatedFigures> rated;
    QString motorNote;
    double step = 0;  // s per sample
    double tanTarget = 0;

    IntervalAccumulator electrical;
    double sumIn = 0, sumRun = 0, sumOut = 0, sumQ = 0;  // kW (kvar) summed over samples
    int64_t running = 0, starting = 0, belowNoLoad = 0, generating = 0;
    std::array<int64_t, 3> zones{};
    std::array<int64_t, kBands> bandCount{};
    std::array<double, kBands> bandSum{};
    double belowSum = 0, generatingSum = 0, startingSum = 0;
    double loadSum = 0, loadMax = 0;
    std::vector<int64_t> histogram;
    MeanMax voltage, current;
    int64_t voltageOver = 0;
    std::optional<double> compensationMax;

    // Starts: whether the previous sample lay below the start threshold, and the start in progress.
    bool previousBelow = false;
    std::optional<MotorStart> open;
    int64_t openSamples = 0;  // the starting samples of the open start
    std::vector<MotorStart> starts;
    int64_t firstNumber = 0;

    std::vector<SampleUse> use;  // the chunk's rows as classed
    void takeChunk(const SampleRows& r, int64_t from, int64_t to, const AssessmentChunk& folded);
    void closeStart() {
        open->seconds = static_cast<double>(openSamples) * step;
        starts.push_back(*open);
        open.reset();
        openSamples = 0;
    }
};

AssessmentAccumulator::AssessmentAccumulator(const AssessedMeasurement& m, const AssessmentSettings& s)
    : d_(std::make_unique<Impl>()) {
    d_->m = m;
    d_->settings = s;
    d_->step = m.stepSeconds();
    const double pf = std::clamp(s.targetPowerFactor, 1e-6, 1.0);
    d_->tanTarget = std::sqrt(1.0 - pf * pf) / pf;
    Result<RatedFigures> r = ratedFigures(m.motor, s.kq);
    if (r) {
        d_->rated = *r;
        d_->histogram.assign(kHistogramBins, 0);
    } else {
        d_->motorNote = r.message();
    }
}

AssessmentAccumulator::~AssessmentAccumulator() = default;

void AssessmentAccumulator::add(const SampleRows& r, int64_t from, int64_t to, const AssessmentChunk* folded) {
    from = std::max<int64_t>(from, 0);
    to = std::min(to, r.count);
    if (from >= to) return;
    if (d_->electrical.samples() == 0) d_->firstNumber = r.first + from + 1;
    const bool ready = folded && folded->first == r.first && folded->from == from && folded->to == to;
    const AssessmentChunk here = ready ? AssessmentChunk{} : fold(r, from, to);
    const AssessmentChunk& f = ready ? *folded : here;
    d_->electrical.take(f.electrical);
    d_->takeChunk(r, from, to, f);
    if (onRows) onRows(AssessedRows{&r, from, to, d_->use.data()});
}

AssessmentChunk AssessmentAccumulator::fold(const SampleRows& r, int64_t from, int64_t to) const {
    AssessmentChunk c;
    from = std::max<int64_t>(from, 0);
    to = std::min(to, r.count);
    c.first = r.first, c.from = from, c.to = to;
    if (from >= to) return c;
    c.electrical = IntervalAccumulator::fold(r, from, to);
    // Loops of their own for what every sample adds up, so the compiler can vectorise them.
    const RowColumn q = rowColumn(r, TrendQuantity::SumQ);
    const float tanTarget = static_cast<float>(d_->tanTarget);
    double in = 0, need = -1.0;
    for (int64_t j = from; j < to; ++j) {
        const float p1 = r.sumP[j], reactive = q.at(j);
        in += p1;
        // A motoring sample drawing inductive power needs Q − P·tan φ2 of capacitors to reach the target.
        const float n = p1 > 0 && reactive > 0 ? reactive - p1 * tanTarget : -1.0f;
        need = n > need ? n : need;
    }
    c.input = in;
    c.compensation = need;
    if (d_->m.channels[0] && d_->m.channels[1] && d_->m.channels[2]) {
        // Stored values I1 U1 P1 I2 U2 P2 I3 U3 P3: the voltages at 1, 4, 7, the currents at 0, 3, 6.
        c.voltage = foldUnbalance(r.fileValues + 1, from, to);
        c.current = foldUnbalance(r.fileValues, from, to);
    }
    return c;
}

void AssessmentAccumulator::Impl::takeChunk(const SampleRows& r, int64_t from, int64_t to,
                                            const AssessmentChunk& folded) {
    sumIn += folded.input;
    const double need = std::max(compensationMax.value_or(-1.0), folded.compensation);
    if (need >= 0 || compensationMax) compensationMax = std::max(0.0, need);
    if (m.channels[0] && m.channels[1] && m.channels[2]) {
        take(folded.voltage, voltage, &voltageOver);
        take(folded.current, current, nullptr);
    }

    if (use.size() < static_cast<size_t>(r.count)) use.resize(static_cast<size_t>(r.count));
    if (!rated) {
        std::fill(use.begin() + from, use.begin() + to, SampleUse::NoMotorData);
        return;
    }
    const RowColumn i1 = rowColumn(r, TrendQuantity::I1), i2 = rowColumn(r, TrendQuantity::I2),
                    i3 = rowColumn(r, TrendQuantity::I3);
    const double startAt = kStartBeginsAt * rated->ratedCurrent, endAt = kStartEndsAt * rated->ratedCurrent;
    // 100·P2 ≥ η·(P1 + K_Q·Q1) rather than a division per sample.
    const double etaCN = rated->ratedComprehensiveEfficiency, etaCY = rated->allowedComprehensiveEfficiency;
    for (int64_t j = from; j < to; ++j) {
        const double p1 = r.sumP[j];
        const int64_t number = r.first + j + 1;
        SampleUse& use = this->use[static_cast<size_t>(j)];
        use = SampleUse::NoMotorData;
        {
            const double largest = std::max(i1.at(j), std::max(i2.at(j), i3.at(j)));
            if (!open && previousBelow && largest >= startAt) {
                open = MotorStart{};
                open->sample = number;
                open->timeOfDay = m.timeOfDay(number);
                open->peakAmperes = largest;
            }
            if (open) {
                if (largest <= endAt) {
                    closeStart();
                } else {
                    open->peakAmperes = std::max(open->peakAmperes, largest);
                    ++openSamples;
                    use = SampleUse::Starting;
                }
            }
            previousBelow = largest < startAt;
            if (use != SampleUse::Starting) {
                switch (r.state[j]) {
                    case MotorState::Running: use = SampleUse::Running; break;
                    case MotorState::BelowNoLoad: use = SampleUse::BelowNoLoad; break;
                    case MotorState::Generating: use = SampleUse::Generating; break;
                    case MotorState::NoMotorData: use = SampleUse::NoMotorData; break;
                }
            }
        }
        switch (use) {
            case SampleUse::Running: {
                const double p2 = r.outputPower[j], beta = r.loadRate[j];
                const double q1 = std::fabs(static_cast<double>(r.sumQ[j]));
                ++running;
                sumRun += p1;
                sumOut += p2;
                sumQ += q1;
                const double drawn = p1 + settings.kq * q1;
                ++zones[100.0 * p2 >= etaCN * drawn ? 0 : 100.0 * p2 >= etaCY * drawn ? 1 : 2];
                size_t band = 0;
                while (band < kBands - 1 && beta >= kBandEdges[band]) ++band;
                ++bandCount[band];
                bandSum[band] += p1;
                loadSum += beta;
                loadMax = running == 1 ? beta : std::max(loadMax, beta);
                const double bin = std::max(0.0, beta) / kHistogramStep;
                ++histogram[bin < static_cast<double>(kHistogramBins - 1) ? static_cast<size_t>(bin) : kHistogramBins - 1];
                break;
            }
            case SampleUse::Starting: ++starting, startingSum += p1; break;
            case SampleUse::BelowNoLoad: ++belowNoLoad, belowSum += p1; break;
            case SampleUse::Generating: ++generating, generatingSum += p1; break;
            case SampleUse::NoMotorData: break;
        }
    }
}

Assessment AssessmentAccumulator::finish() const {
    const Impl& d = *d_;
    Assessment a;
    a.settings = d.settings;
    a.electrical = d.electrical.finish(d.firstNumber, d.step, d.rated.has_value());
    const double kwh = d.step / 3600.0;  // kW summed over samples to kWh
    a.energyInKwh = d.sumIn * kwh;
    a.energyRunningKwh = d.sumRun * kwh;
    a.energyOutKwh = d.sumOut * kwh;
    a.energyReactiveKvarh = d.sumQ * kwh;
    a.runningSeconds = static_cast<double>(d.running) * d.step;
    a.startingSeconds = static_cast<double>(d.starting) * d.step;
    a.belowNoLoadSeconds = static_cast<double>(d.belowNoLoad) * d.step;
    a.generatingSeconds = static_cast<double>(d.generating) * d.step;

    // Electrical figures, with or without a motor.
    if (d.electrical.samples() > 0) {
        a.voltageUnbalanceMean = d.voltage.mean();
        a.voltageUnbalanceMax = d.voltage.maximum();
        if (d.voltage.count) a.voltageUnbalanceOverGuideSeconds = static_cast<double>(d.voltageOver) * d.step;
        a.currentUnbalanceMean = d.current.mean();
        a.currentUnbalanceMax = d.current.maximum();
        const double hours = a.electrical.seconds / 3600.0;
        const double meanPower = hours > 0 ? a.energyInKwh / hours : 0.0;
        a.leading = *a.electrical.powerFactorIndicator == 'C';
        if (a.leading) {
            a.compensationKvar = 0.0;
        } else if (meanPower > 0) {
            const double ep = std::fabs(a.electrical.activeEnergyWh), eq = a.electrical.reactiveEnergyVarh;
            const double tanFirst = ep > 0 ? eq / ep : 0.0;
            a.compensationKvar = std::max(0.0, meanPower * (tanFirst - d.tanTarget));
        }
        a.compensationMaxKvar = d.compensationMax.value_or(0.0);
    }

    a.rated = d.rated;
    a.motorNote = d.motorNote;
    if (d.rated) {
        a.efficiencyClass = efficiencyClassOf(static_cast<int>(std::lround(d.m.motor.MotorPoles)), d.rated->ratedPower,
                                              d.rated->ratedEfficiency);
        a.starts = d.starts;
        if (d.open) {
            // A start cut off by the interval's end ends there.
            MotorStart s = *d.open;
            s.seconds = static_cast<double>(d.openSamples) * d.step;
            a.starts.push_back(s);
        }
        for (MotorStart& s : a.starts) s.peakMultiple = s.peakAmperes / d.rated->ratedCurrent;
        for (size_t b = 0; b < kBands; ++b)
            a.loadProfile.push_back({QString::fromLatin1(kBandNames[b]), static_cast<double>(d.bandCount[b]) * d.step,
                                     d.bandSum[b] * kwh});
        a.loadProfile.push_back({QStringLiteral("below_no_load"), a.belowNoLoadSeconds, d.belowSum * kwh});
        a.loadProfile.push_back({QStringLiteral("generating"), a.generatingSeconds, d.generatingSum * kwh});
        a.loadProfile.push_back({QStringLiteral("starting"), a.startingSeconds, d.startingSum * kwh});
        for (size_t z = 0; z < 3; ++z) a.zoneSeconds[z] = static_cast<double>(d.zones[z]) * d.step;
        if (d.running > 0 && d.sumRun > 0) {
            a.efficiency = 100.0 * d.sumOut / d.sumRun;
            a.comprehensiveEfficiency = comprehensiveEfficiency(d.sumOut, d.sumRun, d.sumQ, d.settings.kq);
            a.zone = *a.comprehensiveEfficiency >= d.rated->ratedComprehensiveEfficiency    ? OperatingZone::Economic
                     : *a.comprehensiveEfficiency >= d.rated->allowedComprehensiveEfficiency ? OperatingZone::Allowed
                                                                                             : OperatingZone::Uneconomic;
            a.loadRateMean = d.loadSum / static_cast<double>(d.running);
            a.loadRateMax = d.loadMax;
            a.loadRates.counts = d.histogram;
            a.loadRates.samples = d.running;
            if (const auto p95 = a.loadRates.percentile(95)) a.loadRateP95 = std::min(*p95, d.loadMax);
        }
    }

    // The verdict in one line.
    if (!d.rated) {
        a.verdict = QStringLiteral("无可用的电机参数（%1），只评估电气量：功率因数 %2 %3，有功电量 %4 kWh")
                        .arg(d.motorNote)
                        .arg(a.electrical.powerFactor, 0, 'f', 3)
                        .arg(QLatin1String(a.electrical.powerFactorIndicator))
                        .arg(a.energyInKwh, 0, 'g', 6);
    } else if (!a.zone) {
        a.verdict = QStringLiteral("电动机在此区间没有稳定运行的数据（起动 %1 s，低于空载 %2 s，发电 %3 s），不作能效判定")
                        .arg(a.startingSeconds, 0, 'f', 1)
                        .arg(a.belowNoLoadSeconds, 0, 'f', 1)
                        .arg(a.generatingSeconds, 0, 'f', 1);
    } else {
        const RatedFigures& f = *d.rated;
        const double c = *a.comprehensiveEfficiency;
        QString against;
        switch (*a.zone) {
            case OperatingZone::Economic:
                against = QStringLiteral("不低于额定综合效率 %1").arg(percent(f.ratedComprehensiveEfficiency, 1));
                break;
            case OperatingZone::Allowed:
                against = QStringLiteral("低于额定综合效率 %1，不低于允许综合效率 %2")
                              .arg(percent(f.ratedComprehensiveEfficiency, 1), percent(f.allowedComprehensiveEfficiency, 1));
                break;
            case OperatingZone::Uneconomic:
                against = QStringLiteral("低于允许综合效率 %1").arg(percent(f.allowedComprehensiveEfficiency, 1));
                break;
        }
        a.verdict = QStringLiteral("%1：综合效率 %2，%3；平均负载率 %4（综合经济负载率 %5）")
                        .arg(zoneName(*a.zone), percent(c, 1), against, percent(*a.loadRateMean, 0),
                             percent(f.economicLoadRateComprehensive, 0));
    }
    return a;
}

}  // namespace mervo
