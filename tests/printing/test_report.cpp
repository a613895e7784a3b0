#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "measurement/writer.h"
#include "analysis/analysis_pass.h"
#include "platform/fake/recording_surface.h"
#include "printing/report.h"
#include "shared/number_format.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

using Sample = std::array<float, 9>;
using Call = RecordingSurface::Call;

// Three equal channels carrying `i` A at `u` V and a third of the total active power `p` kW each.
Sample balanced(float i, float u, float p) { return {i, u, p / 3, i, u, p / 3, i, u, p / 3}; }

// A nameplate the loss model can evaluate: no-load power 0.5 kW.
const std::array<float, 7> kMotor = {4, 11, 22.6f, 88, 7, 0.5f, 380};

struct Measurement {
    float totalTime = 100;
    std::array<float, 7> nameplate = kMotor;
    std::array<int16_t, 3> channels = {1, 1, 1};
    std::vector<Sample> samples;
    std::array<float, 12> maxima{}, minima{};
};

void writeMeasurement(const QString& path, const Measurement& m) {
    WorkingFileWriter w;
    FileHeader h;
    h.StartTime = 36000;
    h.TotalTime = m.totalTime;
    h.nameplate = m.nameplate;
    h.channels = m.channels;
    QString error;
    ASSERT_TRUE(test::succeeded(w.create(path, h)));
    for (const Sample& s : m.samples) ASSERT_TRUE(w.appendSample(s.data()));
    ASSERT_TRUE(w.appendTrailer(m.maxima, m.minima));
    EXPECT_TRUE(test::succeeded(w.close()));
}

// Extremes of a list of balanced samples in the trailer's layout (only the entries the report reads).
void fillExtremes(Measurement& m) {
    m.maxima.fill(-1e5f);
    m.minima.fill(1e5f);
    for (const Sample& s : m.samples) {
        const float v[12] = {s[0], s[1], s[2] + s[5] + s[8], s[3], s[4], 0, s[6], s[7], 1, 0, 0, 0};
        for (int e = 0; e < 12; ++e) {
            m.maxima[e] = std::max(m.maxima[e], v[e]);
            m.minima[e] = std::min(m.minima[e], v[e]);
        }
    }
}

class ReportTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SharedState st;
    RecordingSurface page;
    PrintHeader header;
    ReportData data;  // what the report drew: the completed extremes and the chart axes

    QString path() const { return dir.filePath(QStringLiteral("m.mtx")); }

    // Writes the measurement, runs a whole analysis pass over it and prints the report.
    bool report(const Measurement& m, QString* error = nullptr, double columnWidth = kReportColumnTwips) {
        writeMeasurement(path(), m);
        st.file.WorkFile = path();
        AnalysisPass pass(st, nullptr);
        pass.allowNoSamples(true);
        if (!test::succeeded(pass.begin(QString()))) {
            ADD_FAILURE() << "the analysis pass refused the file";
            return false;
        }
        while (!pass.step(1 << 16)) {
        }
        EXPECT_TRUE(pass.finished());
        if (auto read = readReportData(st)) data = *read;
        const Status printed = printReport(st, page, header, columnWidth);
        if (error) *error = printed.message();
        return printed.ok();
    }

    // Curve segments: the lines drawn after the last frame, within the plot area of chart k.
    std::vector<Call> curve(int k) const {
        size_t start = 0;
        for (size_t j = 0; j < page.calls.size(); ++j)
            if (page.calls[j].op == Call::Op::Box) start = j + 1;
        std::vector<Call> out;
        const double o = 850 + 2000 * k;
        for (size_t j = start; j < page.calls.size(); ++j) {
            const Call& c = page.calls[j];
            if (c.op == Call::Op::Line && c.y1 >= o + 200 && c.y1 <= o + 1600 && c.y2 >= o + 200 && c.y2 <= o + 1600)
                out.push_back(c);
        }
        return out;
    }
    const Call* text(const QString& t) const {
        for (const Call& c : page.calls)
            if (c.op == Call::Op::Text && c.text == t) return &page.calls[&c - page.calls.data()];
        return nullptr;
    }
};

Measurement ramp(int n, float i0 = 10, float u0 = 220, float p0 = 5) {
    Measurement m;
    for (int j = 0; j < n; ++j) m.samples.push_back(balanced(i0 + j, u0 + j, p0 + j));
    fillExtremes(m);
    return m;
}

}  // namespace

