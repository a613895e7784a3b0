// The curve boxes: axes and grids, tick labels, the cumulative curves sample by sample and per pixel column,
// and the maximum/minimum text.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <memory>

#include "analysis/recording_boxes.h"
#include "analysis/curves.h"
#include "motor/operating_point.h"
#include "platform/fake/recording_surface.h"
#include "platform/qt_paint/painter_surface.h"

using namespace mervo;
using Op = RecordingSurface::Call::Op;

namespace {

void ensureApp() {
    static int argc = 1;
    static char name[] = "test_analysis";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

using test::RecordingBoxes;

std::vector<RecordingSurface::Call> horizontalLines(const RecordingSurface& s) {
    std::vector<RecordingSurface::Call> out;
    for (const auto& c : s.lines())
        if (c.y1 == c.y2) out.push_back(c);
    return out;
}

std::vector<RecordingSurface::Call> verticalLines(const RecordingSurface& s) {
    std::vector<RecordingSurface::Call> out;
    for (const auto& c : s.lines())
        if (c.x1 == c.x2) out.push_back(c);
    return out;
}

}  // namespace

TEST(CurveTable, holdsUnitsTitlesAndTipsOfTheTenCurves) {
    EXPECT_STREQ(kCurveTable[0].unit, " A");
    EXPECT_STREQ(kCurveTable[3].unit, " V");
    EXPECT_STREQ(kCurveTable[6].unit, " kW");
    EXPECT_STREQ(kCurveTable[7].unit, "");
    EXPECT_STREQ(kCurveTable[9].unit, " %");
    EXPECT_EQ(QString::fromUtf8(kCurveTable[1].cumTitle), QStringLiteral("二路电流累计曲线"));
    EXPECT_EQ(QString::fromUtf8(kCurveTable[5].segTitle), QStringLiteral("三路电压分段曲线"));
    EXPECT_EQ(QString::fromUtf8(kCurveTable[7].cumTip), QStringLiteral("功率因数曲线"));
    EXPECT_EQ(QString::fromUtf8(kCurveTable[8].segTip), QStringLiteral("效率分段曲线"));
    // Curve numbers follow the phases' currents, then voltages, then total power and power factor.
    const int elements[] = {0, 3, 6, 1, 4, 7, 2, 8, -1, -1};
    for (int k = 0; k < kCurves; ++k) EXPECT_EQ(kCurveTable[k].element, elements[k]) << k;
}

TEST(ClearCurveBoxes, erasesAllTwentyBoxesToLightGrey) {
    RecordingBoxes r;
    r.cumulative[3].line(0, 0, 10, 10);
    clearCurveBoxes(r.boxes);
    for (int k = 0; k < kCurves; ++k) {
        for (const RecordingSurface* s : {&r.cumulative[k], &r.segmented[k]}) {
            ASSERT_FALSE(s->calls.empty());
            EXPECT_EQ(s->calls.back().op, Op::Clear) << k;
            EXPECT_EQ(s->calls.back().colour, kLightGrey) << k;
        }
    }
}

TEST(ZBX_DS, valueAxisOfTheWorkedRanges) {
    struct Case {
        float MIN, MAX;
        float axisMin, axisMax, step;
        std::vector<double> lineValues;  // grid values from the bottom up
        int solidLine;                   // index of the solid line (the value 0), -1 for none
    } cases[] = {
        {0, 100, 0, 120, 20, {0, 20, 40, 60, 80, 100, 120}, 0},
        {0, 1, 0, 1.00001f, 0.2f, {0, 0.2, 0.4, 0.6, 0.8, 1.0}, 0},
        {0.5f, 12.3f, 0, 15, 5, {0, 5, 10, 15}, 0},
        {218.2f, 231.7f, 215, 235, 5, {215, 220, 225, 230, 235}, -1},
        {-1.2f, 3.4f, -2, 4, 2, {-2, 0, 2, 4}, 1},
    };
    for (const Case& c : cases) {
        RecordingBoxes r;
        CurveValues cv;
        RecordingSurface& objc = r.segmented[2];
        ZBX_DS(c.MIN, c.MAX, objc, r.boxes, 3600, cv);
        const std::string what = std::to_string(c.MIN) + ".." + std::to_string(c.MAX);
        EXPECT_FLOAT_EQ(cv.AxisMin, c.axisMin) << what;
        EXPECT_FLOAT_EQ(cv.AxisMax, c.axisMax) << what;
        EXPECT_FLOAT_EQ(cv.AxisStep, c.step) << what;

        const auto lines = horizontalLines(objc);
        ASSERT_EQ(lines.size(), c.lineValues.size()) << what;
        ASSERT_LE(lines.size(), 8u) << what;
        for (size_t j = 0; j < lines.size(); ++j) {
            const double expectedY = 1600 - 1400 * (c.lineValues[j] - c.axisMin) / (c.axisMax - c.axisMin);
            EXPECT_NEAR(lines[j].y1, expectedY, 0.01) << what << " line " << j;
            EXPECT_EQ(lines[j].x1, 0) << what;
            EXPECT_EQ(lines[j].x2, 8900) << what;
            EXPECT_EQ(lines[j].style, static_cast<int>(j) == c.solidLine ? 0 : 2) << what << " line " << j;
        }
        // The value grid goes to the given box only; the box is left drawing solid lines.
        for (const auto& box : r.cumulative) EXPECT_TRUE(horizontalLines(box).empty()) << what;
        objc.line(0, 0, 1, 1);
        EXPECT_EQ(objc.calls.back().style, 0) << what;
    }
}

TEST(ZBX_DS, timeGridOnAllTenCumulativeBoxesWhicheverBoxIsGiven) {
    struct Case {
        float totalTime;
        float step;
        int lines;
        const char* unit;
    } cases[] = {
        {3600, 300, 13, "分"}, {600, 60, 11, "分"},  {100, 10, 11, "秒"}, {86400, 7200, 13, "时"},
        {4000, 300, 14, "分"}, {14.9f, 1, 15, "秒"}, {0.5f, 1, 1, "秒"},  {31, 5, 7, "秒"},
    };
    for (const Case& c : cases) {
        RecordingBoxes r;
        CurveValues cv;
        ZBX_DS(0, 100, r.segmented[0], r.boxes, c.totalTime, cv);
        EXPECT_FLOAT_EQ(cv.TimeStep, c.step) << c.totalTime;
        EXPECT_EQ(timeUnitFor(cv.TimeStep), QString::fromUtf8(c.unit)) << c.totalTime;
        EXPECT_FLOAT_EQ(timeStepFor(c.totalTime), c.step) << c.totalTime;
        for (int k = 0; k < kCurves; ++k) {
            const auto v = verticalLines(r.cumulative[k]);
            ASSERT_EQ(static_cast<int>(v.size()), c.lines) << c.totalTime << " box " << k;
            for (size_t j = 0; j < v.size(); ++j) {
                EXPECT_DOUBLE_EQ(v[j].x1, 6000.0 * c.step * j / c.totalTime) << c.totalTime;
                EXPECT_EQ(v[j].y1, 200);
                EXPECT_EQ(v[j].y2, 1600);
                EXPECT_EQ(v[j].style, j == 0 ? 0 : 2) << c.totalTime << " line " << j;
            }
        }
        EXPECT_TRUE(verticalLines(r.segmented[0]).empty());
    }
}

TEST(ZBX_DS, damagedRangesGiveAFiniteAxisWithoutHanging) {
    const float nan = std::nanf(""), inf = INFINITY;
    struct Case {
        float MIN, MAX;
    } cases[] = {{nan, nan}, {-inf, inf}, {0, inf}, {-3e38f, 3e38f}, {1e8f, 1e8f}, {100000, -100000}};
    for (const Case& c : cases) {
        RecordingBoxes r;
        CurveValues cv;
        ZBX_DS(c.MIN, c.MAX, r.segmented[0], r.boxes, 60, cv);
        EXPECT_TRUE(std::isfinite(cv.AxisMin) && std::isfinite(cv.AxisMax) && std::isfinite(cv.AxisStep))
            << c.MIN << " " << c.MAX;
        EXPECT_LE(horizontalLines(r.segmented[0]).size(), 64u);
        for (const auto& l : r.segmented[0].lines()) EXPECT_TRUE(std::isfinite(l.y1));
    }
}

TEST(TickLabels, valueCaptionsAndTopsOfTheDisplayedCurve) {
    struct Case {
        float MIN, MAX;
        std::vector<QString> captions;
    } cases[] = {
        {0, 100, {"0", "20", "40", "60", "80", "100", "120"}},
        {0, 1, {"0", "0.2", "0.4", "0.6", "0.8", "1"}},
        {218.2f, 231.7f, {"215", "220", "225", "230", "235"}},
        {-1.2f, 3.4f, {"-2", "0", "2", "4"}},
        // Five steps of 0.2 up from -1 leave a residue that shows as 0.
        {-0.5f, -0.2f, {"-1", "-0.8", "-0.6", "-0.4", "-0.2", "0"}},
        // Steps of 0.2 added up in floats from 4 read 4.5999994 and 4.999999.
        {4.2f, 4.9f, {"4", "4.2", "4.4", "4.6", "4.8", "5"}},
    };
    for (const Case& c : cases) {
        CurveValues cv;
        const ValueAxis a = valueAxisFor(c.MIN, c.MAX);
        cv.CurveAxisMin[4] = a.min;
        cv.CurveAxisMax[4] = a.max;
        cv.CurveAxisStep[4] = a.step;
        cv.CurveUnit[4] = QStringLiteral(" V");
        cv.TimeStep = 300;
        const TickLabels t = tickLabels(cv, 4, 3600);
        ASSERT_EQ(t.value.size(), c.captions.size()) << c.MIN;
        float v = a.min;
        for (size_t j = 0; j < t.value.size(); ++j, v += a.step) {
            EXPECT_EQ(t.value[j].caption, c.captions[j]) << c.MIN;
            if (v > -0.000001f && v < 0.000001f) v = 0;
            EXPECT_NEAR(t.value[j].pos, 1600 - (v - a.min) * 1400.0 / (a.max - a.min) + 430, 0.01) << c.MIN;
        }
        EXPECT_EQ(t.valueUnit, QStringLiteral(" V"));
    }
}

TEST(TickLabels, timeCaptionsInTheUnitOfTheAxisAtMostThirteen) {
    struct Case {
        float totalTime;
        std::vector<float> labelled;  // seconds of the labelled lines
        std::vector<int> captions;    // what they read, in the unit
        const char* unit;
    } cases[] = {
        {3600, {0, 300, 600, 900, 1200, 1500, 1800, 2100, 2400, 2700, 3000, 3300, 3600},
         {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60}, "分"},
        {86400, {0, 7200, 14400, 21600, 28800, 36000, 43200, 50400, 57600, 64800, 72000, 79200, 86400},
         {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24}, "时"},
        // Fourteen grid lines: every second one is labelled.
        {4000, {0, 600, 1200, 1800, 2400, 3000, 3600}, {0, 10, 20, 30, 40, 50, 60}, "分"},
        {14.9f, {0, 2, 4, 6, 8, 10, 12, 14}, {0, 2, 4, 6, 8, 10, 12, 14}, "秒"},
        {10.5f, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "秒"},
    };
    for (const Case& c : cases) {
        CurveValues cv;
        cv.TimeStep = timeStepFor(c.totalTime);
        const TickLabels t = tickLabels(cv, 0, c.totalTime);
        ASSERT_EQ(t.time.size(), c.labelled.size()) << c.totalTime;
        ASSERT_LE(t.time.size(), 13u);
        for (size_t j = 0; j < t.time.size(); ++j) {
            EXPECT_EQ(t.time[j].caption, QString::number(c.captions[j])) << c.totalTime;
            EXPECT_DOUBLE_EQ(t.time[j].pos, 6000.0 * c.labelled[j] / c.totalTime + 400) << c.totalTime;
        }
        EXPECT_EQ(t.timeUnit, QString::fromUtf8(c.unit));
    }
}

// ---------------------------------------------------------------------------------------------------------
// Cumulative curves

namespace {

// A valid nameplate whose loss model works: rated losses 1.5 kW, no-load power 0.5 kW.
void runningMotor(SharedState& st) {
    confirmNameplate(st.motor, {4, 11, 22.6f, 88, 7, 0.5f, 380});
}

void setAxes(SharedState& st) {
    for (int k = 0; k < kCurves; ++k) {
        st.curves.CurveAxisMin[k] = 0;
        st.curves.CurveAxisMax[k] = 120;
    }
    st.curves.CurveAxisMin[6] = -10;
    st.curves.CurveAxisMax[6] = 20;
}

// A sample in display layout: all currents and voltages `v`, total power `p`, power factor `pf`, and the
// motor outputs.
void setSample(SharedState& st, float v, float p, float pf, float eff, float load) {
    auto& lv = st.live.LiveValues;
    lv.fill(v);
    lv[2] = p;
    lv[8] = pf;
    st.motor.MotorEfficiency = eff;
    st.motor.MotorLoadRate = load;
}

}  // namespace

TEST(DrawCurveStep, segmentsFromSampleTwoOnAtSixThousandIOverN) {
    RecordingBoxes r;
    SharedState st;
    runningMotor(st);
    setAxes(st);
    CumulativePlotter plot(r.boxes);
    plot.reset(4);

    setSample(st, 60, 5, -1, 90, 60);
    plot.step(st);
    EXPECT_DOUBLE_EQ(plot.CurveX(), 1500);
    for (int k = 0; k < kCurves; ++k) EXPECT_TRUE(r.cumulative[k].lines().empty()) << k;

    setSample(st, -30, -4, 0.5f, 60, 30);  // negative current plots by magnitude; ΣP < 0: no motor segment
    plot.step(st);
    setSample(st, 120, 20, 0.25f, 120, 120);
    plot.step(st);
    setSample(st, 0, 2, 0, 0, 0);
    plot.step(st);
    EXPECT_DOUBLE_EQ(plot.CurveX(), 6000);
    EXPECT_DOUBLE_EQ(plot.CurvePrevX(), 6000);

    struct Seg {
        int k;
        double x1, y1, x2, y2;
    } expected[] = {
        {0, 1500, 900, 3000, 1250},
        {0, 3000, 1250, 4500, 200},
        {0, 4500, 200, 6000, 1600},
        {6, 1500, 1600 - 1400.0 * 15 / 30, 3000, 1600 - 1400.0 * 6 / 30},
        {6, 3000, 1600 - 1400.0 * 6 / 30, 4500, 200},
        {7, 1500, 200, 3000, 900},
        {7, 3000, 900, 4500, 1250},
        {7, 4500, 1250, 6000, 1600},
        // Towards sample 2 (generating) nothing; from its point on to sample 3 (running) and sample 4
        // (running).
        {8, 3000, 1600 - 1400.0 * 60 / 120, 4500, 200},
        {8, 4500, 200, 6000, 1600},
        {9, 3000, 1600 - 1400.0 * 30 / 120, 4500, 200},
        {9, 4500, 200, 6000, 1600},
    };
    std::array<size_t, kCurves> seen{};
    for (const Seg& e : expected) {
        const auto lines = r.cumulative[e.k].lines();
        ASSERT_LT(seen[e.k], lines.size()) << "curve " << e.k;
        const auto& l = lines[seen[e.k]++];
        EXPECT_DOUBLE_EQ(l.x1, e.x1) << "curve " << e.k;
        EXPECT_NEAR(l.y1, e.y1, 1e-9) << "curve " << e.k;
        EXPECT_DOUBLE_EQ(l.x2, e.x2) << "curve " << e.k;
        EXPECT_NEAR(l.y2, e.y2, 1e-9) << "curve " << e.k;
        EXPECT_EQ(l.colour, kRed);
    }
    // Sample 4 has ΣP 2 kW: above the no-load power, so the motor curves are drawn towards it too; curve 6's
    // last segment is checked by count only.
    EXPECT_EQ(r.cumulative[0].lines().size(), 3u);
    EXPECT_EQ(r.cumulative[6].lines().size(), 3u);
    EXPECT_EQ(r.cumulative[8].lines().size(), 2u);
    EXPECT_EQ(r.cumulative[9].lines().size(), 2u);
}

TEST(DrawCurveStep, motorCurvesOnlyTowardsSamplesOfARunningMotor) {
    struct Case {
        const char* what;
        std::array<float, 7> nameplate;
        float p;
        bool drawn;
    } cases[] = {
        {"running", {4, 11, 22.6f, 88, 7, 0.5f, 380}, 5, true},
        {"at the no-load power", {4, 11, 22.6f, 88, 7, 0.5f, 380}, 0.5f, false},
        {"generating", {4, 11, 22.6f, 88, 7, 0.5f, 380}, -0.5f, false},
        {"incomplete nameplate", {4, 11, 22.6f, 0, 7, 0.5f, 380}, 5, false},
        // No-load power above the rated losses: the loss model has no answer, so no motor data.
        {"unusable nameplate", {4, 11, 22.6f, 88, 7, 3, 380}, 5, false},
    };
    for (const Case& c : cases) {
        RecordingBoxes r;
        SharedState st;
        confirmNameplate(st.motor, c.nameplate);
        setAxes(st);
        CumulativePlotter plot(r.boxes);
        plot.reset(2);
        setSample(st, 10, 5, 1, 80, 50);
        plot.step(st);
        setSample(st, 10, c.p, 1, 85, 55);
        plot.step(st);
        EXPECT_EQ(r.cumulative[8].lines().size(), c.drawn ? 1u : 0u) << c.what;
        EXPECT_EQ(r.cumulative[9].lines().size(), c.drawn ? 1u : 0u) << c.what;
        EXPECT_EQ(r.cumulative[0].lines().size(), 1u) << c.what;
        // The point is remembered whether drawn or not.
        EXPECT_NEAR(plot.CurvePrevY()[8], 1600 - 1400.0 * 85 / 120, 1e-9) << c.what;
    }
}

// A load rate over the 120 % axis used to run on over the maximum/minimum text at the top of the box.
TEST(DrawCurveStep, curvesStopAtTheEdgesOfTheValueBand) {
    for (double columnWidth : {0.0, 15.0}) {  // every segment, and per pixel column
        RecordingBoxes r;
        SharedState st;
        runningMotor(st);
        setAxes(st);
        CumulativePlotter plot(r.boxes, columnWidth);
        const int n = 1000;
        plot.reset(n);
        for (int i = 1; i <= n; ++i) {
            // 60 % and 180 % by turns, every 100 samples: the second lies 700 twips above the band.
            const float load = (i / 100) % 2 ? 180 : 60;
            setSample(st, 10, 5, 1, 80, load);
            plot.step(st);
        }
        plot.finish();
        const auto lines = r.cumulative[9].lines();
        ASSERT_FALSE(lines.empty()) << columnWidth;
        double top = 1600;
        for (const auto& l : lines) {
            for (double y : {l.y1, l.y2}) {
                ASSERT_GE(y, 200) << columnWidth;
                ASSERT_LE(y, 1600) << columnWidth;
                top = std::min(top, y);
            }
        }
        EXPECT_EQ(top, 200) << "the curve runs up to the edge, cut there; width " << columnWidth;
    }
}

TEST(DrawCurveStep, oneSampleDrawsNoSegment) {
    for (double columnWidth : {15.0, 0.0}) {
        RecordingBoxes r;
        SharedState st;
        runningMotor(st);
        setAxes(st);
        CumulativePlotter plot(r.boxes, columnWidth);
        plot.reset(1);
        setSample(st, 50, 5, 1, 80, 50);
        plot.step(st);
        plot.finish();
        EXPECT_DOUBLE_EQ(plot.CurveX(), 6000);
        for (const auto& b : r.cumulative) EXPECT_TRUE(b.lines().empty());
    }
}

TEST(DrawCurveStep, valuesThatGiveNoCoordinateLeaveAGap) {
    RecordingBoxes r;
    SharedState st;
    runningMotor(st);
    setAxes(st);
    st.curves.CurveAxisMax[1] = st.curves.CurveAxisMin[1];  // a flat axis: every y would be infinite
    CumulativePlotter plot(r.boxes);
    plot.reset(3);
    for (float v : {10.0f, std::nanf(""), 30.0f}) {
        setSample(st, v, 5, 1, 80, 50);
        plot.step(st);
    }
    EXPECT_TRUE(r.cumulative[0].lines().empty());  // 10 -> NaN -> 30: no segment has two points
    EXPECT_TRUE(r.cumulative[1].lines().empty());
    EXPECT_EQ(r.cumulative[6].lines().size(), 2u);
}

// ---------------------------------------------------------------------------------------------------------
// Per pixel column

namespace {

// A repeatable sequence in [0, 1).
struct Lcg {
    uint32_t s;
    double next() {
        s = s * 1664525u + 1013904223u;
        return (s >> 8) / 16777216.0;
    }
};

// Plots `n` samples of a recording-like signal: slow drifts, noise, steps, spikes beyond the axis, and a
// motor that idles, runs and generates in turn so the motor curves have gaps.
void plotSignal(CumulativePlotter& plot, int64_t n, uint32_t seed) {
    SharedState st;
    runningMotor(st);
    setAxes(st);
    Lcg rnd{seed};
    plot.reset(n);
    for (int64_t i = 1; i <= n; ++i) {
        const double u = static_cast<double>(i) / n;
        auto& lv = st.live.LiveValues;
        for (int e = 0; e < 12; ++e)
            lv[e] = static_cast<float>(60 + 40 * std::sin(6.3 * u * (e + 1)) + 8 * (rnd.next() - 0.5));
        lv[1] = static_cast<float>(u < 0.5 ? 30 + rnd.next() : 90 + rnd.next());  // a step
        lv[4] = 61.3f;                                                            // flat
        if (rnd.next() < 0.002) lv[7] = 500;                                      // spikes off the box
        const double phase = std::fmod(u * 7, 1.0);
        lv[2] = static_cast<float>(phase < 0.4   ? 8 + 4 * rnd.next()              // running
                                   : phase < 0.6 ? 0.5 + 0.2 * (rnd.next() - 0.5)  // idling around no-load
                                   : phase < 0.7 ? -2 * rnd.next()                 // generating
                                                 : 5 + 10 * rnd.next());
        lv[8] = static_cast<float>(0.8 + 0.2 * (rnd.next() - 0.5));
        st.motor.MotorEfficiency = static_cast<float>(80 + 10 * rnd.next());
        st.motor.MotorLoadRate = static_cast<float>(lv[2] * 9);
        plot.step(st);
    }
    plot.finish();
}

// The pixels a drawing touches, exactly: a line covers every pixel its geometry passes through (pixels of 15
// twips, as on the screen). The screen's line drawing approximates this and, for segments shorter than a
// pixel, drops some of them; this is the picture itself.
class CoverageSurface : public Surface {
  public:
    static constexpr int kWidth = 409, kHeight = 121;  // a 6135 x 1815 box
    std::vector<bool> px = std::vector<bool>(kWidth * kHeight, false);
    int64_t lines = 0;

    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < kWidth && y < kHeight && px[y * kWidth + x];
    }
    double textWidth(const QString& t) const override { return t.size() * 90.0; }
    double lineHeight() const override { return 225; }
    double averageCharWidth() const override { return 90; }

