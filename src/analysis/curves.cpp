#include "analysis/curves.h"

#include "analysis/column_span.h"

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
// Loops over grid values stop here even if a damaged axis would let them run on.
constexpr int kGridLineLimit = 64;

// y of value v on an axis from lo (y 1600) to hi (y 200).
double valueY(double v, double lo, double hi) {
    return kPlotBottom - (kPlotBottom - kPlotTop) * (v - lo) / (hi - lo);
}

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

float timeStepFor(float totalTime) {
    static const float bases[] = {1, 2, 5, 10, 30};
    float t = totalTime;
    float scale = 1;
    // Each round divides by 60, so a finite duration ends within a few dozen rounds.
    for (int m = 0; m < 40 && std::isfinite(t); ++m) {
        for (float b : bases) {
            const float q = t / b;
            if (q < 15.0f) return scale * b;
        }
        t = t / 60.0f;
        scale = scale * 60.0f;
    }
    return scale;
}

QString timeUnitFor(float timeStep) {
    if (timeStep < 60.0f) return QStringLiteral("秒");
    if (timeStep < 3600.0f) return QStringLiteral("分");
    return QStringLiteral("时");
}

ValueAxis valueAxisFor(float MIN, float MAX) {
    // A damaged trailer may hold NaN or infinities; such a range gets the small default axis.
    if (!std::isfinite(MIN)) MIN = 0;
    if (!std::isfinite(MAX)) MAX = 0;
    ValueAxis a;
    const float top = std::floor(MAX + 0.999f);
    const float bottom = std::floor(MIN);
    const float range = top - bottom;
    if (range > 1.0f && std::isfinite(range)) {
        static const float bases[] = {1, 2, 5, 10};
        float r = range;
        float scale = 1;
        float step = 0;
        for (int e = 0; e < 45 && step == 0; ++e) {
            for (float b : bases) {
                if (r / b < 6.0f) {
                    step = scale * b;
                    break;
                }
            }
            r = r / 10.0f;
            scale = scale * 10.0f;
        }
        a.step = step;
        a.max = step + std::floor(MAX / step) * step;
        a.min = std::floor(MIN / step) * step;
    } else {
        a.min = std::floor(MIN);
        a.max = std::floor(MIN) + 1.00001f;
        a.step = 0.2f;
    }
    return a;
}