TEST(ReportHelpers, maxAndMinOfThree) {
    struct Case {
        float a, b, c, max, min;
    } cases[] = {{1, 2, 3, 3, 1}, {3, 2, 1, 3, 1}, {2, 3, 1, 3, 1}, {-1, -1, -1, -1, -1}, {5, -7, 0, 5, -7}};
    for (const Case& c : cases) {
        EXPECT_EQ(MaxOf3(c.a, c.b, c.c), c.max) << c.a << ' ' << c.b << ' ' << c.c;
        EXPECT_EQ(MinOf3(c.a, c.b, c.c), c.min) << c.a << ' ' << c.b << ' ' << c.c;
    }
}

TEST(ReportHelpers, wiringCompletionCopiesConnectedChannelsIntoBothArrays) {
    // Channel n's current is 10 n (maximum) and n (minimum), its voltage 100 n and 1000 n.
    struct Case {
        int code;
        std::array<int, 3> source;  // which channel's values channels 1..3 end up with
    } cases[] = {{1, {3, 3, 3}}, {2, {2, 2, 2}}, {3, {2, 2, 3}}, {4, {1, 1, 1}},
                 {5, {1, 1, 3}}, {6, {1, 2, 1}}, {7, {1, 2, 3}}, {0, {1, 2, 3}}};
    for (const Case& c : cases) {
        std::array<float, 12> mx{}, mn{};
        for (int ch = 0; ch < 3; ++ch) {
            mx[3 * ch] = 10.0f * (ch + 1), mx[3 * ch + 1] = 100.0f * (ch + 1), mx[3 * ch + 2] = -1;
            mn[3 * ch] = 1.0f * (ch + 1), mn[3 * ch + 1] = 1000.0f * (ch + 1), mn[3 * ch + 2] = -2;
        }
        completeWiring(c.code, mx, mn);
        for (int ch = 0; ch < 3; ++ch) {
            const float s = static_cast<float>(c.source[ch]);
            EXPECT_EQ(mx[3 * ch], 10 * s) << "code " << c.code << " channel " << ch + 1;
            EXPECT_EQ(mx[3 * ch + 1], 100 * s) << "code " << c.code;
            EXPECT_EQ(mn[3 * ch], s) << "code " << c.code;
            EXPECT_EQ(mn[3 * ch + 1], 1000 * s) << "code " << c.code;
            EXPECT_EQ(mx[3 * ch + 2], -1);  // powers are never touched
        }
    }
}

TEST(ReportGrid, valueAxesAndTheirLineStyles) {
    struct Case {
        float in0, in1, min, max, step;
        std::vector<float> solid;  // values whose line is solid; the others are dotted
    } cases[] = {
        {0.5f, 12.3f, 0, 15, 5, {0}},
        {219.5f, 220.2f, 219, 221, 1, {}},
        {-3.2f, 5.5f, -4, 6, 2, {0}},
        {0, 100, 0, 120, 20, {0, 100}},
        {0, 1, 0, 1.00001f, 0.2f, {0, 1}},
        {0.2f, 0.5f, 0, 1.00001f, 0.2f, {0, 1}},
        {0, 240, 0, 250, 50, {0, 50, 100, 150, 200, 250}},
    };
    for (const Case& c : cases) {
        RecordingSurface s;
        CurveValues cv;
        const float origin = 2850;
        ZBX_PR(c.in0, c.in1, s, origin, 100, cv);
        SCOPED_TRACE(testing::Message() << c.in0 << " .. " << c.in1);
        EXPECT_EQ(cv.AxisMin, c.min);
        EXPECT_FLOAT_EQ(cv.AxisMax, c.max);
        EXPECT_FLOAT_EQ(cv.AxisStep, c.step);
        std::vector<Call> horizontal;
        for (const Call& l : s.lines())
            if (l.y1 == l.y2) horizontal.push_back(l);
        const int expected = static_cast<int>(std::lround((c.max - c.min) / c.step)) + 1;
        ASSERT_EQ(static_cast<int>(horizontal.size()), expected);
        for (int j = 0; j < expected; ++j) {
            const Call& l = horizontal[j];
            const double v = c.min + j * c.step;
            EXPECT_EQ(l.x1, 1000);
            EXPECT_EQ(l.x2, 10000);
            EXPECT_NEAR(l.y1, origin + 1600 - (v - c.min) * 1400 / (c.max - c.min), 0.01);
            const bool solid = std::any_of(c.solid.begin(), c.solid.end(),
                                           [&](float w) { return std::fabs(w - v) < 1e-4; });
            EXPECT_EQ(l.style, solid ? 0 : 2) << "line at " << v;
            EXPECT_EQ(l.colour, kBlack);
        }
        EXPECT_EQ(horizontal.front().y1, origin + 1600);
    }
}

