#include "analysis/analysis_pass.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/sample_chunk.h"
#include "measurement/admission.h"
#include "measurement/sample_math.h"
#include "measurement/sidecar.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "shared/chunk_ring.h"

namespace mervo {

namespace {

enum class Phase { Idle, Scanning, Sweeping, Finished, Failed };

constexpr int kMotorBoxes[] = {16, 17, 18};

// Chunks a long step keeps in flight: the helper works at most this many ahead of the caller.
constexpr int kRing = AnalysisPass::kChunkSlots;
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
    int64_t sampleTotal = 0;  // the whole samples the file holds
    int64_t samplesDone = 0;  // of them, those carried so far
    bool keepSeries = true;
    bool rowClocks = true;  // the rows handed to onRows carry their clock and energies
    bool allowEmpty = false;
    SampleStream stream;
    std::vector<SampleChunk> ring = std::vector<SampleChunk>(1);  // ring[0] for chunks done one by one
    const SampleChunk* current = nullptr;                         // the chunk panelOf() reads
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

    Impl(SharedState& state, CurveBoxes* curveBoxes) : st(state), boxes(curveBoxes) {}

    void fail(const QString& why) {
        phase = Phase::Failed;
        error = why;
        stream.close();
        st.file.SampleCount = 0;
    }
    void failReading(const QString& reason) {
        fail(QStringLiteral("读取数据文件 %1 时出错（%2），分析中止！").arg(path, reason));
    }
    void setUpAxes();
    void carry(SampleChunk& chunk, int64_t got, const AnalysisPass& owner);
    bool sweepChunk(int64_t count, const AnalysisPass& owner);
    bool sweepAhead(int64_t count, const AnalysisPass& owner);
    PanelSample panelOf(int64_t row) const { return current->panelSample(static_cast<size_t>(row)); }
    void finish();
};

void AnalysisPass::Impl::setUpAxes() {
    auto& curves = st.curves;
    const float totalTime = st.file.TotalTime;
    for (int curve = 0; curve < kCurves; ++curve) {
        const CurveRange in = curveAxisInput(curve, st.live);
        Surface* box = boxes ? boxes->cumulative[curve] : nullptr;
        if (box) {
            ZBX_DS(in.min, in.max, *box, *boxes, totalTime, curves);
        } else {
            const ValueAxis axis = valueAxisFor(in.min, in.max);
            curves.TimeStep = timeStepFor(totalTime);
            curves.AxisMin = axis.min;
            curves.AxisMax = axis.max;
            curves.AxisStep = axis.step;
        }
        curves.CurveUnit[curve] = QString::fromUtf8(kCurveTable[curve].unit);
        curves.CurveAxisMin[curve] = curves.AxisMin;
        curves.CurveAxisMax[curve] = curves.AxisMax;
        curves.CurveAxisStep[curve] = curves.AxisStep;
    }
    axesReady = true;
}

// The prepared chunk's samples in order: what carries from sample to sample (running sums, shown motor
// outputs and their extremes, the curves), then the clock and the energies where something reads them. The
// shared state and the panel are brought up to date for the chunk's last sample only: the same values as
// sample-by-sample work leaves.
void AnalysisPass::Impl::carry(SampleChunk& chunk, int64_t got, const AnalysisPass& owner) {
    current = &chunk;
    auto& curves = st.curves;
    RunningSums& sums = st.sums;
    const float totalTime = st.file.TotalTime;
    const bool everySample = (owner.onRows && rowClocks) || owner.onSample;
    // Held in locals for the loop: written through the shared state, every sum and extreme would make a
    // round trip through memory per sample.
    double sumP = sums.SumP, sumQ = sums.SumQ, blocks = sums.BlockCount;
    MotorOutputs shown = shownOutputs;
    float effMax = curves.EfficiencyMax, effMin = curves.EfficiencyMin;
    float loadMax = curves.LoadRateMax, loadMin = curves.LoadRateMin;
    int64_t lastTouch = -1;
    const bool plotting = plotter.has_value();
    // The chunk's row whose sums are kept next, if it holds one.
    int64_t checkpointRow = keepSeries ? nextCheckpoint - samplesDone - 1 : -1;
    // In runs that end at a row whose sums are kept, so the loop itself asks nothing about them.
    for (int64_t row = 0; row < got;) {
        const int64_t runEnd = checkpointRow >= row && checkpointRow < got ? checkpointRow + 1 : got;
        for (; row < runEnd; ++row) {
            const auto at = static_cast<size_t>(row);
            sumP = sumP + chunk.sumP[at];
            sumQ = sumQ + chunk.sumQ[at];
            blocks = blocks + 1;
            if (everySample) {
                chunk.cumP[at] = sumP;
                chunk.cumQ[at] = sumQ;
                chunk.count[at] = blocks;
            }

            // The pass clears the outputs where there is no motor data; a generating sample keeps the earlier ones.
            const MotorState state = chunk.state[at];
            switch (state) {
                case MotorState::Running:
                case MotorState::BelowNoLoad: shown = chunk.outputsOf(at); break;
                case MotorState::NoMotorData: shown = MotorOutputs{}; break;
                case MotorState::Generating: break;
            }
            if (state != MotorState::NoMotorData) lastTouch = row;
            const float eff = shown.efficiency, load = shown.loadRate;
            if (effMax < eff) effMax = eff;
            if (effMin > eff) effMin = eff;
            if (loadMax < load) loadMax = load;
            if (loadMin > load) loadMin = load;
            if (plotting) {
                chunk.shownEfficiency[at] = eff;
                chunk.shownLoadRate[at] = load;
                chunk.running[at] = state == MotorState::Running;
            }
        }
        if (row - 1 == checkpointRow) {
            sumsP.push_back(sumP);
            sumsQ.push_back(sumQ);
            checkpointRow += CurveValues::EnergyCheckpoints::kEvery;
        }
    }
    if (plotter) plotter->step(chunk.curves(got), curves);
    sums.SumP = sumP;
    sums.SumQ = sumQ;
    sums.BlockCount = blocks;
    shownOutputs = shown;
    curves.EfficiencyMax = effMax;
    curves.EfficiencyMin = effMin;
    curves.LoadRateMax = loadMax;
    curves.LoadRateMin = loadMin;
    const auto lastRow = static_cast<size_t>(got - 1);
    chunk.cumP[lastRow] = sumP;
    chunk.cumQ[lastRow] = sumQ;
    chunk.count[lastRow] = blocks;

    // The energy reached at each sample, over its elapsed time itself: the difference of two clock readings
    // near midnight would lose the hundredths a float can still hold in the elapsed time. The energies count the
    // time the samples cover; the time shown adds the receive's gaps.
    for (int64_t row = everySample ? 0 : got - 1; row < got; ++row) {
        const auto at = static_cast<size_t>(row);
        const int64_t sampleNumber = samplesDone + row + 1;
        const float covered = sampleElapsed(totalTime, sampleNumber, sampleTotal);
        chunk.elapsed[at] = gaps.empty() ? covered : sampleElapsed(totalTime, sampleNumber, sampleTotal, gaps);
        const float energyP = energyReached(chunk.cumP[at], chunk.count[at], covered);
        const float energyQ = energyReached(chunk.cumQ[at], chunk.count[at], covered);
        chunk.ep[at] = std::fabs(energyP) * 1000.0f;
        chunk.eq[at] = std::fabs(energyQ) * 1000.0f;
        if (row == got - 1) {
            sums.EnergyP = energyP;
            sums.EnergyQ = energyQ;
        }
    }
    if (keepSeries) nextCheckpoint = samplesDone + 1 + checkpointRow;
    if (owner.onRows) {
        SampleRows rows = chunk.rows(samplesDone, got);
        rows.slot = static_cast<int>(&chunk - ring.data());
        if (everySample) {
            rows.elapsed = chunk.elapsed.data();
            rows.ep = chunk.ep.data();
            rows.eq = chunk.eq.data();
        }
        owner.onRows(rows);
    }
    if (owner.onSample)
        for (int64_t row = 0; row < got; ++row) owner.onSample(panelOf(row));

    // The state a sample-by-sample pass leaves after the chunk's last sample.
    auto& live = st.live;
    for (size_t record = 0; record < static_cast<size_t>(kSampleRecords); ++record)
        live.LiveValues[record] = live.SampleValues[record] = chunk.raw[lastRow * kSampleRecords + record];
    DeriveRecord(live.SampleValues, live.LiveValues);
    live.LiveValues[10] = chunk.ep[lastRow];
    live.LiveValues[11] = chunk.eq[lastRow];
    setMotorOutputs(st.motor, shownOutputs);
    last = panelOf(got - 1);
    st.time = last->time;
    if (lastTouch >= 0) {
        chunk.elapsed[static_cast<size_t>(lastTouch)] =
            sampleElapsed(totalTime, samplesDone + lastTouch + 1, sampleTotal, gaps);
        lastMotorTouch = panelOf(lastTouch);
    }
    samplesDone += got;
}

// One chunk read, worked out and carried here.
bool AnalysisPass::Impl::sweepChunk(int64_t count, const AnalysisPass& owner) {
    SampleChunk& chunk = ring[0];
    chunk.prepare(stream, st.motor, samplesDone, count);
    if (!chunk.read) return false;
    if (owner.onPrepared) owner.onPrepared(chunk.rows(samplesDone, count));
    carry(chunk, count, owner);
    return true;
}

// `count` samples in chunks that the helper and this thread prepare as each is free, up to kRing ahead of
// the one carried here, in order. False on a read error, which ring[0].read then tells.
bool AnalysisPass::Impl::sweepAhead(int64_t count, const AnalysisPass& owner) {
    if (ring.size() < static_cast<size_t>(kRing)) ring.resize(kRing);
    if (!helper) helper = std::make_unique<SecondCore>();
    constexpr int64_t kChunk = SampleChunk::kSamples;
    const int64_t chunks = (count + kChunk - 1) / kChunk;
    const int64_t base = samplesDone;
    const MotorValues motor = st.motor;  // the nameplate for the helper, away from what the carry writes
    const auto samplesOf = [&](int64_t chunk) { return std::min(kChunk, count - chunk * kChunk); };
    const int64_t carried = runChunkRing(
        *helper, chunks, kRing,
        [&](int64_t chunk, int slot) {
            SampleChunk& prepared = ring[static_cast<size_t>(slot)];
            prepared.prepare(stream, motor, base + chunk * kChunk, samplesOf(chunk));
            if (prepared.read && owner.onPrepared) {
                SampleRows rows = prepared.rows(base + chunk * kChunk, samplesOf(chunk));
                rows.slot = slot;
                owner.onPrepared(rows);
            }
        },
        [&](int64_t chunk, int slot) {
            SampleChunk& prepared = ring[static_cast<size_t>(slot)];
            if (!prepared.read) return false;
            carry(prepared, samplesOf(chunk), owner);
            return true;
        });
    if (carried == chunks) return true;
    ring[0].read = ring[static_cast<size_t>(carried % kRing)].read;
    return false;
}

void AnalysisPass::Impl::finish() {
    auto& curves = st.curves;
    curves.TotalEp = st.live.LiveValues[10];
    curves.TotalEq = st.live.LiveValues[11];
    stream.close();
    if (keepSeries) {
        curves.EnergySums.samples = sampleTotal;
        curves.EnergySums.sumP = std::move(sumsP);
        curves.EnergySums.sumQ = std::move(sumsQ);
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
    Impl& pass = *d_;
    SharedState& st = pass.st;
    auto& curves = st.curves;
    if (warning) warning->clear();
    pass.phase = Phase::Idle;
    pass.error.clear();
    pass.sampleTotal = pass.samplesDone = 0;
    pass.shownOutputs = MotorOutputs{};
    pass.axesReady = false;
    pass.last.reset();
    pass.lastMotorTouch.reset();
    pass.stream.close();
    pass.gaps = {};

    curves.EfficiencyMax = 0;
    curves.EfficiencyMin = 150;
    curves.LoadRateMax = 0;
    curves.LoadRateMin = 100;
    // A generating sample repeats the motor outputs before it: at the start of a pass those are 0, not what
    // the previous pass or query left, or a second pass would differ from the first.
    st.motor.MotorOutputPower = st.motor.MotorEfficiency = st.motor.MotorLoadRate = 0;
    if (pass.boxes) clearCurveBoxes(*pass.boxes);
    pass.plotter.reset();
    if (pass.boxes) pass.plotter.emplace(*pass.boxes, pass.columnWidth);

    // The energy sums belong to a complete pass only: until this one ends there is nothing to query.
    curves.EnergySums = {};
    st.file.SampleCount = 0;

    if (st.file.WorkFile.isEmpty()) st.file.WorkFile = workFilePath(programDir);
    pass.path = st.file.WorkFile;
    const auto refuse = [&](const QString& why) {
        pass.fail(why);
        pass.sampleTotal = 0;
        return Status::failure(why);
    };

    const Result<MeasurementInfo> admitted = admitForAnalysis(pass.path, pass.allowEmpty);
    if (!admitted) return refuse(admitted.message());
    const bool hasTrailer = admitted->complete;
    pass.sampleTotal = admitted->wholeSamples;
    const FileHeader& header = admitted->header;
    st.file.TotalTime = header.TotalTime;
    st.file.SampleCount = static_cast<float>(pass.sampleTotal);
    confirmNameplate(st.motor, header.nameplate);
    QString sidecarWarning;
    pass.gaps = measurementGaps(pass.path, header.StartTime, &sidecarWarning);

    if (Status opened = pass.stream.open(pass.path, pass.sampleTotal); !opened)
        return refuse(unreadableForAnalysis(pass.path, opened.reason()));
    // The sums before the first sample, then those every kEvery samples.
    pass.sumsP.assign(1, 0.0);
    pass.sumsQ.assign(1, 0.0);
    pass.nextCheckpoint = CurveValues::EnergyCheckpoints::kEvery;
    if (pass.plotter) pass.plotter->reset(pass.sampleTotal);

    if (hasTrailer) {
        st.live.LiveMax = *admitted->maxima;
        st.live.LiveMin = *admitted->minima;
        pass.setUpAxes();
        st.sums.reset();
        pass.phase = Phase::Sweeping;
        if (onAxes) onAxes();
        if (pass.sampleTotal == 0) {
            st.live.LiveValues[10] = st.live.LiveValues[11] = 0;
            pass.finish();
        }
    } else {
        pass.scan.emplace(st.file.TotalTime, pass.sampleTotal);
        pass.phase = Phase::Scanning;
        if (warning)
            *warning = QStringLiteral(
                           "数据文件 %1 没有正常结束（缺少最大值和最小值记录），将按其中的 %2 组数据分析，"
                           "最大值和最小值由数据重新求出。")
                           .arg(pass.path)
                           .arg(pass.sampleTotal);
    }
    if (warning && !sidecarWarning.isEmpty())
        *warning = warning->isEmpty() ? sidecarWarning : *warning + QStringLiteral("\r\n") + sidecarWarning;
    return {};
}

const ReceiveGaps& AnalysisPass::gaps() const { return d_->gaps; }

bool AnalysisPass::step(int64_t maxSamples) {
    Impl& pass = *d_;
    SharedState& st = pass.st;
    int64_t budget = maxSamples;

    if (pass.phase == Phase::Scanning) {
        float values[kSampleRecords];
        while (budget-- > 0 && pass.stream.samplesRead() < pass.sampleTotal) {
            // A read error ends the pass; the file ending before its samples do is one too.
            if (!pass.stream.next(values)) {
                const Status& read = pass.stream.status();
                pass.failReading(read ? QStringLiteral("文件提前结束") : read.reason());
                return true;
            }
            pass.scan->add(values);
        }
        if (pass.stream.samplesRead() < pass.sampleTotal) return false;
        st.live.LiveMax = pass.scan->live().LiveMax;
        st.live.LiveMin = pass.scan->live().LiveMin;
        pass.scan.reset();
        pass.setUpAxes();
        st.sums.reset();
        if (Status opened = pass.stream.open(pass.path, pass.sampleTotal); !opened) {
            pass.fail(unreadableForAnalysis(pass.path, opened.reason()));
            return true;
        }
        pass.phase = Phase::Sweeping;
        if (onAxes) onAxes();
        return false;
    }
    if (pass.phase != Phase::Sweeping) return true;

    while (budget > 0 && pass.samplesDone < pass.sampleTotal) {
        const int64_t want = std::min<int64_t>(budget, pass.sampleTotal - pass.samplesDone);
        const bool ahead = want >= kAheadFrom && SecondCore::available();
        const int64_t now = ahead ? want : std::min<int64_t>(want, SampleChunk::kSamples);
        if (!(ahead ? pass.sweepAhead(now, *this) : pass.sweepChunk(now, *this))) {
            pass.failReading(pass.ring[0].read.reason());
            return true;
        }
        budget -= now;
    }
    if (pass.samplesDone < pass.sampleTotal) return false;
    pass.finish();
    return true;
}

int64_t AnalysisPass::done() const {
    return d_->samplesDone;
}
int64_t AnalysisPass::total() const {
    return d_->sampleTotal;
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
    PanelContent panel = panelTexts(*d_->last);
    // In the state "no motor data" the motor boxes keep what an earlier sample put there.
    if (d_->last->state == MotorState::NoMotorData && d_->lastMotorTouch) {
        const PanelContent touched = panelTexts(*d_->lastMotorTouch);
        for (int box : kMotorBoxes) panel.boxes[box] = touched.boxes[box];
    }
    return panel;
}

}  // namespace mervo
