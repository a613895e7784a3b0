#include "analysis/analysis_pass.h"

#include <QFileInfo>
#include <algorithm>
#include <thread>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>

#include "measurement/sample_math.h"
#include "measurement/reader.h"
#include "measurement/sidecar.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "shared/second_core.h"
#include "shared/time_split.h"

namespace mervo {

namespace {

enum class Phase { Idle, Scanning, Sweeping, Finished, Failed };

constexpr int kMotorBoxes[] = {16, 17, 18};

// Waiting a moment for the other core: the chunk it works on is a fraction of a millisecond away, so spin
// first; then give the core away, briefly (`sleepy`, for a wait that may last) or just to let others run.
void waitAMoment(int& spins, bool sleepy) {
    if (++spins < 2048) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        return;
    }
    if (sleepy)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    else
        std::this_thread::yield();
}

// The arrays of one chunk of samples, allocated once per pass. Small enough to stay in the processor's
// cache from the read through the last of the three steps over it.
struct SampleChunk {
    static constexpr int64_t kSamples = 2048;
    std::vector<float> raw, sumP, sumQ, pf, s, elapsed, ep, eq, loadRate, outputPower, efficiency;
    std::vector<double> cumP, cumQ, count;
    std::vector<MotorState> state;
    // What the curves plot of each sample: the motor outputs as they hold after it, and whether it runs.
    std::vector<float> shownEfficiency, shownLoadRate;
    std::vector<uint8_t> running;
    Status read;  // how reading the chunk went

    MotorOutputs outputsOf(size_t j) const {
        MotorOutputs o;
        o.loadRate = loadRate[j];
        o.outputPower = outputPower[j];
        o.efficiency = efficiency[j];
        return o;
    }

    void ensure(int64_t n) {
        const size_t u = static_cast<size_t>(std::max<int64_t>(n, 1));
        if (sumP.size() >= u) return;
        raw.resize(u * kSampleRecords);
        for (auto* a : {&sumP, &sumQ, &pf, &s, &elapsed, &ep, &eq, &loadRate, &outputPower, &efficiency,
                        &shownEfficiency, &shownLoadRate})
            a->resize(u);
        running.resize(u);
        for (auto* a : {&cumP, &cumQ, &count}) a->resize(u);
        state.resize(u);
    }
};

// Chunks a long step keeps in flight: the helper works at most this many ahead of the caller.
constexpr int kRing = 4;
// A step this long is worth handing chunks to the helper.
constexpr int64_t kAheadFrom = 4 * SampleChunk::kSamples;

}  // namespace

struct AnalysisPass::Impl {
    SharedState& st;
    CurveBoxes* boxes;
    double columnWidth = 15;
    std::optional<CumulativePlotter> plotter;

    Phase phase = Phase::Idle;
    QString path;
    int64_t n = 0, i = 0;
    bool keepSeries = true;
    bool rowClocks = true;  // the rows handed to onRows carry their clock and energies
    bool allowEmpty = false;
    SampleStream stream;
    std::vector<SampleChunk> ring = std::vector<SampleChunk>(1);  // ring[0] for chunks done one by one
    const SampleChunk* cur = nullptr;                             // the chunk panelOf() reads
    std::unique_ptr<SecondCore> helper;  // reads and works out chunks ahead during a long step
    bool axesReady = false;
    QString error;

    // The maxima and minima of a file without its trailer, gathered as the receive gathers them.
    std::optional<ExtremesScan> scan;

    // The running sums every EnergyCheckpoints::kEvery samples, handed to the shared state once complete.
    std::vector<double> sumsP, sumsQ;
    int64_t nextCheckpoint = 0;  // the sample whose sums are kept next
    ReceiveGaps gaps;  // of the receive, for the times the samples were taken
    // What the motor outputs hold after the samples so far: a generating sample keeps the earlier ones.
    MotorOutputs shownOutputs;
    std::optional<PanelSample> last, lastMotorTouch;

    Impl(SharedState& s, CurveBoxes* b) : st(s), boxes(b) {}

    void fail(const QString& why) {
        phase = Phase::Failed;
        error = why;
        stream.close();
        st.file.SampleCount = 0;
    }
    void setUpAxes();
    static void prepare(SampleChunk& b, const SampleStream& stream, const MotorValues& motor, int64_t first,
                        int64_t count);
    void carry(SampleChunk& b, int64_t got, const AnalysisPass& pass);
    bool sweepChunk(int64_t count, const AnalysisPass& pass);
    bool sweepAhead(int64_t count, const AnalysisPass& pass);
    PanelSample panelOf(int64_t j) const;
    void finish();
};

