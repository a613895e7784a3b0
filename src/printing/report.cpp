#include "printing/report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "measurement/sample_math.h"
#include "shared/time_split.h"
#include "measurement/reader.h"
#include "analysis/column_span.h"
#include "analysis/curves.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "shared/number_format.h"

namespace mervo {

namespace {

constexpr int kCharts = 6;
constexpr double kFrameLeft = 1000, kFrameRight = 10000;
constexpr double kPlotLeft = 1050, kPlotSpan = 8900;  // time 0 at 1050, the whole duration at 9950
constexpr double kTimeLabelY = 12550;

double chartOrigin(int k) { return 850 + 2000 * k; }

// Slot of each chart in CurveAxisMin/CurveAxisMax.
constexpr int kSlot[kCharts] = {0, 3, 6, 7, 8, 9};

struct ChartText {
    const char* title;
    const char* unit;
};
const ChartText kChartText[kCharts] = {
    {"　　　　　电流曲线  单位：A", " A"},     {"　　　　　电压曲线  单位：V", " V"},
    {"　　　　　功率曲线  单位：kW", " kW"},   {"　　　　　功率因数曲线", " "},
    {"　　　　　效率曲线  单位：%", "%"},      {"　　　　　负载率曲线  单位：%", "%"},
};

// The value axis of a printed chart: fewer than 6 round steps over the data, or 0..1 in fifths.
ValueAxis reportValueAxis(float MIN, float MAX) {
    ValueAxis a;
    const float hi = std::floor(MAX + 0.99f);
    const float lo = std::floor(MIN);
    float r = hi - lo;
    if (r > 1.0f) {
        static const float bases[] = {1, 2, 5, 10};
        float scale = 1, step = 0;
        // r is finite here, so dividing by ten reaches a base within a few dozen rounds.
        while (step == 0) {
            for (float b : bases)
                if (r / b < 6.0f) {
                    step = scale * b;
                    break;
                }
            r = r / 10.0f;
            scale = scale * 10.0f;
        }
        a.step = step;
        a.max = std::floor(MAX / step) * step + step;
        a.min = std::floor(MIN / step) * step;
    } else {
        a.min = lo;
        a.max = lo + 1.00001f;
        a.step = 0.2f;
    }
    return a;
}

bool solidValueLine(float v) {
    if (v == 0.0f || v == 1.0f) return true;
    // nearbyint rounds halves to even in the default rounding mode.
    return v > 1.0f && std::fmod(std::nearbyint(v), 50.0f) == 0.0f;
}

// Wiring code as the file's clamp flags give it; a file that flags no channel at all is read as three
// connected ones, so the curves still have something to divide by.
int connectedChannels(const FileHeader& h, int* wiringCode) {
    int n = 0;
    for (int16_t c : h.channels) n += c != 0 ? 1 : 0;
    if (n == 0) {
        *wiringCode = 7;
        return 3;
    }
    *wiringCode = 4 * (h.channels[0] != 0) + 2 * (h.channels[1] != 0) + (h.channels[2] != 0);
    return n;
}

// ---------------------------------------------------------------------------------------------------------
// Curves

using Pt = SpanPoint;
using Span = ColumnSpan;
void drawSpan(Surface& page, const Span& s) { drawColumnSpan(page, s, kBlack); }

// One curve drawn column by column once samples outnumber the columns.
class ColumnTrace {
public:
    ColumnTrace(Surface& page, double columnWidth) : page_(&page), width_(columnWidth) {}

    // The segment from `prev` to `p`, drawn or suppressed.
    void add(const Pt& prev, const Pt& p, bool drawn) {
        const auto column = columnOf(p.x);
        if (column != column_) {
            closeColumn();
            column_ = column;
        }
        if (!drawn) {
            closeRun();
            return;
        }
        if (open_) {
            run_.extend(p);
            return;
        }
        // A run that starts inside the column takes its first segment into the span; one that enters from
        // another column draws that segment as it is.
        if (columnOf(prev.x) == column) {
            run_ = Span(prev);
            run_.extend(p);
        } else {
            page_->line(prev.x, prev.y, p.x, p.y, kBlack);
            run_ = Span(p);
        }
        open_ = true;
    }
    void closeColumn() {
        closeRun();
        for (const Span& h : held_) drawSpan(*page_, h);
        held_.clear();
    }

private:
    int64_t columnOf(double x) const { return static_cast<int64_t>(std::floor((x - kPlotLeft) / width_)); }
    void closeRun() {
        if (!open_) return;
        open_ = false;
        if (run_.first.i == run_.last.i) return;
        // Runs broken by suppressed samples (a motor hovering at its no-load power) mostly overlap: merging
        // them keeps a column to a few lines however often the curve is interrupted.
        for (Span& h : held_)
            if (h.overlaps(run_)) {
                h.merge(run_);
                return;
            }
        held_.push_back(run_);
    }

