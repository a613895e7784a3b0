#include "printing/report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/sample_row_buffer.h"
#include "measurement/reader.h"
#include "measurement/sample_math.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "printing/long_text.h"
#include "shared/number_format.h"
#include "shared/time_split.h"

namespace mervo {

namespace {

constexpr double kFrameLeft = 1000, kFrameRight = 10000;
constexpr double kPlotLeft = 1050, kPlotSpan = 8900;  // time 0 at 1050, the whole duration at 9950
constexpr double kTimeLabelY = 12550;

double chartOrigin(int k) { return 850 + 2000 * k; }

struct ChartText {
    const char* title;
    const char* unit;
};
const ChartText kChartText[kReportCharts] = {
    {"　　　　　电流曲线  单位：A", " A"},     {"　　　　　电压曲线  单位：V", " V"},
    {"　　　　　功率曲线  单位：kW", " kW"},   {"　　　　　功率因数曲线", " "},
    {"　　　　　效率曲线  单位：%", "%"},      {"　　　　　负载率曲线  单位：%", "%"},
};

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

// Lines kept in the order they came, for the page once its frames are drawn.
class LineList : public Surface {
public:
    struct Line {
        double x1, y1, x2, y2;
    };
    std::vector<Line> lines;

    double textWidth(const QString&) const override { return 0; }
    double lineHeight() const override { return 0; }
    double averageCharWidth() const override { return 0; }

protected:
    void doClear(Colour) override {}
    void doLine(double x1, double y1, double x2, double y2, const Pen&) override { lines.push_back({x1, y1, x2, y2}); }
    void doBox(double, double, double, double, const Pen&) override {}
    void doText(double, double, const QString&, Colour) override {}
};

// The samples read, derived and evaluated a chunk at a time, as a pass hands its rows over.
Status readCurves(const ReportData& d, ReportCurves& curves) {
    SampleStream in;
    if (Status s = in.open(d.path, d.samples); !s)
        return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2）").arg(d.path, s.reason()), s.reason());
    constexpr int64_t kChunk = 4096;
    SampleRowBuffer rows;
    for (int64_t first = 0; first < d.samples; first += kChunk) {
        const int64_t count = std::min(kChunk, d.samples - first);
        if (Status s = rows.fill(in, d.motor, first, count); !s)
            return Status::failure(
                QStringLiteral("数据文件 %1 读第 %2 组数据出错（%3）").arg(d.path).arg(first + 1).arg(s.reason()),
                s.reason());
        curves.add(rows.rows(first, count));
    }
    return {};
}

// ---------------------------------------------------------------------------------------------------------
// Text

void printFooter(const ReportData& d, const CurveValues& pass, Surface& page, const PrintHeader& h) {
    TimeParts tp;
    SplitTime(d.totalTime, tp);
    using P = PrintItem;
    const auto text = [](const char* t) { return P::textItem(QString::fromUtf8(t)); };
    page.setPosition(0, 12300);
    page.printText(QStringLiteral(" "));
    page.print({P::columnItem(104), P::textItem(timeUnitFor(d.timeStep))});
    page.printText(QStringLiteral(" "));
    page.print({P::columnItem(14), text("累计时间："), P::numberItem(tp.TimeH), text("时"), P::numberItem(tp.TimeM),
                text("分"), P::numberItem(tp.TimeS), text("秒")});
    page.print({P::columnItem(14), text("有功电量："), P::numberItem(pass.TotalEp), text("W·h")}, true);
    page.setFontSize(14);
    page.print({P::columnItem(55), text("MERVO ")}, true);
    page.setFontSize(9);
    page.printText(QStringLiteral(" Ver 6.18"));
    page.setFontSize(10);
    page.print({P::columnItem(14), text("无功电量："), P::numberItem(pass.TotalEq), text("Var·h")});
    page.printText(QStringLiteral(" "));
    page.setFontSize(12);
    // The values start at column 25; a long one is fitted to the paper's width rather than run off its edge.
    const double valueX = 24 * page.averageCharWidth();
    const double room = page.pageWidth() > 0 ? page.pageWidth() - valueX : 0;
    const auto field = [&](const char* label, const QString& value) {
        page.print({P::columnItem(10), text(label)}, true);
        printFitted(page, valueX, page.currentY(), value, room);
    };
    field("数据文件名称：", elideMiddle(page, d.path, room));
    field("被测设备编号：", h.device);
    // The date as the operator typed it in the print window.
    page.print({P::columnItem(10), text("测 试 日 期 ："), P::columnItem(25), P::textItem(h.dateText(0)),
                text("年"), P::textItem(h.dateText(1)), text("月"), P::textItem(h.dateText(2)), text("日"),
                P::columnItem(43), P::textItem(h.dateText(3)), text("时"), P::textItem(h.dateText(4)), text("分")});
    field("使 用 单 位 ：", h.organisation);
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
    for (float tau : steppedValues(0, totalTime, curves.TimeStep)) {
        const float x = 8900.0f / totalTime * tau + 1050.0f;
        objc.line(x, offset + 200, x, offset + 1600, kBlack);
    }
    const ValueAxis a = valueAxisFor(MIN, MAX, kReportAxisRoundUp);
    curves.AxisMin = a.min;
    curves.AxisMax = a.max;
    curves.AxisStep = a.step;
    for (float v : steppedValues(a.min, a.max, a.step)) {
        objc.setLineStyle(solidValueLine(v) ? 0 : 2);
        const double y = bandY<double>(v, a.min, a.max, offset);
        if (std::isfinite(y)) objc.line(kFrameLeft, y, kFrameRight, y, kBlack);
    }
    objc.setLineStyle(0);
}

Result<ReportData> readReportData(const SharedState& st) {
    ReportData d;
    d.path = st.file.WorkFile.isEmpty() ? workFilePath(programDirectory()) : st.file.WorkFile;
    MeasurementReader reader;
    if (Status s = reader.open(d.path); !s)
        return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2）").arg(d.path, s.reason()), s.reason());
    const MeasurementInfo& info = reader.info();
    d.totalTime = info.header.TotalTime;
    // Every time position divides by the duration.
    if (!(d.totalTime > 0.0f) || !std::isfinite(d.totalTime))
        return Status::failure(
            QStringLiteral("数据文件 %1 的测量时间（%2 秒）无效，无法打印").arg(d.path).arg(d.totalTime));
    d.samples = info.wholeSamples;
    // A file without its trailer has the extremes its analysis pass found in the samples.
    d.maxima = info.maxima ? *info.maxima : st.live.LiveMax;
    d.minima = info.minima ? *info.minima : st.live.LiveMin;
    int wiringCode = 7;
    d.channels = connectedChannels(info.header, &wiringCode);
    completeWiring(wiringCode, d.maxima, d.minima);
    confirmNameplate(d.motor, info.header.nameplate);

    const auto& mx = d.maxima;
    const auto& mn = d.minima;
    d.axisInput = {{
        {MinOf3(mn[0], mn[3], mn[6]), MaxOf3(mx[0], mx[3], mx[6])},
        {MinOf3(mn[1], mn[4], mn[7]), MaxOf3(mx[1], mx[4], mx[7])},
        {mn[2], mx[2]},
        {0, 1},
        {0, 100},
        {0, 100},
    }};
    for (const auto& in : d.axisInput)
        if (!std::isfinite(in[0]) || !std::isfinite(in[1]))
            return Status::failure(QStringLiteral("数据文件 %1 的最大值、最小值无效，无法打印").arg(d.path));
    for (size_t k = 0; k < kReportCharts; ++k)
        d.axes[k] = valueAxisFor(d.axisInput[k][0], d.axisInput[k][1], kReportAxisRoundUp);
    d.timeStep = timeStepFor(d.totalTime);
    return d;
}

struct ReportCurves::Impl {
    ReportData d;
    double columnWidth;
    bool decimate;
    // One list per chart, so the page gets the same lines in the same order however the rows came in chunks.
    std::array<LineList, kReportCharts> lines;
    std::vector<CurveTrace> traces;
    int64_t done = 0;
    bool inOrder = true;
    // The last sample's point, and the efficiency and load rate of the last sample the motor ran at (none
    // before the first): while it does not run, the curves stay at that height, undrawn.
    double prevX = 0;
    int64_t prevColumn = 0;
    std::array<double, kReportCharts> prevY{};
    float heldEfficiency = NAN, heldLoadRate = NAN;
    std::vector<float> meanI, meanU, efficiency, loadRate;
    std::vector<uint8_t> running;