void AnalysisPass::Impl::setUpAxes() {
    auto& c = st.curves;
    const float totalTime = st.file.TotalTime;
    for (int k = 0; k < kCurves; ++k) {
        const CurveRange in = curveAxisInput(k, st.live);
        Surface* box = boxes ? boxes->cumulative[k] : nullptr;
        if (box) {
            ZBX_DS(in.min, in.max, *box, *boxes, totalTime, c);
        } else {
            const ValueAxis a = valueAxisFor(in.min, in.max);
            c.TimeStep = timeStepFor(totalTime);
            c.AxisMin = a.min;
            c.AxisMax = a.max;
            c.AxisStep = a.step;
        }
        c.CurveUnit[k] = QString::fromUtf8(kCurveTable[k].unit);
        c.CurveAxisMin[k] = c.AxisMin;
        c.CurveAxisMax[k] = c.AxisMax;
        c.CurveAxisStep[k] = c.AxisStep;
    }
    axesReady = true;
}

PanelSample AnalysisPass::Impl::panelOf(int64_t j) const {
    const SampleChunk& b = *cur;
    PanelSample s;
    const float* v = &b.raw[static_cast<size_t>(j) * kSampleRecords];
    for (int k = 0; k < kSampleRecords; ++k) s.fileValues[static_cast<size_t>(k)] = s.values[static_cast<size_t>(k)] = v[k];
    const size_t u = static_cast<size_t>(j);
    s.values[2] = b.sumP[u];
    s.values[5] = b.sumQ[u];
    s.values[8] = b.pf[u];
    s.values[9] = b.s[u];
    s.values[10] = b.ep[u];
    s.values[11] = b.eq[u];
    s.elapsed = b.elapsed[u];
    SplitTime(s.elapsed, s.time);
    s.state = b.state[u];
    if (s.state == MotorState::Running || s.state == MotorState::BelowNoLoad) {
        s.outputPower = b.outputPower[u];
        s.efficiency = b.efficiency[u];
        s.loadRate = b.loadRate[u];
    }
    return s;
}

// Samples first+1 .. first+count into `b` with what each needs on its own: the totals and the motor
// evaluation. Touches nothing but `b`, so the helper can prepare one chunk while the caller carries another.
void AnalysisPass::Impl::prepare(SampleChunk& b, const SampleStream& stream, const MotorValues& motor,
                                 int64_t first, int64_t count) {
    b.ensure(count);
    b.read = stream.readSamples(first, count, b.raw.data());
    if (!b.read) return;
    deriveTotalsBlock(b.raw.data(), count, b.sumP.data(), b.sumQ.data(), b.pf.data(), b.s.data());
    evaluateMotorBlock(motor, b.sumP.data(), count, b.state.data(),
                       {b.loadRate.data(), b.outputPower.data(), b.efficiency.data()});
}