  protected:
    void doClear(Colour) override { std::fill(px.begin(), px.end(), false); }
    void doBox(double, double, double, double, const Pen&) override {}
    void doText(double, double, const QString&, Colour) override {}
    void doLine(double x1, double y1, double x2, double y2, const Pen& pen) override {
        EXPECT_EQ(pen.colour, kRed);
        ++lines;
        if (x1 > x2) std::swap(x1, x2), std::swap(y1, y2);
        const auto yAt = [&](double x) { return x1 == x2 ? y1 : y1 + (y2 - y1) * (x - x1) / (x2 - x1); };
        for (int64_t c = static_cast<int64_t>(std::floor(x1 / 15));
             c <= static_cast<int64_t>(std::floor(x2 / 15)); ++c) {
            const double xa = std::max(x1, 15.0 * c), xb = std::min(x2, 15.0 * c + 15);
            double ya = yAt(xa), yb = yAt(xb);
            if (x1 == x2) ya = y1, yb = y2;
            if (ya > yb) std::swap(ya, yb);
            for (int64_t r = static_cast<int64_t>(std::floor(ya / 15));
                 r <= static_cast<int64_t>(std::floor(yb / 15)); ++r)
                if (c >= 0 && c < kWidth && r >= 0 && r < kHeight) px[r * kWidth + c] = true;
        }
    }
};

template <class S>
struct Boxes {
    std::vector<std::unique_ptr<S>> surfaces;
    CurveBoxes boxes;
    template <class... A>
    explicit Boxes(A... a) {
        for (int k = 0; k < kCurves; ++k) {
            surfaces.push_back(std::make_unique<S>(a...));
            surfaces.back()->setBackColor(kCurveBackground);
            surfaces.back()->clear();
            boxes.cumulative[k] = surfaces.back().get();
        }
    }
};

// Whether every red pixel of `image` lies on or next to a pixel that `drawing` covers.
bool withinOnePixel(const QImage& image, const CoverageSurface& drawing, int* stray) {
    *stray = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 0, 0)) continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) near = drawing.at(x + dx, y + dy);
            *stray += !near;
        }
    return *stray == 0;
}

}  // namespace

