#include "analysis/record_query.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/analysis_pass.h"
#include "measurement/sample_math.h"
#include "measurement/reader.h"
#include "measurement/sidecar.h"
#include "shared/text_parse.h"

namespace mervo {

namespace {

bool finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

void loadSample(LiveArrays& live, const float* stored) {
    for (int i = 0; i < kSampleRecords; ++i) live.LiveValues[i] = live.SampleValues[i] = stored[i];
    DeriveRecord(live.SampleValues, live.LiveValues);
}

// The energies the pass reached at sample `no` of `n`: the sums of the checkpoint before it carried on over the
// samples from there, added in the pass's order with the pass's totals, so the floats come out the same.
Status energiesAt(const SharedState& st, const MeasurementReader& reader, float totalTime, int64_t no, int64_t n,
                  float* ep, float* eq) {
    const auto& sums = st.curves.EnergySums;
    constexpr int64_t kEvery = CurveValues::EnergyCheckpoints::kEvery;
    const size_t k = static_cast<size_t>((no - 1) / kEvery);
    if (k >= sums.sumP.size() || k >= sums.sumQ.size())
        return Status::failure(QStringLiteral("没有可查询的数据，请先分析数据！"));
    const int64_t first = static_cast<int64_t>(k) * kEvery + 1, count = no - first + 1;
    std::vector<float> stored(static_cast<size_t>(count) * kSampleRecords);
    if (Status s = reader.readRecords(kHeaderRecords + 1 + kSampleRecords * (first - 1),
                                      static_cast<int64_t>(stored.size()), stored.data());
        !s)
        return s;
    std::vector<float> sumP(static_cast<size_t>(count)), sumQ(sumP.size()), pf(sumP.size()), s(sumP.size());
    deriveTotalsBlock(stored.data(), count, sumP.data(), sumQ.data(), pf.data(), s.data());
    double p = sums.sumP[k], q = sums.sumQ[k];
    for (size_t j = 0; j < sumP.size(); ++j) {
        p = p + sumP[j];
        q = q + sumQ[j];
    }
    // The energies count the time the samples cover, without the receive's gaps.
    const float covered = sampleElapsed(totalTime, no, n);
    *ep = std::fabs(energyReached(p, static_cast<double>(no), covered)) * 1000.0f;
    *eq = std::fabs(energyReached(q, static_cast<double>(no), covered)) * 1000.0f;
    return {};
}

}  // namespace

int64_t queryableSamples(const SharedState& st) {
    const auto& sums = st.curves.EnergySums;
    const float sc = st.file.SampleCount;
    if (sums.samples < 1 || sums.sumP.empty() || sums.sumQ.empty() || !(sc >= 1.0f) || !std::isfinite(sc)) return 0;
    return static_cast<int64_t>(std::min(std::nearbyint(static_cast<double>(sc)), static_cast<double>(sums.samples)));
}

Status energiesReached(const SharedState& st, int64_t no, float* ep, float* eq) {
    const int64_t n = queryableSamples(st);
    if (n < 1) return Status::failure(QStringLiteral("没有可查询的数据，请先分析数据！"));
    if (no < 1 || no > n) return Status::failure(QStringLiteral("数据号应为 1 到 %1 之间的整数！").arg(n));
    MeasurementReader reader;
    if (Status s = reader.open(st.file.WorkFile); !s) return s;
    return energiesAt(st, reader, reader.info().header.TotalTime, no, n, ep, eq);
}

QueryNumber checkQueryNumber(const QString& text, int64_t sampleCount) {
    QueryNumber q;
    q.text = text;
    if (sampleCount < 1) {
        q.message = QStringLiteral("没有可查询的数据，请先分析数据！");
        return q;
    }
    const std::optional<double> number = numberFromText(text);
    const double v = number ? *number : 0;
    if (!number || v != std::floor(v)) {
        q.message = QStringLiteral("数据号应为 1 到 %1 之间的整数！").arg(sampleCount);
        return q;
    }
    // Compared as doubles first: a typed 1e30 must not overflow on its way to an integer.
    q.number = v < 1 ? 1 : (v > static_cast<double>(sampleCount) ? sampleCount : static_cast<int64_t>(v));
    q.ok = true;
    q.text = QString::number(q.number);
    q.corrected = q.text != text;
    return q;
}

void PlotTimeSharePoint(SharedState& st, const CurveBoxes* boxes, SegmentedCurveState& seg, float width,
                        int64_t queryNo, int64_t s) {
    seg.CurveX = seg.CurveX + static_cast<float>(kPlotWidth) / width;
    const auto& v = st.live.LiveValues;
    const CurveValues& c = st.curves;
    std::array<float, kCurves> y{};
    for (int k = 0; k <= 6; ++k) {
        const int e = kCurveTable[k].element;
        const float value = k == 6 ? v[e] : std::fabs(v[e]);  // total active power keeps its sign
        y[k] = bandY<float>(value, c.CurveAxisMin[k], c.CurveAxisMax[k]);
    }
    y[7] = bandY<float>(std::fabs(v[8]), 0, 1);
    y[8] = bandY<float>(st.motor.MotorEfficiency, 0, 120);
    y[9] = bandY<float>(st.motor.MotorLoadRate, 0, 120);

    if (boxes && seg.CurvePrevX != 0.0f) {
        const bool running = classifyMotorState(st.motor, v[2]) == MotorState::Running;
        for (int k = 0; k < kCurves; ++k) {
            Surface* box = boxes->segmented[k];
            if (!box || (k >= 8 && !running)) continue;
            // A value no float arithmetic could place (a damaged sample) leaves a gap rather than a wild line.
            if (!finite(seg.CurvePrevX, seg.CurvePrevY[k], seg.CurveX, y[k])) continue;
            double x1 = seg.CurvePrevX, y1 = seg.CurvePrevY[k], x2 = seg.CurveX, y2 = y[k];
            if (clipSegment(x1, y1, x2, y2, curveBandClip())) box->line(x1, y1, x2, y2, kSegmentColour);
        }
    }
    seg.CurvePrevX = seg.CurveX;
    seg.CurvePrevY = y;
    if (s == queryNo) {
        seg.MarkerX = seg.CurveX;
        seg.MarkerY = y;
    }
}

Status FENG(SharedState& st, const CurveBoxes* boxes, int64_t no, SegmentedCurveState& seg, PanelContent* panel) {
    const int64_t n = queryableSamples(st);
    if (n < 1) return Status::failure(QStringLiteral("没有可查询的数据，请先分析数据！"));
    if (no < 1 || no > n)
        return Status::failure(QStringLiteral("数据号应为 1 到 %1 之间的整数！").arg(n));

    // Everything is read before anything is shown, so a file that changed since the pass leaves the panel and
    // the boxes as they were.
    MeasurementReader reader;
    if (Status s = reader.open(st.file.WorkFile); !s) return s;
    const float totalTime = reader.info().header.TotalTime;
    const ReceiveGaps gaps = measurementGaps(st.file.WorkFile, reader.info().header.StartTime);
    if (!(totalTime > 0.0f) || !std::isfinite(totalTime))
        return Status::failure(
            QStringLiteral("数据文件 %1 的测量时间（%2 秒）无效，无法查询！").arg(st.file.WorkFile).arg(totalTime));
    float stored[kSampleRecords];
    if (Status s = reader.readSample(no - 1, stored); !s) return s;

    // Only 5, 10 and 20 are ever set; anything else is held to a window that can be read and drawn.
    float segmentCount = std::nearbyint(st.settings.SegmentCount);
    if (!(segmentCount >= 1.0f)) segmentCount = 1.0f;
    if (segmentCount > 1000.0f) segmentCount = 1000.0f;
    const int64_t half = static_cast<int64_t>(segmentCount);
    const int64_t first = std::max<int64_t>(1, no - half);
    const int64_t last = std::min<int64_t>(n, no + half);
    std::vector<float> window(static_cast<size_t>(last - first + 1) * kSampleRecords);
    if (Status s = reader.readRecords(kHeaderRecords + 1 + kSampleRecords * (first - 1),
                                      static_cast<int64_t>(window.size()), window.data());
        !s)
        return s;
    float ep = 0, eq = 0;
    if (Status s = energiesAt(st, reader, totalTime, no, n, &ep, &eq); !s) return s;
    reader.close();

    // The queried sample in the panel.
    st.file.TotalTime = totalTime;
    LiveArrays& live = st.live;
    loadSample(live, stored);
    live.LiveValues[10] = ep;
    live.LiveValues[11] = eq;
    st.file.ElapsedTime = sampleElapsed(totalTime, no, n, gaps);
    PanelSample shown = panelSample(st, st.file.ElapsedTime, false);
    for (int i = 0; i < kSampleRecords; ++i) shown.fileValues[i] = stored[i];
    if (panel) *panel = panelTexts(shown);

    // The segmented curves around it. The width stays 2 x SegmentCount when the window is cut at either end.
    seg.ShareFirst = static_cast<float>(first);
    seg.ShareLast = static_cast<float>(last);
    seg.CurvePrevX = seg.CurveX = 0;
    const bool drawing = boxes != nullptr;
    if (drawing) {
        for (Surface* box : boxes->segmented)
            if (box) box->clear();
        for (int k = 0; k < kCurves; ++k) {
            Surface* box = boxes->segmented[k];
            if (!box) continue;
            // The axis input of the pass: its labels, beside the box, and the scale of the points are those
            // axes, so the grid must be too (0 to 120 % for efficiency and load rate, not 0 to 1).
            const CurveRange in = curveAxisInput(k, live);
            ZBX_DS(in.min, in.max, *box, *boxes, totalTime, st.curves);
        }
    }
    const float width = 2 * segmentCount;
    for (int64_t s = first; s <= last; ++s) {
        loadSample(live, window.data() + static_cast<size_t>(s - first) * kSampleRecords);
        // Below no-load the outputs are 0, as the panel shows them, so the cross on the efficiency and load-rate
        // boxes sits where the panel's values say; a generating sample and one without motor data keep the last
        // evaluation, which is what the cumulative curves do.
        updateMotorOutputs(st.motor, live.LiveValues[2]);
        PlotTimeSharePoint(st, boxes, seg, width, no, s);
    }

    if (drawing) {
        for (int k = 0; k < kCurves; ++k) {
            Surface* box = boxes->segmented[k];
            const double x = seg.MarkerX, y = seg.MarkerY[k];
            if (!box || !std::isfinite(x) || !std::isfinite(y)) continue;
            box->line(x - kMarkerHalf, y, x + kMarkerHalf, y, kMarkerColour);
            box->line(x, y - kMarkerHalf, x, y + kMarkerHalf, kMarkerColour);
        }
    }
    return {};
}

}  // namespace mervo