// The prepared chunk's samples in order: what carries from sample to sample (running sums, shown motor
// outputs and their extremes, the curves), then the clock and the energies where something reads them. The
// shared state and the panel are brought up to date for the chunk's last sample only: the same values as
// sample-by-sample work leaves.
void AnalysisPass::Impl::carry(SampleChunk& b, int64_t got, const AnalysisPass& pass) {
    cur = &b;
    auto& c = st.curves;
    RunningSums& sums = st.sums;
    const float totalTime = st.file.TotalTime;
    const bool everySample = (pass.onRows && rowClocks) || pass.onSample;
    // Held in locals for the loop: written through the shared state, every sum and extreme would make a
    // round trip through memory per sample.
    double sumP = sums.SumP, sumQ = sums.SumQ, blocks = sums.BlockCount;
    MotorOutputs shown = shownOutputs;
    float effMax = c.EfficiencyMax, effMin = c.EfficiencyMin, loadMax = c.LoadRateMax, loadMin = c.LoadRateMin;
    int64_t lastTouch = -1;
    const bool plotting = plotter.has_value();
    // The chunk's row whose sums are kept next, if it holds one.
    int64_t checkpointRow = keepSeries ? nextCheckpoint - i - 1 : -1;
    // In runs that end at a row whose sums are kept, so the loop itself asks nothing about them.
    for (int64_t j = 0; j < got;) {
        const int64_t runEnd = checkpointRow >= j && checkpointRow < got ? checkpointRow + 1 : got;
        for (; j < runEnd; ++j) {
            const size_t u = static_cast<size_t>(j);
            sumP = sumP + b.sumP[u];
            sumQ = sumQ + b.sumQ[u];
            blocks = blocks + 1;
            if (everySample) {
                b.cumP[u] = sumP;
                b.cumQ[u] = sumQ;
                b.count[u] = blocks;
            }

            // The pass clears the outputs where there is no motor data; a generating sample keeps the earlier ones.
            const MotorState state = b.state[u];
            switch (state) {
                case MotorState::Running:
                case MotorState::BelowNoLoad: shown = b.outputsOf(u); break;
                case MotorState::NoMotorData: shown = MotorOutputs{}; break;
                case MotorState::Generating: break;
            }
            if (state != MotorState::NoMotorData) lastTouch = j;
            const float eff = shown.efficiency, load = shown.loadRate;
            if (effMax < eff) effMax = eff;
            if (effMin > eff) effMin = eff;
            if (loadMax < load) loadMax = load;
            if (loadMin > load) loadMin = load;
            if (plotting) {
                b.shownEfficiency[u] = eff;
                b.shownLoadRate[u] = load;
                b.running[u] = state == MotorState::Running;
            }
        }
        if (j - 1 == checkpointRow) {
            sumsP.push_back(sumP);
            sumsQ.push_back(sumQ);
            checkpointRow += CurveValues::EnergyCheckpoints::kEvery;
        }
    }
    if (plotter) {
        CurveChunk curves;
        curves.count = got;
        const int elements[] = {0, 3, 6, 1, 4, 7};  // I1 I2 I3 U1 U2 U3 as stored
        for (int k = 0; k < 6; ++k) curves.values[k] = b.raw.data() + elements[k], curves.stride[k] = kSampleRecords;
        curves.values[6] = b.sumP.data(), curves.values[7] = b.pf.data();
        curves.values[8] = b.shownEfficiency.data(), curves.values[9] = b.shownLoadRate.data();
        for (int k = 6; k < kCurves; ++k) curves.stride[k] = 1;
        curves.running = b.running.data();
        plotter->step(curves, c);
    }
    sums.SumP = sumP;
    sums.SumQ = sumQ;
    sums.BlockCount = blocks;
    shownOutputs = shown;
    c.EfficiencyMax = effMax;
    c.EfficiencyMin = effMin;
    c.LoadRateMax = loadMax;
    c.LoadRateMin = loadMin;
    const size_t lastU = static_cast<size_t>(got - 1);
    b.cumP[lastU] = sumP;
    b.cumQ[lastU] = sumQ;
    b.count[lastU] = blocks;

    // The energy reached at each sample, over its elapsed time itself: the difference of two clock readings
    // near midnight would lose the hundredths a float can still hold in the elapsed time. The energies count the
    // time the samples cover; the time shown adds the receive's gaps.
    for (int64_t j = everySample ? 0 : got - 1; j < got; ++j) {
        const size_t u = static_cast<size_t>(j);
        const float covered = sampleElapsed(totalTime, i + j + 1, n);
        b.elapsed[u] = gaps.empty() ? covered : sampleElapsed(totalTime, i + j + 1, n, gaps);
        const float energyP = energyReached(b.cumP[u], b.count[u], covered);
        const float energyQ = energyReached(b.cumQ[u], b.count[u], covered);
        b.ep[u] = std::fabs(energyP) * 1000.0f;
        b.eq[u] = std::fabs(energyQ) * 1000.0f;
        if (j == got - 1) {
            sums.EnergyP = energyP;
            sums.EnergyQ = energyQ;
        }
    }
    if (keepSeries) nextCheckpoint = i + 1 + checkpointRow;
    if (pass.onRows) {
        SampleRows r;
        r.first = i;
        r.count = got;
        r.fileValues = b.raw.data();
        r.sumP = b.sumP.data();
        r.sumQ = b.sumQ.data();
        r.pf = b.pf.data();
        r.s = b.s.data();
        if (everySample) {
            r.elapsed = b.elapsed.data();
            r.ep = b.ep.data();
            r.eq = b.eq.data();
        }
        r.outputPower = b.outputPower.data();
        r.efficiency = b.efficiency.data();
        r.loadRate = b.loadRate.data();
        r.state = b.state.data();
        pass.onRows(r);
    }
    if (pass.onSample)
        for (int64_t j = 0; j < got; ++j) pass.onSample(panelOf(j));

    // The state a sample-by-sample pass leaves after the chunk's last sample.
    auto& live = st.live;
    for (int k = 0; k < kSampleRecords; ++k)
        live.LiveValues[static_cast<size_t>(k)] = live.SampleValues[static_cast<size_t>(k)] =
            b.raw[lastU * kSampleRecords + static_cast<size_t>(k)];
    DeriveRecord(live.SampleValues, live.LiveValues);
    live.LiveValues[10] = b.ep[lastU];
    live.LiveValues[11] = b.eq[lastU];
    setMotorOutputs(st.motor, shownOutputs);
    last = panelOf(got - 1);
    st.time = last->time;
    if (lastTouch >= 0) {
        b.elapsed[static_cast<size_t>(lastTouch)] = sampleElapsed(totalTime, i + lastTouch + 1, n, gaps);
        lastMotorTouch = panelOf(lastTouch);
    }
    i += got;
}