TEST(CumulativeColumns, coverExactlyThePixelsOfEverySegment) {
    for (int64_t n : {401, 1237, 3000, 5000, 40000}) {
        Boxes<CoverageSurface> every, columns;
        CumulativePlotter full(every.boxes, 0), decimated(columns.boxes, 15);
        plotSignal(full, n, 7);
        plotSignal(decimated, n, 7);
        ASSERT_FALSE(full.decimating());
        ASSERT_TRUE(decimated.decimating());
        for (int k = 0; k < kCurves; ++k) {
            const auto& a = *every.surfaces[k];
            const auto& b = *columns.surfaces[k];
            int differ = 0, covered = 0;
            for (size_t p = 0; p < a.px.size(); ++p) {
                differ += a.px[p] != b.px[p];
                covered += a.px[p];
            }
            EXPECT_GT(covered, 100) << "n " << n << " curve " << k;
            EXPECT_EQ(differ, 0) << "n " << n << " curve " << k << " (" << covered << " pixels covered)";
        }
    }
}

TEST(CumulativeColumns, screenPictureLiesOnTheDrawingOfEverySegment) {
    ensureApp();
    for (int64_t n : {1237, 3000}) {
        Boxes<CoverageSurface> every;
        Boxes<ImageSurface> screen(6135, 1815), screenEvery(6135, 1815);
        CumulativePlotter full(every.boxes, 0), decimated(screen.boxes, 15),
            fullOnScreen(screenEvery.boxes, 0);
        plotSignal(full, n, 11);
        plotSignal(decimated, n, 11);
        plotSignal(fullOnScreen, n, 11);
        for (int k = 0; k < kCurves; ++k) {
            int stray = 0;
            EXPECT_TRUE(withinOnePixel(screen.surfaces[k]->image(), *every.surfaces[k], &stray))
                << "n " << n << " curve " << k << ": " << stray << " red pixels off the curve";
            // The screen's own drawing of every segment strays as far, no further.
            EXPECT_TRUE(withinOnePixel(screenEvery.surfaces[k]->image(), *every.surfaces[k], &stray))
                << "n " << n << " curve " << k << ": " << stray << " red pixels off the curve";
        }
    }
}

