#include "analysis/analysis_pass.h"

#include <QFileInfo>
#include <cmath>
#include <new>
#include <optional>

#include "measurement/sample_math.h"
#include "measurement/reader.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"

namespace mervo {

namespace {

enum class Phase { Idle, Scanning, Sweeping, Finished, Failed };

constexpr int kMotorBoxes[] = {16, 17, 18};

}  // namespace

struct AnalysisPass::Impl {
    SharedState& st;
    CurveBoxes* boxes;
    double columnWidth = 15;
    std::optional<CumulativePlotter> plotter;

    Phase phase = Phase::Idle;
    QString path;
    int64_t n = 0, i = 0;
    float dt = 0, t = 0;
    SampleStream stream;
    bool axesReady = false;
    QString error;

    // The maxima and minima of a file without its trailer, gathered as the receive gathers them.
    std::optional<ExtremesScan> scan;

    std::vector<float> ep, eq;  // handed to the shared state once complete
    std::optional<PanelSample> last, lastMotorTouch;

    Impl(SharedState& s, CurveBoxes* b) : st(s), boxes(b) {}

    void fail(const QString& why) {
        phase = Phase::Failed;
        error = why;
        stream.close();
        st.file.SampleCount = 0;
    }
    void setUpAxes();
    void sweepOne(const float v[9], const std::function<void(const PanelContent&)>& onSample);
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

void AnalysisPass::Impl::sweepOne(const float v[9],
                                  const std::function<void(const PanelContent&)>& onSample) {
    auto& live = st.live;
    for (int k = 0; k < 9; ++k) live.LiveValues[k] = live.SampleValues[k] = v[k];
    t = t + dt;
    const PanelSample s = sweepSample(st, t);
    if (onSample) onSample(panelTexts(s));
    ++i;
    ep[static_cast<size_t>(i)] = live.LiveValues[10];
    eq[static_cast<size_t>(i)] = live.LiveValues[11];

    auto& c = st.curves;
    const MotorValues& m = st.motor;
    if (c.EfficiencyMax < m.MotorEfficiency) c.EfficiencyMax = m.MotorEfficiency;
    if (c.EfficiencyMin > m.MotorEfficiency) c.EfficiencyMin = m.MotorEfficiency;
    if (c.LoadRateMax < m.MotorLoadRate) c.LoadRateMax = m.MotorLoadRate;
    if (c.LoadRateMin > m.MotorLoadRate) c.LoadRateMin = m.MotorLoadRate;

    if (plotter) plotter->step(st);

    last = s;
    if (s.state != MotorState::NoMotorData) lastMotorTouch = s;
}

void AnalysisPass::Impl::finish() {
    auto& c = st.curves;
    c.TotalEp = st.live.LiveValues[10];
    c.TotalEq = st.live.LiveValues[11];
    stream.close();
    c.EpSeries = std::move(ep);
    c.EqSeries = std::move(eq);
    ep.clear();
    eq.clear();
    if (plotter) plotter->finish();
    if (boxes) printExtremes(*boxes, st);
    phase = Phase::Finished;
}

// ---------------------------------------------------------------------------------------------------------

AnalysisPass::AnalysisPass(SharedState& state, CurveBoxes* boxes)
    : d_(std::make_unique<Impl>(state, boxes)) {}

AnalysisPass::~AnalysisPass() = default;

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
    d.t = 0;
    d.axesReady = false;
    d.last.reset();
    d.lastMotorTouch.reset();
    d.stream.close();

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

    // The series belong to a complete pass only: until this one ends there is nothing to query.
    c.EpSeries = {};
    c.EqSeries = {};
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
    if (d.n == 0) return refuse(QStringLiteral("数据文件 %1 中没有测量数据，无法分析！").arg(d.path));

    const FileHeader& h = in.header;
    if (!(h.TotalTime > 0.0f) || !std::isfinite(h.TotalTime))
        return refuse(
            QStringLiteral("数据文件 %1 的测量时间（%2 秒）无效，无法分析！").arg(d.path).arg(h.TotalTime));
    st.file.TotalTime = h.TotalTime;
    st.file.SampleCount = static_cast<float>(d.n);
    d.dt = st.file.TotalTime / st.file.SampleCount;
    confirmNameplate(st.motor, h.nameplate);
    reader.close();

    if (Status s = d.stream.open(d.path, d.n); !s)
        return refuse(QStringLiteral("数据文件 %1 无法读取（%2），无法分析！").arg(d.path, s.reason()));
    try {
        d.ep.assign(static_cast<size_t>(d.n) + 1, 0.0f);
        d.eq.assign(static_cast<size_t>(d.n) + 1, 0.0f);
    } catch (const std::bad_alloc&) {
        d.ep = {};
        d.eq = {};
        return refuse(
            QStringLiteral("数据文件 %1 太大（%2 组数据），内存不足，无法分析！").arg(d.path).arg(d.n));
    }
    if (d.plotter) d.plotter->reset(d.n);

    if (hasTrailer) {
        st.live.LiveMax = *in.maxima;
        st.live.LiveMin = *in.minima;
        d.setUpAxes();
        st.sums.reset();
        d.phase = Phase::Sweeping;
        if (onAxes) onAxes();
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
    return {};
}

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

    while (budget-- > 0 && d.i < d.n) {
        if (!readNext()) return true;
        d.sweepOne(v, onSample);
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