// One chunk read, worked out and carried here.
bool AnalysisPass::Impl::sweepChunk(int64_t count, const AnalysisPass& pass) {
    SampleChunk& b = ring[0];
    prepare(b, stream, st.motor, i, count);
    if (!b.read) return false;
    carry(b, count, pass);
    return true;
}

// `count` samples in chunks that the helper and this thread prepare as each is free, up to kRing ahead of
// the one carried here, in order. Either side takes the next chunk nobody has taken, so the work shares
// itself out however long each part takes. False on a read error, which the failed chunk's `read` tells.
bool AnalysisPass::Impl::sweepAhead(int64_t count, const AnalysisPass& pass) {
    if (ring.size() < static_cast<size_t>(kRing)) ring.resize(kRing);
    if (!helper) helper = std::make_unique<SecondCore>();
    constexpr int64_t kChunk = SampleChunk::kSamples;
    const int64_t chunks = (count + kChunk - 1) / kChunk;
    const int64_t base = i;
    const MotorValues motor = st.motor;  // the nameplate for the helper, away from what the carry writes
    std::atomic<int64_t> taken{0}, carried{0};
    std::atomic<bool> stop{false};
    std::array<std::atomic<int64_t>, kRing> ready;  // the chunk number + 1 each slot holds once prepared
    for (auto& r : ready) r.store(0);
    // Takes and prepares the next chunk if one is free; false when none is.
    const auto takeOne = [&]() {
        int64_t k = taken.load();
        do {
            if (k >= chunks || k >= carried.load(std::memory_order_acquire) + kRing || stop.load()) return false;
        } while (!taken.compare_exchange_weak(k, k + 1));
        SampleChunk& b = ring[static_cast<size_t>(k % kRing)];
        prepare(b, stream, motor, base + k * kChunk, std::min(kChunk, count - k * kChunk));
        ready[static_cast<size_t>(k % kRing)].store(k + 1, std::memory_order_release);
        return true;
    };
    helper->start([&] {
        int spins = 0;
        while (taken.load() < chunks && !stop.load()) {
            if (takeOne())
                spins = 0;
            else
                waitAMoment(spins, true);
        }
    });
    bool ok = true;
    for (int64_t k = 0; k < chunks && ok; ++k) {
        const size_t slot = static_cast<size_t>(k % kRing);
        int spins = 0;
        while (ready[slot].load(std::memory_order_acquire) != k + 1) {
            if (takeOne())
                spins = 0;
            else
                waitAMoment(spins, false);
        }
        SampleChunk& b = ring[slot];
        if (!b.read) {
            ok = false;
            break;
        }
        carry(b, std::min(kChunk, count - k * kChunk), pass);
        carried.store(k + 1, std::memory_order_release);
    }
    stop.store(true);
    helper->finish();
    if (!ok) ring[0].read = ring[static_cast<size_t>(carried.load() % kRing)].read;
    return ok;
}

void AnalysisPass::Impl::finish() {
    auto& c = st.curves;
    c.TotalEp = st.live.LiveValues[10];
    c.TotalEq = st.live.LiveValues[11];
    stream.close();
    if (keepSeries) {
        c.EnergySums.samples = n;
        c.EnergySums.sumP = std::move(sumsP);
        c.EnergySums.sumQ = std::move(sumsQ);
    }
    sumsP.clear();
    sumsQ.clear();
    if (plotter) plotter->finish();
    if (boxes) printExtremes(*boxes, st);
    phase = Phase::Finished;
}