TEST(CumulativeColumns, drawingCostIsBoundedByTheBoxWidth) {
    // A column draws the segment that enters it and at most three for its span (first, extremes, last).
    const int64_t bound = 4 * 401;
    for (int64_t n : {20000, 400000}) {
        Boxes<CoverageSurface> columns;
        CumulativePlotter decimated(columns.boxes, 15);
        plotSignal(decimated, n, 3);
        for (int k = 0; k < kCurves; ++k)
            EXPECT_LE(columns.surfaces[k]->lines, bound) << "n " << n << " curve " << k;
    }
}

// A pass hands the plotter its samples a chunk at a time; the chunks must draw the very lines that sample by
// sample gives, in the same order on every box: wide and narrow columns, values that round to one height (tiny
// power factors and efficiencies beside 0), values that give no height, a flat and a reversed axis, a motor
// that stops and starts within a column.
TEST(CumulativeColumns, chunksDrawTheLinesOfSampleBySample) {
    struct Case {
        int64_t n;
        double columnWidth;
        std::vector<int64_t> chunks;  // chunk lengths, repeated
        bool apart = false;           // each curve's values in an array of its own, as the derived ones come
    } cases[] = {
        {50000, 15, {2048}}, {50000, 15, {1, 7, 4096}}, {3000, 4.8, {333}}, {300, 15, {64}}, {5000, 0, {100}},
        {50000, 15, {4096}, true}, {200000, 4.8, {1, 100, 8192}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " width " << c.columnWidth);
        CurveValues axes;
        for (int k = 0; k < kCurves; ++k) axes.CurveAxisMin[k] = 0, axes.CurveAxisMax[k] = 120;
        axes.CurveAxisMin[6] = -10, axes.CurveAxisMax[6] = 20;
        axes.CurveAxisMin[4] = axes.CurveAxisMax[4] = 61.3f;  // flat: no height at all
        axes.CurveAxisMin[5] = 100, axes.CurveAxisMax[5] = 0;  // upside down
        axes.CurveAxisMax[2] = 1e30f;                          // wide: neighbouring values share a height

        // Sample j's ten values, side by side as a pass hands them over, and whether the motor runs.
        Lcg rnd{5};
        std::vector<float> values(static_cast<size_t>(c.n) * kCurves);
        std::vector<uint8_t> running(static_cast<size_t>(c.n));
        for (int64_t j = 0; j < c.n; ++j) {
            float* v = &values[static_cast<size_t>(j) * kCurves];
            const double u = static_cast<double>(j) / c.n;
            for (int k = 0; k < kCurves; ++k) v[k] = static_cast<float>(50 + 40 * std::sin(9 * u * (k + 1)) + 6 * (rnd.next() - 0.5));
            v[0] = -v[0];  // plotted by magnitude
            v[1] = std::round(v[1] / 4);  // whole numbers: many samples of a column share the extreme
            v[2] = static_cast<float>(rnd.next() * 1e-30);
            v[7] = rnd.next() < 0.5 ? static_cast<float>(rnd.next() * 1e-12) : v[7] / 100;
            v[8] = static_cast<float>(rnd.next() * 1e-14);
            if (rnd.next() < 0.001) v[3] = NAN;
            if (rnd.next() < 0.001) v[6] = -INFINITY;
            if (rnd.next() < 0.02) v[9] = rnd.next() < 0.5 ? 0.0f : -0.0f;  // both zeros at the foot of the band
            running[static_cast<size_t>(j)] = std::fmod(u * 23, 1.0) < 0.6 || rnd.next() < 0.3;
        }

        std::vector<float> apart(values.size());
        for (int64_t j = 0; j < c.n; ++j)
            for (int k = 0; k < kCurves; ++k)
                apart[static_cast<size_t>(k * c.n + j)] = values[static_cast<size_t>(j) * kCurves + k];

        Boxes<RecordingSurface> one, chunked;
        CumulativePlotter bySample(one.boxes, c.columnWidth), byChunk(chunked.boxes, c.columnWidth);
        bySample.reset(c.n);
        byChunk.reset(c.n);
        for (int64_t j = 0; j < c.n; ++j) {
            std::array<float, kCurves> v{};
            std::copy_n(&values[static_cast<size_t>(j) * kCurves], kCurves, v.begin());
            bySample.step(v, running[static_cast<size_t>(j)] != 0, axes);
        }
        for (int64_t j = 0, r = 0; j < c.n; ++r) {
            CurveChunk chunk;
            chunk.count = std::min(c.chunks[static_cast<size_t>(r) % c.chunks.size()], c.n - j);
            for (int k = 0; k < kCurves; ++k) {
                chunk.values[k] = c.apart ? &apart[static_cast<size_t>(k * c.n + j)] : &values[static_cast<size_t>(j) * kCurves + k];
                chunk.stride[k] = c.apart ? 1 : kCurves;
            }
            chunk.running = &running[static_cast<size_t>(j)];
            byChunk.step(chunk, axes);
            j += chunk.count;
        }
        bySample.finish();
        byChunk.finish();
        EXPECT_EQ(byChunk.CurveX(), bySample.CurveX());
        EXPECT_EQ(byChunk.CurvePrevY(), bySample.CurvePrevY());
        for (int k = 0; k < kCurves; ++k) {
            const auto a = one.surfaces[k]->lines(), b = chunked.surfaces[k]->lines();
            if (k == 4) EXPECT_TRUE(a.empty()) << "a flat axis places nothing";
            else EXPECT_GT(a.size(), 20u) << "curve " << k;
            ASSERT_EQ(b.size(), a.size()) << "curve " << k;
            for (size_t l = 0; l < a.size(); ++l)
                ASSERT_TRUE(a[l].x1 == b[l].x1 && a[l].y1 == b[l].y1 && a[l].x2 == b[l].x2 && a[l].y2 == b[l].y2)
                    << "curve " << k << " line " << l << ": (" << a[l].x1 << ", " << a[l].y1 << ") to ("
                    << a[l].x2 << ", " << a[l].y2 << ") drawn as (" << b[l].x1 << ", " << b[l].y1 << ") to ("
                    << b[l].x2 << ", " << b[l].y2 << ")";
        }
    }
}