TEST(ReportGrid, timeStepsAndDottedTimeLines) {
    struct Case {
        float total, step;
        int lines;
    } cases[] = {{14, 1, 15}, {100, 10, 11}, {3600, 300, 13}, {86400, 7200, 13}};
    for (const Case& c : cases) {
        RecordingSurface s;
        CurveValues cv;
        ZBX_PR(0, 1, s, 850, c.total, cv);
        EXPECT_EQ(cv.TimeStep, c.step) << c.total;
        std::vector<Call> vertical;
        for (const Call& l : s.lines())
            if (l.x1 == l.x2) vertical.push_back(l);
        ASSERT_EQ(static_cast<int>(vertical.size()), c.lines) << c.total;
        for (size_t j = 0; j < vertical.size(); ++j) {
            EXPECT_EQ(vertical[j].style, 2);
            EXPECT_NEAR(vertical[j].x1, 1050 + 8900.0 * j * c.step / c.total, 0.01);
            EXPECT_EQ(vertical[j].y1, 1050);
            EXPECT_EQ(vertical[j].y2, 2450);
        }
        EXPECT_NEAR(vertical.back().x1, 9950, 0.01);
    }
}

TEST_F(ReportTest, framesTitlesAndExtremesStandWhereTheLayoutPutsThem) {
    Measurement m = ramp(4);
    st.curves = {};
    ASSERT_TRUE(report(m));

    std::vector<Call> boxes;
    for (const Call& c : page.calls)
        if (c.op == Call::Op::Box) boxes.push_back(c);
    ASSERT_EQ(boxes.size(), 6u);
    for (int k = 0; k < 6; ++k) {
        const double o = 850 + 2000 * k;
        EXPECT_EQ(boxes[k].x1, 1000);
        EXPECT_EQ(boxes[k].y1, o + 150);
        EXPECT_EQ(boxes[k].x2, 10000);
        EXPECT_EQ(boxes[k].y2, o + 1650);
        EXPECT_EQ(boxes[k].width, 3);
        EXPECT_EQ(boxes[k].colour, kBlack);
    }
    EXPECT_EQ(boxes[0].y1, 1000);
    EXPECT_EQ(boxes[5].y2, 12500);

    // Recording metrics at size 10: 100 twips a column, 250 a line. Titles on the fourth line, then one
    // line below each frame; the extremes at columns 55 and 78.
    const QString titles[] = {"　　　　　电流曲线  单位：A", "　　　　　电压曲线  单位：V", "　　　　　功率曲线  单位：kW",
                              "　　　　　功率因数曲线",      "　　　　　效率曲线  单位：%", "　　　　　负载率曲线  单位：%"};
    std::vector<const Call*> maxLabels, minLabels;
    for (const Call& c : page.calls)
        if (c.op == Call::Op::Text && c.text == QStringLiteral("最大值 ")) maxLabels.push_back(&c);
        else if (c.op == Call::Op::Text && c.text == QStringLiteral("最小值 ")) minLabels.push_back(&c);
    ASSERT_EQ(maxLabels.size(), 6u);
    ASSERT_EQ(minLabels.size(), 6u);
    for (int k = 0; k < 6; ++k) {
        const Call* t = text(titles[k]);
        ASSERT_TRUE(t) << k;
        const double y = k == 0 ? 750 : 850 + 2000 * (k - 1) + 1650 + 250;
        EXPECT_EQ(t->x1, 0);
        EXPECT_EQ(t->y1, y) << k;
        EXPECT_EQ(t->fontSize, 10);
        EXPECT_EQ(maxLabels[k]->x1, 5400);
        EXPECT_EQ(maxLabels[k]->y1, y);
        EXPECT_EQ(minLabels[k]->x1, 7700);
        EXPECT_EQ(minLabels[k]->y1, y);
    }
    // Current 10..13 A, voltage 220..223 V, power 5..8 kW: extremes in " ####0.000" after the labels.
    const auto after = [&](const Call* label) { return (label + 1)->text + (label + 2)->text; };
    EXPECT_EQ(after(maxLabels[0]), " 13.000 A");
    EXPECT_EQ(after(minLabels[0]), " 10.000 A");
    EXPECT_EQ(after(maxLabels[1]), " 223.000 V");
    EXPECT_EQ(after(minLabels[2]), " 5.000 kW");
    EXPECT_EQ(after(maxLabels[4]), formatFixed3(st.curves.EfficiencyMax) + "%");
    EXPECT_EQ(after(minLabels[5]), formatFixed3(st.curves.LoadRateMin) + "%");
    EXPECT_GT(st.curves.EfficiencyMax, 0);
    EXPECT_EQ(page.calls.back().op, Call::Op::EndDoc);
}