// ---------------------------------------------------------------------------------------------------------

AnalysisPass::AnalysisPass(SharedState& state, CurveBoxes* boxes)
    : d_(std::make_unique<Impl>(state, boxes)) {}

AnalysisPass::~AnalysisPass() = default;

void AnalysisPass::allowNoSamples(bool allow) {
    d_->allowEmpty = allow;
}

void AnalysisPass::rowsWithClocks(bool with) { d_->rowClocks = with; }

void AnalysisPass::keepEnergySeries(bool keep) {
    d_->keepSeries = keep;
}

void AnalysisPass::setColumnWidth(double twips) {
    d_->columnWidth = twips;
}

Status AnalysisPass::begin(const QString& programDir, QString* warning) {
    Impl& d = *d_;
    SharedState& st = d.st;
    auto& c = st.curves;
    if (warning) warning->clear();
    d.phase = Phase::Idle;
    d.error.clear();
    d.n = d.i = 0;
    d.shownOutputs = MotorOutputs{};
    d.axesReady = false;
    d.last.reset();
    d.lastMotorTouch.reset();
    d.stream.close();
    d.gaps = {};

    c.EfficiencyMax = 0;
    c.EfficiencyMin = 150;
    c.LoadRateMax = 0;
    c.LoadRateMin = 100;
    // A generating sample repeats the motor outputs before it: at the start of a pass those are 0, not what
    // the previous pass or query left, or a second pass would differ from the first.
    st.motor.MotorOutputPower = st.motor.MotorEfficiency = st.motor.MotorLoadRate = 0;
    if (d.boxes) clearCurveBoxes(*d.boxes);
    d.plotter.reset();
    if (d.boxes) d.plotter.emplace(*d.boxes, d.columnWidth);

    // The energy sums belong to a complete pass only: until this one ends there is nothing to query.
    c.EnergySums = {};
    st.file.SampleCount = 0;

    if (st.file.WorkFile.isEmpty()) st.file.WorkFile = workFilePath(programDir);
    d.path = st.file.WorkFile;
    const auto refuse = [&](const QString& why) {
        d.fail(why);
        d.n = 0;
        return Status::failure(why);
    };

    if (!QFileInfo::exists(d.path)) return refuse(QStringLiteral("数据文件 %1 不存在，无法分析！").arg(d.path));
    MeasurementReader reader;
    const Status opened = reader.open(d.path);
    const MeasurementInfo& in = reader.info();
    const auto badLength = [&] {
        return refuse(QStringLiteral("数据文件 %1 的长度（%2 字节）不是完整的数据组，文件已损坏，无法分析！")
                          .arg(d.path)
                          .arg(in.bytes));
    };
    if (in.shape.condition == FileCondition::TooShort) return badLength();
    if (in.shape.condition == FileCondition::NotMeasurement)
        return refuse(QStringLiteral("数据文件 %1 不是测量数据文件（文件头%2），无法分析！").arg(d.path, in.headerProblem));
    if (!opened) return refuse(QStringLiteral("数据文件 %1 无法读取（%2），无法分析！").arg(d.path, opened.reason()));
    // Header and whole samples without the trailer (a receive that never ended normally) are analysed too.
    if (in.shape.condition == FileCondition::PartialSample) return badLength();
    const bool hasTrailer = in.complete;
    d.n = in.wholeSamples;
    // A measurement without samples still has its axes (from its trailer) for a printed report.
    const bool empty = d.n == 0;
    if (empty && !(d.allowEmpty && hasTrailer))
        return refuse(QStringLiteral("数据文件 %1 中没有测量数据，无法分析！").arg(d.path));

    const FileHeader& h = in.header;
    if (!(h.TotalTime > 0.0f) || !std::isfinite(h.TotalTime))
        return refuse(
            QStringLiteral("数据文件 %1 的测量时间（%2 秒）无效，无法分析！").arg(d.path).arg(h.TotalTime));
    st.file.TotalTime = h.TotalTime;
    st.file.SampleCount = static_cast<float>(d.n);
    confirmNameplate(st.motor, h.nameplate);
    reader.close();
    QString sidecarWarning;
    d.gaps = measurementGaps(d.path, h.StartTime, &sidecarWarning);

    if (Status s = d.stream.open(d.path, d.n); !s)
        return refuse(QStringLiteral("数据文件 %1 无法读取（%2），无法分析！").arg(d.path, s.reason()));
    // The sums before the first sample, then those every kEvery samples.
    d.sumsP.assign(1, 0.0);
    d.sumsQ.assign(1, 0.0);
    d.nextCheckpoint = CurveValues::EnergyCheckpoints::kEvery;
    if (d.plotter) d.plotter->reset(d.n);

    if (hasTrailer) {
        st.live.LiveMax = *in.maxima;
        st.live.LiveMin = *in.minima;
        d.setUpAxes();
        st.sums.reset();
        d.phase = Phase::Sweeping;
        if (onAxes) onAxes();
        if (empty) {
            st.live.LiveValues[10] = st.live.LiveValues[11] = 0;
            d.finish();
        }
    } else {
        d.scan.emplace(st.file.TotalTime, d.n);
        d.phase = Phase::Scanning;
        if (warning)
            *warning = QStringLiteral(
                           "数据文件 %1 没有正常结束（缺少最大值和最小值记录），将按其中的 %2 组数据分析，"
                           "最大值和最小值由数据重新求出。")
                           .arg(d.path)
                           .arg(d.n);
    }
    if (warning && !sidecarWarning.isEmpty())
        *warning = warning->isEmpty() ? sidecarWarning : *warning + QStringLiteral("\r\n") + sidecarWarning;
    return {};
}

