#include "analysis/curves.h"

#include <algorithm>
#include <cmath>

#include "motor/operating_point.h"
#include "shared/number_format.h"

namespace mervo {

const CurveRow kCurveTable[kCurves] = {
    {0, " A", "一路电流累计曲线", "一路电流分段曲线", "一路电流曲线", "一路电流分段曲线"},
    {3, " A", "二路电流累计曲线", "二路电流分段曲线", "二路电流曲线", "二路电流分段曲线"},
    {6, " A", "三路电流累计曲线", "三路电流分段曲线", "三路电流曲线", "三路电流分段曲线"},
    {1, " V", "一路电压累计曲线", "一路电压分段曲线", "一路电压曲线", "一路电压分段曲线"},
    {4, " V", "二路电压累计曲线", "二路电压分段曲线", "二路电压曲线", "二路电压分段曲线"},
    {7, " V", "三路电压累计曲线", "三路电压分段曲线", "三路电压曲线", "三路电压分段曲线"},
    {2, " kW", "有功功率累计曲线", "有功功率分段曲线", "有功功率曲线", "有功功率分段曲线"},
    {8, "", "功率因数累计曲线", "功率因数分段曲线", "功率因数曲线", "功率因数分段曲线"},
    {-1, " %", "效率累计曲线", "效率分段曲线", "效率曲线", "效率分段曲线"},
    {-1, " %", "负载率累计曲线", "负载率分段曲线", "负载率曲线", "负载率分段曲线"},
};

namespace {

constexpr int kPowerFactorCurve = 7;
constexpr int kEfficiencyCurve = 8;
constexpr int kLoadRateCurve = 9;
constexpr double kValueGridRight = 8900;  // past the box's edge: the line reaches across the whole box

}  // namespace

void clearCurveBoxes(CurveBoxes& boxes) {
    for (int k = 0; k < kCurves; ++k) {
        for (Surface* s : {boxes.cumulative[k], boxes.segmented[k]}) {
            if (!s) continue;
            // A box clears to its background colour, so the colour goes first.
            s->setBackColor(kCurveBackground);
            s->clear();
        }
    }
}

void ZBX_DS(float MIN, float MAX, Surface& objc, const CurveBoxes& boxes, float totalTime,
            CurveValues& curves) {
    objc.setLineStyle(2);

    curves.TimeStep = timeStepFor(totalTime);
    if (totalTime > 0.0f && std::isfinite(totalTime)) {
        for (float x : steppedValues(0, totalTime, curves.TimeStep)) {
            const double X = kPlotWidth * x / totalTime;
            for (Surface* box : boxes.cumulative) {
                if (!box) continue;
                box->setLineStyle(x == 0.0f ? 0 : 2);
                box->line(X, kPlotTop, X, kPlotBottom);
                box->setLineStyle(0);
            }
        }
    }

    const ValueAxis a = valueAxisFor(MIN, MAX);
    curves.AxisMin = a.min;
    curves.AxisMax = a.max;
    curves.AxisStep = a.step;

    for (float y : steppedValues(a.min, a.max, a.step)) {
        objc.setLineStyle(y == 0.0f ? 0 : 2);
        const double Y = bandY<double>(y, a.min, a.max);
        if (std::isfinite(Y)) objc.line(0, Y, kValueGridRight, Y);
    }
    objc.setLineStyle(0);
}

CurveRange curveAxisInput(int k, const LiveArrays& live) {
    if (k == kPowerFactorCurve) return {0, 1};
    if (k == kEfficiencyCurve || k == kLoadRateCurve) return {0, 100};
    const int e = kCurveTable[k].element;
    return {live.LiveMin[e], live.LiveMax[e]};
}

CurveRange curveExtremes(int k, const SharedState& st) {
    if (k == kEfficiencyCurve) return {st.curves.EfficiencyMin, st.curves.EfficiencyMax};
    if (k == kLoadRateCurve) return {st.curves.LoadRateMin, st.curves.LoadRateMax};
    const int e = kCurveTable[k].element;
    return {st.live.LiveMin[e], st.live.LiveMax[e]};
}

TickLabels tickLabels(const CurveValues& curves, int c, float totalTime) {
    TickLabels out;
    const float lo = curves.CurveAxisMin[c], hi = curves.CurveAxisMax[c], step = curves.CurveAxisStep[c];
    if (step > 0.0f && std::isfinite(step) && hi > lo) {
        // One label for each line of the value grid, which ZBX_DS steps through the same way.
        const size_t lines = std::min<size_t>(steppedValues(lo, hi, step).size(), kValueLabels);
        for (float v : gridLabelValues(lo, step, lines))
            out.value.push_back({formatCaption(v), bandY<double>(v, lo, hi) + 430});
    }

    const float timeStep = curves.TimeStep;
    if (totalTime > 0.0f && std::isfinite(totalTime) && timeStep > 0.0f) {
        const std::vector<float> ticks = steppedValues(0, totalTime, timeStep);
        // In the unit the axis names: a 300 s step under "分" reads 0, 5, 10 ...
        const std::vector<float> inUnit = gridLabelValues(0, timeStep / timeUnitSeconds(timeStep), ticks.size());
        const size_t stride = (ticks.size() + kTimeLabels - 1) / kTimeLabels;
        for (size_t j = 0; j < ticks.size(); j += std::max<size_t>(stride, 1))
            out.time.push_back({formatCaption(inUnit[j]), kPlotWidth * ticks[j] / totalTime + 400});
    }
    out.timeUnit = timeUnitFor(timeStep);
    out.valueUnit = curves.CurveUnit[c];
    return out;
}

void printExtremes(const CurveBoxes& boxes, const SharedState& st) {
    for (int k = 0; k < kCurves; ++k) {
        Surface* box = boxes.cumulative[k];
        if (!box) continue;
        const CurveRange r = curveExtremes(k, st);
        const QString unit = k == kPowerFactorCurve ? QString() : st.curves.CurveUnit[k];
        std::vector<PrintItem> items{PrintItem::textItem(QStringLiteral("    最大值")),
                                     PrintItem::numberItem(r.max)};
        if (!unit.isEmpty()) items.push_back(PrintItem::textItem(unit));
        items.push_back(PrintItem::columnItem(40));
        items.push_back(PrintItem::textItem(QStringLiteral("最小值")));
        items.push_back(PrintItem::numberItem(r.min));
        if (!unit.isEmpty()) items.push_back(PrintItem::textItem(unit));
        box->setPosition(0, 0);
        box->print(items);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Cumulative curves

CumulativePlotter::CumulativePlotter(const CurveBoxes& boxes, double columnWidth)
    : boxes_(boxes), columnWidth_(columnWidth) {}

CumulativePlotter::~CumulativePlotter() = default;

void CumulativePlotter::reset(int64_t sampleCount) {
    n_ = sampleCount;
    i_ = 0;
    curveX_ = curvePrevX_ = 0;
    prevColumn_ = 0;
    prevY_.fill(0);
    const double columns = columnWidth_ > 0 ? std::ceil(kPlotWidth / columnWidth_) : 0;
    decimate_ = columnWidth_ > 0 && static_cast<double>(n_) > columns;
    traces_.clear();
    for (Surface* box : boxes_.cumulative)
        traces_.push_back(box ? std::optional<CurveTrace>(std::in_place, *box, kRed, 0.0, columnWidth_, decimate_,
                                                          curveBandClip())
                              : std::nullopt);
}

void CumulativePlotter::step(const SharedState& st) {
    const auto& lv = st.live.LiveValues;
    std::array<float, kCurves> v{};
    for (int k = 0; k < kPowerFactorCurve; ++k) v[k] = lv[kCurveTable[k].element];
    v[kPowerFactorCurve] = lv[8];
    v[kEfficiencyCurve] = st.motor.MotorEfficiency;
    v[kLoadRateCurve] = st.motor.MotorLoadRate;
    // Efficiency and load rate mean something only while the motor runs (a nameplate the loss model cannot
    // evaluate counts as none).
    step(v, classifyMotorState(st.motor, lv[2]) == MotorState::Running, st.curves);
}

void CumulativePlotter::step(const std::array<float, kCurves>& v, bool running, const CurveValues& c) {
    if (n_ <= 0) return;
    ++i_;
    // Directly from the sample number: adding 6000 / n sample by sample drifts visibly over a long recording.
    curveX_ = kPlotWidth * static_cast<double>(i_) / static_cast<double>(n_);

    std::array<double, kCurves> y{};
    for (int k = 0; k < kPowerFactorCurve; ++k)
        y[k] = bandY<double>(k == 6 ? v[k] : std::fabs(v[k]), c.CurveAxisMin[k], c.CurveAxisMax[k]);
    y[kPowerFactorCurve] = bandY<double>(std::fabs(v[kPowerFactorCurve]), 0, 1);
    y[kEfficiencyCurve] = bandY<double>(v[kEfficiencyCurve], 0, 120);
    y[kLoadRateCurve] = bandY<double>(v[kLoadRateCurve], 0, 120);

    // Every curve shares the x positions: their columns are worked out once.
    const int64_t column = decimate_ ? columnAt(curveX_, 0.0, columnWidth_) : 0;
    for (int k = 0; k < kCurves; ++k) {
        if (!traces_[static_cast<size_t>(k)]) continue;
        const bool drawn = i_ > 1 && (k < kEfficiencyCurve || running);
        traces_[static_cast<size_t>(k)]->add({curvePrevX_, prevY_[k], i_ - 1}, {curveX_, y[k], i_}, drawn,
                                             prevColumn_, column);
    }
    curvePrevX_ = curveX_;
    prevColumn_ = column;
    prevY_ = y;
}

void CumulativePlotter::step(const CurveChunk& chunk, const CurveValues& c) {
    if (n_ <= 0 || chunk.count <= 0) return;
    // Every segment drawn, or the first sample of the pass, which only starts the curves: one by one.
    const int64_t single = !decimate_ ? chunk.count : (i_ == 0 ? 1 : 0);
    for (int64_t j = 0; j < single; ++j) {
        std::array<float, kCurves> v{};
        for (int k = 0; k < kCurves; ++k) v[k] = chunk.values[k][j * chunk.stride[k]];
        step(v, chunk.running[j] != 0, c);
    }
    const int64_t count = chunk.count - single;
    if (count <= 0) return;

    const SamplePlaces at{0.0, kPlotWidth, static_cast<double>(n_), i_ + 1};
    for (int k = 0; k < kCurves; ++k) {
        BandValues v;
        v.values = chunk.values[k] + single * chunk.stride[k];
        v.stride = chunk.stride[k];
        v.magnitude = k != 6 && k < kEfficiencyCurve;  // total active power keeps its sign
        if (k < kPowerFactorCurve) v.lo = c.CurveAxisMin[k], v.hi = c.CurveAxisMax[k];
        else v.lo = 0, v.hi = k == kPowerFactorCurve ? 1 : 120;
        if (traces_[static_cast<size_t>(k)])
            traces_[static_cast<size_t>(k)]->addRun({curvePrevX_, prevY_[k], i_}, prevColumn_, at, v,
                                                    k >= kEfficiencyCurve ? chunk.running + single : nullptr,
                                                    i_ + 1, count);
        prevY_[k] = v.y(count - 1);
    }
    i_ += count;
    curveX_ = curvePrevX_ = at.x(count - 1);
    prevColumn_ = columnAt(curveX_, 0.0, columnWidth_);
}

void CumulativePlotter::finish() {
    for (auto& t : traces_)
        if (t) t->finish();
}

}  // namespace mervo