TEST_F(ReportTest, samplePointsRunFromOneStepInToTheRightEdge) {
    for (int n : {2, 3, 7}) {
        page.calls.clear();
        ASSERT_TRUE(report(ramp(n)));
        for (int k = 0; k < 4; ++k) {
            const auto segs = curve(k);
            ASSERT_EQ(static_cast<int>(segs.size()), n - 1) << "chart " << k << " n " << n;
            EXPECT_DOUBLE_EQ(segs.front().x1, 1050 + 8900.0 / n);
            EXPECT_DOUBLE_EQ(segs.back().x2, 9950);
            EXPECT_EQ(segs.front().colour, kBlack);
        }
    }
    // The axes of the efficiency and power-factor charts.
    EXPECT_EQ(data.axes[4].min, 0);
    EXPECT_EQ(data.axes[4].max, 120);
    EXPECT_EQ(data.axes[3].min, 0);
}

// With no sample or one there is nothing to join: the page has its six frames and its footer, and no curve.
TEST_F(ReportTest, noSampleOrOneSampleDrawsFramesButNoCurve) {
    for (int n : {0, 1}) {
        Measurement m = ramp(1);  // the extremes of one sample, for the trailer
        m.samples.resize(static_cast<size_t>(n));
        page.calls.clear();
        ASSERT_TRUE(report(m)) << n;
        EXPECT_EQ(std::count_if(page.calls.begin(), page.calls.end(), [](const Call& c) { return c.op == Call::Op::Box; }), 6);
        for (int k = 0; k < 6; ++k) EXPECT_TRUE(curve(k).empty()) << n << " samples, chart " << k;
        EXPECT_NE(text(QStringLiteral("有功电量：")), nullptr) << n;
        EXPECT_EQ(page.calls.back().op, Call::Op::EndDoc) << n;
    }
}

TEST_F(ReportTest, meanCurrentDividesByTheConnectedChannels) {
    struct Case {
        std::array<int16_t, 3> channels;
        Sample sample;
        float mean;
    } cases[] = {
        // Red and blue connected: (10 + 10 + 0) / 2.
        {{1, 1, 0}, {10, 230, 1, 10, 230, 1, 0, 0, 0}, 10},
        // Only yellow: the channel-3 current itself.
        {{0, 0, 1}, {0, 0, 0, 0, 0, 0, 7, 220, 1}, 7},
        {{1, 1, 1}, {3, 220, 1, 6, 220, 1, 9, 220, 1}, 6},
    };
    for (const Case& c : cases) {
        page.calls.clear();
        Measurement m;
        m.channels = c.channels;
        m.samples = {c.sample, c.sample};
        m.maxima.fill(0);
        m.minima.fill(0);
        // Extremes of connected channels only; the others hold what an unconnected clamp reads.
        for (int ch = 0; ch < 3; ++ch)
            if (c.channels[ch]) {
                m.maxima[3 * ch] = c.mean + 1, m.minima[3 * ch] = c.mean - 1;
                m.maxima[3 * ch + 1] = 230, m.minima[3 * ch + 1] = 220;
            }
        ASSERT_TRUE(report(m));
        SCOPED_TRACE(c.mean);
        // The completed extremes: every channel's entries are those of a connected one.
        EXPECT_EQ(data.maxima[0], c.mean + 1);
        EXPECT_EQ(data.maxima[3], c.mean + 1);
        EXPECT_EQ(data.minima[6], c.mean - 1);
        const float lo = data.axes[0].min, hi = data.axes[0].max;
        const auto segs = curve(0);
        ASSERT_EQ(segs.size(), 1u);
        EXPECT_NEAR(segs[0].y2, 850 + 1600 - (c.mean - lo) * 1400 / (hi - lo), 1e-3);
        // Title extremes are those of the connected channels alone.
        EXPECT_TRUE(text(formatFixed3(c.mean + 1)));
        EXPECT_TRUE(text(formatFixed3(c.mean - 1)));
    }
}