    Surface* page_;
    double width_;
    int64_t column_ = INT64_MIN;
    bool open_ = false;
    Span run_;
    std::vector<Span> held_;
};

double valueY(double origin, float v, float axisMin, float axisMax) {
    return origin + 1600 - (static_cast<double>(v) - axisMin) * 1400 / (static_cast<double>(axisMax) - axisMin);
}

bool drawCurves(SharedState& st, Surface& page, const QString& path, int64_t n, int channels, double columnWidth,
                QString* error) {
    page.setPenWidth(1);
    if (n <= 0) return true;
    SampleStream in;
    QString why;
    if (!in.open(path, n, &why)) {
        *error = QStringLiteral("数据文件 %1 无法读取（%2）").arg(path, why);
        return false;
    }
    const bool decimate = columnWidth > 0 && static_cast<double>(n) > std::ceil(kPlotSpan / columnWidth);
    std::vector<ColumnTrace> traces(kCharts, ColumnTrace(page, columnWidth));
    const auto& c = st.curves;
    auto& lv = st.live.LiveValues;

    constexpr double kNone = NAN;  // no height yet: the motor has not run since the first sample
    double prevX = 0;
    std::array<double, kCharts> prevY;
    prevY.fill(kNone);
    for (int64_t i = 1; i <= n; ++i) {
        float rec[9];
        if (!in.next(rec, &why)) {
            *error = QStringLiteral("数据文件 %1 读第 %2 组数据出错（%3）")
                         .arg(path)
                         .arg(i)
                         .arg(why.isEmpty() ? QStringLiteral("文件不完整") : why);
            return false;
        }
        std::copy(rec, rec + 9, st.live.SampleValues.begin());
        std::copy(rec, rec + 9, lv.begin());
        DeriveRecord(st.live.SampleValues, lv);
        const bool running = classifyMotorState(st.motor, lv[2]) == MotorState::Running;
        if (running) MotorOperatingPoint(st.motor, lv[2]);

        // From the sample number: adding 8900 / n a million times would drift.
        const double x = kPlotLeft + kPlotSpan * static_cast<double>(i) / static_cast<double>(n);
        const float meanI = (std::fabs(lv[0]) + std::fabs(lv[3]) + std::fabs(lv[6])) / channels;
        const float meanU = (std::fabs(lv[1]) + std::fabs(lv[4]) + std::fabs(lv[7])) / channels;
        std::array<double, kCharts> y = {
            valueY(chartOrigin(0), meanI, c.CurveAxisMin[0], c.CurveAxisMax[0]),
            valueY(chartOrigin(1), meanU, c.CurveAxisMin[3], c.CurveAxisMax[3]),
            valueY(chartOrigin(2), lv[2], c.CurveAxisMin[6], c.CurveAxisMax[6]),
            chartOrigin(3) + 1600 - 1400.0 * std::fabs(lv[8]),
            prevY[4],
            prevY[5],
        };
        if (running) {
            y[4] = chartOrigin(4) + 1600 - st.motor.MotorEfficiency * 1400.0 / 120;
            y[5] = chartOrigin(5) + 1600 - st.motor.MotorLoadRate * 1400.0 / 120;
        }

        if (i > 1) {
            for (int k = 0; k < kCharts; ++k) {
                const bool motorCurve = k >= 4;
                const bool drawn = (!motorCurve || running) && std::isfinite(prevY[k]) && std::isfinite(y[k]);
                if (decimate) {
                    traces[k].add({prevX, prevY[k], i - 1}, {x, y[k], i}, drawn);
                } else if (drawn) {
                    page.line(prevX, prevY[k], x, y[k], kBlack);
                } else if (motorCurve && std::isfinite(y[k])) {
                    // A suppressed segment leaves no mark but moves the position like any other.
                    page.setDrawMode(DrawMode::Invisible);
                    page.line(prevX, std::isfinite(prevY[k]) ? prevY[k] : y[k], x, y[k], kBlack);
                    page.setDrawMode(DrawMode::Normal);
                }
            }
        }
        prevX = x;
        prevY = y;
    }
    for (auto& t : traces) t.closeColumn();
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Text

void printFooter(const SharedState& st, Surface& page, const PrintHeader& h) {
    TimeParts tp;
    SplitTime(st.file.TotalTime, tp);
    using P = PrintItem;
    const auto text = [](const char* t) { return P::textItem(QString::fromUtf8(t)); };
    page.setPosition(0, 12300);
    page.printText(QStringLiteral(" "));
    page.print({P::columnItem(104), P::textItem(timeUnitFor(st.curves.TimeStep))});
    page.printText(QStringLiteral(" "));
    page.print({P::columnItem(14), text("累计时间："), P::numberItem(tp.TimeH), text("时"), P::numberItem(tp.TimeM),
                text("分"), P::numberItem(tp.TimeS), text("秒")});
    page.print({P::columnItem(14), text("有功电量："), P::numberItem(st.curves.TotalEp), text("W·h")}, true);
    page.setFontSize(14);
    page.print({P::columnItem(55), text("MERVO ")}, true);
    page.setFontSize(9);
    page.printText(QStringLiteral(" Ver 6.18"));
    page.setFontSize(10);
    page.print({P::columnItem(14), text("无功电量："), P::numberItem(st.curves.TotalEq), text("Var·h")});
    page.printText(QStringLiteral(" "));
    page.setFontSize(12);
    page.print({P::columnItem(10), text("数据文件名称："), P::columnItem(25), P::textItem(st.file.WorkFile)});
    page.print({P::columnItem(10), text("被测设备编号："), P::columnItem(25), P::textItem(h.device)});
    // The date as the operator typed it in the print window.
    page.print({P::columnItem(10), text("测 试 日 期 ："), P::columnItem(25), P::textItem(h.dateText(0)),
                text("年"), P::textItem(h.dateText(1)), text("月"), P::textItem(h.dateText(2)), text("日"),
                P::columnItem(43), P::textItem(h.dateText(3)), text("时"), P::textItem(h.dateText(4)), text("分")});
    page.print({P::columnItem(10), text("使 用 单 位 ："), P::columnItem(25), P::textItem(h.organisation)});
}

}  // namespace

float MaxOf3(float a, float b, float c) {
    float m = a >= b ? a : b;
    if (m < c) m = c;
    return m;
}

float MinOf3(float a, float b, float c) {
    float m = a >= b ? b : a;
    if (m >= c) m = c;
    return m;
}

void completeWiring(int wiringCode, std::array<float, 12>& maxima, std::array<float, 12>& minima) {
    // Pairs (to, from) of current and voltage entries.
    std::vector<std::pair<int, int>> copies;
    switch (wiringCode) {
        case 1: copies = {{0, 6}, {3, 6}, {1, 7}, {4, 7}}; break;
        case 2: copies = {{0, 3}, {6, 3}, {1, 4}, {7, 4}}; break;
        case 3: copies = {{0, 3}, {1, 4}}; break;
        case 4: copies = {{3, 0}, {6, 0}, {4, 1}, {7, 1}}; break;
        case 5: copies = {{3, 0}, {4, 1}}; break;
        case 6: copies = {{6, 0}, {7, 1}}; break;
        default: break;
    }
    for (auto [to, from] : copies) {
        maxima[to] = maxima[from];
        minima[to] = minima[from];
    }
}

void ZBX_PR(float MIN, float MAX, Surface& objc, float offset, float totalTime, CurveValues& curves) {
    objc.setLineStyle(2);
    curves.TimeStep = timeStepFor(totalTime);
    for (float tau = 0; tau <= totalTime; tau += curves.TimeStep) {
        const float x = 8900.0f / totalTime * tau + 1050.0f;
        objc.line(x, offset + 200, x, offset + 1600, kBlack);
    }
    const ValueAxis a = reportValueAxis(MIN, MAX);
    curves.AxisMin = a.min;
    curves.AxisMax = a.max;
    curves.AxisStep = a.step;
    for (float v = a.min; v <= a.max; v += a.step) {
        objc.setLineStyle(solidValueLine(v) ? 0 : 2);
        const double y = valueY(offset, v, a.min, a.max);
        objc.line(kFrameLeft, y, kFrameRight, y, kBlack);
    }
    objc.setLineStyle(0);
}

bool printReport(SharedState& st, Surface& page, const PrintHeader& header, QString* error, double columnWidth) {
    QString scratch;
    if (!error) error = &scratch;
    if (st.file.WorkFile.isEmpty()) st.file.WorkFile = workFilePath(programDirectory());
    const QString path = st.file.WorkFile;

    // 1. Data: duration and extremes from the file itself.
    MeasurementReader reader;
    QString why;
    if (!reader.open(path, &why)) {
        *error = QStringLiteral("数据文件 %1 无法读取（%2）").arg(path, why);
        return false;
    }
    const MeasurementInfo info = reader.info();
    reader.close();
    const float totalTime = info.header.TotalTime;
    // Every time position divides by the duration.
    if (!(totalTime > 0.0f) || !std::isfinite(totalTime)) {
        *error = QStringLiteral("数据文件 %1 的测量时间（%2 秒）无效，无法打印").arg(path).arg(totalTime);
        return false;
    }
    const int64_t n = info.wholeSamples;
    st.file.TotalTime = totalTime;
    st.file.SampleCount = static_cast<float>(n);
    // A file without its trailer keeps the extremes its analysis pass found in the samples.
    if (info.maxima && info.minima) {
        st.live.LiveMax = *info.maxima;
        st.live.LiveMin = *info.minima;
    }
    int wiringCode = 7;
    const int channels = connectedChannels(info.header, &wiringCode);
    completeWiring(wiringCode, st.live.LiveMax, st.live.LiveMin);
    confirmNameplate(st.motor, info.header.nameplate);

    const auto& mx = st.live.LiveMax;
    const auto& mn = st.live.LiveMin;
    auto& c = st.curves;
    const float axisIn[kCharts][2] = {
        {MinOf3(mn[0], mn[3], mn[6]), MaxOf3(mx[0], mx[3], mx[6])},
        {MinOf3(mn[1], mn[4], mn[7]), MaxOf3(mx[1], mx[4], mx[7])},
        {mn[2], mx[2]},
        {0, 1},
        {0, 100},
        {0, 100},
    };
    const float extremes[kCharts][2] = {
        {axisIn[0][1], axisIn[0][0]}, {axisIn[1][1], axisIn[1][0]}, {mx[2], mn[2]},
        {mx[8], mn[8]},               {c.EfficiencyMax, c.EfficiencyMin}, {c.LoadRateMax, c.LoadRateMin},
    };
    for (const auto& in : axisIn)
        if (!std::isfinite(in[0]) || !std::isfinite(in[1])) {
            *error = QStringLiteral("数据文件 %1 的最大值、最小值无效，无法打印").arg(path);
            return false;
        }

    // 2. Grids.
    page.setPenWidth(1);
    std::array<float, kCharts> steps{};
    for (int k = 0; k < kCharts; ++k) {
        ZBX_PR(axisIn[k][0], axisIn[k][1], page, static_cast<float>(chartOrigin(k)), totalTime, c);
        steps[k] = c.AxisStep;
        c.CurveAxisMin[kSlot[k]] = c.AxisMin;
        c.CurveAxisMax[kSlot[k]] = c.AxisMax;
    }

    // 3. Axis labels, each 100 twips above its grid line.
    page.setFontSize(8);
    for (int k = 0; k < kCharts; ++k) {
        const float m = c.CurveAxisMin[kSlot[k]], M = c.CurveAxisMax[kSlot[k]], s = steps[k];
        for (float v = m; v <= M; v += s) {
            if (-0.000001f < v && v < 0.000001f) v = 0;
            page.setPosition(600, valueY(chartOrigin(k) - 100, v, m, M));
            page.print({PrintItem::numberItem(v)});
        }
    }
    for (float tau = 0; tau <= totalTime; tau += c.TimeStep) {
        page.setPosition(950 + tau * (8900.0f / totalTime), kTimeLabelY);
        page.print({PrintItem::numberItem(tau)});
    }

    // 4. Titles and frames: each title one line below the previous frame, where the box left the position.
    page.setPosition(0, 0);
    page.setFontSize(10);
    page.setPenWidth(3);
    for (int j = 0; j < 3; ++j) page.printText(QString());
    for (int k = 0; k < kCharts; ++k) {
        if (k > 0) page.printText(QString());
        const QString unit = QString::fromUtf8(kChartText[k].unit);
        page.print({PrintItem::textItem(QString::fromUtf8(kChartText[k].title)), PrintItem::columnItem(55),
                    PrintItem::textItem(QStringLiteral("最大值 ")), PrintItem::textItem(formatFixed3(extremes[k][0])),
                    PrintItem::textItem(unit), PrintItem::columnItem(78),
                    PrintItem::textItem(QStringLiteral("最小值 ")), PrintItem::textItem(formatFixed3(extremes[k][1])),
                    PrintItem::textItem(unit)});
        const double o = chartOrigin(k);
        page.setForeColor(kBlack);
        page.box(kFrameLeft, o + 150, kFrameRight, o + 1650);
    }

    // 5. Curves.
    if (!drawCurves(st, page, path, n, channels, columnWidth, error)) return false;

    // 6. Footer, and the page goes out.
    printFooter(st, page, header);
    if (!page.endDoc()) {
        *error = QStringLiteral("打印机出错，报表未能打印");
        return false;
    }
    return true;
}

}  // namespace mervo