const ReceiveGaps& AnalysisPass::gaps() const { return d_->gaps; }

bool AnalysisPass::step(int64_t maxSamples) {
    Impl& d = *d_;
    SharedState& st = d.st;
    float v[kSampleRecords];
    int64_t budget = maxSamples;
    // A read error ends the pass; the file ending before its samples do is one too.
    const auto readNext = [&]() {
        if (d.stream.next(v)) return true;
        const Status& s = d.stream.status();
        d.fail(QStringLiteral("读取数据文件 %1 时出错（%2），分析中止！")
                   .arg(d.path, s ? QStringLiteral("文件提前结束") : s.reason()));
        return false;
    };

    if (d.phase == Phase::Scanning) {
        while (budget-- > 0 && d.stream.samplesRead() < d.n) {
            if (!readNext()) return true;
            d.scan->add(v);
        }
        if (d.stream.samplesRead() < d.n) return false;
        st.live.LiveMax = d.scan->live().LiveMax;
        st.live.LiveMin = d.scan->live().LiveMin;
        d.scan.reset();
        d.setUpAxes();
        st.sums.reset();
        if (Status s = d.stream.open(d.path, d.n); !s) {
            d.fail(QStringLiteral("数据文件 %1 无法读取（%2），无法分析！").arg(d.path, s.reason()));
            return true;
        }
        d.phase = Phase::Sweeping;
        if (onAxes) onAxes();
        return false;
    }
    if (d.phase != Phase::Sweeping) return true;

    while (budget > 0 && d.i < d.n) {
        const int64_t want = std::min<int64_t>(budget, d.n - d.i);
        const bool ahead = want >= kAheadFrom && SecondCore::available();
        const int64_t now = ahead ? want : std::min<int64_t>(want, SampleChunk::kSamples);
        if (!(ahead ? d.sweepAhead(now, *this) : d.sweepChunk(now, *this))) {
            d.fail(QStringLiteral("读取数据文件 %1 时出错（%2），分析中止！").arg(d.path, d.ring[0].read.reason()));
            return true;
        }
        budget -= now;
    }
    if (d.i < d.n) return false;
    d.finish();
    return true;
}

int64_t AnalysisPass::done() const {
    return d_->i;
}
int64_t AnalysisPass::total() const {
    return d_->n;
}
bool AnalysisPass::axesReady() const {
    return d_->axesReady;
}
bool AnalysisPass::finished() const {
    return d_->phase == Phase::Finished;
}
bool AnalysisPass::failed() const {
    return d_->phase == Phase::Failed;
}
const QString& AnalysisPass::error() const {
    return d_->error;
}

PanelContent AnalysisPass::lastPanel() const {
    if (!d_->last) return PanelContent{};
    PanelContent p = panelTexts(*d_->last);
    // In the state "no motor data" the motor boxes keep what an earlier sample put there.
    if (d_->last->state == MotorState::NoMotorData && d_->lastMotorTouch) {
        const PanelContent touched = panelTexts(*d_->lastMotorTouch);
        for (int b : kMotorBoxes) p.boxes[b] = touched.boxes[b];
    }
    return p;
}

}  // namespace mervo