TEST_F(ReportTest, motorCurvesLeaveGapsWhereTheMotorDoesNotRun) {
    // Powers 5, 0.2 (below the no-load power 0.5), 6, 7 kW.
    Measurement m;
    for (float p : {5.0f, 0.2f, 6.0f, 7.0f}) m.samples.push_back(balanced(12, 380, p));
    fillExtremes(m);
    ASSERT_TRUE(report(m));
    const double dx = 8900.0 / 4;
    for (int k : {4, 5}) {
        const auto segs = curve(k);
        // The segments into sample 2 (not running) and into sample 3 from nothing... sample 3's comes from
        // sample 2's x at sample 1's computed height.
        ASSERT_EQ(segs.size(), 2u) << k;
        EXPECT_DOUBLE_EQ(segs[0].x1, 1050 + 2 * dx);
        EXPECT_DOUBLE_EQ(segs[0].x2, 1050 + 3 * dx);
        EXPECT_DOUBLE_EQ(segs[1].x2, 9950);
    }
    // Sample 1's efficiency is where the segment after the gap starts.
    MotorValues mv;
    confirmNameplate(mv, kMotor);
    MotorOperatingPoint(mv, 5);
    EXPECT_NEAR(curve(4)[0].y1, 8850 + 1600 - mv.MotorEfficiency * 1400 / 120, 1e-3);
    EXPECT_NEAR(curve(5)[0].y1, 10850 + 1600 - mv.MotorLoadRate * 1400 / 120, 1e-3);
    // The electrical curves are drawn throughout.
    EXPECT_EQ(curve(2).size(), 3u);

    // Without motor data the two charts keep frames and grids but no curve.
    page.calls.clear();
    m.nameplate = {};
    ASSERT_TRUE(report(m));
    EXPECT_TRUE(curve(4).empty());
    EXPECT_TRUE(curve(5).empty());
    EXPECT_EQ(curve(0).size(), 3u);
}

// A load rate over 120 % used to draw through the chart's title above its frame.
TEST_F(ReportTest, curvesStayInsideTheirFrames) {
    // 40 and 60 kW on an 11 kW motor: load rates far above the 120 % of the axis.
    Measurement m;
    for (float p : {5.0f, 40.0f, 60.0f, 6.0f}) m.samples.push_back(balanced(60, 380, p));
    fillExtremes(m);
    ASSERT_TRUE(report(m));
    size_t start = 0;  // the curves come after the last frame
    for (size_t j = 0; j < page.calls.size(); ++j)
        if (page.calls[j].op == Call::Op::Box) start = j + 1;
    double loadTop = 20000;
    for (size_t j = start; j < page.calls.size(); ++j) {
        const Call& c = page.calls[j];
        if (c.op != Call::Op::Line) continue;
        // Chart k's frame runs from y = 850 + 2000 k + 150 to + 1650, x from 1000 to 10000.
        const int k = static_cast<int>((std::min(c.y1, c.y2) - 850) / 2000);
        const double o = 850 + 2000.0 * k;
        for (double y : {c.y1, c.y2}) {
            EXPECT_GE(y, o + 150) << "chart " << k;
            EXPECT_LE(y, o + 1650) << "chart " << k;
        }
        EXPECT_GE(std::min(c.x1, c.x2), 1000);
        EXPECT_LE(std::max(c.x1, c.x2), 10000);
        if (k == 5) loadTop = std::min({loadTop, c.y1, c.y2});
    }
    EXPECT_EQ(loadTop, 10850 + 150) << "the load-rate curve runs up to its frame, cut there";
}