    Impl(const ReportData& data, double width)
        : d(data),
          columnWidth(width),
          decimate(width > 0 && static_cast<double>(data.samples) > std::ceil(kPlotSpan / width)) {
        // Each curve inside its chart's frame: a load rate over 120 % must not run through the title above it.
        traces.reserve(kReportCharts);
        for (int k = 0; k < kReportCharts; ++k)
            traces.emplace_back(lines[static_cast<size_t>(k)], kBlack, kPlotLeft, columnWidth, decimate,
                                ClipRect{kFrameLeft, chartOrigin(k) + 150, kFrameRight, chartOrigin(k) + 1650});
    }
};

ReportCurves::ReportCurves(const ReportData& data, double columnWidth)
    : d_(std::make_unique<Impl>(data, columnWidth)) {}
ReportCurves::~ReportCurves() = default;
ReportCurves::ReportCurves(ReportCurves&&) noexcept = default;
ReportCurves& ReportCurves::operator=(ReportCurves&&) noexcept = default;

bool ReportCurves::complete() const { return d_->inOrder && d_->done == d_->d.samples; }

void ReportCurves::add(const SampleRows& r) {
    Impl& m = *d_;
    if (r.first != m.done || r.count <= 0 || m.done + r.count > m.d.samples) {
        m.inOrder = m.inOrder && r.count == 0;
        return;
    }
    const size_t count = static_cast<size_t>(r.count);
    for (auto* a : {&m.meanI, &m.meanU, &m.efficiency, &m.loadRate}) a->resize(count);
    m.running.resize(count);
    {
        // In loops of their own, through local pointers: the sums and the division then go many samples at a
        // time, where one loop over everything went one sample at a time.
        float* const meanI = m.meanI.data();
        float* const meanU = m.meanU.data();
        const float* lv = r.fileValues;
        for (size_t j = 0; j < count; ++j, lv += kSampleRecords) {
            meanI[j] = std::fabs(lv[0]) + std::fabs(lv[3]) + std::fabs(lv[6]);
            meanU[j] = std::fabs(lv[1]) + std::fabs(lv[4]) + std::fabs(lv[7]);
        }
        const auto channels = static_cast<float>(m.d.channels);
        for (size_t j = 0; j < count; ++j) meanI[j] /= channels;
        for (size_t j = 0; j < count; ++j) meanU[j] /= channels;
        // Efficiency and load rate keep the last running sample's values while the motor does not run.
        float* const efficiency = m.efficiency.data();
        float* const loadRate = m.loadRate.data();
        uint8_t* const running = m.running.data();
        const MotorState* const state = r.state;
        const float* const rowEfficiency = r.efficiency;
        const float* const rowLoadRate = r.loadRate;
        float heldEfficiency = m.heldEfficiency, heldLoadRate = m.heldLoadRate;
        for (size_t j = 0; j < count; ++j) {
            const bool runs = state[j] == MotorState::Running;
            heldEfficiency = runs ? rowEfficiency[j] : heldEfficiency;
            heldLoadRate = runs ? rowLoadRate[j] : heldLoadRate;
            efficiency[j] = heldEfficiency;
            loadRate[j] = heldLoadRate;
            running[j] = runs;
        }
        m.heldEfficiency = heldEfficiency;
        m.heldLoadRate = heldLoadRate;
    }
    // Sample j of the rows at x(j).
    const SamplePlaces at{kPlotLeft, kPlotSpan, static_cast<double>(m.d.samples), r.first + 1};
    const auto column = [&](int64_t j) { return m.decimate ? columnAt(at.x(j), kPlotLeft, m.columnWidth) : 0; };
    const auto band = [&](int k, const float* values, double lo, double hi) {
        BandValues v;
        v.values = values;
        v.lo = lo, v.hi = hi, v.origin = chartOrigin(k);
        return v;
    };
    std::array<BandValues, kReportCharts> v = {
        band(0, m.meanI.data(), m.d.axes[0].min, m.d.axes[0].max),
        band(1, m.meanU.data(), m.d.axes[1].min, m.d.axes[1].max),
        band(2, r.sumP, m.d.axes[2].min, m.d.axes[2].max),
        band(3, r.pf, 0, 1),
        band(4, m.efficiency.data(), 0, 120),
        band(5, m.loadRate.data(), 0, 120),
    };
    v[3].magnitude = true;
    // The first sample only starts the curves.
    const int64_t skip = r.first == 0 ? 1 : 0;
    if (skip) {
        m.prevX = at.x(0);
        m.prevColumn = column(0);
        for (int k = 0; k < kReportCharts; ++k) m.prevY[static_cast<size_t>(k)] = v[static_cast<size_t>(k)].y(0);
    }
    const int64_t rest = r.count - skip;
    SamplePlaces runAt = at;
    runAt.number += skip;
    for (int k = 0; k < kReportCharts && rest > 0; ++k) {
        BandValues vk = v[static_cast<size_t>(k)];
        vk.values += skip;
        m.traces[static_cast<size_t>(k)].addRun({m.prevX, m.prevY[static_cast<size_t>(k)], r.first + skip},
                                                m.prevColumn, runAt, vk, k < 4 ? nullptr : m.running.data() + skip,
                                                r.first + skip + 1, rest);
        m.prevY[static_cast<size_t>(k)] = vk.y(rest - 1);
    }
    if (rest > 0) {
        m.prevX = at.x(r.count - 1);
        m.prevColumn = column(r.count - 1);
    }
    m.done += r.count;
}

void ReportCurves::draw(Surface& page) {
    for (CurveTrace& t : d_->traces) t.finish();
    for (const LineList& chart : d_->lines)
        for (const LineList::Line& l : chart.lines) page.line(l.x1, l.y1, l.x2, l.y2, kBlack);
}

Status printReport(const SharedState& st, Surface& page, const PrintHeader& header, double columnWidth,
                   ReportCurves* gathered) {
    const Result<ReportData> read = readReportData(st);
    if (!read) return read.status();
    const ReportData& d = *read;
    const CurveValues& pass = st.curves;

    // 1. Grids; what the grid routine leaves is the report's own.
    page.setPenWidth(1);
    CurveValues grid;
    for (int k = 0; k < kReportCharts; ++k)
        ZBX_PR(d.axisInput[k][0], d.axisInput[k][1], page, static_cast<float>(chartOrigin(k)), d.totalTime, grid);

    // 2. Axis labels, each 100 twips above its grid line.
    page.setFontSize(8);
    for (int k = 0; k < kReportCharts; ++k) {
        const ValueAxis& a = d.axes[static_cast<size_t>(k)];
        // One label for each line of the chart's grid, worked out on its own so no float noise shows.
        for (float v : gridLabelValues(a.min, a.step, steppedValues(a.min, a.max, a.step).size())) {
            page.setPosition(600, bandY<double>(v, a.min, a.max, chartOrigin(k) - 100));
            page.print({PrintItem::numberItem(v)});
        }
    }
    // At the time lines, in the unit printed beside them: a 300 s step under "分" reads 0, 5, 10 ...
    const std::vector<float> ticks = steppedValues(0, d.totalTime, d.timeStep);
    const std::vector<float> inUnit = gridLabelValues(0, d.timeStep / timeUnitSeconds(d.timeStep), ticks.size());
    for (size_t j = 0; j < ticks.size(); ++j) {
        page.setPosition(950 + ticks[j] * (8900.0f / d.totalTime), kTimeLabelY);
        page.print({PrintItem::numberItem(inUnit[j])});
    }

    // 3. Titles and frames: each title one line below the previous frame, where the box left the position.
    const float extremes[kReportCharts][2] = {
        {d.axisInput[0][1], d.axisInput[0][0]}, {d.axisInput[1][1], d.axisInput[1][0]},
        {d.maxima[2], d.minima[2]},             {d.maxima[8], d.minima[8]},
        {pass.EfficiencyMax, pass.EfficiencyMin}, {pass.LoadRateMax, pass.LoadRateMin},
    };
    page.setPosition(0, 0);
    page.setFontSize(10);
    page.setPenWidth(3);
    for (int j = 0; j < 3; ++j) page.printText(QString());
    for (int k = 0; k < kReportCharts; ++k) {
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

    // 4. Curves: those an analysis pass gathered, or read here.
    page.setPenWidth(1);
    if (gathered && gathered->complete()) {
        gathered->draw(page);
    } else if (d.samples > 0) {
        ReportCurves curves(d, columnWidth);
        if (Status s = readCurves(d, curves); !s) return s;
        curves.draw(page);
    }

    // 5. Footer, and the page goes out.
    printFooter(d, pass, page, header);
    if (!page.endDoc()) return Status::failure(QStringLiteral("打印机出错，报表未能打印"));
    return {};
}

}  // namespace mervo