TEST(ExtremesText, maximumAndUnitThenMinimumAtColumnFortyOnEveryBox) {
    RecordingBoxes r;
    SharedState st;
    for (int k = 0; k < kCurves; ++k) st.curves.CurveUnit[k] = QString::fromUtf8(kCurveTable[k].unit);
    st.live.LiveMax[0] = 12.5f;
    st.live.LiveMin[0] = 0.25f;
    st.live.LiveMax[2] = 7.5f;
    st.live.LiveMin[2] = -2;
    st.live.LiveMax[8] = 1;
    st.live.LiveMin[8] = 0.5f;
    st.curves.EfficiencyMax = 91.5f;
    st.curves.EfficiencyMin = 0;
    st.curves.LoadRateMax = 80;
    st.curves.LoadRateMin = 100;
    for (auto& b : r.cumulative)
        b.setPosition(500, 700);  // the text starts at the top left whatever came before

    printExtremes(r.boxes, st);

    // Recording metrics at 9 points: 90 twips a character, twice that for a full-width one; column 40 at
    // 3510.
    struct Text {
        const char* text;
        double x;
    };
    struct Case {
        int k;
        std::vector<Text> texts;
    } cases[] = {
        {0,
         {{"    最大值", 0}, {" 12.5 ", 900}, {" A", 1440}, {"最小值", 3510}, {" .25 ", 4050}, {" A", 4500}}},
        {6,
         {{"    最大值", 0}, {" 7.5 ", 900}, {" kW", 1350}, {"最小值", 3510}, {"-2 ", 4050}, {" kW", 4320}}},
        {7, {{"    最大值", 0}, {" 1 ", 900}, {"最小值", 3510}, {" .5 ", 4050}}},
        {8,
         {{"    最大值", 0}, {" 91.5 ", 900}, {" %", 1440}, {"最小值", 3510}, {" 0 ", 4050}, {" %", 4320}}},
        {9,
         {{"    最大值", 0}, {" 80 ", 900}, {" %", 1260}, {"最小值", 3510}, {" 100 ", 4050}, {" %", 4500}}},
    };
    for (const Case& c : cases) {
        const auto texts = r.cumulative[c.k].texts();
        ASSERT_EQ(texts.size(), c.texts.size()) << "curve " << c.k;
        for (size_t j = 0; j < texts.size(); ++j) {
            EXPECT_EQ(texts[j].text, QString::fromUtf8(c.texts[j].text)) << "curve " << c.k;
            EXPECT_DOUBLE_EQ(texts[j].x1, c.texts[j].x) << "curve " << c.k << " " << c.texts[j].text;
            EXPECT_DOUBLE_EQ(texts[j].y1, 0) << "curve " << c.k;
        }
        EXPECT_DOUBLE_EQ(r.cumulative[c.k].currentY(), 225) << "the statement ends its line";
    }
    for (int k = 0; k < kCurves; ++k) EXPECT_TRUE(r.segmented[k].texts().empty());
}