TEST_F(ReportTest, labelsFooterAndTimeUnit) {
    Measurement m = ramp(3);
    m.totalTime = 3725;  // 1 h 2 min 5 s: a 300 s step, unit minutes
    // A power axis from -1 to 0.00001: the label accumulated to almost 0 prints as 0. A current axis from 4 to
    // 5.00001, whose labels once showed steps of 0.2 added up in floats (4.5999994).
    m.samples = {balanced(4.3f, 220, -0.5f), balanced(4.5f, 221, -0.2f), balanced(4.8f, 222, -0.3f)};
    fillExtremes(m);
    header.organisation = QStringLiteral("测试单位");
    header.device = QStringLiteral("设123");
    header.year = 2024, header.month = 3, header.day = 15, header.hour = 9, header.minute = 5;
    ASSERT_TRUE(report(m));

    std::vector<QString> powerLabels, currentLabels;
    std::vector<Call> timeLabels;
    for (const Call& c : page.texts()) {
        if (c.x1 == 600 && c.y1 > 4850 - 100 && c.y1 < 4850 + 1600) powerLabels.push_back(c.text);
        if (c.x1 == 600 && c.y1 > 850 - 100 && c.y1 < 850 + 1600) currentLabels.push_back(c.text);
        if (c.y1 == 12550 && c.fontSize == 8) timeLabels.push_back(c);
    }
    EXPECT_EQ(powerLabels, (std::vector<QString>{"-1 ", "-.8 ", "-.6 ", "-.4 ", "-.2 ", " 0 "}));
    EXPECT_EQ(currentLabels, (std::vector<QString>{" 4 ", " 4.2 ", " 4.4 ", " 4.6 ", " 4.8 ", " 5 "}));
    // Every 300 s, labelled in the minutes the unit beside them names.
    ASSERT_EQ(timeLabels.size(), 13u);
    for (size_t j = 0; j < timeLabels.size(); ++j) {
        EXPECT_EQ(timeLabels[j].text, QStringLiteral(" %1 ").arg(5 * j)) << j;
        EXPECT_NEAR(timeLabels[j].x1, 950 + 300.0 * j * 8900.0 / 3725, 0.01) << j;
    }

    // Footer: position (0, 12300) at size 10; the unit on the second line at column 104.
    const Call* unit = text(QStringLiteral("分"));
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->x1, 10300);
    EXPECT_EQ(unit->y1, 12550);
    const Call* dur = text(QStringLiteral("累计时间："));
    ASSERT_TRUE(dur);
    EXPECT_EQ(dur->x1, 1300);
    EXPECT_EQ(dur->y1, 12300 + 3 * 250);
    EXPECT_EQ((dur + 1)->text, " 1 ");
    EXPECT_EQ((dur + 3)->text, " 2 ");
    EXPECT_EQ((dur + 5)->text, " 5 ");
    const Call* mark = text(QStringLiteral("MERVO "));
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->fontSize, 14);
    EXPECT_EQ(mark->x1, 54 * 140);
    const Call* file = text(path());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->x1, 24 * 120);
    EXPECT_EQ(file->fontSize, 12);
    const Call* dev = text(QStringLiteral("设123"));
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->y1, file->y1 + 300);
    const Call* year = text(QStringLiteral("2024"));
    ASSERT_TRUE(year);
    EXPECT_EQ((year + 1)->text, QStringLiteral("年"));
    const Call* hour = text(QStringLiteral("9"));
    ASSERT_TRUE(hour);
    EXPECT_EQ(hour->x1, 42 * 120);
    const Call* org = text(QStringLiteral("测试单位"));
    ASSERT_TRUE(org);
    EXPECT_EQ(org->y1, dev->y1 + 600);
    EXPECT_TRUE(text(QStringLiteral("使 用 单 位 ：")));
}

TEST_F(ReportTest, refusesWhatItCannotDrawWithoutEndingTheDocument) {
    st.file.WorkFile = dir.filePath(QStringLiteral("missing.mtx"));
    const Status missing = printReport(st, page, header);
    EXPECT_FALSE(missing);
    EXPECT_TRUE(missing.message().contains(QStringLiteral("missing.mtx")));

    // A duration of 0 would divide every time position by zero.
    Measurement m = ramp(3);
    m.totalTime = 0;
    writeMeasurement(path(), m);
    st.file.WorkFile = path();
    const Status zero = printReport(st, page, header);
    EXPECT_FALSE(zero);
    EXPECT_FALSE(zero.message().isEmpty());
    for (const Call& c : page.calls) EXPECT_NE(c.op, Call::Op::EndDoc);
}