void ZBX_DS(float MIN, float MAX, Surface& objc, const CurveBoxes& boxes, float totalTime,
            CurveValues& curves) {
    objc.setLineStyle(2);

    curves.TimeStep = timeStepFor(totalTime);
    if (totalTime > 0.0f && std::isfinite(totalTime)) {
        int lines = 0;
        for (float x = 0; x <= totalTime && lines < kGridLineLimit; x += curves.TimeStep, ++lines) {
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

    int lines = 0;
    for (float y = a.min; y <= a.max && lines < kGridLineLimit; y += a.step, ++lines) {
        objc.setLineStyle(y == 0.0f ? 0 : 2);
        const double Y = valueY(y, a.min, a.max);
        if (std::isfinite(Y)) objc.line(0, Y, kValueGridRight, Y);
        if (y + a.step == y) break;  // a step lost in the magnitude of y would never end the loop
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
        for (float v = lo; v <= hi && static_cast<int>(out.value.size()) < kValueLabels; v += step) {
            // A sum of steps that should give 0 gives a tiny residue; the caption shows 0 and the loop goes
            // on from there.
            if (v > -0.000001f && v < 0.000001f) v = 0;
            const double top =
                kPlotBottom - (static_cast<double>(v) - lo) * (kPlotBottom - kPlotTop) / (hi - lo) + 430;
            out.value.push_back({formatCaption(v), top});
            if (v + step == v) break;
        }
    }

    const float timeStep = curves.TimeStep;
    if (totalTime > 0.0f && std::isfinite(totalTime) && timeStep > 0.0f) {
        std::vector<float> ticks;
        for (float x = 0; x <= totalTime && static_cast<int>(ticks.size()) < kGridLineLimit; x += timeStep)
            ticks.push_back(x);
        const size_t stride = (ticks.size() + kTimeLabels - 1) / kTimeLabels;
        for (size_t j = 0; j < ticks.size(); j += std::max<size_t>(stride, 1))
            out.time.push_back({formatCaption(ticks[j]), kPlotWidth * ticks[j] / totalTime + 400});
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

namespace {

using Pt = SpanPoint;
using Span = ColumnSpan;
void drawSpan(Surface& box, const Span& s) { drawColumnSpan(box, s, kRed); }

// More separate runs than this in one column (a state flapping every few samples between far-apart values)
// are drawn at once rather than held.
constexpr size_t kHeldSpans = 8;

}  // namespace

struct CumulativePlotter::Trace {
    int64_t column = INT64_MIN;
    bool open = false;  // `run` goes on: the next drawn segment extends it
    Span run{Pt{}};
    std::vector<Span> held;  // finished runs of this column, overlapping ones merged

    void closeRun(Surface& box) {
        if (!open) return;
        open = false;
        // A lone point belongs to no drawn segment: nothing to show.
        if (run.single()) return;
        for (Span& h : held) {
            if (h.overlaps(run)) {
                h.merge(run);
                return;
            }
        }
        held.push_back(run);
        if (held.size() > kHeldSpans) drawHeld(box);
    }
    void drawHeld(Surface& box) {
        for (const Span& h : held) drawSpan(box, h);
        held.clear();
    }
    void closeColumn(Surface& box) {
        closeRun(box);
        drawHeld(box);
    }
};

CumulativePlotter::CumulativePlotter(const CurveBoxes& boxes, double columnWidth)
    : boxes_(boxes), columnWidth_(columnWidth), traces_(kCurves) {}

CumulativePlotter::~CumulativePlotter() = default;

void CumulativePlotter::reset(int64_t sampleCount) {
    n_ = sampleCount;
    i_ = 0;
    curveX_ = curvePrevX_ = 0;
    prevY_.fill(0);
    const double columns = columnWidth_ > 0 ? std::ceil(kPlotWidth / columnWidth_) : 0;
    decimate_ = columnWidth_ > 0 && static_cast<double>(n_) > columns;
    traces_.assign(kCurves, Trace{});
}

void CumulativePlotter::add(int k, double x, double y, bool drawnFromPrev) {
    Surface* box = boxes_.cumulative[k];
    if (!box) return;
    if (!decimate_) {
        if (drawnFromPrev) box->line(curvePrevX_, prevY_[k], x, y, kRed);
        return;
    }
    Trace& t = traces_[k];
    const auto column = static_cast<int64_t>(std::floor(x / columnWidth_));
    if (column != t.column) {
        t.closeColumn(*box);
        t.column = column;
    }
    const Pt p{x, y, i_};
    if (!std::isfinite(y)) {
        t.closeRun(*box);
        return;
    }
    if (drawnFromPrev && t.open) {
        t.run.extend(p);
        return;
    }
    // The segment that enters this column from the previous sample is drawn as it is; a sample reached by
    // no segment only starts a run that the next segment may continue.
    if (drawnFromPrev) box->line(curvePrevX_, prevY_[k], x, y, kRed);
    t.closeRun(*box);
    t.run = Span(p);
    t.open = true;
}

void CumulativePlotter::step(const SharedState& st) {
    if (n_ <= 0) return;
    ++i_;
    const auto& lv = st.live.LiveValues;
    const auto& c = st.curves;
    // Directly from the sample number: adding 6000 / n sample by sample drifts visibly over a long recording.
    curveX_ = kPlotWidth * static_cast<double>(i_) / static_cast<double>(n_);

    std::array<double, kCurves> y{};
    for (int k = 0; k < kPowerFactorCurve; ++k) {
        const int e = kCurveTable[k].element;
        const float v = k == 6 ? lv[e] : std::fabs(lv[e]);
        y[k] = valueY(v, c.CurveAxisMin[k], c.CurveAxisMax[k]);
    }
    y[kPowerFactorCurve] = kPlotBottom - 1400.0 * std::fabs(lv[8]);
    y[kEfficiencyCurve] = kPlotBottom - 1400.0 * st.motor.MotorEfficiency / 120.0;
    y[kLoadRateCurve] = kPlotBottom - 1400.0 * st.motor.MotorLoadRate / 120.0;

    // Efficiency and load rate mean something only while the motor runs (a nameplate the loss model cannot
    // evaluate counts as none).
    const bool running = classifyMotorState(st.motor, lv[2]) == MotorState::Running;
    for (int k = 0; k < kCurves; ++k) {
        const bool drawn =
            i_ > 1 && (k < kEfficiencyCurve || running) && std::isfinite(prevY_[k]) && std::isfinite(y[k]);
        add(k, curveX_, y[k], drawn);
    }
    curvePrevX_ = curveX_;
    prevY_ = y;
}

void CumulativePlotter::finish() {
    if (!decimate_) return;
    for (int k = 0; k < kCurves; ++k)
        if (boxes_.cumulative[k]) traces_[k].closeColumn(*boxes_.cumulative[k]);
}

}  // namespace mervo