TEST_F(ReportTest, longRecordingIsDrawnPerColumnWithTheSameExtent) {
    // 60,000 samples of a saw-tooth current: far more samples than the 1855 columns of the plot.
    const int n = 60000;
    Measurement m;
    for (int j = 0; j < n; ++j) m.samples.push_back(balanced(10 + (j * 7919 % 101) / 10.0f, 220, 5));
    fillExtremes(m);
    ASSERT_TRUE(report(m));
    const auto segs = curve(0);
    EXPECT_LT(segs.size(), 1855u * 4);
    EXPECT_GT(segs.size(), 1000u);
    const float lo = data.axes[0].min, hi = data.axes[0].max;
    double top = 1e9, bottom = -1e9, left = 1e9, right = -1e9;
    for (const Call& c : segs) {
        top = std::min({top, c.y1, c.y2});
        bottom = std::max({bottom, c.y1, c.y2});
        left = std::min({left, c.x1, c.x2});
        right = std::max({right, c.x1, c.x2});
    }
    EXPECT_NEAR(top, 850 + 1600 - (20.0 - lo) * 1400 / (hi - lo), 1e-3);
    EXPECT_NEAR(bottom, 850 + 1600 - (10.0 - lo) * 1400 / (hi - lo), 1e-3);
    EXPECT_DOUBLE_EQ(left, 1050 + 8900.0 / n);
    EXPECT_DOUBLE_EQ(right, 9950);
}

// The command line gathers the curves from its analysis pass, the print window reads them again: one page either way,
// the pass's chunks shared with a second core and the reading's chunks cut elsewhere, the motor stopping and starting.
TEST_F(ReportTest, curvesGatheredByThePassAreTheCurvesReadAgain) {
    for (int n : {1500, 40000}) {
        Measurement m;
        for (int j = 0; j < n; ++j)
            m.samples.push_back(balanced(10 + (j * 7919 % 101) / 10.0f, 220 + j % 7, j / 300 % 3 ? 5 + j % 13 : 0.2f));
        fillExtremes(m);
        writeMeasurement(path(), m);
        st.file.WorkFile = path();
        AnalysisPass pass(st, nullptr);
        pass.rowsWithClocks(false);
        std::optional<ReportCurves> gathered;
        pass.onAxes = [&] { gathered.emplace(*readReportData(st)); };
        pass.onRows = [&](const SampleRows& r) { gathered->add(r); };
        ASSERT_TRUE(test::succeeded(pass.begin(QString())));
        while (!pass.step(1 << 16)) {
        }
        ASSERT_TRUE(gathered && gathered->complete());
        RecordingSurface fromPass, readAgain;
        ASSERT_TRUE(test::succeeded(printReport(st, fromPass, header, kReportColumnTwips, &*gathered)));
        ASSERT_TRUE(test::succeeded(printReport(st, readAgain, header)));
        const auto a = fromPass.lines(), b = readAgain.lines();
        ASSERT_EQ(a.size(), b.size()) << n;
        EXPECT_GT(a.size(), 3000u) << n;
        for (size_t l = 0; l < a.size(); ++l)
            ASSERT_TRUE(a[l].x1 == b[l].x1 && a[l].y1 == b[l].y1 && a[l].x2 == b[l].x2 && a[l].y2 == b[l].y2)
                << n << " line " << l;
    }
}

// A trailer damaged to a current maximum near the largest float gives an axis whose top no float holds: the grid,
// its labels and the curves still end, from the window and from the command line.
TEST_F(ReportTest, aStoredMaximumNearTheLargestFloatStillEndsWithAPage) {
    Measurement m = ramp(20);
    m.maxima[0] = 3.3e38f;
    ASSERT_TRUE(report(m));
    size_t texts = 0;
    for (const Call& c : page.calls) texts += c.op == Call::Op::Text ? 1 : 0;
    EXPECT_LT(texts, 1000u);
    EXPECT_EQ(page.calls.back().op, Call::Op::EndDoc);
#ifdef MERVO_BUILT_BIN_DIR
    QProcess p;
    p.start(QStringLiteral(MERVO_BUILT_BIN_DIR "/mervo-tool"),
            {QStringLiteral("report"), path(), QStringLiteral("-o"), dir.filePath(QStringLiteral("r.pdf"))});
    ASSERT_TRUE(p.waitForFinished(30000)) << "the command never ended";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
#endif
}

#ifdef MERVO_BUILT_BIN_DIR
TEST(ReportTool, makesAOnePagePdfWithTheChineseTitles) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("run.mtx"));
    Measurement m = ramp(500);
    writeMeasurement(in, m);
    const QString tool = QStringLiteral(MERVO_BUILT_BIN_DIR "/mervo-tool");
    const QString out = dir.filePath(QStringLiteral("report.pdf"));

    QProcess p;
    p.start(tool, {QStringLiteral("report"), in, QStringLiteral("-o"), out, QStringLiteral("--org"),
                   QStringLiteral("测试公司"), QStringLiteral("--date"), QStringLiteral("2024,3,15,9,30")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    ASSERT_TRUE(QFile::exists(out));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"report.pdf", "run.mtx"}))
        << "no partial copy is left beside the report";

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {out, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString t = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* s : {"电流曲线", "负载率曲线", "最大值", "累计时间", "测试公司", "2024"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(s))) << s;

    QProcess png;
    png.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"), out,
                                           dir.filePath(QStringLiteral("page"))});
    ASSERT_TRUE(png.waitForFinished(60000));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("page*.png")}).size(), 1);
    // The page's drawing is compressed at zlib's fastest level (its stream header 78 01), not the default (78 9C).
    QFile pdf(out);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    const qsizetype stream = bytes.indexOf("stream\n");
    ASSERT_GE(stream, 0);
    EXPECT_EQ(bytes.mid(stream + 7, 2).toHex(), QByteArray("7801"));

    // Errors: a file that is not there (exit 1, one line) and a missing output (usage, exit 2).
    QProcess bad;
    bad.start(tool, {QStringLiteral("report"), dir.filePath(QStringLiteral("none.mtx")), QStringLiteral("-o"), out});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_EQ(bad.exitCode(), 1);
    EXPECT_TRUE(bad.readAllStandardError().contains("mervo-tool: report: "));
    QProcess usage;
    usage.start(tool, {QStringLiteral("report"), in});
    ASSERT_TRUE(usage.waitForFinished(60000));
    EXPECT_EQ(usage.exitCode(), 2);
    for (const char* date : {"2024,13", "abc", "2026,13,45,25,61"}) {
        QProcess badDate;
        badDate.start(tool, {QStringLiteral("report"), in, QStringLiteral("-o"), out, QStringLiteral("--date"),
                             QString::fromLatin1(date)});
        ASSERT_TRUE(badDate.waitForFinished(60000));
        EXPECT_EQ(badDate.exitCode(), 2) << date;
        EXPECT_TRUE(badDate.readAllStandardError().startsWith("mervo-tool: report: --date")) << date;
    }
}

TEST(ReportTool, anOutputThatCannotBeWrittenFailsAtOnceWithOneLine) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("run.mtx"));
    writeMeasurement(in, ramp(50));
    const QString tool = QStringLiteral(MERVO_BUILT_BIN_DIR "/mervo-tool");
    QDir(dir.path()).mkdir(QStringLiteral("taken.pdf"));
    for (const char* command : {"report", "table"}) {
        for (const QString& out : {dir.filePath(QStringLiteral("no/such/dir/r.pdf")), dir.filePath(QStringLiteral("taken.pdf"))}) {
            SCOPED_TRACE(std::string(command) + " -o " + out.toStdString());
            QProcess p;
            p.start(tool, {QString::fromLatin1(command), in, QStringLiteral("-o"), out});
            ASSERT_TRUE(p.waitForFinished(60000));
            EXPECT_EQ(p.exitCode(), 1);
            const QString err = QString::fromLocal8Bit(p.readAllStandardError());
            EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << "one line, no drawing warnings: " << err.left(300).toStdString();
            EXPECT_TRUE(err.startsWith(QStringLiteral("mervo-tool: %1: %2").arg(QLatin1String(command), out)))
                << err.toStdString();
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                  QStringList({"run.mtx", "taken.pdf"}))
            << "nothing left behind";
    }
}
#endif
